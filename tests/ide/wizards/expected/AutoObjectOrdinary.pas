unit svc1;

(* SVC1 in 'svc1.pas'
   The automation class Foo of Project1. Its class object is registered with COM
   while the service FooService runs; its interfaces are declared in Project1_TLB. *)

interface

uses
  Windows, ActiveX, Classes, ComObj, StdVcl,
  Tamrel_ComObj, Tamrel_ComService, Tamrel_ComServ, Project1_TLB;

type
  TFoo = class(TAutoObject, IFoo)
  protected
    { The methods of IFoo }
  end;

implementation

initialization
  TSvcAutoObjectFactory.Create(SvcComServer, TFoo, CLASS_Foo, ciMultiInstance, 'FooService');
end.
