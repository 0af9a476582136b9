program Project1;

uses
  Tamrel_NTService,
  Project1_TLB in 'Project1_TLB.pas',
  svc1 in 'svc1.pas' {Foo: CoClass};

{$R *.TLB}


{$R *.RES}

begin
  Application.Initialize;
  Application.Run;
end.
