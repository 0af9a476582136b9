#include "host/Streams.h"

#include "host/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::string Bytes(TStream& s) {
    std::string out(static_cast<size_t>(s.Size()), '\0');
    s.SetPosition(0);
    s.ReadBuffer(out.data(), static_cast<int32_t>(out.size()));
    return out;
}

// A temporary file that is deleted at the end of the test.
struct TTempFile {
    std::wstring Path = TempFileName(L"streams");
    ~TTempFile() { DeleteFileW(Path.c_str()); }
};

} // namespace

TEST(MemoryStream, WriteReadSeekAndGrow) {
    TMemoryStream m;
    EXPECT_EQ(0, m.Size());
    m.WriteBuffer("abcdef", 6);
    EXPECT_EQ(6, m.Position());
    EXPECT_EQ(2, m.Seek(-4, soCurrent));
    m.WriteBuffer("XY", 2);
    EXPECT_EQ(3, m.Seek(-3, soEnd));
    char buf[8] = {};
    EXPECT_EQ(3, m.Read(buf, 8)) << "a read stops at the end";
    EXPECT_EQ(std::string("Yef"), std::string(buf, 3));
    EXPECT_EQ(0, m.Read(buf, 8));
    EXPECT_EQ(std::string("abXYef", 6), std::string(static_cast<char*>(m.Memory()), 6));
    // Writing past the end fills the gap with zeros.
    m.SetPosition(8);
    m.WriteBuffer("Z", 1);
    EXPECT_EQ(std::string("abXYef\0\0Z", 9), Bytes(m));
}

TEST(MemoryStream, SetSizeAndClear) {
    TMemoryStream m;
    m.WriteBuffer("0123456789", 10);
    m.SetSize(4);
    EXPECT_EQ(4, m.Position()) << "a position beyond the new end moves to the end";
    m.SetPosition(1);
    m.SetSize(6);
    EXPECT_EQ(1, m.Position());
    EXPECT_EQ(std::string("0123\0\0", 6), Bytes(m));
    m.Clear();
    EXPECT_EQ(0, m.Size());
    EXPECT_EQ(0, m.Position());
    EXPECT_EQ(nullptr, m.Memory());
}

TEST(MemoryStream, ShortTransfersRaiseStreamErrors) {
    TMemoryStream m;
    m.WriteBuffer("abc", 3);
    m.SetPosition(1);
    char buf[4];
    try {
        m.ReadBuffer(buf, 4);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(L"Stream read error", e.Message());
    }
    m.SetPosition(0);
    EXPECT_NO_THROW(m.ReadBuffer(buf, 0));
    EXPECT_EQ(0, m.Read(buf, -1));
    m.Seek(-1, soBeginning); // a position before the start moves nothing
    EXPECT_EQ(0, m.Read(buf, 1));
    try {
        m.WriteBuffer("x", 1);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_EQ(L"Stream write error", e.Message());
    }
    EXPECT_EQ(3, m.Size());
}

TEST(MemoryStream, CopyFromCopiesCountBytesOrTheWholeSource) {
    TMemoryStream source;
    std::string big(200000, '\0');
    std::iota(big.begin(), big.end(), '\0'); // larger than one copy chunk
    source.WriteBuffer(big.data(), static_cast<int32_t>(big.size()));

    TMemoryStream whole;
    source.SetPosition(5);
    EXPECT_EQ(200000, whole.CopyFrom(source, 0)) << "count 0: the whole source from its start";
    EXPECT_EQ(big, Bytes(whole));

    TMemoryStream part;
    source.SetPosition(10);
    EXPECT_EQ(3, part.CopyFrom(source, 3));
    EXPECT_EQ(big.substr(10, 3), Bytes(part));
    EXPECT_EQ(13, source.Position());

    TMemoryStream tooMuch;
    source.SetPosition(199999);
    EXPECT_THROW(tooMuch.CopyFrom(source, 2), EReadError);
    EXPECT_EQ(0, part.CopyFrom(source, -1));
}

TEST(MemoryStream, LoadAndSaveThroughStreamsAndFiles) {
    TTempFile file;
    TMemoryStream m;
    m.WriteBuffer("file content", 12);
    m.SaveToFile(file.Path);
    EXPECT_EQ("file content", ReadFileBytes(file.Path));

    TMemoryStream loaded;
    loaded.WriteBuffer("old and longer content", 22);
    loaded.LoadFromFile(file.Path);
    EXPECT_EQ(12, loaded.Size());
    EXPECT_EQ(0, loaded.Position());
    EXPECT_EQ("file content", Bytes(loaded));

    TMemoryStream copy;
    m.SetPosition(7);
    copy.LoadFromStream(m); // from the source's start
    EXPECT_EQ("file content", Bytes(copy));
    TMemoryStream target;
    target.WriteBuffer(">", 1);
    copy.SaveToStream(target); // at the target's position
    EXPECT_EQ(">file content", Bytes(target));
}

TEST(FileStream, CreateWriteReopenAndResize) {
    TTempFile file;
    {
        TFileStream f(file.Path, fmCreate);
        EXPECT_EQ(file.Path, f.FileName());
        f.WriteBuffer("0123456789", 10);
        EXPECT_EQ(10, f.Size());
        f.SetSize(4);
        EXPECT_EQ(4, f.Position());
        f.SetPosition(1);
        f.SetSize(8);
        EXPECT_EQ(1, f.Position());
    }
    EXPECT_EQ(std::string("0123\0\0\0\0", 8), ReadFileBytes(file.Path));
    {
        TFileStream f(file.Path, fmOpenReadWrite);
        EXPECT_EQ(6, f.Seek(-2, soEnd));
        f.WriteBuffer("AB", 2);
        f.SetPosition(0);
        char buf[16];
        EXPECT_EQ(8, f.Read(buf, 16));
        EXPECT_EQ(0, f.Read(buf, 16));
        EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
    }
    EXPECT_EQ(std::string("0123\0\0AB", 8), ReadFileBytes(file.Path));
    {
        TFileStream f(file.Path, fmCreate);
        EXPECT_EQ(0, f.Size()) << "fmCreate empties an existing file";
    }
    {
        TFileStream f(file.Path, fmOpenRead);
        EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
    }
}

TEST(FileStream, OpenFailuresCarryTheFileNameAndSystemMessage) {
    std::wstring missing = TempFileName(L"missing");
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(Format(L"Cannot open file \"%s\". %s", missing, SysErrorMessage(ERROR_FILE_NOT_FOUND)),
                  e.Message());
    }
    std::wstring badDir = TempFileName(L"nodir") + L"\\file.bin";
    try {
        TFileStream f(badDir, fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(Format(L"Cannot create file \"%s\". %s", badDir, SysErrorMessage(ERROR_PATH_NOT_FOUND)),
                  e.Message());
    }
}

TEST(FileStream, ShareModesDecideWhoElseMayOpen) {
    TTempFile file;
    WriteFileBytes(file.Path, "data");
    struct Case {
        uint32_t first;
        uint32_t second;
        bool secondOpens;
    } cases[] = {
        {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
        {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
        {fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false},
        {fmOpenWrite | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
        {fmOpenWrite | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true},
        {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
        {fmOpenRead, fmOpenRead | fmShareDenyNone, false}, // compatibility mode is exclusive
    };
    for (const auto& c : cases) {
        TFileStream first(file.Path, c.first);
        bool opened = true;
        try {
            TFileStream second(file.Path, c.second);
        } catch (const EFOpenError&) {
            opened = false;
        }
        EXPECT_EQ(c.secondOpens, opened) << std::hex << c.first << " then " << c.second;
    }
}

TEST(ResourceStream, ReadsAModuleResourceByNameOrId) {
    TResourceStream named(GetModuleHandleW(nullptr), L"TESTDATA", RT_RCDATA);
    EXPECT_EQ("Hello, resource!", Bytes(named));
    TResourceStream numbered(GetModuleHandleW(nullptr), 101, L"TAMRELBIN");
    EXPECT_EQ(std::string("\x01\x02\x03\x04", 4), Bytes(numbered));
    named.SetPosition(7);
    char buf[8] = {};
    EXPECT_EQ(8, named.Read(buf, 8));
    EXPECT_EQ("resource", std::string(buf, 8));
}

TEST(ResourceStream, IsReadOnly) {
    TResourceStream named(GetModuleHandleW(nullptr), L"TESTDATA", RT_RCDATA);
    EXPECT_THROW(named.Write("x", 1), EStreamError);
    EXPECT_THROW(named.SetSize(1), EStreamError);
    EXPECT_EQ("Hello, resource!", Bytes(named));
}

TEST(ResourceStream, MissingResourceRaisesWithItsName) {
    struct Case {
        std::function<void()> open;
        const wchar_t* expected;
    } cases[] = {
        {[] { TResourceStream s(GetModuleHandleW(nullptr), L"NOSUCHDATA", RT_RCDATA); },
         L"Resource NOSUCHDATA not found"},
        {[] { TResourceStream s(GetModuleHandleW(nullptr), L"TESTDATA", L"OTHERTYPE"); },
         L"Resource TESTDATA not found"},
        {[] { TResourceStream s(GetModuleHandleW(nullptr), 999, L"TAMRELBIN"); }, L"Resource 999 not found"},
    };
    for (const auto& c : cases) {
        try {
            c.open();
            ADD_FAILURE() << ToUtf8(c.expected);
        } catch (const EResNotFound& e) {
            EXPECT_EQ(c.expected, e.Message());
        }
    }
}
