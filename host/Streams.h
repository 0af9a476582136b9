// Byte streams: the abstract stream, memory, file and read-only resource streams.
#pragma once

#include "host/Api.h"
#include "host/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel {

inline constexpr wchar_t SReadError[] = L"Stream read error";
inline constexpr wchar_t SWriteError[] = L"Stream write error";
inline constexpr wchar_t SFOpenErrorEx[] = L"Cannot open file \"%s\". %s";
inline constexpr wchar_t SFCreateErrorEx[] = L"Cannot create file \"%s\". %s";
inline constexpr wchar_t SResNotFound[] = L"Resource %s not found";
inline constexpr wchar_t SCantWriteResourceStreamError[] = L"Can't write to a read-only resource stream";

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TAMREL_API TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Answer the number of bytes moved (0 at the end, or for a count of 0 or less).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // Answers the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    // A position beyond the new end moves to the new end.
    virtual void SetSize(int64_t newSize) = 0;
    virtual int64_t Size();

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }

    // All or nothing: a short transfer raises EReadError / EWriteError.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    // Copies Count bytes from the source's position; Count 0 copies the whole source from its
    // start; a negative Count copies nothing. Answers the number of bytes copied; a short
    // source raises EReadError.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over one block of memory; reading and seeking are common to the memory and the
// resource streams.
class TAMREL_API TCustomMemoryStream : public TStream {
public:
    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FSize; }
    void* Memory() const { return FMemory; }
    void SaveToStream(TStream& stream);
    void SaveToFile(const std::wstring& fileName);

protected:
    void SetPointer(void* memory, int64_t size);
    int64_t FPosition = 0;

private:
    void* FMemory = nullptr;
    int64_t FSize = 0;
};

class TAMREL_API TMemoryStream : public TCustomMemoryStream {
public:
    ~TMemoryStream() override = default;
    int32_t Write(const void* buffer, int32_t count) override;
    void SetSize(int64_t newSize) override;
    void Clear();
    // Replaces the content with the whole of the stream (from its start); position 0 after.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::wstring& fileName);

private:
    std::vector<uint8_t> FBuffer;
};

// File open modes: one access mode, or fmCreate, combined with one share mode.
enum : uint32_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

class TAMREL_API TFileStream : public TStream {
public:
    // fmCreate makes a new empty file (or empties an existing one) open for reading and
    // writing. Failures raise EFCreateError / EFOpenError with the system's message.
    TFileStream(const std::wstring& fileName, uint32_t mode);
    ~TFileStream() override = default;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;

    const std::wstring& FileName() const { return FFileName; }
    HANDLE Handle() const { return FHandle.Get(); }

private:
    std::wstring FFileName;
    TFileHandle FHandle;
};

// A read-only stream over a resource of a module.
class TAMREL_API TResourceStream : public TCustomMemoryStream {
public:
    // Raises EResNotFound when the module has no such resource.
    TResourceStream(HMODULE instance, const std::wstring& resName, const wchar_t* resType);
    TResourceStream(HMODULE instance, int32_t resId, const wchar_t* resType);

    // Both raise EStreamError: the resource is read-only.
    int32_t Write(const void* buffer, int32_t count) override;
    void SetSize(int64_t newSize) override;

private:
    void Initialize(HMODULE instance, const wchar_t* name, const wchar_t* type, const std::wstring& shownName);
};

} // namespace tamrel
