#include "ide/framework/Dev_WQ_MacroText.h"

#include "host/Streaming.h"
#include "host/SysUtils.h"
#include "ide/framework/Dev_WQ_MacroTextCore.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TWQMacroParam, TWQMacroParams

TAMREL_IMPLEMENT_CLASS(TWQMacroParam) { b.String(L"Name", &TWQMacroParam::Name, &TWQMacroParam::SetName); }

void TWQMacroParam::Assign(TPersistent* source) {
    if (auto* param = dynamic_cast<TWQMacroParam*>(source)) {
        Value = param->Value;
        return;
    }
    TCollectionItem::Assign(source);
}

TAMREL_IMPLEMENT_CLASS(TWQMacroParams) {}

TWQMacroParams::TWQMacroParams(TWQMacroText* owner) : TCollection(TWQMacroParam::StaticClassInfo()), FOwner(owner) {}

TWQMacroParam* TWQMacroParams::Add() { return static_cast<TWQMacroParam*>(TCollection::Add()); }

TWQMacroParam* TWQMacroParams::Items(int index) const {
    TCollectionItem* item = TCollection::Items(index);
    auto* param = dynamic_cast<TWQMacroParam*>(item);
    if (!param) throw EInvalidCast(L"Invalid class typecast");
    return param;
}

TPersistent* TWQMacroParams::GetOwner() { return FOwner; }

// ---------------------------------------------------------------------------------------------
// TWQMacroText

TAMREL_IMPLEMENT_CLASS(TWQMacroText) {
    // The template itself travels scrambled in BDATA, and the key inside it: neither is stored
    // as a property of its own.
    b.Object(L"Text", &TWQMacroText::Text).NotStored();
    b.Object(L"Params", &TWQMacroText::Params);
    b.String(L"Password", &TWQMacroText::Password, &TWQMacroText::SetPassword).NotStored();
}

TWQMacroText::TWQMacroText(TComponent* owner)
    : TWQSMSBase(owner), FSkipParts(std::make_unique<TStringList>()), FText(std::make_unique<TStringList>()),
      FResultText(std::make_unique<TStringList>()), FParams(std::make_unique<TWQMacroParams>(this)) {
    FPassword = AnsiToWide(NewTemplateKey());
}

TWQMacroText::~TWQMacroText() = default;

void TWQMacroText::SetText(TStrings* value) {
    FText->Assign(value);
    EnumParams();
}

std::string TWQMacroText::AnsiTemplate() const { return WideToAnsi(FText->Text()); }

bool TWQMacroText::IsSkipPart(const std::wstring& name) const {
    for (int i = 0; i < FSkipParts->Count(); ++i)
        if (AnsiCompareStr(FSkipParts->Get(i), name) == 0) return true;
    return false;
}

TWQMacroParam* TWQMacroText::GetParamByName(const std::wstring& name) {
    for (int i = 0; i < FParams->Count(); ++i) {
        TWQMacroParam* param = FParams->Items(i);
        if (AnsiSameText(param->Name(), name)) return param;
    }
    TWQMacroParam* param = FParams->Add();
    param->SetName(name);
    return param;
}

void TWQMacroText::EnumParams() {
    FParams->Clear();
    ScanTemplateParams(AnsiTemplate(), [this](std::string_view name) { GetParamByName(AnsiToWide(name)); });
}

TStrings* TWQMacroText::ResultText() {
    const std::string result = ExpandTemplate(
        AnsiTemplate(), [this](std::string_view part) { return IsSkipPart(AnsiToWide(part)); },
        [this](std::string_view name) { return GetParamByName(AnsiToWide(name))->Value; });
    FResultText->SetText(AnsiToWide(result));
    return FResultText.get();
}

std::wstring TWQMacroText::GetCreationCode() { return TemplateCreationCode(Name(), FText->ToVector()); }

// ---------------------------------------------------------------------------------------------
// Stored form

namespace {

// The key is stored 8 bits per character (its digits are ASCII).
std::string KeyBytes(const std::wstring& key) {
    std::string bytes;
    for (wchar_t c : key) bytes += static_cast<char>(c);
    return bytes;
}

std::wstring KeyText(const std::string& bytes) {
    std::wstring key;
    for (char c : bytes) key += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return key;
}

// A string of the older form back to its bytes: the text form holds characters below 256 as
// themselves (written as #nnn or plainly) and others as what the ANSI code page made of them.
std::string StoredBytes(const std::wstring& s) {
    std::string bytes;
    for (wchar_t c : s) {
        if (c < 0x100) bytes += static_cast<char>(c);
        else bytes += WideToAnsi(std::wstring_view(&c, 1));
    }
    return bytes;
}

} // namespace

void TWQMacroText::DefineProperties(TFiler& filer) {
    TWQSMSBase::DefineProperties(filer);
    filer.DefineProperty(L"DATA", [this](TReader& reader) { ReadData(reader); }, nullptr, false);
    filer.DefineBinaryProperty(L"BDATA", [this](const std::vector<uint8_t>& data) { ReadBData(data); },
                               [this] { return WriteBData(); }, true);
}

void TWQMacroText::ReadData(TReader& reader) {
    std::vector<std::string> strings;
    reader.ReadListBegin();
    while (!reader.EndOfList()) strings.push_back(StoredBytes(reader.ReadString()));
    reader.ReadListEnd();
    LoadStored(ReadStoredStrings(strings));
}

void TWQMacroText::ReadBData(const std::vector<uint8_t>& data) { LoadStored(ReadStoredBlock(data.data(), data.size())); }

std::vector<uint8_t> TWQMacroText::WriteBData() const { return WriteStoredBlock(KeyBytes(FPassword), AnsiTemplate()); }

void TWQMacroText::LoadStored(const TStoredTemplate& stored) {
    FPassword = KeyText(stored.Key);
    FText->SetText(AnsiToWide(stored.Text));
    EnumParams();
}

} // namespace tamrel
