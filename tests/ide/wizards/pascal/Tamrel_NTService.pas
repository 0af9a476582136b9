// Stands in for the library's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): the declarations the generated code uses, laid
// out in the units where the library has them.
unit Tamrel_NTService;

interface

uses
  Classes;

type
  TNtService = class(TDataModule)
  end;

  TNtServiceApplication = class(TComponent)
  public
    procedure Initialize; virtual; abstract;
    procedure CreateForm(InstanceClass: TComponentClass; var Reference); virtual; abstract;
    procedure Run; virtual; abstract;
  end;

var
  Application: TNtServiceApplication;

implementation

end.
