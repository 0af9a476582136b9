unit ~UnitName~;

(* ~UnitName~ in '~FileName~'
   The remote data module ~FormName~ of ~ProjectName~. Its class object is registered with COM
   while the service ~ServiceName~ runs; its interface is declared in ~ProjectName~_TLB. *)

interface

uses
  Windows, Messages, SysUtils, Classes, ComObj, ActiveX, DataBkr, Provider,
|+SkipThreadedFactory|
  Tamrel_FactoryThread,
|-SkipThreadedFactory|
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, ~ProjectName~_TLB;

type
|+SkipThreadedFactory|
  // Each module of this factory lives in an apartment thread of its own.
  T~FormName~ApartmentFactory = class(TSvcComponentFactory)
  protected
    function CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; stdcall;
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

|-SkipThreadedFactory|
|+SkipSingletoneFactory|
  // Every client that does not aggregate the module shares one module.
  T~FormName~SingletoneFactory = class(TSvcComponentFactory)
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

|-SkipSingletoneFactory|
  T~FormName~ = class(T~Module~, I~FormName~)
  private
    { Private declarations }
  protected
    class procedure UpdateRegistry(Register: Boolean; const ClassID, ProgID: string); override;
|+SkipInitialize|
  public
    procedure AfterConstruction; override;
    destructor Destroy; override;
|-SkipInitialize|
  end;

implementation

{$R *.DFM}

|+SkipSingletoneFactory|
var
  // The module every client shares, while there is one.
  SharedInstance: T~FormName~ = nil;

|-SkipSingletoneFactory|
|+SkipThreadedFactory|
function T~FormName~ApartmentFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := CreateInstanceInFactory(CreateInstanceInApartment, TSvcFactoryThread, UnkOuter, IID, Obj, 0);
end;

function T~FormName~ApartmentFactory.CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := inherited CreateInstance(UnkOuter, IID, Obj);
end;

|-SkipThreadedFactory|
|+SkipSingletoneFactory|
function T~FormName~SingletoneFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
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

|-SkipSingletoneFactory|
class procedure T~FormName~.UpdateRegistry(Register: Boolean; const ClassID, ProgID: string);
begin
  // The factory writes the service's entries; the data module adds its own.
  inherited UpdateRegistry(Register, ClassID, ProgID);
end;

|+SkipInitialize|
procedure T~FormName~.AfterConstruction;
begin
  inherited AfterConstruction;
|+SkipSingletoneFactory|
  if SharedInstance = nil then
    SharedInstance := Self;
|-SkipSingletoneFactory|
end;

destructor T~FormName~.Destroy;
begin
|+SkipSingletoneFactory|
  if SharedInstance = Self then
    SharedInstance := nil;
|-SkipSingletoneFactory|
  inherited Destroy;
end;

|-SkipInitialize|
initialization
|+SkipOrdinaryFactory|
  TSvcComponentFactory.Create(SvcComServer, T~FormName~, CLASS_~FormName~, ciMultiInstance, '~ServiceName~',
    False, False);
|-SkipOrdinaryFactory|
|+SkipThreadedFactory|
  T~FormName~ApartmentFactory.Create(SvcComServer, T~FormName~, CLASS_~FormName~, ciMultiInstance,
    '~ServiceName~', False, False);
|-SkipThreadedFactory|
|+SkipSingletoneFactory|
  T~FormName~SingletoneFactory.Create(SvcComServer, T~FormName~, CLASS_~FormName~, ciMultiInstance,
    '~ServiceName~', False, False);
|-SkipSingletoneFactory|
end.
