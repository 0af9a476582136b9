program Project1;

uses
  Tamrel_NTService;

{$R *.RES}

begin
  Application.Initialize;
  Application.Run;
end.
