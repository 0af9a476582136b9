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
    function GetTypeInfoCount(out Count: LongInt): HResult; stdcall;
    function GetTypeInfo(Index, LocaleID: LongInt; out TypeInfo): HResult; stdcall;
    function GetIDsOfNames(const IID: TGUID; Names: Pointer; NameCount, LocaleID: LongInt;
      DispIDs: Pointer): HResult; stdcall;
    function Invoke(DispID: LongInt; const IID: TGUID; LocaleID: LongInt; Flags: Word; var Params;
      VarResult, ExcepInfo, ArgErr: Pointer): HResult; stdcall;
    procedure EventConnect(const Sink: IUnknown; Connecting: Boolean);
    procedure EventSinkChanged(const EventSink: IUnknown); virtual;
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

function TAutoObject.GetTypeInfoCount(out Count: LongInt): HResult;
begin
  Result := 0;
end;

function TAutoObject.GetTypeInfo(Index, LocaleID: LongInt; out TypeInfo): HResult;
begin
  Result := 0;
end;

function TAutoObject.GetIDsOfNames(const IID: TGUID; Names: Pointer; NameCount, LocaleID: LongInt;
  DispIDs: Pointer): HResult;
begin
  Result := 0;
end;

function TAutoObject.Invoke(DispID: LongInt; const IID: TGUID; LocaleID: LongInt; Flags: Word; var Params;
  VarResult, ExcepInfo, ArgErr: Pointer): HResult;
begin
  Result := 0;
end;

procedure TAutoObject.EventConnect(const Sink: IUnknown; Connecting: Boolean);
begin
end;

procedure TAutoObject.EventSinkChanged(const EventSink: IUnknown);
begin
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
