#include "ide/msgtable/model/EvLog_PEImage.h"

#include "host/Handles.h"
#include "ide/msgtable/model/EvLog_Messages.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

struct THeaders {
    uint32_t SizeOfImage, SectionAlignment, ResourceRva, ResourceSize, RsrcVirtualAddress, RsrcVirtualSize;
};

THeaders ReadHeaders(const std::wstring& file) {
    const ByteVector b = ReadBytes(file);
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(b.at(at) | b.at(at + 1) << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    const size_t nt = u32(60), opt = nt + 24;
    const bool plus = u16(opt) == 0x20B;
    const size_t dir = opt + (plus ? 112 : 96) + 16;
    THeaders h{u32(opt + 56), u32(opt + 32), u32(dir), u32(dir + 4), 0, 0};
    const size_t sections = opt + u16(nt + 20);
    for (uint32_t i = 0; i < u16(nt + 6); ++i) {
        const size_t s = sections + 40 * i;
        if (std::string(reinterpret_cast<const char*>(&b[s]), 5) == ".rsrc") {
            h.RsrcVirtualSize = u32(s + 8);
            h.RsrcVirtualAddress = u32(s + 12);
        }
    }
    return h;
}

TPEResourceDirectory* Child(TPEResourceDirectory* dir, uint32_t id) {
    return dynamic_cast<TPEResourceDirectory*>(dir->FindItemById(id));
}

} // namespace

TEST(PEImage, RefusesFilesThatAreNoPeImages) {
    const std::wstring path = OutPath(L"not_pe.bin");
    WriteBytes(path, {'Z', 'M', 0, 0});
    TPEImage image;
    EXPECT_EQ(L"unrecognized file format", FailureText([&] { image.Load(path); }));
    ByteVector mz(128, 0);
    mz[0] = 'M';
    mz[1] = 'Z';
    mz[60] = 0x70; // NT headers past the end
    WriteBytes(path, mz);
    EXPECT_EQ(L"Not a PE (WIN32 Executable) file", FailureText([&] { image.Load(path); }));
    mz[60] = 0x40;
    mz[0x40] = 'P';
    mz[0x41] = 'E';
    WriteBytes(path, mz);
    EXPECT_EQ(L"Not a PE (WIN32 Executable) file", FailureText([&] { image.Load(path); })) << "a cut PE head";
}

TEST(PEImage, ReadsTheResourceTreeOfEitherProcessorAsLlvmReadobjDoes) {
    for (const wchar_t* name : {L"fixture64.dll", L"fixture32.dll"}) {
        TPEImage image;
        image.Load(FixturePath(name));
        TPEResourceDirectory root;
        image.GetResourceDirectory(root);
        EXPECT_EQ(ReadobjLeaves(FixturePath(std::wstring(name) + L".readobj.txt")), TreeLeaves(root)) << WideToUtf8(name);
    }
}

TEST(PEImage, MessageTablesReadFromTheImageGiveWhatFormatMessageGives) {
    for (const wchar_t* name : {L"fixture64.dll", L"fixture32.dll"}) {
        SCOPED_TRACE(WideToUtf8(name));
        const std::wstring file = FixturePath(name);
        TPEImage image;
        image.Load(file);
        TPEResourceDirectory root;
        image.GetResourceDirectory(root);
        TMessageTable table;
        TPEResourceDirectory* tables = Child(Child(&root, 11), 1);
        ASSERT_NE(nullptr, tables);
        for (int i = 0; i < tables->Count(); ++i) {
            auto* leaf = static_cast<TPEResourceData*>(tables->Items(i));
            table.LoadMessagesResourceData(leaf->IdName().ID(), leaf->Data(), leaf->DataSize());
        }
        TModuleHandle module(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module.Valid());
        int checked = 0;
        for (int b = 0; b < table.BlockCount(); ++b) {
            TMessageBlock* block = table.Blocks(b);
            for (int i = 0; i < block->Count(); ++i)
                for (uint16_t language : FixtureLanguages) {
                    EXPECT_EQ(SystemMessage(module.Get(), block->LowId() + i, language),
                              SystemFormat(block->Messages(language, i)));
                    ++checked;
                }
        }
        EXPECT_EQ(12, checked);
    }
}

TEST(PEImage, RewritesTheLastResourceSectionOfEitherProcessor) {
    struct Case {
        const wchar_t* input;
        const wchar_t* same;
        const wchar_t* grown;
        bool loadable;
    } cases[] = {{L"fixture64_last.dll", L"same64.dll", L"grown64.dll", true},
                 {L"fixture32_last.dll", L"same32.dll", L"grown32.dll", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.input));
        TPEImage image;
        image.Load(FixturePath(c.input));
        TPEResourceDirectory root;
        image.GetResourceDirectory(root);
        const std::multiset<std::string> leaves = TreeLeaves(root);
        image.SetResourceDirectory(root);
        image.Save(OutPath(c.same));

        TPEImage again;
        again.Load(OutPath(c.same));
        TPEResourceDirectory back;
        again.GetResourceDirectory(back);
        EXPECT_EQ(leaves, TreeLeaves(back));
        THeaders h = ReadHeaders(OutPath(c.same));
        EXPECT_EQ(root.Size(), h.ResourceSize) << "the directory entry holds the tree's size";
        EXPECT_EQ(h.RsrcVirtualAddress, h.ResourceRva);
        EXPECT_EQ((h.RsrcVirtualAddress + h.RsrcVirtualSize + h.SectionAlignment - 1) / h.SectionAlignment *
                      h.SectionAlignment,
                  h.SizeOfImage);

        // 300 KB more: the section grows past its old size and the image's end moves with it.
        auto* big = new TPEResourceDirectory(&root);
        big->IdName().SetID(10);
        auto* bigName = new TPEResourceDirectory(big);
        bigName->IdName().SetText(L"BIG");
        auto* bigData = new TPEResourceData(bigName);
        bigData->IdName().SetID(1033);
        const ByteVector payload(300 * 1024, 0x5A);
        bigData->SetData(payload.data(), static_cast<int32_t>(payload.size()));
        image.SetResourceDirectory(root);
        image.Save(OutPath(c.grown));
        h = ReadHeaders(OutPath(c.grown));
        EXPECT_GT(h.RsrcVirtualSize, payload.size());
        EXPECT_EQ((h.RsrcVirtualAddress + h.RsrcVirtualSize + h.SectionAlignment - 1) / h.SectionAlignment *
                      h.SectionAlignment,
                  h.SizeOfImage);

        const std::wstring grown = OutPath(c.grown);
        TModuleHandle data(LoadLibraryExW(grown.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(data.Valid());
        HRSRC res = FindResourceW(data.Get(), L"BIG", MAKEINTRESOURCEW(10));
        ASSERT_NE(nullptr, res);
        EXPECT_EQ(payload.size(), SizeofResource(data.Get(), res));
        EXPECT_EQ(L"Service %1 started\r\n", SystemMessage(data.Get(), 0x100, 1033));
        if (c.loadable) {
            // The image still loads as code and its export still answers.
            TModuleHandle code(LoadLibraryW(grown.c_str()));
            ASSERT_TRUE(code.Valid()) << GetLastError();
            auto answer = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(code.Get(), "FixtureAnswer")));
            ASSERT_NE(nullptr, answer);
            EXPECT_EQ(42, answer());
            EXPECT_EQ(payload.size(), SizeofResource(code.Get(), FindResourceW(code.Get(), L"BIG", MAKEINTRESOURCEW(10))));
        }
    }
}

TEST(PEImage, RefusesToRewriteAResourceSectionThatIsNotLast) {
    TPEImage image;
    image.Load(FixturePath(L"fixture64.dll")); // .reloc follows .rsrc
    TPEResourceDirectory root;
    image.GetResourceDirectory(root);
    EXPECT_THROW(image.SetResourceDirectory(root), EPEError);
}

TEST(PEImage, LoadFromResourceRaisesTheSystemErrorForAMissingResource) {
    TPEImage image;
    try {
        image.LoadFromResource(L"NO_SUCH_TEMPLATE");
        FAIL();
    } catch (const EOSError& e) {
        // No resource section, type or name: the system says which.
        EXPECT_GE(e.ErrorCode(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
        EXPECT_LE(e.ErrorCode(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    }
}
