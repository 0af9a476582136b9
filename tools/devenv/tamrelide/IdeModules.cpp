// Modules, projects and the project group: their buffers, files, notifiers and form roots.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/Streams.h"
#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

bool TSourceBuffer::Replace(std::string text) {
    if (text == Text) return false;
    UndoSteps.push_back(std::exchange(Text, std::move(text)));
    Modified = true;
    return true;
}

bool TSourceBuffer::Undo() {
    if (UndoSteps.empty()) return false;
    Text = std::move(UndoSteps.back());
    UndoSteps.pop_back();
    Modified = true;
    return true;
}

namespace {

// Notifiers are add-in code: what they raise is recorded and goes no further.
template <class F> void Notify(TIdeHostImpl* host, const std::wstring& file, const wchar_t* event, F call) {
    try {
        call();
    } catch (...) {
        if (host)
            host->Record(L"module", L"notifier",
                         {TextField(L"file", file), TextField(L"event", event), TextField(L"message", CurrentExceptionText())},
                         L"exception");
    }
}

} // namespace

TIdeModuleState* ModuleState(IUnknown* module) { return module ? dynamic_cast<TIdeModuleState*>(module) : nullptr; }

TIdeModuleState::TIdeModuleState(THostLink host, TModuleKind kind, std::wstring fileName)
    : Kind(kind), FileName(std::move(fileName)), FHost(std::move(host)) {
    if (kind != TModuleKind::ProjectGroup) Source = std::make_shared<TSourceBuffer>();
}

TIdeModuleState::~TIdeModuleState() {
    if (FormRoot) Free(std::exchange(FormRoot, nullptr));
}

int32_t TIdeModuleState::FileCount() const {
    if (FClosed || !Source) return 0;
    return FormRoot ? 2 : 1;
}

TComPtr<IOTAEditor> TIdeModuleState::FileEditor(int32_t index) {
    if (index < 0 || index >= FileCount()) return {};
    return index == 0 ? NewSourceEditor(*this) : NewFormEditor(*this);
}

int32_t TIdeModuleState::AddModuleNotifier(IOTAModuleNotifier* notifier) {
    TIdeHostImpl* host = Host();
    if (!host || !notifier) return -1;
    const int32_t index = FNextNotifier++;
    FNotifiers.push_back({index, TComPtr<IOTAModuleNotifier>(notifier)});
    host->Record(L"module", L"AddNotifier", {TextField(L"file", FileName), NumField(L"index", index)}, L"ok");
    return index;
}

void TIdeModuleState::RemoveModuleNotifier(int32_t index) {
    TIdeHostImpl* host = *FHost;
    auto it = std::find_if(FNotifiers.begin(), FNotifiers.end(), [index](const TNotifierEntry& n) { return n.Index == index; });
    if (it == FNotifiers.end()) {
        // A closed module has let its notifiers go already; removing one then is no fault.
        if (host && !FClosed)
            host->Record(L"module", L"RemoveNotifier",
                         {TextField(L"file", FileName), NumField(L"index", index),
                          TextField(L"reason", L"no live notifier has this index")},
                         L"fault");
        return;
    }
    TComPtr<IOTAModuleNotifier> notifier = std::move(it->Notifier);
    FNotifiers.erase(it);
    if (host) host->Record(L"module", L"RemoveNotifier", {TextField(L"file", FileName), NumField(L"index", index)}, L"ok");
}

std::vector<int32_t> TIdeModuleState::NotifiersIn(HMODULE library) const {
    std::vector<int32_t> indexes;
    for (const TNotifierEntry& n : FNotifiers)
        if (ObjectInLibrary(n.Notifier.Get(), library)) indexes.push_back(n.Index);
    return indexes;
}

bool TIdeModuleState::CloseForced() {
    TIdeHostImpl* host = Host();
    if (!host) return false;
    host->Record(L"module", L"close", {TextField(L"file", FileName)}, L"ok");
    TComPtr<IOTAModule> keep(Module());
    host->NotifyFile(ofnFileClosing, FileName);
    host->CloseEditorWindowsOf(FileName);
    host->Forget(*this);
    Close();
    return true;
}

void TIdeModuleState::Close() {
    if (FClosed) return;
    // Notifiers hear of the end while the module still answers them; they may remove themselves.
    for (const TNotifierEntry& n : std::vector<TNotifierEntry>(FNotifiers))
        Notify(*FHost, FileName, L"Destroyed", [&] { n.Notifier->Destroyed(); });
    FClosed = true;
    FNotifiers.clear();
    for (TComPtr<IOTAProject>& p : Projects)
        if (TIdeModuleState* project = ModuleState(p.Get())) project->Close();
    Projects.clear();
    if (FormRoot) Free(std::exchange(FormRoot, nullptr));
}

bool TIdeModuleState::SaveFiles() {
    TIdeHostImpl* host = Host();
    if (!host || !Source) return false;
    for (const TNotifierEntry& n : std::vector<TNotifierEntry>(FNotifiers))
        Notify(host, FileName, L"BeforeSave", [&] { n.Notifier->BeforeSave(); });
    TFileStream file(FileName, fmCreate);
    file.WriteBuffer(Source->Text.data(), static_cast<int32_t>(Source->Text.size()));
    Source->Modified = false;
    host->Record(L"module", L"save", {TextField(L"file", FileName), NumField(L"bytes", static_cast<int64_t>(Source->Text.size()))},
                 L"ok");
    for (const TNotifierEntry& n : std::vector<TNotifierEntry>(FNotifiers))
        Notify(host, FileName, L"AfterSave", [&] { n.Notifier->AfterSave(); });
    return true;
}

void TIdeModuleState::Rename(const std::wstring& newFileName) {
    TIdeHostImpl* host = Host();
    if (!host) return;
    const std::wstring oldName = std::exchange(FileName, newFileName);
    for (const TNotifierEntry& n : std::vector<TNotifierEntry>(FNotifiers))
        Notify(host, newFileName, L"ModuleRenamed", [&] { n.Notifier->ModuleRenamed(newFileName); });
    for (auto& w : host->EditorWindows)
        if (SameText(w->FileName, oldName)) w->FileName = newFileName;
    host->Record(L"module", L"rename", {TextField(L"file", oldName), TextField(L"newfile", newFileName)}, L"ok");
}

std::wstring TIdeProject::GetUnitFileName(int32_t index) {
    return index >= 0 && index < GetUnitCount() ? Units[static_cast<size_t>(index)] : std::wstring();
}

TComPtr<IOTAProject> TIdeProjectGroup::GetActiveProject() {
    if (Closed() || ActiveProject < 0 || ActiveProject >= GetProjectCount()) return {};
    return Projects[static_cast<size_t>(ActiveProject)];
}

TComPtr<IOTAProject> TIdeProjectGroup::GetProject(int32_t index) {
    return index >= 0 && index < GetProjectCount() ? Projects[static_cast<size_t>(index)] : TComPtr<IOTAProject>();
}

} // namespace tamrel
