// Log: every line goes to stderr and, when TAMRELDBG_LOG names a file, is appended to that file
// (UTF-8, CR LF). Each line is "tamreldbg: " followed by a record; fields are key=value,
// separated by one blank; texts are double-quoted with \" \\ \r \n \t \xNN escapes, or nil;
// numbers flagged 0x are hexadecimal, the rest decimal. Records:
//
//   dispatcher start services=2 names="A,B" variant=full
//   dispatcher return result=ok|forced
//   dispatcher result=refused error=87|1056                (bad table, second dispatcher)
//   main NAME start argc=1 | main NAME returned | main NAME result=exception
//   main NAME result=running                               (5 s after the dispatcher ended)
//   register NAME handle=0x... [kind=extended] result=ok | register NAME result=refused error=1083
//   status NAME state=RUNNING(4) accepted=0x5 checkpoint=0 waithint=3000 win32exit=0 specificexit=0 type=0x10
//   status handle=0x... result=refused error=6|13|87
//   control NAME code=1(STOP) source=pipe|console|ctrl-c result=accepted|refused error=1052|exception
//   control NAME code=13(POWEREVENT) eventtype=4 source=pipe result=accepted   (a power event)
//       (logged when the handler has returned, after the status reports it made)
//   quit source=pipe result=accepted stopping=1 abandoned=0 | quit source=.. result=forced
//   shutdown source=pipe result=done delivered=2 refused=0   (also preshutdown)
//   abandon NAME state=START_PENDING(2)                      (refused the stop of a quit)
//   wait NAME state=RUNNING(4) result=reached | result=timeout error=1460 state=...
//   command source=pipe text="..." result=refused error=87   (unknown or malformed command)
//   input source=console result=closed
//   pipe name="\\\\.\\pipe\\x" result=listening|connected|disconnected|error error=N
//   openscmanager machine=nil database=nil access=0xF003F handle=0x... result=ok
//   createservice NAME display="..." access=0x... type=0x10 start=3 errorcontrol=1 path="..."
//       group=nil tag=0 dependencies="A,+G" account=nil password=yes|no handle=0x... result=ok
//   changeserviceconfig2 NAME form=W|A level=1 description="..." result=ok
//       (level=2 resetperiod=N rebootmsg=".." command=".." actions=TYPE:DELAY,...;
//        level=3 delayedautostart=0|1; level=4 failureactionsflag=0|1;
//        level=7 preshutdowntimeout=N; info=nil when no record was passed)
//   closeservicehandle handle=0x... kind=manager|service name=NAME result=ok
//   event send=checkpoint form=A|W text="..." data=N time=HH:MM:SS.mmm
//   event send=clear-to-checkpoint time=... | event send=clear-all time=...
//   event send=value form=A|W kind=info|warning|error text="..." value=I4:42 data=N time=...
//   event send=method-enter|method-leave form=A|W text="..." data=N time=...
//   event send=message form=A|W kind=info|warning|error text="..." data=N time=...
//
// Answers to status queries are not logged: they would read as status reports. Passwords are
// never logged.
//
// Values print as TYPE:TEXT (BSTR text quoted), EMPTY or NULL.
//
// Refused calls of the exports set the last error as the real functions do, and log the record
// with result=refused error=N.
#pragma once

#include <windows.h>

#include <string>

namespace tamreldbg {

// Writes one record; safe from any thread, also while the process ends (the log is never
// destroyed: threads of the library may still log then).
void LogLine(const std::string& record);

// Logs a record and answers it (the pipe's reply is the record itself).
std::string Outcome(const std::string& record);
// Logs and answers the record with " result=refused error=N".
std::string Refused(const std::string& record, DWORD error);
// Refused, and the calling thread's last error set to the error: the exports' failure path.
void RefuseCall(const std::string& record, DWORD error);

} // namespace tamreldbg
