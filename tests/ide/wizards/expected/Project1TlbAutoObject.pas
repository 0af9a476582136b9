unit Project1_TLB;

// The declarations of the type library Project1.tlb, written by tlibimp: changes made here
// are lost when the library changes.

interface

uses Windows, ActiveX, Classes, Variants;

const
  Project1MajorVersion = 1;
  Project1MinorVersion = 0;

  LIBID_Project1: TGUID = '{00000000-0000-0000-0000-000000000000}';
  IID_IFoo: TGUID = '{00000000-0000-0000-0000-000000000000}';
  DIID_IFooEvents: TGUID = '{00000000-0000-0000-0000-000000000000}';
  CLASS_Foo: TGUID = '{00000000-0000-0000-0000-000000000000}';

type
  IFoo = interface;
  IFooDisp = dispinterface;
  IFooEvents = dispinterface;
  Foo = IFoo;

  IFoo = interface(IDispatch)
    ['{00000000-0000-0000-0000-000000000000}']
  end;

  IFooDisp = dispinterface
    ['{00000000-0000-0000-0000-000000000000}']
  end;

  IFooEvents = dispinterface
    ['{00000000-0000-0000-0000-000000000000}']
  end;

  CoFoo = class
    class function Create: IFoo;
    class function CreateRemote(const MachineName: string): IFoo;
  end;

implementation

uses ComObj;

class function CoFoo.Create: IFoo;
begin
  Result := CreateComObject(CLASS_Foo) as IFoo;
end;

class function CoFoo.CreateRemote(const MachineName: string): IFoo;
begin
  Result := CreateRemoteComObject(MachineName, CLASS_Foo) as IFoo;
end;

end.
