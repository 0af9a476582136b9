// The template engine component: parameters, expansion through its lines of text, and its stored
// form inside a data module's text form.
#include "ide/framework/Dev_WQ_MacroText.h"

#include "host/Streaming.h"
#include "host/SysUtils.h"
#include "ide/framework/Dev_WQ_MacroTextCore.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>

using namespace tamrel;

namespace {

struct TFreer {
    void operator()(TObject* o) const { Free(o); }
};
template <class T> using TOwned = std::unique_ptr<T, TFreer>;

void SetLines(TWQMacroText& mt, std::initializer_list<const wchar_t*> lines) {
    TStringList list;
    for (const wchar_t* l : lines) list.Add(l);
    mt.SetText(&list);
}

std::vector<std::wstring> ParamNames(const TWQMacroText& mt) {
    std::vector<std::wstring> names;
    for (int i = 0; i < mt.Params()->Count(); ++i) names.push_back(mt.Params()->Items(i)->Name());
    return names;
}

// A data module holding one engine named MT.
TOwned<TDataModule> ModuleWithEngine(TWQMacroText*& engine) {
    TOwned<TDataModule> module(Create<TDataModule>(nullptr));
    module->SetName(L"Wizard1");
    engine = Create<TWQMacroText>(module.get());
    engine->SetName(L"MT");
    return module;
}

TWQMacroText* EngineOf(TComponent* root) {
    auto* mt = dynamic_cast<TWQMacroText*>(root->FindComponent(L"MT"));
    EXPECT_NE(nullptr, mt);
    return mt;
}

// The bytes of the binary value Name in a text form.
std::vector<uint8_t> BinaryValue(const std::wstring& form, const std::wstring& name) {
    const size_t open = form.find(name + L" = {");
    const size_t close = form.find(L'}', open);
    std::vector<uint8_t> bytes;
    std::wstring digits;
    for (size_t i = open + name.size() + 4; i < close; ++i)
        if (std::iswxdigit(form[i])) digits += form[i];
    for (size_t i = 0; i + 1 < digits.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Bytes as a string of the text form: #nnn for each.
std::wstring PascalBytes(const std::string& bytes) {
    std::wstring out = bytes.empty() ? L"''" : L"";
    for (unsigned char c : bytes) out += L"#" + std::to_wstring(c);
    return out;
}

} // namespace

TEST(MacroText, FreshEnginesGetKeysOfTheirOwn) {
    TOwned<TWQMacroText> a(Create<TWQMacroText>(nullptr)), b(Create<TWQMacroText>(nullptr));
    ASSERT_EQ(18u, a->Password().size());
    for (wchar_t c : a->Password()) EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << a->Password();
    EXPECT_NE(a->Password(), b->Password());
}

TEST(MacroText, ParametersComeFromTheTemplateOnceEachAndAreFoundWithoutCase) {
    TOwned<TWQMacroText> mt(Create<TWQMacroText>(nullptr));
    SetLines(*mt, {L"unit ~UnitName~;", L"~~ type T~ClassName~ = class(~Ancestor~) ~unitname~", L"|+P|~Hidden~|-P|"});
    EXPECT_EQ((std::vector<std::wstring>{L"UnitName", L"ClassName", L"Ancestor", L"Hidden"}), ParamNames(*mt));
    TWQMacroParam* p = mt->ParamByName(L"UNITNAME");
    EXPECT_EQ(L"UnitName", p->Name());
    // An unknown name is added, with an empty value.
    TWQMacroParam* added = mt->ParamByName(L"Other");
    EXPECT_EQ(5, mt->Params()->Count());
    EXPECT_EQ("", added->Value);
    EXPECT_EQ(L"Other", added->GetDisplayName());
}

TEST(MacroText, ResultTextExpandsValuesAndDropsSkippedParts) {
    TOwned<TWQMacroText> mt(Create<TWQMacroText>(nullptr));
    SetLines(*mt, {L"unit ~UnitName~;", L"|+COM|", L"uses ComObj;", L"|-COM|", L"|+p|lower|-p|end."});
    mt->ParamByName(L"unitname")->Value = "Unit1";
    TStringList skip;
    skip.Add(L"COM");
    skip.Add(L"P");
    mt->SetSkipParts(&skip);
    EXPECT_EQ((std::vector<std::wstring>{L"unit Unit1;", L"lowerend."}), mt->ResultText()->ToVector());
    skip.Clear();
    mt->SetSkipParts(&skip);
    EXPECT_EQ((std::vector<std::wstring>{L"unit Unit1;", L"uses ComObj;", L"lowerend."}), mt->ResultText()->ToVector());
}

TEST(MacroText, ExpansionAddsTheParametersItMissesAtDepthZeroOnly) {
    TOwned<TWQMacroText> mt(Create<TWQMacroText>(nullptr));
    SetLines(*mt, {L"~Shown~|+P|~Skipped~|-P|"});
    mt->Params()->Clear();
    TStringList skip;
    skip.Add(L"P");
    mt->SetSkipParts(&skip);
    mt->ResultText();
    EXPECT_EQ(std::vector<std::wstring>{L"Shown"}, ParamNames(*mt));
}

TEST(MacroText, TextGoesThroughTheAnsiCodePage) {
    // The test prefix has ANSI code page 1252: e acute has a byte there, the Cyrillic letter none.
    ASSERT_EQ(1252u, GetACP());
    TOwned<TWQMacroText> mt(Create<TWQMacroText>(nullptr));
    SetLines(*mt, {L"\u00e9 \u0416 ~P~"});
    mt->ParamByName(L"P")->Value = WideToAnsi(L"\u00e9\u0416");
    EXPECT_EQ(L"\u00e9 ? \u00e9?", mt->ResultText()->Get(0));
}

TEST(MacroText, EngineOnADataModuleRoundTripsThroughTheTextFormWithItsTextAndKey) {
    TWQMacroText* mt = nullptr;
    auto module = ModuleWithEngine(mt);
    SetLines(*mt, {L"program ~Name~;", L"", L"{ it's \u00e9 }", L"|+P|x|-P|"});
    const std::wstring key = mt->Password();
    const std::wstring form = ComponentToText(module.get());
    // Neither the template nor the key appear in clear; no Text or Password property is written.
    EXPECT_EQ(std::wstring::npos, form.find(L"program")) << form;
    EXPECT_EQ(std::wstring::npos, form.find(key)) << form;
    EXPECT_EQ(std::wstring::npos, form.find(L"Password")) << form;
    EXPECT_EQ(std::wstring::npos, form.find(L"Text.Strings")) << form;

    TOwned<TComponent> back(CreateComponentFromText(form, nullptr));
    TWQMacroText* read = EngineOf(back.get());
    EXPECT_EQ(key, read->Password());
    EXPECT_EQ(mt->Text()->ToVector(), read->Text()->ToVector());
    EXPECT_EQ(std::vector<std::wstring>{L"Name"}, ParamNames(*read));
}

TEST(MacroText, StoredBlockMatchesOneComputedByHand) {
    TWQMacroText* mt = nullptr;
    auto module = ModuleWithEngine(mt);
    mt->SetPassword(L"AB");
    SetLines(*mt, {L"xyz"});
    // key 'A'^1 'B'^2; text "xyz\r\n", byte i (from 1) XOR key[i mod 2]: x^B y^A z^B CR^A LF^B
    const std::vector<uint8_t> expected = {2, 0, 0, 0, 0x40, 0x40, 5, 0, 0, 0, 0x3A, 0x38, 0x38, 0x4C, 0x48};
    EXPECT_EQ(expected, BinaryValue(ComponentToText(module.get()), L"BDATA"));
}

TEST(MacroText, OlderListFormIsReadAndNeedsTwoStrings) {
    const std::string key = "0123456789ABCDEF01";
    const std::string text = "unit ~U~;\r\nend.\r\n";
    const std::wstring form = L"object Wizard1: TDataModule\r\n  object MT: TWQMacroText\r\n    DATA = (\r\n      " +
                              PascalBytes(ScrambleKey(key)) + L"\r\n      " + PascalBytes(ScrambleText(text, key)) +
                              L")\r\n  end\r\nend\r\n";
    TOwned<TComponent> back(CreateComponentFromText(form, nullptr));
    TWQMacroText* mt = EngineOf(back.get());
    EXPECT_EQ(L"0123456789ABCDEF01", mt->Password());
    EXPECT_EQ((std::vector<std::wstring>{L"unit ~U~;", L"end."}), mt->Text()->ToVector());
    EXPECT_EQ(std::vector<std::wstring>{L"U"}, ParamNames(*mt));

    const std::wstring oneString =
        L"object Wizard1: TDataModule\r\n  object MT: TWQMacroText\r\n    DATA = (\r\n      'key')\r\n  end\r\nend\r\n";
    EXPECT_THROW(CreateComponentFromText(oneString, nullptr), EReadError);
}

TEST(MacroText, TruncatedOrOverlongStoredBlocksRaiseReadErrors) {
    const std::vector<std::wstring> blocks = {
        L"{02000000}",                     // key length without its key
        L"{FFFFFFFF41}",                   // key length past the end
        L"{0100000041FFFFFF7F78}",         // text length past the end
        L"{010000004101000000787878}",     // bytes after the text
        L"{0100}",                         // a length cut short
    };
    for (const std::wstring& block : blocks) {
        const std::wstring form = L"object Wizard1: TDataModule\r\n  object MT: TWQMacroText\r\n    BDATA = " + block +
                                  L"\r\n  end\r\nend\r\n";
        EXPECT_THROW(CreateComponentFromText(form, nullptr), EReadError) << block;
    }
}

TEST(MacroText, CreationCodeNamesTheComponent) {
    TWQMacroText* mt = nullptr;
    auto module = ModuleWithEngine(mt);
    SetLines(*mt, {L"a'b"});
    EXPECT_EQ(L"    MT.Text.Text:=\r\n'a''b';\r\n    MT.EnumParams;\r\n", mt->GetCreationCode());
    EXPECT_EQ(L"", mt->GetCreationVars());
}

TEST(MacroText, ParameterAssignCopiesTheValueOnlyAndRefusesOtherClasses) {
    TOwned<TWQMacroText> mt(Create<TWQMacroText>(nullptr));
    TWQMacroParam* a = mt->ParamByName(L"A");
    TWQMacroParam* b = mt->ParamByName(L"B");
    a->Value = "value";
    b->Assign(a);
    EXPECT_EQ("value", b->Value);
    EXPECT_EQ(L"B", b->Name());
    TStringList other;
    EXPECT_THROW(b->Assign(&other), EConvertError);
    // An item of another class in the collection is refused by Items.
    new TCollectionItem(mt->Params());
    EXPECT_THROW(mt->Params()->Items(2), EInvalidCast);
    EXPECT_EQ(mt.get(), mt->Params()->GetOwner());
}
