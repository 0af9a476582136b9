// Stands in for the library's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): the declarations the generated code uses, laid
// out in the units where the library has them. SvcComServer is declared here; the COM server
// unit only fills it.
unit Tamrel_ComService;

interface

uses
  ComObj, Tamrel_NTService;

type
  TSvcComServerObject = class(TComServerObject)
  end;

  TComService = class(TNtService)
  end;

var
  SvcComServer: TSvcComServerObject = nil;

implementation

end.
