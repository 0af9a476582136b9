unit ~UnitName~;

(* ~UpperUnitName~ in '~FileName~'
   The automation class ~ClassName~ of ~ProjectName~. Its class object is registered with COM
   while the service ~ServiceName~ runs; its interfaces are declared in ~ProjectName~_TLB. *)

interface

uses
  Windows, ActiveX, Classes, ComObj, StdVcl,
|+SkipEventSupport|
  AxCtrls,
|-SkipEventSupport|
|+SkipThreadedFactory|
  Tamrel_FactoryThread,
|-SkipThreadedFactory|
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, ~ProjectName~_TLB;

type
|+SkipThreadedFactory|
  // Each object of this factory lives in an apartment thread of its own.
  T~ClassName~ApartmentFactory = class(TSvcAutoObjectFactory)
  protected
    function CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; stdcall;
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

|-SkipThreadedFactory|
|+SkipSingletoneFactory|
  // Every client that does not aggregate the object shares one object.
  T~ClassName~SingletoneFactory = class(TSvcAutoObjectFactory)
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

|-SkipSingletoneFactory|
  T~ClassName~ = class(TAutoObject, I~ClassName~|+SkipEventSupport|, IConnectionPointContainer|-SkipEventSupport|)
|+SkipEventSupport|
  private
    FConnectionPoints: TConnectionPoints;
    FConnectionPoint: TConnectionPoint;
    FEvents: I~ClassName~Events;
|-SkipEventSupport|
  protected
    { The methods of I~ClassName~ }
|+SkipEventSupport|
    procedure EventSinkChanged(const EventSink: IUnknown); override;
    property ConnectionPoints: TConnectionPoints read FConnectionPoints implements IConnectionPointContainer;
|-SkipEventSupport|
|+SkipInitialize|
  public
    procedure Initialize; override;
|+SkipSingletoneFactory|
    destructor Destroy; override;
|-SkipSingletoneFactory|
|-SkipInitialize|
  end;

implementation

|+SkipSingletoneFactory|
var
  // The object every client shares, while there is one.
  SharedInstance: T~ClassName~ = nil;

|-SkipSingletoneFactory|
|+SkipThreadedFactory|
function T~ClassName~ApartmentFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := CreateInstanceInFactory(CreateInstanceInApartment, TSvcFactoryThread, UnkOuter, IID, Obj, 0);
end;

function T~ClassName~ApartmentFactory.CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := inherited CreateInstance(UnkOuter, IID, Obj);
end;

|-SkipThreadedFactory|
|+SkipSingletoneFactory|
function T~ClassName~SingletoneFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
var
  Existed: Boolean;
begin
  if (SharedInstance <> nil) and (UnkOuter = nil) then
  begin
    Result := SharedInstance.QueryInterface(IID, Obj);
    Exit;
  end;
  Existed := SharedInstance <> nil;
  Result := inherited CreateInstance(UnkOuter, IID, Obj);
  // An aggregated object is never shared.
  if (UnkOuter <> nil) and not Existed then
    SharedInstance := nil;
end;

|-SkipSingletoneFactory|
|+SkipInitialize|
procedure T~ClassName~.Initialize;
begin
  inherited Initialize;
|+SkipSingletoneFactory|
  if SharedInstance = nil then
    SharedInstance := Self;
|-SkipSingletoneFactory|
|+SkipEventSupport|
  FConnectionPoints := TConnectionPoints.Create(Self);
  if AutoFactory.EventTypeInfo <> nil then
    FConnectionPoint := FConnectionPoints.CreateConnectionPoint(AutoFactory.EventIID, ckMulti, EventConnect)
  else
    FConnectionPoint := nil;
|-SkipEventSupport|
end;

|+SkipSingletoneFactory|
destructor T~ClassName~.Destroy;
begin
  if SharedInstance = Self then
    SharedInstance := nil;
  inherited Destroy;
end;

|-SkipSingletoneFactory|
|-SkipInitialize|
|+SkipEventSupport|
procedure T~ClassName~.EventSinkChanged(const EventSink: IUnknown);
begin
  FEvents := EventSink as I~ClassName~Events;
end;

|-SkipEventSupport|
initialization
|+SkipOrdinaryFactory|
  TSvcAutoObjectFactory.Create(SvcComServer, T~ClassName~, CLASS_~ClassName~, ciMultiInstance, '~ServiceName~');
|-SkipOrdinaryFactory|
|+SkipThreadedFactory|
  T~ClassName~ApartmentFactory.Create(SvcComServer, T~ClassName~, CLASS_~ClassName~, ciMultiInstance,
    '~ServiceName~');
|-SkipThreadedFactory|
|+SkipSingletoneFactory|
  T~ClassName~SingletoneFactory.Create(SvcComServer, T~ClassName~, CLASS_~ClassName~, ciMultiInstance,
    '~ServiceName~');
|-SkipSingletoneFactory|
end.
