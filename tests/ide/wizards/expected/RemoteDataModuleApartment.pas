unit svc1;

(* svc1 in '@FOLDER@\svc1.pas'
   The remote data module Bar of Project1. Its class object is registered with COM
   while the service BarService runs; its interface is declared in Project1_TLB. *)

interface

uses
  Windows, Messages, SysUtils, Classes, ComObj, ActiveX, DataBkr, Provider,
  Tamrel_FactoryThread,
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, Project1_TLB;

type
  // Each module of this factory lives in an apartment thread of its own.
  TBarApartmentFactory = class(TSvcComponentFactory)
  protected
    function CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; stdcall;
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

  TBar = class(TRemoteDataModule, IBar)
  private
    { Private declarations }
  protected
    class procedure UpdateRegistry(Register: Boolean; const ClassID, ProgID: string); override;
  end;

implementation

{$R *.DFM}

function TBarApartmentFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := CreateInstanceInFactory(CreateInstanceInApartment, TSvcFactoryThread, UnkOuter, IID, Obj, 0);
end;

function TBarApartmentFactory.CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := inherited CreateInstance(UnkOuter, IID, Obj);
end;

class procedure TBar.UpdateRegistry(Register: Boolean; const ClassID, ProgID: string);
begin
  // The factory writes the service's entries; the data module adds its own.
  inherited UpdateRegistry(Register, ClassID, ProgID);
end;

initialization
  TBarApartmentFactory.Create(SvcComServer, TBar, CLASS_Bar, ciMultiInstance,
    'BarService', False, False);
end.
