#include "ide/wizards/typelib/TypeLibraryFile.h"

#include "host/Handles.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace tamrel {

bool WholeTypeLibraryFile(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    {
        TFileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!f) return false;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(f.Get(), &size) && size.QuadPart < (64 << 20)) {
            bytes.resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            if (!bytes.empty() && (!ReadFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                                   read != bytes.size()))
                bytes.clear();
        }
    }
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

bool LoadWholeTypeLibrary(const std::wstring& path, ITypeLib** library) {
    *library = nullptr;
    if (!WholeTypeLibraryFile(path)) return false;
    if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library)) && *library) return true;
    *library = nullptr;
    return false;
}

bool TypeLibraryHoldsName(ITypeLib* library, const std::wstring& name) {
    std::wstring buffer = name; // the look-up writes the name as the library holds it
    BOOL found = FALSE;
    if (SUCCEEDED(library->IsName(buffer.data(), 0, &found)) && found) return true;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        BSTR typeName = nullptr;
        if (FAILED(library->GetDocumentation(static_cast<INT>(i), &typeName, nullptr, nullptr, nullptr))) continue;
        const bool same = typeName && CompareStringOrdinal(typeName, -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
        SysFreeString(typeName);
        if (same) return true;
    }
    return false;
}

std::wstring TakenClassName(ITypeLib* library, const std::wstring& className, bool events) {
    std::vector<std::wstring> names = {className, L"I" + className};
    if (events) names.push_back(L"I" + className + L"Events");
    for (const std::wstring& name : names)
        if (TypeLibraryHoldsName(library, name)) return name;
    return {};
}

} // namespace tamrel
