unit svc1;

(* SVC1 in 'svc1.pas'
   The automation class Foo of Project1. Its class object is registered with COM
   while the service FooService runs; its interfaces are declared in Project1_TLB. *)

interface

uses
  Windows, ActiveX, Classes, ComObj, StdVcl,
  Tamrel_FactoryThread,
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, Project1_TLB;

type
  // Each object of this factory lives in an apartment thread of its own.
  TFooApartmentFactory = class(TSvcAutoObjectFactory)
  protected
    function CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; stdcall;
  public
    function CreateInstance(const UnkOuter: IUnknown; const IID: TGUID; out Obj): HResult; override; stdcall;
  end;

  TFoo = class(TAutoObject, IFoo)
  protected
    { The methods of IFoo }
  end;

implementation

function TFooApartmentFactory.CreateInstance(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := CreateInstanceInFactory(CreateInstanceInApartment, TSvcFactoryThread, UnkOuter, IID, Obj, 0);
end;

function TFooApartmentFactory.CreateInstanceInApartment(const UnkOuter: IUnknown; const IID: TGUID;
  out Obj): HResult;
begin
  Result := inherited CreateInstance(UnkOuter, IID, Obj);
end;

initialization
  TFooApartmentFactory.Create(SvcComServer, TFoo, CLASS_Foo, ciMultiInstance,
    'FooService');
end.
