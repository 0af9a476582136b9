// The call-twice pattern of the system, in one place: a call made without a buffer answers the
// size it needs; it is made again with a buffer of that size, and again while the size keeps
// growing in between (a registry value or a service's configuration may change under us).
#pragma once

#include <windows.h>

#include <vector>

namespace tamrel {

// The result of a BOOL call as an error code: ERROR_SUCCESS, else the call's last error.
inline DWORD ErrorOf(BOOL ok) {
    return ok ? ERROR_SUCCESS : GetLastError();
}

// Whether a call answered that its buffer is too small (and reported the size it needs).
inline bool AsksForRoom(DWORD error) {
    return error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_MORE_DATA;
}

// Runs Call(buffer, size) until it has room: first with no buffer and size 0, then with a buffer
// of the size the last call reported. Call answers a Win32 error code and sets Size as the
// function it wraps does. A call without a buffer that succeeds and reports a size also asks for
// that size. Answers the last call's error; Buffer then holds what it wrote (the storage is
// aligned for any record), Size what it reported. A call that asks for room without asking for
// more than it has ends the rounds with its error.
template <class Call> DWORD CallWithSizeProbe(std::vector<BYTE>& buffer, DWORD& size, Call call) {
    buffer.clear();
    size = 0;
    DWORD error = call(static_cast<BYTE*>(nullptr), size);
    for (;;) {
        const bool probeSized = error == ERROR_SUCCESS && buffer.empty() && size > 0;
        if (!probeSized && !AsksForRoom(error)) return error;
        if (size <= buffer.size()) return error;
        buffer.assign(size, 0);
        error = call(buffer.data(), size);
    }
}

} // namespace tamrel
