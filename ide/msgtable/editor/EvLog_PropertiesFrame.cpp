#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"

#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_LocalesForm.h"
#include "ide/msgtable/model/EvLog_Locales.h"

namespace tamrel::evlog {

namespace {

constexpr TEvLogEventType kJournals[] = {etApplication, etSystem, etSecurity};

// The event source names a registry key below the journal's key: an empty name would be the
// journal's key itself, a backslash a key further down, and a key name has at most 255
// characters.
std::wstring EventSourceFault(const std::wstring& name) {
    if (name.empty()) return L"The event source is kept: an empty name is not allowed";
    if (name.find(L'\\') != std::wstring::npos) return L"The event source is kept: \"\\\" character is not allowed";
    if (name.size() > 255) return L"The event source is kept: a name has at most 255 characters";
    return {};
}

// The rows of the version grid, from row 1: six texts, then the four parts of the file version.
struct TVersionField {
    const wchar_t* Key;
    const std::wstring& (TEvLogDocument::*Text)() const;
    void (TEvLogDocument::*SetText)(const std::wstring&);
    int32_t (TEvLogDocument::*Number)() const;
    void (TEvLogDocument::*SetNumber)(int32_t);
};
using D = TEvLogDocument;
constexpr TVersionField kVersionFields[] = {
    {L"Company name", &D::CompanyName, &D::SetCompanyName, nullptr, nullptr},
    {L"File description", &D::FileDescription, &D::SetFileDescription, nullptr, nullptr},
    {L"Legal copyright", &D::LegalCopyright, &D::SetLegalCopyright, nullptr, nullptr},
    {L"Legal trademarks", &D::LegalTrademarks, &D::SetLegalTrademarks, nullptr, nullptr},
    {L"Product name", &D::ProductName, &D::SetProductName, nullptr, nullptr},
    {L"Product version", &D::ProductVersion, &D::SetProductVersion, nullptr, nullptr},
    {L"Major version", nullptr, nullptr, &D::MajorVersion, &D::SetMajorVersion},
    {L"Minor version", nullptr, nullptr, &D::MinorVersion, &D::SetMinorVersion},
    {L"Release", nullptr, nullptr, &D::Release, &D::SetRelease},
    {L"Build", nullptr, nullptr, &D::Build, &D::SetBuild},
};
constexpr int32_t kVersionRows = static_cast<int32_t>(std::size(kVersionFields));

const TVersionField* VersionFieldOfRow(int32_t row) {
    return row >= 1 && row <= kVersionRows ? &kVersionFields[row - 1] : nullptr;
}

std::wstring VersionValue(TEvLogDocument& document, const TVersionField& field) {
    return field.Text ? (document.*field.Text)() : IntToStr((document.*field.Number)());
}

// A part of the file version as typed: a number above 0, exactly "0", or nothing (0). The file
// version holds each part in 16 bits, and the library's build refuses a larger one.
bool ParseVersionPart(const std::wstring& text, int32_t& value) {
    if (text.empty() || text == L"0") {
        value = 0;
        return true;
    }
    return TryStrToInt(text, value) && value > 0 && value <= 0xFFFF;
}

// A section of the frame: a group box with its heading, placed below the previous one.
TGroupBox* AddSection(TFrame* frame, const wchar_t* heading, int32_t height) {
    auto* box = Create<TGroupBox>(frame);
    box->SetParent(frame);
    box->SetHeight(height);
    box->SetAlign(height > 0 ? alTop : alClient);
    box->SetCaption(heading);
    return box;
}

// A read-only note, shown as written: its "&" (as in "&lt") marks no access key.
class TNoteLabel : public TLabel {
public:
    explicit TNoteLabel(TComponent* owner) : TLabel(owner) {}

protected:
    void CreateParams(TCreateParams& params) override {
        TLabel::CreateParams(params);
        params.Style |= SS_NOPREFIX;
    }
};

TLabel* AddNote(TWinControl* parent, int32_t top, const wchar_t* text) {
    auto* note = Create<TNoteLabel>(parent->Owner());
    note->SetParent(parent);
    note->SetAutoSize(false);
    note->SetBounds(12, top, 440, 16);
    note->SetCaption(text);
    return note;
}

} // namespace

// The frame's own changes of its controls and of the document, for their whole run (also when
// they raise); nested runs leave the flag as they found it.
class TPropertiesFrame::TUpdatingScope {
public:
    explicit TUpdatingScope(TPropertiesFrame* frame) : FFrame(frame), FWas(frame->FUpdating) { frame->FUpdating = true; }
    ~TUpdatingScope() { FFrame->FUpdating = FWas; }
    TUpdatingScope(const TUpdatingScope&) = delete;
    TUpdatingScope& operator=(const TUpdatingScope&) = delete;

private:
    TPropertiesFrame* FFrame;
    bool FWas;
};

TAMREL_IMPLEMENT_CLASS(TPropertiesFrame) {
    using F = TPropertiesFrame;
    b.Method<&F::cbJournalChange>(L"cbJournalChange");
    b.Method<&F::edEventSourceChange>(L"edEventSourceChange");
    b.Method<&F::cbUseCategoriesClick>(L"cbUseCategoriesClick");
    b.Method<&F::bnEditLocalesClick>(L"bnEditLocalesClick");
    b.Method<&F::vleVersionSetEditText>(L"vleVersionSetEditText");
}

TPropertiesFrame::TPropertiesFrame(TComponent* owner) : TFrame(owner) {
    SetBounds(0, 0, 460, 670);

    TGroupBox* journal = AddSection(this, L"Event log journal", 70);
    cbJournal = Create<TComboBox>(this);
    cbJournal->SetParent(journal);
    cbJournal->SetBounds(12, 20, 200, 21);
    cbJournal->SetStyle(csDropDownList);
    for (TEvLogEventType type : kJournals) cbJournal->Items()->Add(EventLogName(type));
    cbJournal->SetOnChange(TNotifyEvent::Of<&TPropertiesFrame::cbJournalChange>(this));
    AddNote(journal, 48, L"Select appropriate event log journal");

    TGroupBox* source = AddSection(this, L"Event source", 120);
    edEventSource = Create<TEdit>(this);
    edEventSource->SetParent(source);
    edEventSource->SetBounds(12, 20, 200, 21);
    edEventSource->SetOnChange(TNotifyEvent::Of<&TPropertiesFrame::edEventSourceChange>(this));
    AddNote(source, 48, L" Enter the name of the event source to be used.");
    AddNote(source, 64, L" Note that this string must not contain characters prohibited in XML Attributes, ");
    AddNote(source, 80, L" with the exception of XML Escape sequences such as &lt &gl.");
    lbEventSourceRefused = AddNote(source, 98, L"");
    lbEventSourceRefused->Font()->SetColor(clRed);

    TGroupBox* categories = AddSection(this, L"Categories", 66);
    cbUseCategories = Create<TCheckBox>(this);
    cbUseCategories->SetParent(categories);
    cbUseCategories->SetBounds(12, 20, 200, 17);
    cbUseCategories->SetCaption(L"&Use categories");
    cbUseCategories->SetOnClick(TNotifyEvent::Of<&TPropertiesFrame::cbUseCategoriesClick>(this));
    AddNote(categories, 42, L"Supply event categories to allow advanced event log filters");

    TGroupBox* locales = AddSection(this, L"Locales", 130);
    lvLocales = Create<TListView>(this);
    lvLocales->SetParent(locales);
    lvLocales->SetBounds(12, 20, 340, 80);
    lvLocales->SetViewStyle(vsList);
    lvLocales->SetReadOnly(true);
    bnEditLocales = Create<TButton>(this);
    bnEditLocales->SetParent(locales);
    bnEditLocales->SetBounds(364, 20, 75, 25);
    bnEditLocales->SetCaption(L"Edit...");
    bnEditLocales->SetOnClick(TNotifyEvent::Of<&TPropertiesFrame::bnEditLocalesClick>(this));
    AddNote(locales, 106, L"Multilanguage support. Select locales to be used for messages and categories");

    TGroupBox* version = AddSection(this, L"Version info", 0);
    vleVersion = Create<TValueListEditor>(this);
    vleVersion->SetParent(version);
    vleVersion->SetBounds(12, 20, 425, 226);
    vleVersion->SetDefaultRowHeight(20);
    vleVersion->SetColWidths(0, 159);
    vleVersion->SetColWidths(1, 260);
    for (const TVersionField& field : kVersionFields) vleVersion->InsertRow(field.Key, L"", true);
    vleVersion->SetOnSetEditText(TSetEditEvent::Of<&TPropertiesFrame::vleVersionSetEditText>(this));
    AddNote(version, 252, L"Fill version information. It will be added to the resource library.");
}

void TPropertiesFrame::SetDocument(TEvLogDocument* value) {
    FDocument = value;
    TUpdatingScope updating(this);
    lbEventSourceRefused->SetCaption(L"");
    if (!FDocument) {
        lvLocales->Items()->Clear();
        for (int32_t row = 1; row <= kVersionRows; ++row) ShowVersionValue(row);
        return;
    }
    for (int i = 0; i < static_cast<int>(std::size(kJournals)); ++i)
        if (kJournals[i] == FDocument->EventType()) cbJournal->SetItemIndex(i);
    edEventSource->SetText(FDocument->EventSource());
    cbUseCategories->SetChecked(FDocument->UseCategories());
    for (int32_t row = 1; row <= kVersionRows; ++row) ShowVersionValue(row);
    FillLocales();
}

void TPropertiesFrame::ShowVersionValue(int32_t row) {
    const TVersionField& field = *VersionFieldOfRow(row);
    vleVersion->SetValues(field.Key, FDocument ? VersionValue(*FDocument, field) : std::wstring());
}

void TPropertiesFrame::FillLocales() {
    TListItems& items = *lvLocales->Items();
    items.BeginUpdate();
    TScopeExit end([&items] { items.EndUpdate(); });
    items.Clear();
    if (!FDocument) return;
    for (uint32_t lcid : FDocument->UsedLocales()) {
        const TLocale* locale = FindLocale(lcid);
        items.Add()->SetCaption(locale ? locale->DisplayText() : L"Unknown locale " + UIntToStr(lcid));
    }
}

void TPropertiesFrame::cbJournalChange(TObject*) {
    if (FUpdating || !FDocument) return;
    const int32_t index = cbJournal->ItemIndex();
    if (index >= 0 && index < static_cast<int32_t>(std::size(kJournals))) FDocument->SetEventType(kJournals[index]);
}

void TPropertiesFrame::edEventSourceChange(TObject*) {
    // The single-line edit reports its text set from code as a change too, also an unchanged
    // one: filling the frame must not write (and so mark the document modified).
    if (FUpdating || !FDocument) return;
    const std::wstring text = edEventSource->GetText();
    const std::wstring fault = EventSourceFault(text);
    lbEventSourceRefused->SetCaption(fault);
    if (fault.empty()) FDocument->SetEventSource(text);
}

void TPropertiesFrame::cbUseCategoriesClick(TObject*) {
    if (FUpdating || !FDocument) return;
    TUpdatingScope updating(this);
    if (FDocument->UseCategories() && !cbUseCategories->Checked()) {
        TCustomForm* form = GetParentForm(this);
        const int answer = ShowMessageBox(form ? form->Handle() : Handle(),
                                          L"Categories block is not empty now. \r\nAre you sure you want to remove it?",
                                          L"Remove categories", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
        if (answer != IDYES) {
            cbUseCategories->SetChecked(true);
            return;
        }
    }
    FDocument->SetUseCategories(cbUseCategories->Checked());
}

void TPropertiesFrame::bnEditLocalesClick(TObject*) {
    if (!FDocument) return;
    std::vector<uint32_t> locales = FDocument->UsedLocales();
    if (!SelectLocales(locales)) return;
    FDocument->SetUsedLocales(locales);
    FillLocales();
}

void TPropertiesFrame::vleVersionSetEditText(TObject*, int ACol, int ARow, const std::wstring& Value) {
    const TVersionField* field = VersionFieldOfRow(ARow);
    if (FUpdating || !FDocument || ACol != 1 || !field) return;
    TUpdatingScope updating(this);
    if (field->SetText) {
        (FDocument->*field->SetText)(Value);
        return;
    }
    int32_t number = 0;
    if (ParseVersionPart(Value, number)) {
        (FDocument->*field->SetNumber)(number);
        return;
    }
    ShowVersionValue(ARow);
    // Typing goes on after the text that was kept.
    if (TInplaceEdit* editor = vleVersion->InplaceEditor(); editor && vleVersion->EditorMode()) {
        const LPARAM end = static_cast<LPARAM>(editor->GetText().size());
        SendMessageW(editor->Handle(), EM_SETSEL, static_cast<WPARAM>(end), end);
    }
}

} // namespace tamrel::evlog
