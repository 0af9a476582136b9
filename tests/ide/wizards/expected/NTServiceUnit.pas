unit svc1;

interface

uses
  Windows, SysUtils, Classes, Tamrel_NTService;

type
  TService1 = class(TNtService)
  private
    { Private declarations }
  public
    { Public declarations }
  end;

var
  Service1: TService1;

implementation

{$R *.DFM}

end.
