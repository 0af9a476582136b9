unit svc1;

(* SVC1 in 'svc1.pas'
   The automation class Foo of Project1. Its class object is registered with COM
   while the service FooService runs; its interfaces are declared in Project1_TLB. *)

interface

uses
  Windows, ActiveX, Classes, ComObj, StdVcl,
  AxCtrls,
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, Project1_TLB;

type
  // Every client that does not aggregate the object shares one object.
  TFooSingletoneFactory = class(TSvcAutoObjectFactory)
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

  TFoo = class(TAutoObject, IFoo, IConnectionPointContainer)
  private
    FConnectionPoints: TConnectionPoints;
    FConnectionPoint: TConnectionPoint;
    FEvents: IFooEvents;
  protected
    { The methods of IFoo }
    procedure EventSinkChanged(const EventSink: IUnknown); override;
    property ConnectionPoints: TConnectionPoints read FConnectionPoints implements IConnectionPointContainer;
  public
    procedure Initialize; override;
    destructor Destroy; override;
  end;

implementation

var
  // The object every client shares, while there is one.
  SharedInstance: TFoo = nil;

function TFooSingletoneFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
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

procedure TFoo.Initialize;
begin
  inherited Initialize;
  if SharedInstance = nil then
    SharedInstance := Self;
  FConnectionPoints := TConnectionPoints.Create(Self);
  if AutoFactory.EventTypeInfo <> nil then
    FConnectionPoint := FConnectionPoints.CreateConnectionPoint(AutoFactory.EventIID, ckMulti, EventConnect)
  else
    FConnectionPoint := nil;
end;

destructor TFoo.Destroy;
begin
  if SharedInstance = Self then
    SharedInstance := nil;
  inherited Destroy;
end;

procedure TFoo.EventSinkChanged(const EventSink: IUnknown);
begin
  FEvents := EventSink as IFooEvents;
end;

initialization
  TFooSingletoneFactory.Create(SvcComServer, TFoo, CLASS_Foo, ciMultiInstance,
    'FooService');
end.
