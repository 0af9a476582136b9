// Stands in for the host framework's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): only what the generated units use.
unit VCLCom;

interface

uses
  Classes, ComObj;

type
  TComponentFactory = class(TAutoObjectFactory)
  public
    constructor Create(ComServer: TComServerObject; ComponentClass: TComponentClass; const ClassID: TGUID;
      Instancing: TClassInstancing; ThreadingModel: TThreadingModel = tmSingle);
  end;

implementation

constructor TComponentFactory.Create(ComServer: TComServerObject; ComponentClass: TComponentClass;
  const ClassID: TGUID; Instancing: TClassInstancing; ThreadingModel: TThreadingModel);
begin
end;

end.
