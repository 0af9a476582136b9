program Project1;

uses
  Tamrel_NTService,
  Project1_TLB in 'Project1_TLB.pas',
  svc1 in '@FOLDER@\svc1.pas' {Bar: RemoteDataModule};

{$R *.TLB}


{$R *.RES}

begin
  Application.Initialize;
  Application.Run;
end.
