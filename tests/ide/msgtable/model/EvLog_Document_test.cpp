#include "ide/msgtable/model/EvLog_Document.h"

#include "host/IniFiles.h"
#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/core/ElpText.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

using Changes = TEvLogDocumentChanges;

class Document : public ::testing::Test {
protected:
    TEvLogDocument doc;
    TRecordingView view;
    void SetUp() override { doc.AddView(&view); }
    void TearDown() override { doc.RemoveView(&view); }
};

} // namespace

TEST(DocumentBasics, StartsEmptyAndKeepsACountedReferenceToEachView) {
    TRecordingView view;
    {
        TEvLogDocument doc;
        EXPECT_EQ(SUntitled, doc.FileName());
        EXPECT_EQ(std::vector<uint32_t>{English}, doc.UsedLocales());
        EXPECT_FALSE(doc.Modified());
        EXPECT_EQ(etApplication, doc.EventType());
        doc.AddView(&view);
        EXPECT_EQ(1, view.RefCount);
        EXPECT_EQ(&view, doc.Views(0));
    }
    EXPECT_EQ(0, view.RefCount) << "the document drops its references when it goes";
    TEvLogDocument named(L"C:\\work\\app.elp");
    EXPECT_EQ(L"app.elp", named.ShortFileName());
}

TEST_F(Document, VersionFieldsMarkTheDocumentModifiedWithoutTellingViews) {
    doc.SetCompanyName(L"Acme");
    doc.SetMajorVersion(-5);
    doc.SetBuild(7);
    EXPECT_EQ(0, doc.MajorVersion());
    EXPECT_EQ(7, doc.Build());
    EXPECT_TRUE(doc.Modified());
    EXPECT_TRUE(view.Calls.empty());
}

TEST_F(Document, UsedLocalesNeverEmptyAndEveryBlockTakesThemUp) {
    TMessageBlock* block = doc.AddBlock();
    block->SetMessages(English, 0, L"english");
    doc.SetUsedLocales({Russian, English});
    EXPECT_EQ((std::vector<uint32_t>{English, Russian}), block->Locales());
    doc.SetUsedLocales({});
    EXPECT_EQ(std::vector<uint32_t>{English}, doc.UsedLocales());
    doc.SetUsedLocales({Russian});
    EXPECT_EQ(L"english", block->Messages(English, 0)) << "a dropped locale keeps its texts";
    ASSERT_GE(view.Calls.size(), 3u);
    EXPECT_EQ(Changes{eldcUsedLocales}, view.Calls.back().Changes);
    EXPECT_EQ(nullptr, view.Calls.back().Block);
}

TEST_F(Document, AddBlockTakesTheNextMultipleOf256) {
    TMessageBlock* first = doc.AddBlock();
    EXPECT_EQ(256u, first->LowId());
    EXPECT_EQ(1, first->Count());
    EXPECT_EQ(Changes{eldcBlockAdded}, view.Calls.back().Changes);
    EXPECT_EQ(first, view.Calls.back().Block);
    doc.MessageTable().Clear();

    TMessageBlock* categories = doc.CategoriesBlock();
    EXPECT_EQ(1u, categories->LowId());
    EXPECT_EQ(L"Category", categories->MessageNamePrefix());
    EXPECT_EQ(1, categories->Count());
    EXPECT_EQ(categories, doc.CategoriesBlock());
    categories->SetMessages(English, 2, L"third");
    TMessageBlock* block = doc.AddBlock();
    EXPECT_EQ(0x100u, block->LowId());
    for (int i = 1; i < 5; ++i) doc.AddMessage(block);
    EXPECT_EQ(0x200u, doc.AddBlock()->LowId()) << "blocks at 1 (3 messages) and 0x100 (5)";
    TMessageBlock* empty = new TMessageBlock(&doc.MessageTable());
    empty->SetLowId(0x2FF);
    EXPECT_EQ(0x400u, doc.AddBlock()->LowId()) << "an empty block at 0x2FF still takes its id";
}

TEST_F(Document, NoBlockStartsPastTheLastIdAndNoneGrowsIntoTheNextOnesIds) {
    TMessageBlock* first = doc.AddBlock();
    TMessageBlock* next = doc.AddBlock();
    ASSERT_EQ(0x200u, next->LowId());
    for (int i = 1; i < 256; ++i)
        doc.AddMessage(first);
    EXPECT_EQ(L"The IDs 0100 - 0200 overlap the block Block_0200 (0200 - 0200)",
              FailureText([&] { doc.AddMessage(first); }));
    EXPECT_EQ(256, first->Count());
    // Made by hand, blocks that share an id give no library: the reason says which.
    next->SetLowId(0x1FF);
    std::wstring reason;
    EXPECT_FALSE(doc.ExportLibrary(L"C:\\nowhere\\shared.dll", &reason));
    EXPECT_NE(std::wstring::npos, reason.find(L"overlap the block Block_01FF")) << WideToUtf8(reason);

    next->SetLowId(0xFFFFFF00);
    EXPECT_NE(std::wstring::npos, FailureText([&] { doc.AddBlock(); }).find(L"FFFFFFFF"));
    EXPECT_EQ(2, doc.MessageTable().BlockCount()) << "no block wrapped round to id 0";
}

TEST_F(Document, DeletingTheLastMessageDeletesTheBlockAfterTellingTheViews) {
    TMessageBlock* block = doc.AddBlock();
    doc.AddMessage(block);
    doc.DeleteMessage(block, 0);
    EXPECT_EQ(1, block->Count());
    EXPECT_EQ(Changes{eldcBlockModified}, view.Calls.back().Changes);
    int blocksSeen = -1;
    view.OnChanged = [&](Changes, TMessageBlock* mb) {
        blocksSeen = doc.MessageTable().BlockCount();
        EXPECT_EQ(block, mb);
        EXPECT_EQ(0x100u, mb->LowId()) << "the block is whole while the views hear of it";
    };
    doc.DeleteMessage(block, 0);
    EXPECT_EQ(1, blocksSeen);
    EXPECT_EQ(0, doc.MessageTable().BlockCount());
    EXPECT_EQ(Changes{eldcBlockDeleted}, view.Calls.back().Changes);
    const size_t calls = view.Calls.size();
    doc.DeleteBlock(nullptr);
    doc.ModifyMessages(nullptr);
    EXPECT_EQ(calls, view.Calls.size());
}

TEST_F(Document, ModifyBlockAlsoReassignsUseCategories) {
    TMessageBlock* block = doc.AddBlock();
    view.Calls.clear();
    doc.ModifyBlock(block);
    ASSERT_EQ(2u, view.Calls.size());
    EXPECT_EQ(Changes{eldcBlockModified}, view.Calls[0].Changes);
    EXPECT_EQ(block, view.Calls[0].Block);
    EXPECT_EQ(Changes{eldcUseCategories}, view.Calls[1].Changes);
    EXPECT_EQ(nullptr, view.Calls[1].Block);
}

TEST_F(Document, BatchesDeliverOnceAtTheOutermostEnd) {
    TMessageBlock* a = doc.AddBlock();
    TMessageBlock* b = doc.AddBlock();
    view.Calls.clear();
    doc.BeginUpdate();
    doc.BeginUpdate();
    doc.ModifyMessages(a);
    doc.ModifyMessages(b);
    doc.EndUpdate();
    EXPECT_TRUE(view.Calls.empty());
    doc.EndUpdate();
    ASSERT_EQ(1u, view.Calls.size());
    EXPECT_EQ((Changes{eldcBlockModified, eldcMultiBlocks}), view.Calls[0].Changes);
    EXPECT_EQ(nullptr, view.Calls[0].Block);

    doc.BeginUpdate();
    doc.ModifyMessages(a);
    doc.SetEventSource(L"Src");
    doc.EndUpdate();
    EXPECT_EQ((Changes{eldcBlockModified, eldcEventSource}), view.Calls.back().Changes);
    EXPECT_EQ(nullptr, view.Calls.back().Block) << "a later change of no block replaces the pending one";

    doc.BeginUpdate();
    doc.EndUpdate();
    EXPECT_EQ(Changes{}, view.Calls.back().Changes) << "delivered even when nothing changed";
    EXPECT_EQ(0, doc.UpdatesLevel());
}

TEST_F(Document, ABlockDeletedInsideABatchIsNeverDelivered) {
    TMessageBlock* a = doc.AddBlock();
    TMessageBlock* b = doc.AddBlock();
    view.Calls.clear();
    doc.BeginUpdate();
    doc.ModifyMessages(a);
    doc.DeleteBlock(a);
    doc.ModifyMessages(b);
    doc.EndUpdate();
    ASSERT_EQ(1u, view.Calls.size());
    EXPECT_EQ((Changes{eldcBlockModified, eldcBlockDeleted}), view.Calls[0].Changes);
    EXPECT_EQ(nullptr, view.Calls[0].Block);

    doc.BeginUpdate();
    doc.DeleteMessage(b, 0);
    doc.EndUpdate();
    EXPECT_EQ(nullptr, view.Calls.back().Block);
    EXPECT_EQ(0, doc.MessageTable().BlockCount());
}

// ---------------------------------------------------------------------------------------------
// Files

class DocumentFiles : public ::testing::Test {
protected:
    TTempFolder folder{L"elp"};
    const std::wstring& dir = folder.Path;
    std::string Read(const std::wstring& name) { return tamrel::test::ReadFileBytes(dir + name); }
    void Write(const std::wstring& name, const std::string& text) { tamrel::test::WriteFileBytes(dir + name, text); }
};

TEST_F(DocumentFiles, WritesTheElpLayoutLineForLine) {
    TEvLogDocument doc;
    doc.SetEventSource(L"Src");
    doc.SetEventType(etSystem);
    doc.SetUseCategories(true);
    doc.SetCompanyName(L"Acme");
    doc.SetMajorVersion(1);
    doc.SetMinorVersion(2);
    doc.SetRelease(3);
    doc.SetBuild(4);
    TMessageBlock* block = doc.AddBlock();
    block->SetMessages(English, 0, L"Hello %1");
    block->SetMessages(English, 1, L"a\r\nb#c");
    block->SetComments(0, L"50% #1\r\n");
    block->SetNames(1, L"MSG_B");
    ASSERT_TRUE(doc.SaveAs(dir + L"doc.elp"));
    EXPECT_FALSE(doc.Modified());
    EXPECT_EQ(dir + L"doc.elp", doc.FileName());
    const std::string expected = "; ELM Format - version 1.0\r\n"
                                 "\r\n"
                                 "[Common]\r\n"
                                 "BlocksCount=1\r\n"
                                 "EventSource=Src\r\n"
                                 "CompanyName=Acme\r\n"
                                 "FileDescription=\r\n"
                                 "LegalCopyright=\r\n"
                                 "LegalTrademarks=\r\n"
                                 "ProductName=\r\n"
                                 "ProductVersion=\r\n"
                                 "MajorVersion=1\r\n"
                                 "MinorVersion=2\r\n"
                                 "Release=3\r\n"
                                 "Build=4\r\n"
                                 "UseCategories=1\r\n"
                                 "EventType=1\r\n"
                                 "\r\n"
                                 "[UsedLocales]\r\n"
                                 "1033=English (United States)\r\n"
                                 "\r\n"
                                 "[Block-0]\r\n"
                                 "LowId=256\r\n"
                                 "HighId=257\r\n"
                                 "MessageNamePrefix=Block_0100\r\n"
                                 "\r\n"
                                 "[Block-0-Locale-1033]\r\n"
                                 "0=Hello %1\r\n"
                                 "1=a#D#Ab##c\r\n"
                                 "\r\n"
                                 "[Block-0-Comments]\r\n"
                                 "0=50% ##1#D#A\r\n"
                                 "1=Comment is not specified yet\r\n"
                                 "\r\n"
                                 "[Block-0-Names]\r\n"
                                 "0=Block_0100_Message_100\r\n"
                                 "1=MSG_B\r\n"
                                 "\r\n";
    EXPECT_EQ(expected, Read(L"doc.elp"));
}

TEST_F(DocumentFiles, TextsSurviveTheRoundTrip) {
    const std::wstring texts[] = {L"#", L"##A", L"line\r\nbreak\rcr\nlf", L" leading", L"trailing ", L"\ttab\t",
                                  L"'single'", L"\"double\"", L"\"", L"'", L"\" mixed '", L"a=b", L"; not a comment",
                                  L"[Block-9]", L"#"};
    TEvLogDocument doc;
    doc.SetEventSource(L" \"Source\" ");
    doc.SetProductName(L"'quoted'");
    doc.SetUsedLocales({English});
    TMessageBlock* block = doc.AddBlock();
    int i = 0;
    for (const std::wstring& text : texts) {
        block->SetMessages(English, i, text);
        block->SetComments(i, L"c" + text);
        ++i;
    }
    block->SetNames(0, L" spaced name ");
    ASSERT_TRUE(doc.SaveAs(dir + L"doc.elp"));
    EXPECT_NE('\xFF', Read(L"doc.elp")[0]) << "an ANSI-only document stays ANSI";

    TEvLogDocument back;
    ASSERT_TRUE(back.Open(dir + L"doc.elp"));
    EXPECT_EQ(L" \"Source\" ", back.EventSource());
    EXPECT_EQ(L"'quoted'", back.ProductName());
    ASSERT_EQ(1, back.MessageTable().BlockCount());
    TMessageBlock* b = back.MessageTable().Blocks(0);
    ASSERT_EQ(block->Count(), b->Count());
    for (int k = 0; k < b->Count(); ++k) {
        EXPECT_EQ(texts[k], b->Messages(English, k)) << k;
        EXPECT_EQ(L"c" + texts[k], b->Comments(k)) << k;
    }
    EXPECT_EQ(L" spaced name ", b->Names(0));
    EXPECT_FALSE(back.Modified());

    // The system's own reader of single keys takes the same values.
    const TIniFile ini(dir + L"doc.elp");
    for (int k = 0; k < b->Count(); ++k)
        EXPECT_EQ(texts[k], ToWide(msgcore::UnescapeElpText(ToU16(ini.ReadString(L"Block-0-Locale-1033", IntToStr(k), L"")))))
            << k;
    EXPECT_EQ(L" \"Source\" ", ini.ReadString(L"Common", L"EventSource", L""));
}

TEST_F(DocumentFiles, TextsOutsideTheAnsiCodePageMakeTheFileUtf16) {
    TEvLogDocument doc;
    doc.SetUsedLocales({English, Russian});
    TMessageBlock* block = doc.AddBlock();
    block->SetMessages(English, 0, L"plain");
    block->SetMessages(Russian, 0, L"\u0416\u0443\u0440\u043d\u0430\u043b #1\r\n \u0451");
    doc.SetEventSource(L"\u0418\u0441\u0442\u043e\u0447\u043d\u0438\u043a");
    ASSERT_TRUE(doc.SaveAs(dir + L"doc.elp"));
    const std::string bytes = Read(L"doc.elp");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));

    TEvLogDocument back;
    ASSERT_TRUE(back.Open(dir + L"doc.elp"));
    EXPECT_EQ((std::vector<uint32_t>{English, Russian}), back.UsedLocales());
    EXPECT_EQ(L"\u0418\u0441\u0442\u043e\u0447\u043d\u0438\u043a", back.EventSource());
    EXPECT_EQ(L"\u0416\u0443\u0440\u043d\u0430\u043b #1\r\n \u0451", back.MessageTable().Blocks(0)->Messages(Russian, 0));
    EXPECT_EQ(L"plain", back.MessageTable().Blocks(0)->Messages(English, 0));
}

TEST_F(DocumentFiles, ReadsWhatTheReaderDefaults) {
    TEvLogDocument doc;
    ASSERT_TRUE(doc.Open(dir + L"missing.elp")) << "a missing file reads as all defaults";
    EXPECT_EQ(0, doc.MessageTable().BlockCount());
    EXPECT_EQ(std::vector<uint32_t>{English}, doc.UsedLocales());
    EXPECT_FALSE(doc.UseCategories());
    EXPECT_FALSE(doc.Modified());

    Write(L"in.elp", "[Common]\r\nBlocksCount=1\r\nEventType=7\r\nUseCategories=2\r\nMajorVersion=-3\r\n"
                     "[UsedLocales]\r\nEnglish=1\r\n"
                     "[Block-0]\r\nLowId=1\r\nHighId=2\r\n"
                     "[Block-0-Locale-1033]\r\n0=  'first'  \r\n1=#Xsecond#\r\n"
                     "[Block-0-Names]\r\n1=CAT_TWO\r\n");
    ASSERT_TRUE(doc.Open(dir + L"in.elp"));
    EXPECT_EQ(std::vector<uint32_t>{English}, doc.UsedLocales()) << "a key that is no number is skipped";
    EXPECT_EQ(etApplication, doc.EventType()) << "a journal out of range";
    EXPECT_FALSE(doc.UseCategories()) << "only 1 means categories";
    EXPECT_EQ(0, doc.MajorVersion());
    TMessageBlock* block = doc.CategoriesBlock();
    ASSERT_EQ(1, doc.MessageTable().BlockCount());
    ASSERT_EQ(2, block->Count());
    EXPECT_EQ(L"first", block->Messages(English, 0));
    EXPECT_EQ(L"second", block->Messages(English, 1)) << "an unknown escape and a final # are dropped";
    EXPECT_EQ(L"", block->MessageNamePrefix()) << "a missing prefix stays empty";
    EXPECT_EQ(L"CAT_TWO", block->Names(1));
    EXPECT_EQ(L"", block->Comments(0));
}

TEST_F(DocumentFiles, RefusesBlocksTheFileCannotHold) {
    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"more blocks than sections", "[Common]\r\nBlocksCount=3\r\n[Block-0]\r\nLowId=256\r\nHighId=256\r\n"
                                      "[Block-1]\r\nLowId=512\r\nHighId=512\r\n"},
        {"a block beyond 65,536 ids", "[Common]\r\nBlocksCount=1\r\n[Block-0]\r\nLowId=0\r\nHighId=65536\r\n"},
        {"HighId far below LowId", "[Common]\r\nBlocksCount=1\r\n[Block-0]\r\nLowId=256\r\nHighId=100\r\n"},
        {"ids 0 to 0xFFFFFFFF", "[Common]\r\nBlocksCount=1\r\n[Block-0]\r\nLowId=0\r\nHighId=-2\r\n"},
    };
    for (const Case& c : cases) {
        Write(L"in.elp", c.text);
        TEvLogDocument doc;
        EXPECT_FALSE(doc.Open(dir + L"in.elp")) << c.what;
        EXPECT_FALSE(doc.Modified());
    }
    Write(L"in.elp", "[Common]\r\nBlocksCount=1\r\n[Block-0]\r\nLowId=0\r\nHighId=-1\r\n");
    TEvLogDocument empty;
    EXPECT_TRUE(empty.Open(dir + L"in.elp")) << "an empty block at id 0";
    EXPECT_EQ(0, empty.MessageTable().Blocks(0)->Count());
}

TEST_F(DocumentFiles, UnknownExtensionsAnswerTheirReason) {
    TEvLogDocument doc;
    std::wstring reason;
    EXPECT_FALSE(doc.Open(dir + L"notes.TXT", {}, {}, &reason));
    EXPECT_FALSE(doc.Modified());
    EXPECT_EQ(L"Unable to load messages from file\r\n" + dir + L"notes.TXT\r\nFile format is not recognized", reason);
    EXPECT_FALSE(doc.SaveAs(dir + L"lib.EXE", &reason));
    EXPECT_EQ(L"Unable to save messages to file\r\n" + dir + L"lib.EXE\r\nFile format is not supported", reason);
    EXPECT_EQ(dir + L"notes.TXT", doc.FileName()) << "a failed save keeps the name";
}

TEST_F(DocumentFiles, ARelativeNameIsTheCurrentFoldersFileForReadingAsForWriting) {
    wchar_t former[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, former);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
    TScopeExit restore([&] { SetCurrentDirectoryW(former); });
    TEvLogDocument doc, back;
    doc.SetEventSource(L"Relative");
    ASSERT_TRUE(doc.SaveAs(L"rel.elp"));
    ASSERT_TRUE(back.Open(L"rel.elp"));
    EXPECT_EQ(L"Relative", back.EventSource()) << "not the file of the Windows folder";
    EXPECT_EQ(dir + L"rel.elp", back.FileName());
}

TEST_F(DocumentFiles, SaveBacksUpAnExistingFileOnly) {
    TEvLogDocument doc(dir + L"x.elp");
    doc.SetEventSource(L"first");
    ASSERT_TRUE(doc.Save());
    EXPECT_FALSE(FileExists(dir + L"x.bak")) << "nothing to back up yet";
    const std::string first = Read(L"x.elp");
    doc.SetEventSource(L"second");
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(first, Read(L"x.bak"));
    EXPECT_NE(first, Read(L"x.elp"));
}
