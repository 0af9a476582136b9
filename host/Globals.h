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

#include "host/Classes.h"
#include "host/ExitProcs.h"

#include <atomic>
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

// A library-wide component object behind a library global: made on first use with Create<T>,
// freed with Free when the global is released. Alive() tells whether it exists right now (false
// before the first use and after the release). Use one as TLibraryGlobal<TGlobalComponent<T>>
// behind an accessor, as above.
template <class T> class TGlobalComponent {
public:
    TGlobalComponent() : FObject(Create<T>(nullptr)) { StateFlag() = kAlive; }
    ~TGlobalComponent() {
        StateFlag() = kGone;
        Free(FObject);
    }
    TGlobalComponent(const TGlobalComponent&) = delete;
    TGlobalComponent& operator=(const TGlobalComponent&) = delete;
    T* Get() const { return FObject; }
    static bool Alive() { return StateFlag() == kAlive; }

private:
    enum { kUnmade, kAlive, kGone };
    static std::atomic<int>& StateFlag() {
        static std::atomic<int> state{kUnmade};
        return state;
    }
    T* FObject;
};

} // namespace tamrel
