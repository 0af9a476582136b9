#include "host/forms/Dialogs.h"

#include "host/FileDialog.h"

#include <utility>
#include <vector>

namespace tamrel {

namespace {

// The longest path the system's dialogs give back.
constexpr DWORD kMaxFileName = 32768;

constexpr std::pair<TOpenOption, DWORD> kOptionFlags[] = {
    {ofReadOnly, OFN_READONLY},
    {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
    {ofHideReadOnly, OFN_HIDEREADONLY},
    {ofNoChangeDir, OFN_NOCHANGEDIR},
    {ofNoValidate, OFN_NOVALIDATE},
    {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
    {ofPathMustExist, OFN_PATHMUSTEXIST},
    {ofFileMustExist, OFN_FILEMUSTEXIST},
    {ofCreatePrompt, OFN_CREATEPROMPT},
    {ofShareAware, OFN_SHAREAWARE},
    {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
    {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
    {ofNoNetworkButton, OFN_NONETWORKBUTTON},
    {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
    {ofEnableSizing, OFN_ENABLESIZING},
};

// "a|b|c|d" as the system wants it: "a\0b\0c\0d\0\0"; empty for no filter.
std::wstring SystemFilter(const std::wstring& filter) {
    if (filter.empty()) return filter;
    std::wstring s = filter;
    for (wchar_t& c : s)
        if (c == L'|') c = L'\0';
    s.push_back(L'\0');
    s.push_back(L'\0');
    return s;
}

const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

} // namespace

DWORD OpenOptionsToFlags(TOpenOptions Options) {
    DWORD flags = 0;
    for (const auto& [option, flag] : kOptionFlags)
        if (Options.Contains(option)) flags |= flag;
    return flags;
}

TAMREL_IMPLEMENT_CLASS(TOpenDialog) {
    b.String(L"DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt);
    b.String(L"FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName);
    b.String(L"Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter);
    b.Integer(L"FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex, 1);
    b.String(L"InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir);
    b.Set(L"Options", &TOpenDialog::Options, &TOpenDialog::SetOptions, TOpenOptions{ofHideReadOnly, ofEnableSizing});
    b.String(L"Title", &TOpenDialog::Title, &TOpenDialog::SetTitle);
}

TAMREL_IMPLEMENT_CLASS(TSaveDialog) {}

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TOpenDialog::Execute() { return DoExecute(false); }

bool TSaveDialog::Execute() { return DoExecute(true); }

bool TOpenDialog::DoExecute(bool Save) {
    const std::wstring filter = SystemFilter(FFilter);
    std::vector<wchar_t> name(kMaxFileName, L'\0');
    FFileName.copy(name.data(), std::min<size_t>(FFileName.size(), kMaxFileName - 1));
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    // Modal to the window the user works in.
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = OrNull(filter);
    ofn.nFilterIndex = static_cast<DWORD>(FFilterIndex < 0 ? 0 : FFilterIndex);
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = kMaxFileName;
    ofn.lpstrInitialDir = OrNull(FInitialDir);
    ofn.lpstrTitle = OrNull(FTitle);
    ofn.lpstrDefExt = OrNull(FDefaultExt);
    ofn.Flags = OFN_EXPLORER | OpenOptionsToFlags(FOptions);
    if (!ShowFileDialog(ofn, Save)) return false;
    name.back() = L'\0';
    FFileName = name.data();
    FFilterIndex = static_cast<int32_t>(ofn.nFilterIndex);
    for (TOpenOption answer : {ofReadOnly, ofExtensionDifferent}) {
        if (ofn.Flags & OpenOptionsToFlags({answer})) FOptions.Include(answer);
        else FOptions.Exclude(answer);
    }
    return true;
}

} // namespace tamrel
