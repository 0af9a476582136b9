unit ~UnitName~;

interface

uses
  Windows, SysUtils, Classes, Tamrel_NTService, Tamrel_ComService;

type
  T~FormName~ = class(TComService)
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
