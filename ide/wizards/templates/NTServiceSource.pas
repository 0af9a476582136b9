unit ~UnitName~;

interface

uses
  Windows, SysUtils, Classes, Tamrel_NTService;

type
  T~FormName~ = class(TNtService)
  private
    { Private declarations }
  public
    { Public declarations }
  end;

var
  ~FormName~: T~FormName~;

implementation

{$R *.DFM}

end.
