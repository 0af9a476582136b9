// Stands in for the host framework's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): only what the generated units use.
unit ComObj;

interface

uses
  ActiveX;

type
  TClassInstancing = (ciInternal, ciSingleInstance, ciMultiInstance);
  TThreadingModel = (tmSingle, tmApartment, tmFree, tmBoth, tmNeutral);

  TComServerObject = class(TObject)
  end;

  TComObject = class(TInterfacedObject)
  public
    procedure Initialize; virtual;
  end;
  TComClass = class of TComObject;

  TComObjectFactory = class(TObject)
  public
    constructor Create(ComServer: TComServerObject; ComClass: TComClass; const ClassID: TGUID;
      const ClassName, Description: string; Instancing: TClassInstancing;
      ThreadingModel: TThreadingModel = tmSingle);
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; virtual; stdcall;
  end;

  TAutoObjectFactory = class;

  TAutoObject = class(TComObject, IDispatch)
  private
    FAutoFactory: TAutoObjectFactory;
  protected
    {$I Dispatch.inc}
    procedure EventConnect(const Sink: IUnknown; Connecting: Boolean); virtual; abstract;
    procedure EventSinkChanged(const EventSink: IUnknown); virtual; abstract;
  public
    property AutoFactory: TAutoObjectFactory read FAutoFactory;
  end;
  TAutoClass = class of TAutoObject;

  TTypedComObjectFactory = class(TComObjectFactory)
  end;

  TAutoObjectFactory = class(TTypedComObjectFactory)
  private
    FEventTypeInfo: ITypeInfo;
    FEventIID: TGUID;
  public
    constructor Create(ComServer: TComServerObject; AutoClass: TAutoClass; const ClassID: TGUID;
      Instancing: TClassInstancing; ThreadingModel: TThreadingModel = tmSingle);
    property EventTypeInfo: ITypeInfo read FEventTypeInfo;
    property EventIID: TGUID read FEventIID;
  end;

function CreateComObject(const ClassID: TGUID): IUnknown;
function CreateRemoteComObject(const MachineName: WideString; const ClassID: TGUID): IUnknown;

implementation

procedure TComObject.Initialize;
begin
end;

constructor TComObjectFactory.Create(ComServer: TComServerObject; ComClass: TComClass; const ClassID: TGUID;
  const ClassName, Description: string; Instancing: TClassInstancing; ThreadingModel: TThreadingModel);
begin
end;

function TComObjectFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult;
begin
  Result := 0;
end;

constructor TAutoObjectFactory.Create(ComServer: TComServerObject; AutoClass: TAutoClass; const ClassID: TGUID;
  Instancing: TClassInstancing; ThreadingModel: TThreadingModel);
begin
end;

function CreateComObject(const ClassID: TGUID): IUnknown;
begin
  Result := nil;
end;

function CreateRemoteComObject(const MachineName: WideString; const ClassID: TGUID): IUnknown;
begin
  Result := nil;
end;

end.
