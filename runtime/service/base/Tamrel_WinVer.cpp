#include "runtime/service/base/Tamrel_WinVer.h"

#include "host/SysUtils.h"
#include "runtime/service/base/internal/Tamrel_WinVerInternal.h"

namespace tamrel {

namespace {

OSVERSIONINFOW ReadVersionRecord() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    Win32Check(GetVersionExW(&info));
    return info;
}

detail::TIsWow64ProcessFn LookupIsWow64Process() {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel) return nullptr;
    // Through a plain function type: the compiler rejects a direct cast between unrelated
    // function signatures.
    auto proc = reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process"));
    return reinterpret_cast<detail::TIsWow64ProcessFn>(proc);
}

} // namespace

const OSVERSIONINFOW& VersionRecord() {
    // A failed first attempt leaves the static uninitialised, so the error is raised again on the
    // next use instead of a zeroed record answering quietly.
    static const OSVERSIONINFOW record = ReadVersionRecord();
    return record;
}

int32_t VersionNumber() {
    const OSVERSIONINFOW& v = VersionRecord();
    return static_cast<int32_t>(v.dwMajorVersion * 10 + v.dwMinorVersion);
}

namespace {
// Set only by tests, between their own steps.
std::atomic<DWORD> GPlatformOverride{0};
} // namespace

namespace detail {
void SetPlatformOverride(DWORD platformId) { GPlatformOverride.store(platformId, std::memory_order_relaxed); }
DWORD PlatformOverride() { return GPlatformOverride.load(std::memory_order_relaxed); }
} // namespace detail

bool IsWinNT() {
    DWORD platform = VersionRecord().dwPlatformId;
    if (DWORD replaced = detail::PlatformOverride()) platform = replaced;
    return platform == VER_PLATFORM_WIN32_NT;
}
bool IsWin2000() { return IsWinNT() && VersionNumber() >= 50; }
bool IsWinXP() { return IsWinNT() && VersionNumber() >= 51; }
bool IsVista() { return IsWinNT() && VersionNumber() >= 60; }

bool IsWow64() {
    static std::atomic<uint8_t> cache{detail::kWow64Unknown};
    return detail::Wow64Answer(cache, LookupIsWow64Process);
}

namespace detail {

bool Wow64Answer(std::atomic<uint8_t>& cache, TIsWow64Lookup lookup) {
    uint8_t known = cache.load(std::memory_order_acquire);
    if (known != kWow64Unknown) return known == kWow64Yes;
    TIsWow64ProcessFn fn = lookup();
    if (!fn) {
        cache.store(kWow64No, std::memory_order_release);
        return false;
    }
    BOOL wow64 = FALSE;
    // A failing call is not cached: the next question asks the system again.
    if (!fn(GetCurrentProcess(), &wow64)) return false;
    cache.store(wow64 ? kWow64Yes : kWow64No, std::memory_order_release);
    return wow64 != FALSE;
}

} // namespace detail

} // namespace tamrel
