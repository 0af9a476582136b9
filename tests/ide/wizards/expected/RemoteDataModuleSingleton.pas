unit svc1;

(* svc1 in '@FOLDER@\svc1.pas'
   The remote data module Bar of Project1. Its class object is registered with COM
   while the service BarService runs; its interface is declared in Project1_TLB. *)

interface

uses
  Windows, Messages, SysUtils, Classes, ComObj, ActiveX, DataBkr, Provider,
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, Project1_TLB;

type
  // Every client that does not aggregate the module shares one module.
  TBarSingletoneFactory = class(TSvcComponentFactory)
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

  TBar = class(TRemoteDataModule, IBar)
  private
    { Private declarations }
  protected
    class procedure UpdateRegistry(Register: Boolean; const ClassID, ProgID: string); override;
  public
    procedure AfterConstruction; override;
    destructor Destroy; override;
  end;

implementation

{$R *.DFM}

var
  // The module every client shares, while there is one.
  SharedInstance: TBar = nil;

function TBarSingletoneFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
var
  Existed: Boolean;
begin
  if (SharedInstance <> nil) and (UnkOuter = nil) then
  begin
    Result := (SharedInstance as IUnknown).QueryInterface(IID, Obj);
    Exit;
  end;
  Existed := SharedInstance <> nil;
  Result := inherited CreateInstance(UnkOuter, IID, Obj);
  // An aggregated module is never shared.
  if (UnkOuter <> nil) and not Existed then
    SharedInstance := nil;
end;

class procedure TBar.UpdateRegistry(Register: Boolean; const ClassID, ProgID: string);
begin
  // The factory writes the service's entries; the data module adds its own.
  inherited UpdateRegistry(Register, ClassID, ProgID);
end;

procedure TBar.AfterConstruction;
begin
  inherited AfterConstruction;
  if SharedInstance = nil then
    SharedInstance := Self;
end;

destructor TBar.Destroy;
begin
  if SharedInstance = Self then
    SharedInstance := nil;
  inherited Destroy;
end;

initialization
  TBarSingletoneFactory.Create(SvcComServer, TBar, CLASS_Bar, ciMultiInstance,
    'BarService', False, False);
end.
