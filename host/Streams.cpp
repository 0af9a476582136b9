#include "host/Streams.h"

#include "host/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
    int64_t position = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count < 0) return 0;
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int32_t kChunk = 0xF000;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 1), kChunk)));
    int64_t left = count;
    while (left > 0) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(left, kChunk));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// TCustomMemoryStream

void TCustomMemoryStream::SetPointer(void* memory, int64_t size) {
    FMemory = memory;
    FSize = size;
}

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
    int64_t n = std::min<int64_t>(count, FSize - FPosition);
    std::memcpy(buffer, static_cast<const uint8_t*>(FMemory) + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return static_cast<int32_t>(n);
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    switch (origin) {
    case soBeginning:
        FPosition = offset;
        break;
    case soCurrent:
        FPosition += offset;
        break;
    case soEnd:
        FPosition = FSize + offset;
        break;
    }
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
    int64_t left = FSize;
    const uint8_t* p = static_cast<const uint8_t*>(FMemory);
    while (left > 0) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(left, 0x40000000));
        stream.WriteBuffer(p, n);
        p += n;
        left -= n;
    }
}

void TCustomMemoryStream::SaveToFile(const std::wstring& fileName) {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

// ---------------------------------------------------------------------------------------------
// TMemoryStream

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0 || FPosition < 0) return 0;
    int64_t end = FPosition + count;
    if (end > Size()) SetSize(end);
    std::memcpy(FBuffer.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0) newSize = 0;
    FBuffer.resize(static_cast<size_t>(newSize)); // bytes added past the old end are zero
    SetPointer(FBuffer.empty() ? nullptr : FBuffer.data(), newSize);
    if (FPosition > newSize) FPosition = newSize;
}

void TMemoryStream::Clear() {
    std::vector<uint8_t>().swap(FBuffer);
    SetPointer(nullptr, 0);
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    int64_t size = stream.Size();
    SetSize(size);
    uint8_t* p = FBuffer.data();
    for (int64_t left = size; left > 0;) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(left, 0x40000000));
        stream.ReadBuffer(p, n);
        p += n;
        left -= n;
    }
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::wstring& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

// ---------------------------------------------------------------------------------------------
// TFileStream

namespace {

DWORD ShareModeOf(uint32_t mode) {
    switch (mode & 0xF0) {
    case fmShareDenyWrite:
        return FILE_SHARE_READ;
    case fmShareDenyRead:
        return FILE_SHARE_WRITE;
    case fmShareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: // compatibility and exclusive
        return 0;
    }
}

} // namespace

TFileStream::TFileStream(const std::wstring& fileName, uint32_t mode) : FFileName(fileName) {
    DWORD share = ShareModeOf(mode);
    if ((mode & fmCreate) == fmCreate) {
        FHandle.Reset(CreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FHandle) {
            DWORD error = GetLastError();
            throw EFCreateError(SFCreateErrorEx, ExpandFileName(fileName), SysErrorMessage(error));
        }
        return;
    }
    DWORD access = 0;
    switch (mode & 0x3) {
    case fmOpenRead:
        access = GENERIC_READ;
        break;
    case fmOpenWrite:
        access = GENERIC_WRITE;
        break;
    case fmOpenReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    default:
        throw EFOpenError(SFOpenErrorEx, ExpandFileName(fileName), SysErrorMessage(ERROR_INVALID_PARAMETER));
    }
    FHandle.Reset(
        CreateFileW(fileName.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle) {
        DWORD error = GetLastError();
        throw EFOpenError(SFOpenErrorEx, ExpandFileName(fileName), SysErrorMessage(error));
    }
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    DWORD n = 0;
    if (count <= 0 || !ReadFile(FHandle.Get(), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<int32_t>(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    DWORD n = 0;
    if (count <= 0 || !WriteFile(FHandle.Get(), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<int32_t>(n);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    static_assert(soBeginning == FILE_BEGIN && soCurrent == FILE_CURRENT && soEnd == FILE_END);
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(FHandle.Get(), distance, &position, static_cast<DWORD>(origin))) return -1;
    return position.QuadPart;
}

void TFileStream::SetSize(int64_t newSize) {
    int64_t position = Position();
    if (Seek(newSize, soBeginning) != newSize || !SetEndOfFile(FHandle.Get())) {
        DWORD error = GetLastError();
        Seek(position, soBeginning);
        RaiseLastOSError(error);
    }
    Seek(std::min(position, newSize), soBeginning);
}

// ---------------------------------------------------------------------------------------------
// TResourceStream

TResourceStream::TResourceStream(HMODULE instance, const std::wstring& resName, const wchar_t* resType) {
    Initialize(instance, resName.c_str(), resType, resName);
}

TResourceStream::TResourceStream(HMODULE instance, int32_t resId, const wchar_t* resType) {
    Initialize(instance, MAKEINTRESOURCEW(resId), resType, IntToStr(resId));
}

void TResourceStream::Initialize(HMODULE instance, const wchar_t* name, const wchar_t* type,
                                 const std::wstring& shownName) {
    HRSRC info = FindResourceW(instance, name, type);
    HGLOBAL data = info ? LoadResource(instance, info) : nullptr;
    void* memory = data ? LockResource(data) : nullptr;
    if (!memory) throw EResNotFound(SResNotFound, shownName);
    // Resources live as long as their module; there is nothing to free.
    SetPointer(memory, SizeofResource(instance, info));
}

int32_t TResourceStream::Write(const void*, int32_t) { throw EStreamError(SCantWriteResourceStreamError); }

void TResourceStream::SetSize(int64_t) { throw EStreamError(SCantWriteResourceStreamError); }

} // namespace tamrel
