// Exit procedures: work that must run once at the end of the program, before the library's
// globals are released and never under the loader lock.
//
// When they run:
// - The host application calls RunExitProcs at its end: the normal way.
// - Otherwise, at the program's exit (main returning, or exit()): every image that includes this
//   header registers a call with its own exit list. The program's list runs during exit(),
//   before any DLL is detached, so the procedures run there. A DLL's list runs while the DLL is
//   detached, under the loader lock, where running them could deadlock (they end threads and
//   destroy windows): from there they are never run.
// - A library global (host/Globals.h) runs the pending procedures before it is released, so that
//   when the library is compiled into the program they still find every global alive.
// So a program that links the library as a DLL gets its exit procedures run as long as it
// includes this header (the library's headers do) and ends through exit(); a program that ends
// with ExitProcess, or a DLL that is unloaded, leaves pending procedures unrun.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>

#include "host/Api.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tamrel {

using TExitProc = std::function<void()>;

// Adds a procedure to the list; an empty one is ignored.
TAMREL_API void AddExitProc(TExitProc Proc);
// Runs every pending procedure once, the last added first, each inside a guard (an exception is
// dropped and the next procedure runs). A procedure added while they run runs in the same pass.
// Calling it again runs only what was added since.
TAMREL_API void RunExitProcs();
TAMREL_API bool ExitProcsPending();

namespace detail {

// The image (program or DLL) that holds the calling code.
inline HMODULE ThisImage() { return reinterpret_cast<HMODULE>(&__ImageBase); }

// At the end of Image: runs the pending procedures when Image is the program, leaves them when
// it is a DLL (loader lock). Answers whether none is pending afterwards.
TAMREL_API bool RunExitProcsAtImageEnd(HMODULE Image) noexcept;

inline void RunExitProcsAtImageExit() { RunExitProcsAtImageEnd(ThisImage()); }

// One registration per image (inline: merged within the image, separate per DLL and program).
inline const bool ExitProcsHookedToImageExit = (std::atexit(&RunExitProcsAtImageExit), true);

} // namespace detail

} // namespace tamrel
