#include "ide/framework/Dev_WQ_Experts.h"

#include "host/Streams.h"
#include "host/SysUtils.h"
#include "ide/framework/WQ_LibIntf.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TWQIExpert

std::wstring TWQIExpert::GetAuthor() { return FOwner ? FOwner->Author() : std::wstring(); }
std::wstring TWQIExpert::GetIDString() { return FOwner ? FOwner->ExpertName() : std::wstring(); }
std::wstring TWQIExpert::GetName() { return FOwner ? FOwner->ExpertName() : std::wstring(); }
std::wstring TWQIExpert::GetComment() { return FOwner ? FOwner->Comment() : std::wstring(); }
std::wstring TWQIExpert::GetMenuText() { return FOwner ? FOwner->MenuText() : std::wstring(); }

std::wstring TWQIExpert::GetPage() {
    if (!FOwner) return {};
    return Trim(FOwner->Page()).empty() ? std::wstring(L"New") : FOwner->Page();
}

TWizardState TWQIExpert::GetState() {
    TWizardState state;
    if (!FOwner) return state;
    if (FOwner->State().Contains(esEnabled)) state.Include(wsEnabled);
    if (FOwner->State().Contains(esChecked)) state.Include(wsChecked);
    return state;
}

HICON TWQIExpert::GetGlyph() {
    auto* advanced = dynamic_cast<TWQAdvancedExpert*>(FOwner);
    return advanced && advanced->Glyph() ? advanced->Glyph()->ReleaseHandle() : nullptr;
}

void TWQIExpert::Execute() {
    if (FOwner && FOwner->OnExecute()) FOwner->OnExecute()(FOwner);
}

// ---------------------------------------------------------------------------------------------
// TWQExpert

TAMREL_IMPLEMENT_CLASS(TWQExpert) {
    b.String(L"ExpertName", &TWQExpert::ExpertName, &TWQExpert::SetExpertName);
    b.String(L"Author", &TWQExpert::Author, &TWQExpert::SetAuthor);
    b.String(L"Comment", &TWQExpert::Comment, &TWQExpert::SetComment);
    b.String(L"Page", &TWQExpert::Page, &TWQExpert::SetPage);
    b.Enum(L"Style", &TWQExpert::Style, &TWQExpert::SetStyle, esStandard);
    b.Set(L"State", &TWQExpert::State, &TWQExpert::SetState, TExpertState{esEnabled});
    b.String(L"MenuText", &TWQExpert::MenuText, &TWQExpert::SetMenuText);
    b.Event(L"OnExecute", &TWQExpert::OnExecute, &TWQExpert::SetOnExecute);
}

TWQExpert::TWQExpert(TComponent* owner)
    : TWQSMSBase(owner), FWizard(MakeInterfaced<TWQIExpert>(this)), FState{esEnabled} {}

TWQExpert::~TWQExpert() {
    if (!FUnloaded) {
        FUnloaded = true;
        Unloaded();
    }
    // The environment may keep the wizard object: it must not reach this component any more.
    FWizard->ClearOwner();
}

void TWQExpert::Loaded() {
    TWQSMSBase::Loaded();
    if (ComponentState().Contains(csDesigning)) return;
    if (Trim(FExpertName).empty())
        throw Exception(L"Expert \"%s\" : Invalid value of \"ExpertName\" property", Name());
    if (FStyle == esStandard && Trim(FMenuText).empty())
        throw Exception(L"Expert \"%s\" : Invalid value of \"MenuText\" property", Name());
    FRegistered = RegisterWizard(Wizard(), FWizardHandle);
}

void TWQExpert::Unloaded() {
    // Only an index the environment really gave us is ours to remove: an expert whose module
    // failed to load would otherwise remove whichever wizard holds its default index.
    if (!ComponentState().Contains(csDesigning) && std::exchange(FRegistered, false)) UnregisterWizard(FWizardHandle);
    if (!FUnloaded) {
        FUnloaded = true;
        Free(this);
    }
}

// ---------------------------------------------------------------------------------------------
// TWQAdvancedExpert

TAMREL_IMPLEMENT_CLASS(TWQAdvancedExpert) { b.Object(L"Glyph", &TWQAdvancedExpert::Glyph); }

TWQAdvancedExpert::TWQAdvancedExpert(TComponent* owner) : TWQExpert(owner) {
    FGlyph = std::make_unique<TIcon>();
    SetStyle(esForm);
}

TWQAdvancedExpert::~TWQAdvancedExpert() { FGlyph.reset(); }

void TWQAdvancedExpert::SetGlyph(TIcon* value) { FGlyph->Assign(value); }

std::wstring PasQuoted(const std::wstring& text) {
    std::wstring quoted;
    for (wchar_t c : text) {
        quoted += c;
        if (c == L'\'') quoted += c;
    }
    return quoted;
}

std::wstring IconLiteral(const std::string& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring literal;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 32 == 0) literal += i == 0 ? L"'" : L"' +\r\n'";
        const auto b = static_cast<uint8_t>(bytes[i]);
        literal += digits[b >> 4];
        literal += digits[b & 15];
    }
    if (!bytes.empty()) literal += L"'";
    return literal;
}

std::wstring TWQAdvancedExpert::GetCreationCode() {
    TMemoryStream icon;
    Glyph()->SaveToStream(icon);
    const std::string bytes(static_cast<const char*>(icon.Memory()), static_cast<size_t>(icon.Size()));
    const std::wstring& n = Name();
    return TWQExpert::GetCreationCode() + L"    " + n + L".ExpertName := '" + PasQuoted(ExpertName()) + L"';\r\n" +
           L"    " + n + L".Author := '" + PasQuoted(Author()) + L"';\r\n" + L"    " + n + L".Comment := '" +
           PasQuoted(Comment()) + L"';\r\n" + L"    " + n + L".Page := '" + PasQuoted(Page()) + L"';\r\n\r\n" + L"    " + n +
           L"_GlyphString :=\r\n" + IconLiteral(bytes) + L";\r\n" + L"    " + n + L"_GlyphString:=PasCodeToString(" + n +
           L"_GlyphString);\r\n" + L"    " + n + L"_SS:=TMemoryStream.Create;\r\n" + L"    " + n + L"_SS.Write(" + n +
           L"_GlyphString[1], Length(" + n + L"_GlyphString));\r\n\r\n" + L"    " + n + L".Glyph.LoadFromStream(" + n +
           L"_SS);\r\n" + L"    " + n + L"_SS.Free;\r\n" + L"    " + n + L".Loaded;\r\n";
}

std::wstring TWQAdvancedExpert::GetCreationVars() {
    return TWQExpert::GetCreationVars() + L"var " + Name() + L"_SS : TMemoryStream;\r\n    " + Name() +
           L"_GlyphString: AnsiString;\r\n";
}

} // namespace tamrel
