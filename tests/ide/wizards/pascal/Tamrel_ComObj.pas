// Stands in for the library's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): the service-bound class factories.
unit Tamrel_ComObj;

interface

uses
  Classes, ComObj, VCLCom;

type
  TSvcAutoObjectFactory = class(TAutoObjectFactory)
  public
    constructor Create(ComServer: TComServerObject; AutoClass: TAutoClass; const ClassID: TGUID;
      Instancing: TClassInstancing; const ServiceName: string);
  end;

  TSvcComponentFactory = class(TComponentFactory)
  public
    constructor Create(ComServer: TComServerObject; ComponentClass: TComponentClass; const ClassID: TGUID;
      Instancing: TClassInstancing; const ServiceName: string; SocketEnabled, WebEnabled: Boolean);
  end;

implementation

constructor TSvcAutoObjectFactory.Create(ComServer: TComServerObject; AutoClass: TAutoClass;
  const ClassID: TGUID; Instancing: TClassInstancing; const ServiceName: string);
begin
  inherited Create(ComServer, AutoClass, ClassID, Instancing, tmSingle);
end;

constructor TSvcComponentFactory.Create(ComServer: TComServerObject; ComponentClass: TComponentClass;
  const ClassID: TGUID; Instancing: TClassInstancing; const ServiceName: string; SocketEnabled, WebEnabled: Boolean);
begin
  inherited Create(ComServer, ComponentClass, ClassID, Instancing, tmSingle);
end;

end.
