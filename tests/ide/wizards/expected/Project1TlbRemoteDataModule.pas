unit Project1_TLB;

// The declarations of the type library Project1.tlb, written by tlibimp: changes made here
// are lost when the library changes.

interface

uses Windows, ActiveX, Classes, Variants, TamrelRemoteDataModule_TLB;

const
  Project1MajorVersion = 1;
  Project1MinorVersion = 0;

  LIBID_Project1: TGUID = '{00000000-0000-0000-0000-000000000000}';
  IID_IBar: TGUID = '{00000000-0000-0000-0000-000000000000}';
  CLASS_Bar: TGUID = '{00000000-0000-0000-0000-000000000000}';

type
  IBar = interface;
  IBarDisp = dispinterface;
  Bar = IBar;

  IBar = interface(IRemoteDataModule)
    ['{00000000-0000-0000-0000-000000000000}']
  end;

  IBarDisp = dispinterface
    ['{00000000-0000-0000-0000-000000000000}']
  end;

  CoBar = class
    class function Create: IBar;
    class function CreateRemote(const MachineName: string): IBar;
  end;

implementation

uses ComObj;

class function CoBar.Create: IBar;
begin
  Result := CreateComObject(CLASS_Bar) as IBar;
end;

class function CoBar.CreateRemote(const MachineName: string): IBar;
begin
  Result := CreateRemoteComObject(MachineName, CLASS_Bar) as IBar;
end;

end.
