unit svc1;

interface

uses
  Windows, SysUtils, Classes, Tamrel_NTService, Tamrel_ComService;

type
  TService1 = class(TComService)
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
