// Stands in for the host framework's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): only what the generated units use.
unit AxCtrls;

interface

uses
  ActiveX;

type
  TConnectionKind = (ckSingle, ckMulti);
  TConnectEvent = procedure(const Sink: IUnknown; Connecting: Boolean) of object;

  TConnectionPoint = class(TObject)
  end;

  TConnectionPoints = class(TAggregatedObject, IConnectionPointContainer)
  protected
    function EnumConnectionPoints(out Enum: IEnumConnectionPoints): HResult; stdcall;
    function FindConnectionPoint(const iid: TGUID; out cp: IConnectionPoint): HResult; stdcall;
  public
    function CreateConnectionPoint(const IID: TGUID; Kind: TConnectionKind;
      OnConnect: TConnectEvent): TConnectionPoint;
  end;

implementation

function TConnectionPoints.EnumConnectionPoints(out Enum: IEnumConnectionPoints): HResult;
begin
  Result := 0;
end;

function TConnectionPoints.FindConnectionPoint(const iid: TGUID; out cp: IConnectionPoint): HResult;
begin
  Result := 0;
end;

function TConnectionPoints.CreateConnectionPoint(const IID: TGUID; Kind: TConnectionKind;
  OnConnect: TConnectEvent): TConnectionPoint;
begin
  Result := nil;
end;

end.
