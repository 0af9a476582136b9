// The running processes of the system, each with its id.
#pragma once

#include "host/Classes.h"

namespace tamrel {

// Clears Strings and adds one line per running process: the full path of the process's first
// module when its modules can be read, else the executable name; the line's object is the
// process id (cast to a pointer). A snapshot that cannot be taken or walked raises the OS error.
TAMREL_API void GetProcessList(TStrings* Strings);

// The id stored as the object of a line of GetProcessList.
inline DWORD ProcessIdOf(const TStrings* Strings, int Index) {
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(Strings->GetObject(Index)));
}

} // namespace tamrel
