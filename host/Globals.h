// Library globals: objects that the library makes once per process on first use and releases at
// the end of the process.
//
// Define each one as a function-local static inside one .cpp file of the library, behind an
// accessor that is not inline:
//
//     TSensorState& SensorState() {
//         static TLibraryGlobal<TSensorState> global;
//         return *global;
//     }
//
// The language makes the first use thread-safe and the object unique within its image, and
// because the accessor lives in one translation unit, a program that links the library as a
// DLL reaches the DLL's object instead of making its own.
//
// Release. Before the object goes, the pending exit procedures run (host/ExitProcs.h), so that
// they find every global alive. Where that is impossible — the library is a DLL being detached
// under the loader lock and the program never ran them — the object is deliberately left
// unreleased: what the exit procedures would have taken down first is still up, and tearing the
// rest down beneath it is worse than leaving memory to the ending process. A global released in
// a DLL is released under the loader lock: its destructor must not wait for other threads.
#pragma once

#include "host/ExitProcs.h"

#include <utility>

namespace tamrel {

template <class T> class TLibraryGlobal {
public:
    template <class... A> explicit TLibraryGlobal(A&&... args) : FObject(new T(std::forward<A>(args)...)) {}
    ~TLibraryGlobal() {
        if (!detail::RunExitProcsAtImageEnd(detail::ThisImage())) {
            FObject = nullptr; // left to the ending process
            return;
        }
        delete std::exchange(FObject, nullptr);
    }
    TLibraryGlobal(const TLibraryGlobal&) = delete;
    TLibraryGlobal& operator=(const TLibraryGlobal&) = delete;

    // Nil once released (for code that runs later in the static destruction).
    T* Get() const { return FObject; }
    T& operator*() const { return *FObject; }
    T* operator->() const { return FObject; }

private:
    T* FObject;
};

} // namespace tamrel
