// Stands in for the library's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): an object made in an apartment thread of its own.
unit Tamrel_FactoryThread;

interface

uses
  Classes;

type
  TSvcFactoryCreateInstance = function(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult of object;
    stdcall;

  TSvcFactoryThread = class(TThread)
  public
    constructor Create(FactoryCreateInstance: TSvcFactoryCreateInstance; const UnkOuter: IUnknown;
      const IID: TGUID); virtual;
  end;
  TSvcFactoryThreadClass = class of TSvcFactoryThread;

function CreateInstanceInFactory(FactoryCreateInstance: TSvcFactoryCreateInstance;
  ThreadClass: TSvcFactoryThreadClass; const UnkOuter: IUnknown; const IID: TGUID; out Obj;
  Reserved: Cardinal): HResult; stdcall;

implementation

constructor TSvcFactoryThread.Create(FactoryCreateInstance: TSvcFactoryCreateInstance; const UnkOuter: IUnknown;
  const IID: TGUID);
begin
  inherited Create(True);
end;

function CreateInstanceInFactory(FactoryCreateInstance: TSvcFactoryCreateInstance;
  ThreadClass: TSvcFactoryThreadClass; const UnkOuter: IUnknown; const IID: TGUID; out Obj;
  Reserved: Cardinal): HResult;
begin
  Result := FactoryCreateInstance(UnkOuter, IID, Obj);
end;

end.
