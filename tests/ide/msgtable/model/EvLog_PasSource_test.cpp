#include "ide/msgtable/model/EvLog_PasSource.h"

#include "host/Handles.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

std::wstring Generated(TEvLogDocument& doc) {
    TPasSourceModule* module = Create<TPasSourceModule>(nullptr);
    TScopeExit free([&] { Free(module); });
    return module->PasSource(doc);
}

// A unit the way a reader expects it: categories, a block with a two-line comment, a quote in
// the source name.
void SmallDocument(TEvLogDocument& doc) {
    doc.SetEventSource(L"Tamrel's Source");
    doc.SetUseCategories(true);
    TMessageBlock* categories = doc.CategoriesBlock();
    categories->SetNames(0, L"CatDisk");
    categories->SetMessages(English, 0, L"Disk");
    categories->SetComments(0, L"Disk");
    categories->SetMessages(English, 1, L"Other");
    categories->SetComments(1, L"");
    TMessageBlock* block = doc.AddBlock();
    block->SetComments(0, L"First");
    block->SetNames(1, L"Start");
    block->SetComments(1, L"a\r\nb");
}

} // namespace

TEST(PasSource, TheUnitOfASmallDocumentIsTheExpectedFile) {
    TEvLogDocument doc(L"C:\\work\\AppMessages.elp");
    SmallDocument(doc);
    const std::wstring expected =
        tamrel::test::FromUtf8(tamrel::test::ReadFileBytes(FixturePath(L"AppMessages.pas")));
    EXPECT_EQ(expected, Generated(doc));

    doc.SetUseCategories(false);
    doc.SetEventType(etSystem);
    const std::wstring without = Generated(doc);
    EXPECT_EQ(std::wstring::npos, without.find(L"// Event categories"));
    EXPECT_NE(std::wstring::npos, without.find(L"const CatDisk = $01; // Disk\r\n")) << "block 1 is a message block now";
    EXPECT_NE(std::wstring::npos, without.find(L"EventJournalName = 'System';"));
    EXPECT_NE(std::wstring::npos, without.find(L"class procedure Report(EventType: Word; EventId: DWORD;\r\n"));
    EXPECT_NE(std::wstring::npos, without.find(L"ReportEvent(Source, EventType, 0, EventId"));
    EXPECT_EQ(std::wstring::npos, without.find(L"Category: Word"));
}

TEST(PasSource, ConstantsFollowNamesAndComments) {
    TMessageBlock categories;
    categories.SetLowId(1);
    categories.SetMessageNamePrefix(L"Category");
    categories.SetNames(0, L"CatDisk");
    categories.SetComments(0, L"Disk");
    categories.SetComments(1, L"");
    EXPECT_EQ(L"const CatDisk = $01; // Disk\r\n", MessageConstant(categories, 0));
    EXPECT_EQ(L"const Category_Message_02 = $02; // \r\n", MessageConstant(categories, 1));

    TMessageBlock block;
    block.SetLowId(0x100);
    block.SetNames(1, L"Start");
    block.SetComments(1, L"a\nb");
    EXPECT_EQ(L"// a\r\n// b\r\nconst Start = $101;\r\n", MessageConstant(block, 1));

    // Names from foreign files are no identifiers: the default name stands in, and a default
    // name built on an unusable prefix gives way to the block's own.
    block.SetNames(0, L"X = 1; Evil");
    EXPECT_EQ(L"const Block_0100_Message_100 = $100; // Comment is not specified yet\r\n", MessageConstant(block, 0));
    block.SetMessageNamePrefix(L"Bad Prefix");
    EXPECT_EQ(L"const Block_0100_Message_100 = $100; // Comment is not specified yet\r\n", MessageConstant(block, 0));
    block.SetMessageNamePrefix(L"");
    EXPECT_EQ(L"const _Message_100 = $100; // Comment is not specified yet\r\n", MessageConstant(block, 0));
}

TEST(PasSource, ANameFromAFileThatTheUnitCannotDeclareGivesWayToTheDefault) {
    TMessageBlock block;
    block.SetLowId(0x100);
    for (const wchar_t* name : {L"Type", L"file", L"TEventSourceReport", L"DWORD"}) {
        block.SetNames(0, name);
        EXPECT_EQ(L"const Block_0100_Message_100 = $100; // Comment is not specified yet\r\n",
                  MessageConstant(block, 0));
    }
}

TEST(PasSource, OnlyACategoriesBlockGivesNoMessageConstants) {
    TEvLogDocument doc(L"Only.elp");
    doc.SetUseCategories(true);
    doc.CategoriesBlock();
    const std::wstring unit = Generated(doc);
    EXPECT_NE(std::wstring::npos, unit.find(L"// Event categories\r\n\r\nconst Category_Message_01 = $01; // "));
    EXPECT_EQ(std::wstring::npos, unit.find(L"// Event messages"));
    EXPECT_EQ(0u, unit.find(L"unit Only;\r\n"));
}
