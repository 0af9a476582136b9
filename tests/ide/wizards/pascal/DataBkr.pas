// Stands in for the host framework's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): only what the generated units use.
unit DataBkr;

interface

uses
  Classes;

type
  TRemoteDataModule = class(TDataModule, IDispatch)
  protected
    function GetTypeInfoCount(out Count: LongInt): HResult; stdcall;
    function GetTypeInfo(Index, LocaleID: LongInt; out TypeInfo): HResult; stdcall;
    function GetIDsOfNames(const IID: TGUID; Names: Pointer; NameCount, LocaleID: LongInt;
      DispIDs: Pointer): HResult; stdcall;
    function Invoke(DispID: LongInt; const IID: TGUID; LocaleID: LongInt; Flags: Word; var Params;
      VarResult, ExcepInfo, ArgErr: Pointer): HResult; stdcall;
    class procedure UpdateRegistry(Register: Boolean; const ClassID, ProgID: string); virtual;
  end;

implementation

function TRemoteDataModule.GetTypeInfoCount(out Count: LongInt): HResult;
begin
  Result := 0;
end;

function TRemoteDataModule.GetTypeInfo(Index, LocaleID: LongInt; out TypeInfo): HResult;
begin
  Result := 0;
end;

function TRemoteDataModule.GetIDsOfNames(const IID: TGUID; Names: Pointer; NameCount, LocaleID: LongInt;
  DispIDs: Pointer): HResult;
begin
  Result := 0;
end;

function TRemoteDataModule.Invoke(DispID: LongInt; const IID: TGUID; LocaleID: LongInt; Flags: Word; var Params;
  VarResult, ExcepInfo, ArgErr: Pointer): HResult;
begin
  Result := 0;
end;

class procedure TRemoteDataModule.UpdateRegistry(Register: Boolean; const ClassID, ProgID: string);
begin
end;

end.
