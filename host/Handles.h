// Owning handle types: one small move-only type per closer, so that no path closes a handle by
// hand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace tamrel {

template <class T, auto Close, intptr_t InvalidValue = 0> class TUniqueHandle {
    static T Invalid() { return reinterpret_cast<T>(InvalidValue); }

public:
    TUniqueHandle() = default;
    explicit TUniqueHandle(T h) : FHandle(h) {}
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    TUniqueHandle(TUniqueHandle&& o) noexcept : FHandle(std::exchange(o.FHandle, Invalid())) {}
    TUniqueHandle& operator=(TUniqueHandle&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.FHandle, Invalid()));
        return *this;
    }
    ~TUniqueHandle() { Reset(); }

    T Get() const { return FHandle; }
    T* Put() {
        Reset();
        return &FHandle;
    }
    T Release() { return std::exchange(FHandle, Invalid()); }
    void Reset() { Reset(Invalid()); }
    void Reset(T h) {
        T old = std::exchange(FHandle, h);
        if (old != Invalid()) {
            DWORD err = GetLastError(); // closing must not disturb the caller's last error
            Close(old);
            SetLastError(err);
        }
    }
    bool Valid() const { return FHandle != Invalid(); }
    explicit operator bool() const { return Valid(); }

private:
    T FHandle = Invalid();
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
inline void CloseScHandle(SC_HANDLE h) { CloseServiceHandle(h); }
inline void CloseRegKey(HKEY h) { RegCloseKey(h); }
inline void FreeLocal(HLOCAL h) { LocalFree(h); }
inline void FreeModuleHandle(HMODULE h) { FreeLibrary(h); }
inline void CloseEventSource(HANDLE h) { DeregisterEventSource(h); }
inline void DestroyWindowHandle(HWND h) { DestroyWindow(h); }
inline void FreeSidHandle(PSID h) { FreeSid(h); }
inline void CloseFindHandle(HANDLE h) { FindClose(h); }
inline void DeleteGdiObject(HGDIOBJ h) { DeleteObject(h); }
inline void DeleteDcHandle(HDC h) { DeleteDC(h); }
inline void DestroyIconHandle(HICON h) { DestroyIcon(h); }
inline void UnhookHook(HHOOK h) { UnhookWindowsHookEx(h); }
inline void ReleaseVirtualBlock(void* p) { VirtualFree(p, 0, MEM_RELEASE); }
inline void DiscardResourceUpdate(HANDLE h) { EndUpdateResourceW(h, TRUE); }
} // namespace detail

using TKernelHandle = TUniqueHandle<HANDLE, detail::CloseKernelHandle>;
// CreateFile and friends answer INVALID_HANDLE_VALUE on failure.
using TFileHandle = TUniqueHandle<HANDLE, detail::CloseKernelHandle, -1>;
using TScHandle = TUniqueHandle<SC_HANDLE, detail::CloseScHandle>;
using TRegKey = TUniqueHandle<HKEY, detail::CloseRegKey>;
using TLocalMem = TUniqueHandle<HLOCAL, detail::FreeLocal>;
using TModuleHandle = TUniqueHandle<HMODULE, detail::FreeModuleHandle>;
using TEventSourceHandle = TUniqueHandle<HANDLE, detail::CloseEventSource>;
using TWindowHandle = TUniqueHandle<HWND, detail::DestroyWindowHandle>;
using TAllocatedSid = TUniqueHandle<PSID, detail::FreeSidHandle>;
using TFindHandle = TUniqueHandle<HANDLE, detail::CloseFindHandle, -1>;
// GDI objects (fonts, brushes, pens, bitmaps), memory device contexts, icons, windows hooks.
template <class T> using TGdiHandle = TUniqueHandle<T, detail::DeleteGdiObject>;
using TMemoryDc = TUniqueHandle<HDC, detail::DeleteDcHandle>;
using TIconHandle = TUniqueHandle<HICON, detail::DestroyIconHandle>;
using THookHandle = TUniqueHandle<HHOOK, detail::UnhookHook>;

// A device context obtained with GetDC/GetWindowDC, released with ReleaseDC.
class TWindowDc {
public:
    explicit TWindowDc(HWND wnd, bool wholeWindow = false)
        : FWnd(wnd), FDc(wholeWindow ? GetWindowDC(wnd) : GetDC(wnd)) {}
    ~TWindowDc() {
        if (FDc) ReleaseDC(FWnd, FDc);
    }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    HDC Get() const { return FDc; }

private:
    HWND FWnd;
    HDC FDc;
};
// A block of VirtualAlloc (reserved and committed as one).
using TVirtualBlock = TUniqueHandle<void*, detail::ReleaseVirtualBlock>;
// An update of a file's resources (BeginUpdateResource), discarded unless the caller commits it
// with EndUpdateResource(Release(), FALSE).
using TResourceUpdate = TUniqueHandle<HANDLE, detail::DiscardResourceUpdate>;

// Runs a function when the scope ends, on every exit.
template <class F> class TScopeExit {
public:
    explicit TScopeExit(F f) : FFunc(std::move(f)) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;
    ~TScopeExit() {
        if (FActive) FFunc();
    }
    void Dismiss() { FActive = false; }

private:
    F FFunc;
    bool FActive = true;
};

// Keeps the calling thread's last error across a scope.
class TPreserveLastError {
public:
    TPreserveLastError() : FError(GetLastError()) {}
    ~TPreserveLastError() { SetLastError(FError); }
    TPreserveLastError(const TPreserveLastError&) = delete;
    TPreserveLastError& operator=(const TPreserveLastError&) = delete;

private:
    DWORD FError;
};

} // namespace tamrel
