// Expert components inside our environment stand-in: the wizard answers, validation at load,
// registration and removal exactly once, and the creation code the wizard generator writes.
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/WQ_LibIntf.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/Streams.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;

namespace {

struct TExecuted {
    TObject* Sender = nullptr;
    int Count = 0;
    void Run(TObject* sender) {
        Sender = sender;
        ++Count;
    }
};

TWQExpert* NewExpert(TComponent* owner, const std::wstring& name, const std::wstring& expertName,
                     const std::wstring& menuText) {
    auto* expert = Create<TWQExpert>(owner);
    expert->SetName(name);
    expert->SetExpertName(expertName);
    expert->SetMenuText(menuText);
    return expert;
}

// A 33-byte icon file: the directory (22 bytes) and an 11-byte image.
std::string IconFile33() {
    std::string bytes("\0\0\1\0\1\0"                                  // reserved, type 1, one image
                      "\x10\x10\0\0\1\0\x20\0\x0B\0\0\0\x16\0\0\0", // 16x16, 11 bytes at 22
                      22);
    for (char c = 'A'; c <= 'K'; ++c) bytes += c;
    return bytes;
}

// An .ico file the system makes an icon of: one 16 by 16 image of 32 bits, opaque.
std::string IconFile16() {
    const uint32_t imageBytes = 40 + 16 * 16 * 4 + 16 * 4;
    std::string bytes("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
    auto u32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&bytes](uint32_t v) {
        bytes += static_cast<char>(v & 0xFF);
        bytes += static_cast<char>((v >> 8) & 0xFF);
    };
    u32(imageBytes), u32(22);
    u32(40), u32(16), u32(32), u16(1), u16(32), u32(0), u32(16 * 16 * 4 + 16 * 4), u32(0), u32(0), u32(0), u32(0);
    for (int i = 0; i < 16 * 16; ++i) u32(0xFF2060A0);
    bytes.append(16 * 4, '\0');
    return bytes;
}

} // namespace

TEST(WQExpert, WizardAnswersAreReadFromTheExpertAtEachCall) {
    TIdeHost host;
    TDataModule* module = Create<TDataModule>(nullptr);
    auto* expert = Create<TWQAdvancedExpert>(module);
    TComPtr<IOTAMenuWizard> wizard = Supports<IOTAMenuWizard>(expert->Wizard());
    ASSERT_TRUE(wizard);
    expert->SetExpertName(L"NT Service");
    expert->SetAuthor(L"Tamrel");
    expert->SetComment(L"Creates new NT Service ");
    expert->SetMenuText(L"Menu");
    EXPECT_EQ(L"NT Service", wizard->GetName());
    EXPECT_EQ(L"NT Service", wizard->GetIDString());
    EXPECT_EQ(L"Tamrel", Supports<IOTARepositoryWizard>(wizard.Get())->GetAuthor());
    EXPECT_EQ(L"Creates new NT Service ", Supports<IOTARepositoryWizard>(wizard.Get())->GetComment());
    EXPECT_EQ(L"Menu", wizard->GetMenuText());
    for (const wchar_t* blank : {L"", L"   ", L"\t"}) {
        expert->SetPage(blank);
        EXPECT_EQ(L"New", Supports<IOTARepositoryWizard>(wizard.Get())->GetPage()) << "page \"" << blank << '"';
    }
    expert->SetPage(L" Services ");
    EXPECT_EQ(L" Services ", Supports<IOTARepositoryWizard>(wizard.Get())->GetPage());

    const struct {
        TExpertState State;
        TWizardState Expected;
    } states[] = {{{}, {}},
                  {{esEnabled}, {wsEnabled}},
                  {{esChecked}, {wsChecked}},
                  {{esEnabled, esChecked}, {wsEnabled, wsChecked}}};
    for (const auto& s : states) {
        expert->SetState(s.State);
        EXPECT_EQ(s.Expected, wizard->GetState());
    }

    TExecuted executed;
    wizard->Execute(); // no handler: nothing
    expert->SetOnExecute(MakeMethod<&TExecuted::Run>(&executed));
    wizard->Execute();
    EXPECT_EQ(1, executed.Count);
    EXPECT_EQ(expert, executed.Sender);

    // A plain expert has no icon.
    auto* plain = Create<TWQExpert>(module);
    EXPECT_EQ(nullptr, Supports<IOTARepositoryWizard>(plain->Wizard())->GetGlyph());
    EXPECT_EQ(esStandard, plain->Style());
    EXPECT_EQ(TExpertState{esEnabled}, plain->State());
    EXPECT_EQ(esForm, expert->Style());

    // The environment may keep the wizard past its expert: it answers nothing then.
    Free(module);
    EXPECT_EQ(L"", wizard->GetName());
    wizard->Execute();
    EXPECT_EQ(1, executed.Count);
}

TEST(WQExpert, TheWizardAnswersEveryRepositoryInterface) {
    TDataModule* module = Create<TDataModule>(nullptr);
    auto* expert = Create<TWQExpert>(module);
    IOTAWizard* wizard = expert->Wizard();
    EXPECT_TRUE(Supports<IOTANotifier>(wizard));
    EXPECT_TRUE(Supports<IOTARepositoryWizard>(wizard));
    EXPECT_TRUE(Supports<IOTAFormWizard>(wizard));
    EXPECT_TRUE(Supports<IOTAProjectWizard>(wizard));
    EXPECT_TRUE(Supports<IOTAMenuWizard>(wizard));
    // The notifier's four calls do nothing, also to the expert's state.
    wizard->AfterSave();
    wizard->BeforeSave();
    wizard->Modified();
    wizard->Destroyed();
    EXPECT_FALSE(expert->IsUnloaded());
    Free(module);
}

// The environment owns the icon handle it was given: it outlives the expert. Each call gives
// the handle the icon holds then, a new one made from its bytes.
TEST(WQAdvancedExpert, GlyphHandleIsGivenAwayToTheEnvironment) {
    TDataModule* module = Create<TDataModule>(nullptr);
    auto* expert = Create<TWQAdvancedExpert>(module);
    TComPtr<IOTARepositoryWizard> wizard = Supports<IOTARepositoryWizard>(expert->Wizard());
    EXPECT_EQ(nullptr, wizard->GetGlyph()); // an empty icon has no handle
    TMemoryStream stream;
    const std::string bytes = IconFile16();
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    TIcon icon;
    icon.LoadFromStream(stream);
    expert->SetGlyph(&icon);
    const HICON first = wizard->GetGlyph();
    ASSERT_NE(nullptr, first);
    const HICON second = wizard->GetGlyph();
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    Free(module);
    for (HICON given : {first, second}) {
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(given, &info)) << "the expert destroyed a handle it had given away";
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_TRUE(DestroyIcon(given));
    }
}

TEST(WQExpert, LoadValidatesThenRegistersAndRemovesOnceOnly) {
    TIdeHost host;
    const struct {
        const wchar_t* ExpertName;
        TExpertStyle Style;
        const wchar_t* MenuText;
        const wchar_t* Error; // empty: registered
    } cases[] = {
        {L"A", esStandard, L"Run A", L""},
        {L"  ", esStandard, L"Run", L"Expert \"Expert1\" : Invalid value of \"ExpertName\" property"},
        {L"A", esStandard, L" ", L"Expert \"Expert1\" : Invalid value of \"MenuText\" property"},
        {L"A", esForm, L"", L""},
        {L"", esForm, L"", L"Expert \"Expert1\" : Invalid value of \"ExpertName\" property"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "expert \"" << c.ExpertName << "\" style " << int(c.Style));
        TWQExpert* expert = NewExpert(nullptr, L"Expert1", c.ExpertName, c.MenuText);
        expert->SetStyle(c.Style);
        if (*c.Error) {
            try {
                expert->Loaded();
                ADD_FAILURE() << "no exception";
            } catch (const Exception& e) {
                EXPECT_EQ(c.Error, e.Message());
            }
            EXPECT_TRUE(host.WizardIds().empty());
            Free(expert); // removes nothing: nothing was added
        } else {
            expert->Loaded();
            EXPECT_EQ(std::vector<std::wstring>{c.ExpertName}, host.WizardIds());
            expert->Unloaded(); // removes the wizard and frees the expert, which removes nothing more
            EXPECT_TRUE(host.WizardIds().empty());
        }
        EXPECT_TRUE(host.Faults().empty()) << host.Faults().front().Line();
    }
}

TEST(WQExpert, AnInvalidExpertAfterAValidOneLeavesTheValidOneRegistered) {
    TIdeHost host;
    TWQExpert* valid = NewExpert(nullptr, L"Valid", L"First", L"Run");
    valid->Loaded();
    ASSERT_EQ(0u, valid->WizardHandle()); // the index an invalid expert also holds
    TWQExpert* invalid = NewExpert(nullptr, L"Invalid", L"", L"Run");
    EXPECT_THROW(invalid->Loaded(), Exception);
    Free(invalid);
    EXPECT_EQ(std::vector<std::wstring>{L"First"}, host.WizardIds());
    Free(valid);
    EXPECT_TRUE(host.WizardIds().empty());
    EXPECT_TRUE(host.Faults().empty());
}

TEST(WQExpert, NeitherRegisteredNorRemovedWhileDesignedOrWithoutAnEnvironment) {
    {
        TWQExpert* outside = NewExpert(nullptr, L"Expert1", L"A", L"Run");
        outside->Loaded(); // no environment: nothing happens
        uint32_t index = 42;
        EXPECT_FALSE(RegisterWizard(outside->Wizard(), index));
        EXPECT_EQ(42u, index);
        UnregisterWizard(0);
        Free(outside);
    }
    TIdeHost host;
    uint32_t index = 42;
    EXPECT_FALSE(RegisterWizard(nullptr, index));
    EXPECT_EQ(42u, index);
    TWQExpert* designed = NewExpert(nullptr, L"Expert1", L"", L"");
    designed->SetDesigning(true);
    designed->Loaded(); // not even validated
    EXPECT_TRUE(host.WizardIds().empty());
    Free(designed);
    for (const TIdeRecord& r : host.Records()) EXPECT_NE(L"wizards", r.Area) << r.Line();
}

TEST(WQExpert, IconLiteralRunsOf32BytesInUpperCaseHex) {
    EXPECT_EQ(L"", IconLiteral(""));
    EXPECT_EQ(L"'00FFA5'", IconLiteral(std::string("\x00\xFF\xA5", 3)));
    const std::string bytes = IconFile33();
    ASSERT_EQ(33u, bytes.size());
    EXPECT_EQ(L"'00000100010010100000010020000B000000160000004142434445464748494A' +\r\n'4B'", IconLiteral(bytes));
    EXPECT_EQ(L"'" + std::wstring(64, L'0') + L"'", IconLiteral(std::string(32, '\0')));
}

TEST(WQAdvancedExpert, CreationCodeAndVarsWithQuotesDoubledAndTheIconInTwoRuns) {
    TDataModule* module = Create<TDataModule>(nullptr);
    auto* expert = Create<TWQAdvancedExpert>(module);
    expert->SetName(L"Expert1");
    expert->SetExpertName(L"O'Brien");
    expert->SetAuthor(L"A");
    expert->SetComment(L"it's");
    expert->SetPage(L"");
    TMemoryStream icon;
    const std::string bytes = IconFile33();
    icon.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    icon.SetPosition(0);
    TIcon source;
    source.LoadFromStream(icon);
    expert->SetGlyph(&source);
    EXPECT_EQ(L"    Expert1.ExpertName := 'O''Brien';\r\n"
              L"    Expert1.Author := 'A';\r\n"
              L"    Expert1.Comment := 'it''s';\r\n"
              L"    Expert1.Page := '';\r\n"
              L"\r\n"
              L"    Expert1_GlyphString :=\r\n"
              L"'00000100010010100000010020000B000000160000004142434445464748494A' +\r\n"
              L"'4B';\r\n"
              L"    Expert1_GlyphString:=PasCodeToString(Expert1_GlyphString);\r\n"
              L"    Expert1_SS:=TMemoryStream.Create;\r\n"
              L"    Expert1_SS.Write(Expert1_GlyphString[1], Length(Expert1_GlyphString));\r\n"
              L"\r\n"
              L"    Expert1.Glyph.LoadFromStream(Expert1_SS);\r\n"
              L"    Expert1_SS.Free;\r\n"
              L"    Expert1.Loaded;\r\n",
              expert->GetCreationCode());
    EXPECT_EQ(L"var Expert1_SS : TMemoryStream;\r\n    Expert1_GlyphString: AnsiString;\r\n", expert->GetCreationVars());
    auto* plain = Create<TWQExpert>(module);
    EXPECT_EQ(L"", plain->GetCreationCode());
    EXPECT_EQ(L"", plain->GetCreationVars());
    Free(module);
}
