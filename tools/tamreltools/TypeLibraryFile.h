// The check the tools library and its callers make before loading a project's type library.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tamrel {

// Whether the file is a whole type library as far as its directory tells: the system's loader
// may stop the process on a library cut short instead of failing, so one is never handed to it.
inline bool WholeTypeLibraryFile(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    std::vector<uint8_t> bytes;
    if (GetFileSizeEx(f, &size) && size.QuadPart < (64 << 20)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                               read != bytes.size()))
            bytes.clear();
    }
    CloseHandle(f);
    auto at = [&bytes](size_t offset) {
        int32_t v = 0;
        if (offset + 4 <= bytes.size()) memcpy(&v, bytes.data() + offset, 4);
        return v;
    };
    const size_t headerSize = 0x54;
    if (bytes.size() < headerSize || memcmp(bytes.data(), "MSFT", 4) != 0) return false;
    const int32_t typeCount = at(0x20);
    if (typeCount < 0 || typeCount > 0xFFFF) return false;
    const size_t segments = headerSize + ((at(0x14) & 0x100) ? 4 : 0) + size_t(typeCount) * 4;
    const size_t segmentCount = 15;
    if (segments + segmentCount * 16 > bytes.size()) return false;
    for (size_t i = 0; i < segmentCount; ++i) {
        const int32_t offset = at(segments + i * 16), length = at(segments + i * 16 + 4);
        if (offset == -1) continue;
        if (offset < 0 || length < 0 || size_t(offset) + size_t(length) > bytes.size()) return false;
    }
    return true;
}

} // namespace tamrel
