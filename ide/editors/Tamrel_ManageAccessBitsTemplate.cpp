#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"

#include "host/forms/Hints.h"
#include "host/IniFiles.h"
#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// The template file

namespace {

// Section names as the INI file compares them.
std::wstring SectionKey(const std::wstring& name) { return UpperCase(Trim(name)); }

bool FitsAnsi(const std::wstring& text) {
    if (text.empty()) return true;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, &usedDefault);
    return n > 0 && !usedDefault;
}

bool NeedsUnicode(const std::vector<std::pair<std::wstring, const TrkAccessBits*>>& templates) {
    for (const auto& [name, bits] : templates) {
        if (!FitsAnsi(name)) return true;
        for (int i = 0; i < 32; ++i)
            if (!FitsAnsi(bits->MaskBit(i)->BitName())) return true;
    }
    return false;
}

void CheckNames(const std::vector<std::pair<std::wstring, const TrkAccessBits*>>& templates) {
    std::vector<std::wstring> seen;
    for (const auto& [name, bits] : templates) {
        const std::wstring key = SectionKey(name);
        if (key.empty())
            throw Exception(L"Cannot save the templates: the template \"%s\" has no name", name);
        if (name.find_first_of(L"\r\n]") != std::wstring::npos)
            throw Exception(L"Cannot save the templates: the name \"%s\" cannot be a section name", name);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            throw Exception(L"Cannot save the templates: more than one template is named \"%s\" (names are compared "
                            L"without case and without the blanks around them)",
                            Trim(name));
        seen.push_back(key);
    }
}

// A new, empty file (UTF-16: its byte-order mark); raises when the name cannot be made a file.
void StartFile(const std::wstring& fileName, bool unicode) {
    TFileHandle file(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastOSError();
    if (!unicode) return;
    static const uint8_t bom[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (!WriteFile(file.Get(), bom, sizeof bom, &written, nullptr) || written != sizeof bom) RaiseLastOSError();
}

std::string ReadWholeFile(const std::wstring& fileName) {
    TFileHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) RaiseLastOSError();
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) RaiseLastOSError();
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        RaiseLastOSError();
    return bytes;
}

// A new file with exactly these bytes; raises when it cannot be made or written.
void WriteWholeFile(const std::wstring& fileName, const std::string& bytes) {
    TFileHandle file(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastOSError();
    DWORD written = 0;
    if (!bytes.empty() && (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size()))
        RaiseLastOSError();
}

// The text of an 8-bit file (the ANSI code page, or UTF-8 after its mark) as a UTF-16 file with
// its byte-order mark.
std::string Utf16FileText(const std::string& bytes) {
    UINT codePage = CP_ACP;
    size_t start = 0;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        codePage = CP_UTF8;
        start = 3;
    }
    std::wstring text;
    if (bytes.size() > start) {
        const int n = MultiByteToWideChar(codePage, 0, bytes.data() + start, static_cast<int>(bytes.size() - start), nullptr, 0);
        text.resize(static_cast<size_t>(std::max(n, 0)));
        if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data() + start, static_cast<int>(bytes.size() - start), text.data(), n);
    }
    std::string result("\xFF\xFE", 2);
    result.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return result;
}

} // namespace

std::wstring GetMaskTemplateFileName() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) RaiseLastOSError();
    return std::wstring(buffer, n) + L"\\TamrelMaskTemplate.ini";
}

std::vector<std::wstring> ReadMaskTemplateNames(const std::wstring& fileName) {
    if (!FileExists(fileName)) return {};
    return TIniFile(fileName).ReadSections();
}

void WriteMaskTemplates(const std::wstring& fileName,
                        const std::vector<std::pair<std::wstring, const TrkAccessBits*>>& templates) {
    CheckNames(templates);
    if (templates.empty()) {
        if (!DeleteFileW(fileName.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) RaiseLastOSError();
        return;
    }
    const std::wstring temporary = fileName + L".tmp";
    StartFile(temporary, NeedsUnicode(templates));
    try {
        for (const auto& [name, bits] : templates) bits->SaveToIni(temporary, name);
        if (!MoveFileExW(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            RaiseLastOSError();
    } catch (...) {
        DeleteFileW(temporary.c_str());
        throw;
    }
}

void SaveMaskTemplate(const std::wstring& fileName, const std::wstring& name, const TrkAccessBits& bits) {
    const std::vector<std::pair<std::wstring, const TrkAccessBits*>> one = {{name, &bits}};
    CheckNames(one);
    // The other templates stay byte for byte as they are (keys of their own, quotes and all): the
    // file is copied, the one section written into the copy, and the copy replaces the file.
    std::string bytes = FileExists(fileName) ? ReadWholeFile(fileName) : std::string();
    const bool wide = bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE;
    if (!wide && NeedsUnicode(one)) bytes = Utf16FileText(bytes);
    const std::wstring temporary = fileName + L".tmp";
    WriteWholeFile(temporary, bytes);
    try {
        bits.SaveToIni(temporary, name);
        if (!MoveFileExW(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            RaiseLastOSError();
    } catch (...) {
        DeleteFileW(temporary.c_str());
        throw;
    }
}

// ---------------------------------------------------------------------------------------------
// The manager

namespace {

TRkManageAccessBitsTemplateForm* gManager = nullptr;

// A manager still open when the library goes is released with it.
struct TManagerFinalization {
    ~TManagerFinalization() {
        if (gManager) Free(gManager);
    }
} gManagerFinalization;

constexpr UINT kFirstMenuCommand = 100; // ids of the menu bar; IDOK and IDCANCEL are the form's

TrkAccessBits* BitsOf(TListItem* item) { return item ? static_cast<TrkAccessBits*>(item->Data()) : nullptr; }

// The tool bar's pictures: a plus, a minus, a disk and a door, 16 x 16.
void DrawToolImages(TImageList* images) {
    const TColor back = clFuchsia;
    for (int kind = 0; kind < 4; ++kind) {
        TBitmap picture;
        picture.SetSize(16, 16);
        TCanvas* c = picture.Canvas();
        c->Brush()->SetColor(back);
        c->FillRect(RECT{0, 0, 16, 16});
        c->Brush()->SetColor(kind == 1 ? clMaroon : kind == 2 ? clNavy : kind == 3 ? clOlive : clGreen);
        switch (kind) {
        case 0:
            c->FillRect(RECT{7, 2, 9, 14});
            c->FillRect(RECT{2, 7, 14, 9});
            break;
        case 1: c->FillRect(RECT{2, 7, 14, 9}); break;
        case 2:
            c->FillRect(RECT{2, 2, 14, 14});
            c->Brush()->SetColor(clWhite);
            c->FillRect(RECT{4, 3, 12, 8});
            break;
        default:
            c->FillRect(RECT{4, 1, 12, 15});
            c->Brush()->SetColor(clYellow);
            c->FillRect(RECT{9, 8, 11, 10});
            break;
        }
        images->AddMasked(&picture, back);
    }
}

} // namespace

TAMREL_IMPLEMENT_CLASS(TRkManageAccessBitsTemplateForm) {
    using F = TRkManageAccessBitsTemplateForm;
    b.Field(L"ToolBar1", &F::ToolBar1);
    b.Field(L"TbAdd", &F::TbAdd);
    b.Field(L"TbRemove", &F::TbRemove);
    b.Field(L"TbSave", &F::TbSave);
    b.Field(L"TbSeparator", &F::TbSeparator);
    b.Field(L"TbExit", &F::TbExit);
    b.Field(L"ImageList1", &F::ImageList1);
    b.Field(L"ActAdd", &F::ActAdd);
    b.Field(L"ActRemove", &F::ActRemove);
    b.Field(L"ActSave", &F::ActSave);
    b.Field(L"ActExit", &F::ActExit);
    b.Field(L"PnTemplates", &F::PnTemplates);
    b.Field(L"LbTemplates", &F::LbTemplates);
    b.Field(L"LvTemplates", &F::LvTemplates);
    b.Field(L"Splitter1", &F::Splitter1);
    b.Field(L"PnPreview", &F::PnPreview);
    b.Field(L"LbPreview", &F::LbPreview);
    b.Field(L"GrMaskBits", &F::GrMaskBits);
    b.Method<&F::FormCreate>(L"FormCreate");
    b.Method<&F::FormClose>(L"FormClose");
    b.Method<&F::ActAddExecute>(L"ActAddExecute");
    b.Method<&F::ActRemoveExecute>(L"ActRemoveExecute");
    b.Method<&F::ActSaveExecute>(L"ActSaveExecute");
    b.Method<&F::ActExitExecute>(L"ActExitExecute");
    b.Method<&F::LvTemplatesSelectItem>(L"LvTemplatesSelectItem");
    b.Method<&F::LvTemplatesDeletion>(L"LvTemplatesDeletion");
    b.Method<&F::PnTemplatesResize>(L"PnTemplatesResize");
    b.Method<&F::PnPreviewResize>(L"PnPreviewResize");
}

TRkManageAccessBitsTemplateForm::TRkManageAccessBitsTemplateForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TToolBar::StaticClassInfo(), &TToolButton::StaticClassInfo(), &TImageList::StaticClassInfo(),
                     &TAction::StaticClassInfo(), &TPanel::StaticClassInfo(), &TLabel::StaticClassInfo(),
                     &TListView::StaticClassInfo(), &TSplitter::StaticClassInfo(), &TStringGrid::StaticClassInfo()});
}

void TRkManageAccessBitsTemplateForm::BeforeDestruction() {
    // The items go (with their bit sets) while the form is whole: the form's window frees its
    // child controls next, the panel with the preview grid before the one with the list, and the
    // grid must not be left showing a set that is gone.
    if (FGrid) FGrid->Show(nullptr);
    if (LvTemplates) LvTemplates->Items()->Clear();
    TForm::BeforeDestruction();
}

TRkManageAccessBitsTemplateForm::~TRkManageAccessBitsTemplateForm() {
    // The controls are gone by now (see BeforeDestruction); the grid's helper only held them.
    FGrid.reset();
    DestroyComponents();
    if (FMenuHandle) DestroyMenu(FMenuHandle);
    if (gManager == this) gManager = nullptr;
}

void TRkManageAccessBitsTemplateForm::FormCreate(TObject*) {
    DrawToolImages(ImageList1);
    FGrid = std::make_unique<TBitGrid>(GrMaskBits, true);
    FGrid->Prepare(Font(), 145);
    BuildMenu();
    const std::wstring file = GetMaskTemplateFileName();
    LvTemplates->Items()->BeginUpdate();
    TScopeExit filled([this] { LvTemplates->Items()->EndUpdate(); });
    for (const std::wstring& section : ReadMaskTemplateNames(file)) {
        auto bits = std::make_unique<TrkAccessBits>();
        bits->LoadFromIni(file, section);
        TListItem* item = LvTemplates->Items()->Add();
        item->SetCaption(section);
        item->SetData(bits.release());
    }
    FGrid->Show(nullptr);
    if (HandleAllocated()) CreateWndParts();
}

void TRkManageAccessBitsTemplateForm::CreateWnd() {
    TForm::CreateWnd();
    CreateWndParts();
}

void TRkManageAccessBitsTemplateForm::DestroyWnd() {
    if (FMenuHandle) ::SetMenu(Handle(), nullptr);
    TForm::DestroyWnd();
}

void TRkManageAccessBitsTemplateForm::CreateWndParts() {
    // Before FormCreate built the menu there is nothing to set yet.
    if (!FMenuHandle) return;
    ::SetMenu(Handle(), FMenuHandle);
    ShowControlHints(this);
}

void TRkManageAccessBitsTemplateForm::BuildMenu() {
    FMenu = Create<TPopupMenu>(this);
    auto add = [this](TMenuItem* parent, const wchar_t* caption, TAction* action) {
        TMenuItem* item = Create<TMenuItem>(this);
        item->SetCaption(caption);
        if (action) item->SetAction(action);
        parent->Add(item);
        return item;
    };
    // The top item carries no action of its own: opening the menu adds nothing.
    TMenuItem* top = add(FMenu->Items(), L"&Add", nullptr);
    add(top, L"&Add", ActAdd);
    add(top, L"&Remove", ActRemove);
    add(top, L"&Save", ActSave);
    add(top, L"-", nullptr);
    add(top, L"E&xit", ActExit);
    add(FMenu->Items(), L"&Help", nullptr);

    FMenuHandle = CreateMenu();
    for (int i = 0; i < FMenu->Items()->Count(); ++i) {
        TMenuItem* item = FMenu->Items()->Items(i);
        if (item->Count() == 0) {
            FMenuCommands.push_back(item);
            AppendMenuW(FMenuHandle, MF_STRING, kFirstMenuCommand + FMenuCommands.size() - 1, item->Caption().c_str());
            continue;
        }
        HMENU sub = CreatePopupMenu();
        for (int j = 0; j < item->Count(); ++j) {
            TMenuItem* command = item->Items(j);
            if (command->Caption() == L"-") {
                AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            FMenuCommands.push_back(command);
            AppendMenuW(sub, MF_STRING, kFirstMenuCommand + FMenuCommands.size() - 1, command->Caption().c_str());
        }
        AppendMenuW(FMenuHandle, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption().c_str());
    }
}

void TRkManageAccessBitsTemplateForm::WndProc(TMessage& message) {
    if (message.Msg == WM_COMMAND && message.LParam == 0 && HIWORD(message.WParam) == 0 &&
        LOWORD(message.WParam) >= kFirstMenuCommand && LOWORD(message.WParam) < kFirstMenuCommand + FMenuCommands.size()) {
        FMenuCommands[LOWORD(message.WParam) - kFirstMenuCommand]->Click();
        message.Result = 0;
        return;
    }
    TForm::WndProc(message);
}

void TRkManageAccessBitsTemplateForm::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

void TRkManageAccessBitsTemplateForm::ShowCurrent() {
    TListItem* selected = LvTemplates->Selected();
    if (FGrid) FGrid->Show(BitsOf(selected));
}

void TRkManageAccessBitsTemplateForm::ActAddExecute(TObject*) {
    TListItem* item = LvTemplates->Items()->Add();
    item->SetCaption(L"New template");
    item->SetData(new TrkAccessBits());
    for (int i = 0; i < LvTemplates->Items()->Count(); ++i) LvTemplates->Items()->Item(i)->SetSelected(false);
    item->SetSelected(true);
    item->SetFocused(true);
    ShowCurrent();
}

void TRkManageAccessBitsTemplateForm::ActRemoveExecute(TObject*) {
    TListItem* selected = LvTemplates->Selected();
    if (!selected) return;
    FGrid->Show(nullptr);
    selected->Delete();
    for (int i = 0; i < LvTemplates->Items()->Count(); ++i) LvTemplates->Items()->Item(i)->SetSelected(false);
    FGrid->Show(nullptr);
}

void TRkManageAccessBitsTemplateForm::ActSaveExecute(TObject*) {
    GrMaskBits->HideEditor();
    std::vector<std::pair<std::wstring, const TrkAccessBits*>> templates;
    for (int i = 0; i < LvTemplates->Items()->Count(); ++i) {
        TListItem* item = LvTemplates->Items()->Item(i);
        templates.emplace_back(item->Caption(), BitsOf(item));
    }
    WriteMaskTemplates(GetMaskTemplateFileName(), templates);
}

void TRkManageAccessBitsTemplateForm::ActExitExecute(TObject*) { Close(); }

void TRkManageAccessBitsTemplateForm::LvTemplatesSelectItem(TObject*, TListItem*, bool) { ShowCurrent(); }

void TRkManageAccessBitsTemplateForm::LvTemplatesDeletion(TObject*, TListItem* Item) {
    TrkAccessBits* bits = BitsOf(Item);
    Item->SetData(nullptr);
    if (FGrid && FGrid->Bits() == bits) FGrid->Show(nullptr);
    delete bits;
}

void TRkManageAccessBitsTemplateForm::PnTemplatesResize(TObject*) {
    if (LvTemplates) LvTemplates->SetBounds(LvTemplates->Left(), LvTemplates->Top(), PnTemplates->Width() - 9, PnTemplates->Height() - 30);
}

void TRkManageAccessBitsTemplateForm::PnPreviewResize(TObject*) {
    if (GrMaskBits) GrMaskBits->SetBounds(GrMaskBits->Left(), GrMaskBits->Top(), PnPreview->Width() - 9, PnPreview->Height() - 30);
}

void TRkManageAccessBitsTemplateForm::TemplateSaved(const std::wstring& name, const TrkAccessBits& bits) {
    const std::wstring key = SectionKey(name);
    for (int i = 0; i < LvTemplates->Items()->Count(); ++i) {
        TListItem* item = LvTemplates->Items()->Item(i);
        if (SectionKey(item->Caption()) != key) continue;
        BitsOf(item)->Assign(const_cast<TrkAccessBits*>(&bits));
        if (FGrid->Bits() == BitsOf(item)) FGrid->Show(BitsOf(item));
        return;
    }
    auto copy = std::make_unique<TrkAccessBits>();
    copy->Assign(const_cast<TrkAccessBits*>(&bits));
    TListItem* item = LvTemplates->Items()->Add();
    item->SetCaption(Trim(name)); // as the file keeps it
    item->SetData(copy.release());
}

void ShowMaskTemplateManager() {
    if (!gManager) gManager = Create<TRkManageAccessBitsTemplateForm>(HostApplication.Get());
    gManager->Show();
    SetForegroundWindow(gManager->Handle());
    BringWindowToTop(gManager->Handle());
}

TRkManageAccessBitsTemplateForm* MaskTemplateManager() { return gManager; }

} // namespace tamrel
