// Stands in for the host framework's unit of the same name when the wizards' output or the
// message table's unit is compiled (CheckPascal.cmake beside it, and the msgtable_pascal test):
// only what those units use.
unit Windows;

interface

type
  DWORD = LongWord;
  BOOL = LongBool;

function RegisterEventSource(lpUNCServerName, lpSourceName: PChar): THandle; stdcall;
  external 'advapi32.dll' name 'RegisterEventSourceA';
function DeregisterEventSource(hEventLog: THandle): BOOL; stdcall; external 'advapi32.dll';
function ReportEvent(hEventLog: THandle; wType, wCategory: Word; dwEventID: DWORD; lpUserSid: Pointer;
  wNumStrings: Word; dwDataSize: DWORD; lpStrings: Pointer; lpRawData: Pointer): BOOL; stdcall;
  external 'advapi32.dll' name 'ReportEventA';

implementation

end.
