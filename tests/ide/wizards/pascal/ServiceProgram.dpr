// A program that uses the unit the service wizards make, as the environment writes one: it names
// the module's class and its variable (tests/ide/wizards/pascal/CheckPascal.cmake).
program ServiceProgram;

uses
  Tamrel_NTService,
  svc1 in 'svc1.pas' {Service1: TNtService};

{$R *.RES}

begin
  Application.Initialize;
  Application.CreateForm(TService1, Service1);
  Application.Run;
end.
