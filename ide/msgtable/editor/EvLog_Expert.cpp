#include "ide/msgtable/editor/EvLog_Expert.h"

#include "host/Handles.h"
#include "host/HiddenWindow.h"
#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_EditorFrame.h"
#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"
#include "ide/msgtable/model/EvLog_PasSource.h"

#include <algorithm>

namespace tamrel::evlog {

TEvLogExpertModule* EvLogExpert = nullptr;

namespace {

// The stored form names the framework's classes only by text: naming them here links their code,
// and with it their registration, into every image that carries the form.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {
    &TWQEditorView::StaticClassInfo(), &TWQIDENotifier::StaticClassInfo(), &TWQAdvancedExpert::StaticClassInfo(),
    &TWQModuleCreator::StaticClassInfo(), &TEvLogEditorFrame::StaticClassInfo()};

constexpr wchar_t SUnableToWrite[] = L"Unable to write file\r\n%s";
constexpr wchar_t SErrorCaption[] = L"Error";
constexpr int32_t ReadChunk = 4096;

std::wstring BareName(const std::wstring& fileName) { return ChangeFileExt(ExtractFileName(fileName), L""); }

std::string GeneratedSource(TEvLogDocument& document) {
    TOwnedPtr<TPasSourceModule> generator(Create<TPasSourceModule>(nullptr));
    return WideToAnsi(generator->PasSource(document));
}

// Leading and trailing blanks and control characters off.
std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Reason: why, when the writer said it.
void ShowWriteFailure(const std::wstring& fileName, const std::wstring& reason = {}) {
    std::wstring text = Format(SUnableToWrite, fileName);
    if (!reason.empty()) text += L"\r\n\r\n" + reason;
    ShowMessageBox(nullptr, text, SErrorCaption, MB_OK | MB_ICONERROR);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TEvLogDocumentModule

TEvLogDocumentModule::TEvLogDocumentModule(TEvLogExpertModule& expert, TComPtr<IOTAModule> module,
                                           std::unique_ptr<TEvLogDocument> document)
    : FExpert(expert), FModule(std::move(module)) {
    const std::wstring unitFile = FModule->GetFileName();
    FUnitName = BareName(unitFile);
    const bool takenOver = document != nullptr;
    if (takenOver) {
        // The wizard's document carries only the bare unit name: it is bound to the file beside
        // the unit, and the unit's text is generated from that name.
        FDocument = std::move(document);
        FDocument->SetFileName(ChangeFileExt(unitFile, L".elp"));
    } else {
        FDocument = std::make_unique<TEvLogDocument>();
        FDocument->Open(ChangeFileExt(unitFile, L".elp"), {}, L"Messages & Categories");
    }
    // The notifier and the view each hold a reference: none of them may end the object while
    // the constructor runs.
    ObjAddRef();
    FNotifierIndex = FModule->AddNotifier(this);
    FDocument->AddView(this);
    FViewing = true;
    ObjRelease();
    // A document taken over may carry another unit name than the one its source was made with.
    if (takenOver) RegenerateSource();
}

TEvLogDocumentModule::~TEvLogDocumentModule() { RemoveNotifier(); }

void TEvLogDocumentModule::RemoveNotifier() {
    if (!FModule) return;
    TComPtr<IOTAModule> module = std::move(FModule);
    module->RemoveNotifier(FNotifierIndex);
}

void TEvLogDocumentModule::Detach() {
    TComPtr<TEvLogDocumentModule> keep(this);
    RemoveNotifier();
    if (std::exchange(FViewing, false)) FDocument->RemoveView(this);
}

bool TEvLogDocumentModule::SaveDocumentFiles() {
    const std::wstring base = FModule ? FModule->GetFileName() : FDocument->FileName();
    const std::wstring elp = ChangeFileExt(base, L".elp");
    const std::wstring library = ChangeFileExt(base, L".dll");
    // The library is built beside the text without binding the document to it: the document
    // stays the ".elp" file, so that the next save writes the text again.
    std::wstring reason;
    const bool text = FDocument->SaveAs(elp, &reason);
    if (!text) ShowWriteFailure(elp, reason);
    const bool built = FDocument->ExportLibrary(library, &reason);
    if (!built) ShowWriteFailure(library, reason);
    return text && built;
}

void TEvLogDocumentModule::RegenerateSource() {
    if (!FModule) return;
    TComPtr<IOTAEditor> editor = FModule->GetCurrentEditor();
    TComPtr<IOTASourceEditor> source = Supports<IOTASourceEditor>(editor.Get());
    if (!source) return;

    std::string old;
    int32_t position = 0;
    {
        TComPtr<IOTAEditReader> reader = source->CreateReader();
        std::vector<char> buffer(ReadChunk + 1);
        for (;;) {
            const int32_t count = reader->GetText(position, buffer.data(), ReadChunk);
            const int32_t got = std::clamp(count, 0, ReadChunk);
            old.append(buffer.data(), static_cast<size_t>(got));
            position += got;
            if (got < ReadChunk) break;
        }
    }
    const std::string generated = GeneratedSource(*FDocument);
    const std::string_view text = Trimmed(generated);
    if (Trimmed(old) == text) return;
    TComPtr<IOTAEditWriter> writer = source->CreateUndoableWriter();
    writer->CopyTo(0);
    writer->DeleteTo(position);
    writer->Insert(std::string(text).c_str());
}

void TEvLogDocumentModule::DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) {
    // A deleted block is still in the table while its views hear of it: the text without it
    // can only be made once the document has let it go.
    if (changes.Contains(eldcBlockDeleted) && mb) FExpert.RegenerateLater(this);
    else RegenerateSource();
}

void TEvLogDocumentModule::BeforeSave() {
    // What was typed a moment ago goes into the document first (the environment's save takes
    // no focus from the memo or the grid). The environment writes the buffer right after: it
    // must not be the text of before a deletion.
    TMessageBlockFrame::CommitTypedTexts(*FDocument);
    FExpert.RegeneratePending(this);
    SaveDocumentFiles();
}

void TEvLogDocumentModule::ModuleRenamed(const std::wstring& newName) {
    FUnitName = BareName(newName);
    FDocument->SetFileName(ChangeFileExt(newName, L".elp"));
    RegenerateSource();
}

// ---------------------------------------------------------------------------------------------
// TEvLogExpertModule

TAMREL_IMPLEMENT_CLASS(TEvLogExpertModule) {
    b.Field(L"EvLogEditorView", &TEvLogExpertModule::EvLogEditorView);
    b.Field(L"IDENotifier", &TEvLogExpertModule::IDENotifier);
    b.Field(L"EventLogExpert", &TEvLogExpertModule::EventLogExpert);
    b.Field(L"EventLogCreator", &TEvLogExpertModule::EventLogCreator);
    b.Method<&TEvLogExpertModule::DataModuleCreate>(L"DataModuleCreate");
    b.Method<&TEvLogExpertModule::DataModuleDestroy>(L"DataModuleDestroy");
    b.Method<&TEvLogExpertModule::EventLogExpertExecute>(L"EventLogExpertExecute");
    b.Method<&TEvLogExpertModule::EventLogCreatorGetIntfName>(L"EventLogCreatorGetIntfName");
    b.Method<&TEvLogExpertModule::EventLogCreatorGetSource>(L"EventLogCreatorGetSource");
    b.Method<&TEvLogExpertModule::EvLogEditorViewGetFrameClass>(L"EvLogEditorViewGetFrameClass");
    b.Method<&TEvLogExpertModule::EvLogEditorViewHandles>(L"EvLogEditorViewHandles");
    b.Method<&TEvLogExpertModule::EvLogEditorViewDisplay>(L"EvLogEditorViewDisplay");
    b.Method<&TEvLogExpertModule::IDENotifierFileOpened>(L"IDENotifierFileOpened");
    b.Method<&TEvLogExpertModule::IDENotifierFileClosing>(L"IDENotifierFileClosing");
}

void TEvLogExpertModule::DataModuleCreate(TObject*) { EvLogExpert = this; }

void TEvLogExpertModule::RegenerateLater(TEvLogDocumentModule* module) {
    if (std::find_if(FPending.begin(), FPending.end(), [module](const auto& m) { return m.Get() == module; }) != FPending.end())
        return;
    if (!FLaterWindow) {
        try {
            FLaterWindow = AllocateHWnd(TWndMethod::Of<&TEvLogExpertModule::LaterWindowMessage>(this));
        } catch (const Exception&) {
            // No window on this thread: the text follows at the next change or save.
        }
    }
    FPending.emplace_back(module);
    if (FLaterWindow) PostMessageW(FLaterWindow, WM_REGENERATE, 0, 0);
}

void TEvLogExpertModule::RegeneratePending(TEvLogDocumentModule* only) {
    std::vector<TComPtr<TEvLogDocumentModule>> due;
    for (auto it = FPending.begin(); it != FPending.end();)
        if (!only || it->Get() == only) {
            due.push_back(std::move(*it));
            it = FPending.erase(it);
        } else {
            ++it;
        }
    for (const auto& m : due) m->RegenerateSource();
}

void TEvLogExpertModule::LaterWindowMessage(TMessage& message) {
    if (message.Msg != WM_REGENERATE) {
        CallDefWindowProc(FLaterWindow, message);
        return;
    }
    message.Result = 0;
    RegeneratePending(nullptr);
}

void TEvLogExpertModule::DataModuleDestroy(TObject*) {
    // The page goes first, and with it every frame that shows a document; then the documents.
    if (EvLogEditorView) Free(std::exchange(EvLogEditorView, nullptr));
    FPending.clear();
    if (FLaterWindow) DeallocateHWnd(std::exchange(FLaterWindow, nullptr));
    ReleaseDocumentModules();
    FCreatorDocument.reset();
    if (EvLogExpert == this) EvLogExpert = nullptr;
}

void TEvLogExpertModule::EventLogExpertExecute(TObject*) {
    struct TEndRun {
        TEvLogExpertModule& Self;
        // A document that no unit took is freed.
        ~TEndRun() { Self.FCreatorDocument.reset(); }
    } endRun{*this};
    if (EventLogCreator) EventLogCreator->Execute();
}

std::wstring TEvLogExpertModule::EventLogCreatorGetIntfName(TObject*) { return {}; }

std::wstring TEvLogExpertModule::EventLogCreatorGetSource(TObject*, const std::wstring& UnitName, const std::wstring&,
                                                          const std::wstring&) {
    FCreatorDocument = std::make_unique<TEvLogDocument>(UnitName + L".elp");
    FCreatorDocument->SetEventSource(UnitName);
    TOwnedPtr<TPasSourceModule> generator(Create<TPasSourceModule>(nullptr));
    return generator->PasSource(*FCreatorDocument);
}

const TClassInfo* TEvLogExpertModule::EvLogEditorViewGetFrameClass() { return &TEvLogEditorFrame::StaticClassInfo(); }

bool TEvLogExpertModule::EvLogEditorViewHandles(IUnknown* AContext) { return GetDocumentModuleForContext(AContext) != nullptr; }

void TEvLogExpertModule::EvLogEditorViewDisplay(IUnknown* AContext, TObject* AViewObject) {
    auto* frame = dynamic_cast<TEvLogEditorFrame*>(AViewObject);
    TComPtr<IOTAModule> module;
    if (!frame || !AContext || !ContextToModule(AContext, module) || !module) return;
    if (TEvLogDocumentModule* documentModule = GetDocumentModuleForContext(AContext))
        frame->SetDocument(&documentModule->Document());
}

void TEvLogExpertModule::IDENotifierFileOpened(const std::wstring&, bool&) {}

void TEvLogExpertModule::IDENotifierFileClosing(const std::wstring& FileName, bool&) {
    // The closing file is a unit: its module's name is what matches, never the document's.
    for (const auto& m : FModules)
        if (m->Module() && AnsiSameText(m->Module()->GetFileName(), FileName)) {
            m->RemoveNotifier();
            return;
        }
}

bool TEvLogExpertModule::ContextToModule(IUnknown* context, TComPtr<IOTAModule>& module) {
    module.Reset();
    TComPtr<IOTAEditorViewServices> services = IdeService<IOTAEditorViewServices>();
    return services && services->ContextToModule(context, module);
}

TEvLogDocumentModule* TEvLogExpertModule::GetDocumentModuleForContext(IUnknown* context) {
    TComPtr<IOTAModule> module;
    if (!context || !ContextToModule(context, module) || !module) return nullptr;
    for (const auto& m : FModules)
        if (m->Module() == module.Get()) return m.Get();
    const std::wstring unitFile = module->GetFileName();
    std::unique_ptr<TEvLogDocument> document;
    // The wizard's document belongs to the wizard's own unit, and to one module only.
    if (FCreatorDocument && AnsiSameText(BareName(FCreatorDocument->FileName()), BareName(unitFile)))
        document = std::move(FCreatorDocument);
    else if (!FileExists(ChangeFileExt(unitFile, L".elp")))
        return nullptr;
    auto documentModule = MakeInterfaced<TEvLogDocumentModule>(*this, module, std::move(document));
    FModules.push_back(documentModule);
    return documentModule.Get();
}

TEvLogDocumentModule* TEvLogExpertModule::FindDocumentModuleByFileName(const std::wstring& fileName) const {
    for (const auto& m : FModules)
        if (AnsiSameText(m->Document().FileName(), fileName)) return m.Get();
    return nullptr;
}

void TEvLogExpertModule::ReleaseDocumentModules() {
    while (!FModules.empty()) {
        TComPtr<TEvLogDocumentModule> last = std::move(FModules.back());
        FModules.pop_back();
        last->Detach();
    }
}

// ---------------------------------------------------------------------------------------------
// Registration

HRESULT RegisterExpertLibrary() {
    TRegKey key;
    LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, ExpertsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                 nullptr, key.Put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
    // The image that carries the expert module: the add-in library, not the run-time DLL.
    const std::wstring path = GetModuleFileNameStr(ModuleOfClass(TEvLogExpertModule::StaticClassInfo()));
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    rc = RegSetValueExW(key.Get(), ExpertsValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                        static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
}

HRESULT UnregisterExpertLibrary() {
    TRegKey key;
    LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, ExpertsKey, 0, KEY_SET_VALUE, key.Put());
    if (rc == ERROR_FILE_NOT_FOUND) return S_OK;
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
    rc = RegDeleteValueW(key.Get(), ExpertsValue);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
}

} // namespace tamrel::evlog
