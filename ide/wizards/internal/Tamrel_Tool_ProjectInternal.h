// Internal to the project tools and their tests: the importer's time limit, and the process and
// thread handles of the importer's last run (closed by then), so that a test can see that both
// were let go.
//
// Not part of the add-ins' public surface: wizards never include this header.
#pragma once

#include <windows.h>

namespace tamrel {

// How long the importer may run (milliseconds; 60,000 unless a test says otherwise).
void SetImporterTimeout(DWORD milliseconds);

struct TImporterHandles {
    HANDLE Process = nullptr;
    HANDLE Thread = nullptr;
};
// The handles the last importer run got from the system; null when it did not start.
TImporterHandles LastImporterHandles();

} // namespace tamrel
