 program Project1;

uses
  Forms, {$R *.res}
  Unit1 in 'Unit1.pas' {Form1};

(* multi
   line *)
type
  TFoo = class(TObject)
  private
    F: Integer; // field
  public
    procedure X(const S: string = #13#10);
  end;

begin
  A := $FF + 1..2 + 3.5E2; (.x.)
  Application.Run;
end.
