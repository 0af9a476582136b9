// Stands in for the host framework's unit of the same name when the message table's unit is
// compiled (the msgtable_pascal test): only what the unit uses.
unit Windows;

interface

type
  DWORD = LongWord;
  BOOL = LongBool;

function RegisterEventSource(lpUNCServerName, lpSourceName: PChar): THandle;
function DeregisterEventSource(hEventLog: THandle): BOOL;
function ReportEvent(hEventLog: THandle; wType, wCategory: Word; dwEventID: DWORD; lpUserSid: Pointer;
  wNumStrings: Word; dwDataSize: DWORD; lpStrings: Pointer; lpRawData: Pointer): BOOL;

implementation

function RegisterEventSource(lpUNCServerName, lpSourceName: PChar): THandle;
begin
  Result := 0;
end;

function DeregisterEventSource(hEventLog: THandle): BOOL;
begin
  Result := True;
end;

function ReportEvent(hEventLog: THandle; wType, wCategory: Word; dwEventID: DWORD; lpUserSid: Pointer;
  wNumStrings: Word; dwDataSize: DWORD; lpStrings: Pointer; lpRawData: Pointer): BOOL;
begin
  Result := True;
end;

end.
