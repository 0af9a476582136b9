// Control requests come from the console (one command a line on stdin), from a named pipe whose
// name is in TAMRELDBG_PIPE ("\\.\pipe\name" or just "name"), and from Ctrl+C. End of input on
// stdin stops nothing. Commands (NAME = a service of the table, case ignored):
//
//   stop NAME | pause NAME | continue NAME | interrogate NAME | paramchange NAME
//   netbind NAME add|remove|enable|disable
//   power NAME TYPE                         a power event of event type TYPE (decimal or 0x hex);
//                                           needs the extended handler
//   shutdown [NAME] | preshutdown [NAME]    every running service that accepts it, or NAME
//   control NAME CODE                       CODE (decimal or 0x hex) as it is, accepted or not
//   quit                                    stop requests to every service, then the dispatcher
//                                           returns; a second quit (or Ctrl+C) returns at once
//   status [NAME]                           the last reported status
//   wait NAME STATE [MS]                    until NAME reports STATE (name or number); 10000 ms
//   help
//
// A named command for a control that the service has not accepted is refused with 1052, as the
// real manager does; a stopped service refuses with 1062, an unknown name with 1060, a service
// without a handler (or one stopping or starting) with 1061. `control` skips those acceptance
// checks. Ctrl+C (and Ctrl+Break, console close) acts as quit.
//
// The pipe answers each command line with one line: the outcome line of the log below, without
// the "tamreldbg: " prefix.
//
// Every command is one entry of the table in Commands.cpp: its verb, how many words follow it, its
// line of the help text, and a function that answers the outcome record. A control for a service
// goes to the dispatcher (SendControl); anything else answers at once.
#pragma once

#include <windows.h>

#include <string>

namespace tamreldbg {

// Runs one command line; answers the outcome record ("" for a blank line, or when the dispatcher
// already wrote it to Pipe).
std::string RunCommand(const std::wstring& line, const std::string& source, HANDLE pipe = nullptr);

} // namespace tamreldbg
