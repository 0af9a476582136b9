unit TamrelRemoteDataModule_TLB;

// The declarations of the type library TamrelRemoteDataModule, written by tlibimp: changes made here
// are lost when the library changes.

interface

uses Windows, ActiveX, Classes, Variants;

const
  TamrelRemoteDataModuleMajorVersion = 1;
  TamrelRemoteDataModuleMinorVersion = 0;

  LIBID_TamrelRemoteDataModule: TGUID = '{00000000-0000-0000-0000-000000000000}';
  IID_IRemoteDataModule: TGUID = '{00000000-0000-0000-0000-000000000000}';

type
  IRemoteDataModule = interface;
  IRemoteDataModuleDisp = dispinterface;

  IRemoteDataModule = interface(IDispatch)
    ['{00000000-0000-0000-0000-000000000000}']
  end;

  IRemoteDataModuleDisp = dispinterface
    ['{00000000-0000-0000-0000-000000000000}']
  end;

implementation

uses ComObj;

end.
