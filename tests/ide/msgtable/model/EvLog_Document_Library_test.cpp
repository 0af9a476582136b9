// The document's resources: version and attributes, .RES files and libraries in and out, the
// library builder and its failures.
#include "ide/msgtable/model/EvLog_Document.h"

#include "host/Handles.h"
#include "ide/msgtable/model/EvLog_LibraryTemplate.h"
#include "ide/msgtable/model/EvLog_PEImage.h"
#include "ide/msgtable/model/EvLog_ResResources.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

ByteVector Eltelib64() { return ReadBytes(tamrel::test::BinDir() + L"ELTELIB64.dll"); }
ByteVector Eltelib32() { return ReadBytes(tamrel::test::BinDir() + L"ELTELIB.dll"); }
ByteVector MissingTemplate() {
    TPEImage image;
    image.LoadFromResource(L"NO_ELTELIB_HERE"); // as in a module that carries no template
    return {};
}

// Builds from another template for the scope.
class TTemplateScope {
public:
    explicit TTemplateScope(TLibraryTemplateSource source) : FFormer(SetLibraryTemplateSource(source)) {}
    ~TTemplateScope() { SetLibraryTemplateSource(FFormer); }

private:
    TLibraryTemplateSource FFormer;
};

// Two locales, categories, two blocks, version 1.2.3.4.
void FillDocument(TEvLogDocument& doc) {
    doc.SetEventSource(L"TamrelLibraryTest");
    doc.SetUsedLocales({English, Russian});
    doc.SetUseCategories(true);
    TMessageBlock* categories = doc.CategoriesBlock();
    categories->SetMessages(English, 0, L"Disk");
    categories->SetMessages(Russian, 0, L"\u0414\u0438\u0441\u043a");
    categories->SetMessages(English, 1, L"Network");
    TMessageBlock* block = doc.AddBlock();
    block->SetMessages(English, 0, L"Service %1 started");
    block->SetMessages(Russian, 0, L"\u0421\u043b\u0443\u0436\u0431\u0430 %1 \u0437\u0430\u043f\u0443\u0449\u0435\u043d\u0430");
    block->SetMessages(English, 1, L"Two inserts: %1 and %2");
    block->SetNames(0, L"MSG_STARTED");
    block->SetComments(0, L"At start");
    doc.SetCompanyName(L"Acme");
    doc.SetProductName(L"Tamrel tests");
    doc.SetMajorVersion(1);
    doc.SetMinorVersion(2);
    doc.SetRelease(3);
    doc.SetBuild(4);
}

std::wstring Insert(HMODULE module, DWORD id, WORD language, std::initializer_list<const wchar_t*> strings) {
    std::vector<DWORD_PTR> args;
    for (const wchar_t* s : strings) args.push_back(reinterpret_cast<DWORD_PTR>(s));
    wchar_t buffer[512];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, language, buffer,
                                   512, reinterpret_cast<va_list*>(args.data()));
    return std::wstring(buffer, n);
}

class DocumentLibrary : public ::testing::Test {
protected:
    TTempFolder folder{L"lib"};
    const std::wstring& dir = folder.Path;
    size_t FilesInDir() { return folder.FileCount(); }
};

} // namespace

TEST(DocumentResources, VersionInfoCarriesTheFieldsAndRefusesPartsAbove65535) {
    TEvLogDocument doc(L"C:\\work\\app.elp");
    FillDocument(doc);
    TVersionInfo& info = doc.VersionInfo();
    EXPECT_EQ(0x00010002u, info.FixedFileInfo().dwFileVersionMS);
    EXPECT_EQ(0x00030004u, info.FixedFileInfo().dwFileVersionLS);
    EXPECT_EQ(0xFEEF04BDu, info.FixedFileInfo().dwSignature);
    TStringTable* table = info.StringFileInfo().Items(0);
    EXPECT_EQ(L"040904E4", table->Key());
    std::vector<std::wstring> keys;
    for (int i = 0; i < table->Count(); ++i) keys.push_back(table->Items(i)->Key());
    EXPECT_EQ((std::vector<std::wstring>{L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                         L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename", L"ProductName",
                                         L"ProductVersion", L"Comments"}),
              keys);
    EXPECT_EQ(L"1.2.3.4", table->Items(2)->Value());
    EXPECT_EQ(L"app.dll", table->Items(6)->Value());
    EXPECT_EQ(0x04E40409u, info.VarFileInfo().Items(0)->Items(0));

    TEvLogDocument back;
    back.SetVersionInfo(info);
    EXPECT_EQ(L"Acme", back.CompanyName());
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4}),
              (std::vector<int32_t>{back.MajorVersion(), back.MinorVersion(), back.Release(), back.Build()}));

    doc.SetRelease(65536);
    EXPECT_NE(std::wstring::npos, FailureText([&] { doc.VersionInfo(); }).find(L"Release")) << "no spill into Major";
    EXPECT_EQ(0x00030004u, info.FixedFileInfo().dwFileVersionLS) << "the previous tree stays";
}

TEST(DocumentResources, AttributesNameTheJournalSourceAndCategoryCount) {
    TEvLogDocument doc;
    doc.SetEventSource(L"Src");
    doc.SetEventType(etSystem);
    TStringTable& off = doc.Attributes();
    ASSERT_EQ(3, off.Count());
    EXPECT_EQ(L"System", off.Items(0)->Value());
    EXPECT_EQ(L"Src", off.Items(1)->Value());
    EXPECT_EQ(L"0", off.Items(2)->Value());
    doc.SetUseCategories(true);
    EXPECT_EQ(L"1", doc.Attributes().Items(2)->Value()) << "the categories block is made with one message";
    EXPECT_EQ(1, doc.MessageTable().BlockCount());
}

TEST_F(DocumentLibrary, ResFileRoundTripsWithItsSevenEntries) {
    TEvLogDocument doc;
    FillDocument(doc);
    ASSERT_TRUE(doc.SaveAs(OutPath(L"document.res"))); // for the tool checks
    ASSERT_TRUE(doc.SaveAs(dir + L"doc.res"));
    TRESResources res;
    res.LoadFromFile(dir + L"doc.res");
    ASSERT_EQ(7, res.Count());
    EXPECT_EQ(0u, res.Items(0)->DataSize());
    EXPECT_EQ(1033u, res.Items(1)->ResLocale().ID());
    EXPECT_EQ(1049u, res.Items(2)->ResLocale().ID());
    EXPECT_EQ(L"EVLOG_NAMES", res.Items(3)->ResType().Text());
    EXPECT_EQ(L"EVLOG_COMMENTS", res.Items(4)->ResType().Text());
    EXPECT_EQ(16u, res.Items(5)->ResType().ID());
    EXPECT_EQ(L"EVLOG_ATTRIBUTES", res.Items(6)->ResName().Text());

    TEvLogDocument back;
    ASSERT_TRUE(back.Open(dir + L"doc.res"));
    EXPECT_EQ((std::vector<uint32_t>{English, Russian}), back.UsedLocales());
    EXPECT_EQ(L"TamrelLibraryTest", back.EventSource());
    EXPECT_TRUE(back.UseCategories());
    EXPECT_EQ(L"Acme", back.CompanyName());
    EXPECT_EQ(4, back.Build());
    ASSERT_EQ(2, back.MessageTable().BlockCount());
    TMessageBlock* block = back.MessageTable().Blocks(1);
    EXPECT_EQ(L"MSG_STARTED", block->Names(0)) << ".RES files keep the names";
    EXPECT_EQ(L"At start", block->Comments(0));
    EXPECT_EQ(doc.MessageTable().Blocks(1)->Messages(Russian, 0), block->Messages(Russian, 0));
    EXPECT_FALSE(back.Modified());
}

TEST_F(DocumentLibrary, ImportPassesOverForeignVersionsAndAttributeNames) {
    // The tool file with its attributes renamed in lower case and a version of language 1031 only.
    TRESResources res;
    res.LoadFromFile(FixturePath(L"fixture.res"));
    for (int i = res.Count() - 1; i >= 0; --i) {
        TRESResource* e = res.Items(i);
        if (e->ResName().IsString() && e->ResName().Text() == L"EVLOG_ATTRIBUTES") e->ResName().SetText(L"evlog_attributes");
        if (!e->ResType().IsString() && e->ResType().ID() == 16) e->ResLocale().SetID(1031);
        if (!e->ResType().IsString() && e->ResType().ID() == 11 && e->ResLocale().ID() == English) {
            auto* again = new TRESResource(&res); // the same locale twice
            again->SetResType(e->ResType());
            again->SetResName(e->ResName());
            again->SetResLocale(e->ResLocale());
            again->SetData(e->Data(), static_cast<int32_t>(e->DataSize()));
        }
    }
    res.SaveToFile(dir + L"variant.res");
    TEvLogDocument doc;
    ASSERT_TRUE(doc.Open(dir + L"variant.res"));
    EXPECT_EQ(L"", doc.EventSource()) << "attributes under another name are not ours";
    EXPECT_FALSE(doc.UseCategories());
    EXPECT_EQ(L"", doc.CompanyName()) << "a version of another language is not taken";
    EXPECT_EQ((std::vector<uint32_t>{English, Russian}), doc.UsedLocales()) << "a locale read twice is listed once";
    EXPECT_EQ(L"MSG_STARTED\n", doc.MessageTable().Blocks(1)->Names(0));

    TEvLogDocument image;
    ASSERT_TRUE(image.Open(FixturePath(L"variant64.dll")));
    EXPECT_EQ(0, image.MajorVersion());
    EXPECT_EQ(L"", image.CompanyName());
    ASSERT_TRUE(image.Open(FixturePath(L"fixture64.dll")));
    EXPECT_EQ(L"FixtureSource", image.EventSource());
    EXPECT_TRUE(image.UseCategories());
    EXPECT_EQ(L"Fixture Company", image.CompanyName());
    EXPECT_EQ(2, image.MinorVersion());
    EXPECT_EQ(L"MSG_STARTED\n", image.MessageTable().Blocks(1)->Names(0)) << "names a library carries are read";
}

TEST_F(DocumentLibrary, ImageImportPassesOverLeavesAndDirectoriesAtTheWrongLevel) {
    TPEImage image;
    image.Load(FixturePath(L"fixture64_last.dll"));
    TPEResourceDirectory root;
    image.GetResourceDirectory(root);
    // A leaf where a type belongs, a leaf where a name belongs, a directory where a language does.
    auto* typeLeaf = new TPEResourceData(&root);
    typeLeaf->IdName().SetID(11);
    auto* messages = dynamic_cast<TPEResourceDirectory*>(root.FindItemById(11));
    ASSERT_NE(nullptr, messages);
    auto* nameLeaf = new TPEResourceData(messages);
    nameLeaf->IdName().SetID(1);
    auto* languageDir = new TPEResourceDirectory(dynamic_cast<TPEResourceDirectory*>(messages->FindItemById(1)));
    languageDir->IdName().SetID(1031);
    image.SetResourceDirectory(root);
    image.Save(dir + L"odd.dll");

    TEvLogDocument doc;
    ASSERT_TRUE(doc.Open(dir + L"odd.dll"));
    EXPECT_EQ((std::vector<uint32_t>{English, Russian}), doc.UsedLocales());
    EXPECT_EQ(L"Service %1 started\n", doc.MessageTable().Blocks(1)->Messages(English, 0));
}

TEST_F(DocumentLibrary, AResFileWithoutMessagesStillHasALocale) {
    TRESResources res;
    auto* entry = new TRESResource(&res);
    entry->ResType().SetText(L"OTHER");
    entry->ResName().SetID(1);
    res.SaveToFile(dir + L"empty.res");
    TEvLogDocument doc;
    EXPECT_FALSE(doc.Open(dir + L"empty.res")) << "nothing taken";
    EXPECT_EQ(std::vector<uint32_t>{English}, doc.UsedLocales());
    TMessageBlock* block = doc.AddBlock();
    EXPECT_EQ(1, block->Count());
    EXPECT_EQ(L"", block->Messages(English, 0));
}

TEST_F(DocumentLibrary, BuildsALibraryFromEitherTemplateThatTheSystemReads) {
    struct Case {
        TLibraryTemplateSource source;
        const wchar_t* name;
    } cases[] = {{Eltelib64, L"lib64.dll"}, {Eltelib32, L"lib32.dll"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.name));
        TTemplateScope scope(c.source);
        TEvLogDocument doc(dir + L"doc.elp");
        FillDocument(doc);
        const std::wstring target = OutPath(c.name);
        ASSERT_TRUE(doc.SaveAs(target));
        TModuleHandle module(LoadLibraryExW(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module.Valid());
        TMessageTable& table = doc.MessageTable();
        for (int b = 0; b < table.BlockCount(); ++b)
            for (int i = 0; i < table.Blocks(b)->Count(); ++i)
                for (uint32_t language : {English, Russian}) {
                    const std::wstring text = table.Blocks(b)->Messages(language, i);
                    if (text.empty()) continue; // the system formats no empty message
                    EXPECT_EQ(SystemFormat(text),
                              SystemMessage(module.Get(), table.Blocks(b)->LowId() + i, static_cast<WORD>(language)));
                }
        EXPECT_EQ(L"Service x started", Insert(module.Get(), 0x100, 1033, {L"x"}));
        DWORD ms, ls, translation;
        SystemVersionNumbers(target, ms, ls, translation);
        EXPECT_EQ(0x00010002u, ms);
        EXPECT_EQ(0x00030004u, ls);
        EXPECT_EQ(0x04E40409u, translation);
        EXPECT_EQ(L"1.2.3.4", SystemVersionText(target, L"\\StringFileInfo\\040904E4\\FileVersion"));
        EXPECT_EQ(L"doc.dll", SystemVersionText(target, L"\\StringFileInfo\\040904E4\\OriginalFilename"));

        TEvLogDocument back;
        ASSERT_TRUE(back.Open(target));
        EXPECT_EQ(L"TamrelLibraryTest", back.EventSource());
        EXPECT_EQ(L"Block_0100_Message_100", back.MessageTable().Blocks(1)->Names(0)) << "no names in a library";
        EXPECT_EQ(table.Blocks(1)->Messages(Russian, 0), back.MessageTable().Blocks(1)->Messages(Russian, 0));
    }
}

TEST_F(DocumentLibrary, AnElpDocumentThroughALibraryKeepsAllButNamesAndComments) {
    TTemplateScope scope(Eltelib64);
    TEvLogDocument doc(dir + L"doc.elp");
    FillDocument(doc);
    ASSERT_TRUE(doc.Save());
    TEvLogDocument fromElp;
    ASSERT_TRUE(fromElp.Open(dir + L"doc.elp"));
    ASSERT_TRUE(fromElp.BuildProject());
    TEvLogDocument fromLibrary;
    ASSERT_TRUE(fromLibrary.Open(dir + L"doc.dll"));
    EXPECT_EQ(fromElp.UsedLocales(), fromLibrary.UsedLocales());
    EXPECT_EQ(fromElp.UseCategories(), fromLibrary.UseCategories());
    EXPECT_EQ(fromElp.ProductName(), fromLibrary.ProductName());
    ASSERT_EQ(fromElp.MessageTable().BlockCount(), fromLibrary.MessageTable().BlockCount());
    for (int b = 0; b < fromElp.MessageTable().BlockCount(); ++b) {
        TMessageBlock* x = fromElp.MessageTable().Blocks(b);
        TMessageBlock* y = fromLibrary.MessageTable().Blocks(b);
        ASSERT_EQ(x->Count(), y->Count());
        EXPECT_EQ(x->LowId(), y->LowId());
        for (int i = 0; i < x->Count(); ++i)
            for (uint32_t language : fromElp.UsedLocales()) EXPECT_EQ(x->Messages(language, i), y->Messages(language, i));
    }
    EXPECT_EQ(L"Comment is not specified yet", fromLibrary.MessageTable().Blocks(1)->Comments(0));
}

TEST_F(DocumentLibrary, AFailedBuildKeepsTheOldLibraryAndLeavesNoCopy) {
    TTemplateScope scope(Eltelib64);
    TEvLogDocument doc(dir + L"doc.elp");
    FillDocument(doc);
    const std::wstring target = dir + L"doc.dll";
    ASSERT_TRUE(doc.SaveAs(target));
    const ByteVector good = ReadBytes(target);
    const size_t files = FilesInDir();

    doc.MessageTable().Blocks(1)->SetMessages(English, 2, std::wstring(32765, L'x'));
    EXPECT_FALSE(doc.SaveAs(target)) << "a message the entry cannot carry";
    EXPECT_EQ(good, ReadBytes(target));
    EXPECT_EQ(files, FilesInDir());
    doc.MessageTable().Blocks(1)->Delete(2);

    {
        // Held open without write sharing, the old library cannot be replaced.
        TFileHandle held(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        EXPECT_FALSE(doc.SaveAs(target));
    }
    EXPECT_EQ(good, ReadBytes(target));
    EXPECT_EQ(files, FilesInDir());

    {
        TTemplateScope missing(MissingTemplate);
        std::wstring reason;
        EXPECT_FALSE(doc.BuildProject(&reason)) << "no template resource";
        EXPECT_NE(std::wstring::npos, reason.find(L"System Error")) << WideToUtf8(reason);
    }
    EXPECT_EQ(good, ReadBytes(target));
    EXPECT_EQ(files, FilesInDir());
}

TEST_F(DocumentLibrary, AnEmptyBlockClaimsNoIdInTheLibrary) {
    TTemplateScope scope(Eltelib64);
    TEvLogDocument doc(dir + L"doc.elp");
    new TMessageBlock(&doc.MessageTable()); // no messages, at id 0
    TMessageBlock* block = doc.AddBlock();
    block->SetMessages(English, 0, L"After the empty block");
    const std::wstring target = dir + L"empty.dll";
    ASSERT_TRUE(doc.ExportLibrary(target));
    TEvLogDocument back;
    ASSERT_TRUE(back.Open(target)) << "a record of more ids than the data holds";
    TModuleHandle module(LoadLibraryExW(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(SystemFormat(L"After the empty block"), SystemMessage(module.Get(), block->LowId(), English));
}

TEST_F(DocumentLibrary, TablesOfDifferentBlockLayoutsImportEachTextUnderItsOwnId) {
    // The message compiler's German table has no $101: its blocks are $100, $102 and $200.
    TModuleHandle module(
        LoadLibraryExW(FixturePath(L"layouts64.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    for (const wchar_t* name : {L"layouts.res", L"layouts64.dll"}) {
        TEvLogDocument doc;
        ASSERT_TRUE(doc.Open(FixturePath(name)));
        std::multiset<uint32_t> ids;
        for (int b = 0; b < doc.MessageTable().BlockCount(); ++b)
            for (int i = 0; i < doc.MessageTable().Blocks(b)->Count(); ++i) {
                TMessageBlock* block = doc.MessageTable().Blocks(b);
                ids.insert(block->LowId() + i);
                for (uint16_t language : {uint16_t{1031}, uint16_t{1033}}) {
                    const std::wstring text = block->Messages(language, i);
                    EXPECT_EQ(text.empty() ? L"<FormatMessageW failed: 317>" : SystemFormat(text),
                              SystemMessage(module.Get(), block->LowId() + i, language))
                        << WideToUtf8(name);
                }
            }
        EXPECT_EQ(ids, (std::multiset<uint32_t>{0x100, 0x101, 0x102, 0x200})) << WideToUtf8(name);
    }
}

TEST(DocumentLibraryTemplate, TheModelCarriesTheTemplateLibraryByteForByte) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, L"ELTELIB", MAKEINTRESOURCEW(10));
    ASSERT_NE(nullptr, res);
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(self, res)));
    EXPECT_EQ(Eltelib32(), ByteVector(data, data + SizeofResource(self, res)));
}

// Mutated libraries and .RES files through Open: it answers, and nothing breaks.
TEST_F(DocumentLibrary, MutatedFilesOpenWithoutHarm) {
    TTemplateScope scope(Eltelib64);
    TEvLogDocument doc(dir + L"doc.elp");
    FillDocument(doc);
    ASSERT_TRUE(doc.SaveAs(dir + L"seed.res"));
    ASSERT_TRUE(doc.SaveAs(dir + L"seed.dll"));
    const ByteVector seeds[] = {ReadBytes(dir + L"seed.res"), ReadBytes(dir + L"seed.dll")};
    const wchar_t* names[] = {L"m.res", L"m.dll"};
    std::mt19937 random(1);
    const DWORD start = GetTickCount();
    int opened = 0, runs = 0;
    for (; runs < 4000 && GetTickCount() - start < 20000; ++runs) {
        const int kind = runs % 2;
        ByteVector bytes = seeds[kind];
        const int changes = 1 + random() % 8;
        for (int c = 0; c < changes; ++c) {
            const size_t at = random() % bytes.size();
            bytes[at] = static_cast<uint8_t>(random() % 4 == 0 ? 0xFF : random());
        }
        if (random() % 8 == 0) bytes.resize(random() % bytes.size());
        WriteBytes(dir + names[kind], bytes);
        TEvLogDocument mutated;
        if (mutated.Open(dir + names[kind])) ++opened;
        EXPECT_FALSE(mutated.UsedLocales().empty());
    }
    EXPECT_GT(runs, 100);
    EXPECT_GT(opened, 0) << "some mutants still read";
}

// Runs after the native step linked document.res into DLLs: the system reads the document's texts.
TEST(LinkedOutput, TheSystemReadsADocumentsResFile) {
    TEvLogDocument doc;
    FillDocument(doc);
    for (const wchar_t* name : {L"document64.dll", L"document32.dll"}) {
        SCOPED_TRACE(WideToUtf8(name));
        const std::wstring file = OutPath(name);
        TModuleHandle module(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module.Valid());
        for (int b = 0; b < doc.MessageTable().BlockCount(); ++b) {
            TMessageBlock* block = doc.MessageTable().Blocks(b);
            for (int i = 0; i < block->Count(); ++i) {
                for (uint32_t language : {English, Russian}) {
                    if (block->Messages(language, i).empty()) continue; // the system formats no empty message
                    EXPECT_EQ(SystemFormat(block->Messages(language, i)),
                              SystemMessage(module.Get(), block->LowId() + i, static_cast<WORD>(language)));
                }
            }
        }
        EXPECT_EQ(L"1.2.3.4", SystemVersionText(file, L"\\StringFileInfo\\040904E4\\FileVersion"));
    }
}
