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
  end;

implementation

procedure TFoo.Initialize;
begin
  inherited Initialize;
  FConnectionPoints := TConnectionPoints.Create(Self);
  if AutoFactory.EventTypeInfo <> nil then
    FConnectionPoint := FConnectionPoints.CreateConnectionPoint(AutoFactory.EventIID, ckMulti, EventConnect)
  else
    FConnectionPoint := nil;
end;

procedure TFoo.EventSinkChanged(const EventSink: IUnknown);
begin
  FEvents := EventSink as IFooEvents;
end;

initialization
  TSvcAutoObjectFactory.Create(SvcComServer, TFoo, CLASS_Foo, ciMultiInstance, 'FooService');
end.
