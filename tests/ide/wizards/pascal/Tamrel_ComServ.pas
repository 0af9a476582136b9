// Stands in for the library's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): the COM server object, which the unit's
// initialization stores in SvcComServer of Tamrel_ComService; the unit declares nothing else
// that a program uses.
unit Tamrel_ComServ;

interface

uses
  Tamrel_ComService;

type
  TSvcComServer = class(TSvcComServerObject)
  end;

implementation

initialization
  SvcComServer := TSvcComServer.Create;
end.
