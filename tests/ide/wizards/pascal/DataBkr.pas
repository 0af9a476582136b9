// Stands in for the host framework's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): only what the generated units use.
unit DataBkr;

interface

uses
  Classes;

type
  TRemoteDataModule = class(TDataModule, IDispatch)
  protected
    {$I Dispatch.inc}
    class procedure UpdateRegistry(Register: Boolean; const ClassID, ProgID: string); virtual;
  end;

implementation

class procedure TRemoteDataModule.UpdateRegistry(Register: Boolean; const ClassID, ProgID: string);
begin
end;

end.
