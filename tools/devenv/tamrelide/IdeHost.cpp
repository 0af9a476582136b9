// The environment object, its services object and the globals add-ins reach it through.
#include "tools/devenv/tamrelide/DesignState.h"

#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

TIdeHostImpl* gHost = nullptr;

// The services object: every service of the table is a QueryInterface away.
class TIdeServices : public TInterfaced<IBorlandIDEServices> {
public:
    explicit TIdeServices(THostLink host) : FHost(std::move(host)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (TInterfaced::QueryInterface(iid, out) == S_OK) return S_OK;
        TIdeHostImpl* host = *FHost;
        return host && host->QueryService(iid, out) ? S_OK : E_NOINTERFACE;
    }

private:
    THostLink FHost;
};

// The older tool services: a writer on the buffer of an open file.
class TToolServices : public TInterfaced<IToolServices> {
public:
    explicit TToolServices(THostLink host) : FHost(std::move(host)) {}
    TComPtr<IOTAEditWriter> CreateEditWriter(const std::wstring& fileName) override {
        TIdeHostImpl* host = *FHost;
        if (!host) return {};
        TIdeModuleState* module = host->FindModule(fileName);
        host->Record(L"tools", L"CreateEditWriter", {TextField(L"file", fileName)}, module && module->Source ? L"ok" : L"refused");
        if (!module || !module->Source) return {};
        return NewEditWriter(FHost, module->Source, module->FileName);
    }

private:
    THostLink FHost;
};

std::wstring NewWorkFolder() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) RaiseLastOSError();
    for (DWORD attempt = 0;; ++attempt) {
        const std::wstring folder = std::wstring(temp) + L"tamrelide-" + UIntToStr(GetCurrentProcessId()) + L"-" +
                                    UIntToStr(GetTickCount() + attempt);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) RaiseLastOSError();
    }
}

} // namespace

TIdeHostImpl* CurrentHost() { return gHost; }

IBorlandIDEServices* BorlandIDEServices() { return gHost ? gHost->Services.Get() : nullptr; }

IToolServices* ToolServices() {
    if (!gHost) return nullptr;
    // The service table keeps the object alive: the pointer stays valid without a reference.
    for (auto& [iid, service] : gHost->ServiceTable)
        if (IsEqualGUID(iid, IidOf<IToolServices>())) return service.As<IToolServices>().Get();
    return nullptr;
}

std::wstring CurrentExceptionText() {
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return Utf8ToWide(e.what());
    } catch (...) {
        return L"an exception of an unknown type";
    }
}

bool ObjectInLibrary(const void* object, HMODULE library) {
    // The object's table of virtual functions lies in the image whose code made it.
    const auto* table = *static_cast<const uint8_t* const*>(object);
    const auto* base = reinterpret_cast<const uint8_t*>(library);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return table >= base && table < base + nt->OptionalHeader.SizeOfImage;
}

// ---------------------------------------------------------------------------------------------
// TIdeHostImpl

TIdeHostImpl::TIdeHostImpl(TIdeHost::TOptions options)
    : Options(std::move(options)), Link(std::make_shared<TIdeHostImpl*>(this)) {
    if (Options.WorkFolder.empty()) Options.WorkFolder = NewWorkFolder();
    else if (!DirectoryExists(Options.WorkFolder) && !CreateDirectoryW(Options.WorkFolder.c_str(), nullptr))
        RaiseLastOSError();
    Services = MakeInterfaced<TIdeServices, IBorlandIDEServices>(Link);
    Design = NewDesignState();
    AddService(IidOf<IOTAWizardServices>(), NewWizardServices(Link));
    AddService(IidOf<IOTAModuleServices>(), NewModuleServices(Link));
    AddService(IidOf<IToolServices>(), MakeInterfaced<TToolServices, IUnknown>(Link));
    AddService(IidOf<IOTAActionServices>(), NewActionServices(Link));
    AddService(IidOf<IOTAServices>(), NewNotifierServices(Link));
    AddService(IidOf<IOTAEditorViewServices>(), NewEditorViewServices(Link));
    MakeAppBuilder();
    InstallDialogDriver();
}

TIdeHostImpl::~TIdeHostImpl() {
    UnloadAll();
    // Wizards the embedding program added itself go with the environment.
    while (!Wizards.empty()) RemoveWizard(Wizards.front().Index);
    while (!EditorWindows.empty()) CloseEditorWindow(EditorWindows.front()->Id, false);
    for (auto it = Modules.rbegin(); it != Modules.rend(); ++it)
        if (TIdeModuleState* m = ModuleState(it->Get())) m->Close();
    Modules.clear();
    ProjectGroup.Reset();
    ReleaseDesignState(*Design);
    RemoveDialogDriver();
    FreeAppBuilder();
    *Link = nullptr;
}

void TIdeHostImpl::AddService(const GUID& iid, TComPtr<IUnknown> service) { ServiceTable.emplace_back(iid, std::move(service)); }

bool TIdeHostImpl::QueryService(REFIID iid, void** out) {
    for (auto& [id, service] : ServiceTable)
        if (IsEqualGUID(id, iid)) return service->QueryInterface(iid, out) == S_OK;
    Record(L"services", L"query", {TextField(L"iid", GUIDToString(iid))}, L"refused");
    return false;
}

TIdeModuleState* TIdeHostImpl::FindModule(const std::wstring& fileName) const {
    for (const auto& m : Modules) {
        TIdeModuleState* state = ModuleState(m.Get());
        if (state && SameText(state->FileName, fileName)) return state;
    }
    return nullptr;
}

void TIdeHostImpl::Open(TComPtr<IOTAModule> module) {
    const std::wstring fileName = module->GetFileName();
    Modules.push_back(std::move(module));
    NotifyFile(ofnFileOpened, fileName);
}

void TIdeHostImpl::Forget(TIdeModuleState& module) {
    // Keep the module alive until it is out of every list.
    TComPtr<IOTAModule> keep(module.Module());
    std::erase_if(Modules, [&](const TComPtr<IOTAModule>& m) { return m.Get() == keep.Get(); });
    if (ProjectGroup) {
        TIdeModuleState& group = *ModuleState(ProjectGroup.Get());
        auto& projects = group.Projects;
        auto it = std::find_if(projects.begin(), projects.end(),
                               [&](const TComPtr<IOTAProject>& p) { return ModuleState(p.Get()) == &module; });
        if (it != projects.end()) {
            const auto index = static_cast<int32_t>(it - projects.begin());
            projects.erase(it);
            if (group.ActiveProject >= index) --group.ActiveProject;
            if (group.ActiveProject < 0 && !projects.empty()) group.ActiveProject = 0;
        }
    }
}

TIdeProjectGroup& TIdeHostImpl::Group() {
    if (!ProjectGroup) {
        auto group = MakeInterfaced<TIdeProjectGroup>(Link, TModuleKind::ProjectGroup,
                                                      FileInWorkFolder(L"ProjectGroup1.groupproj"));
        ProjectGroup = TComPtr<IOTAProjectGroup>(group.Get());
        Modules.insert(Modules.begin(), TComPtr<IOTAModule>(group.Get()));
        Record(L"modules", L"open", {TextField(L"kind", L"projectgroup"), TextField(L"file", group->FileName)}, L"ok");
    }
    return *static_cast<TIdeProjectGroup*>(ProjectGroup.Get());
}

TComPtr<IOTAProject> TIdeHostImpl::ActiveProject() const {
    return ProjectGroup ? ProjectGroup->GetActiveProject() : TComPtr<IOTAProject>();
}

std::wstring TIdeHostImpl::FileInWorkFolder(const std::wstring& name) const {
    return IncludeTrailingPathDelimiter(Options.WorkFolder) + name;
}

std::wstring TIdeHostImpl::NewUnitIdent(const std::wstring& prefix) const {
    const std::wstring stem = prefix.empty() ? std::wstring(L"Unit") : prefix;
    for (int n = 1;; ++n) {
        const std::wstring ident = stem + IntToStr(n);
        const std::wstring file = FileInWorkFolder(ident + L".pas");
        if (!FindModule(file) && !FileExists(file)) return ident;
    }
}

// ---------------------------------------------------------------------------------------------
// Wizards

int32_t TIdeHostImpl::AddWizard(IOTAWizard* wizard, bool addedByLibrary) {
    if (!wizard) {
        Record(L"wizards", L"add", {}, L"fault");
        return -1;
    }
    TWizardEntry entry;
    entry.Index = NextWizardIndex++;
    entry.Wizard = TComPtr<IOTAWizard>(wizard);
    entry.Id = wizard->GetIDString();
    entry.AddedByLibrary = addedByLibrary;
    // The repository wizard's icon is the environment's from now on.
    if (auto repository = entry.Wizard.As<IOTARepositoryWizard>()) entry.Glyph.Reset(repository->GetGlyph());
    Record(L"wizards", L"add",
           {TextField(L"id", entry.Id), TextField(L"name", wizard->GetName()), NumField(L"index", entry.Index),
            HexField(L"glyph", reinterpret_cast<uintptr_t>(entry.Glyph.Get()))},
           L"ok");
    Wizards.push_back(std::move(entry));
    return Wizards.back().Index;
}

void TIdeHostImpl::RemoveWizard(int32_t index) {
    auto it = std::find_if(Wizards.begin(), Wizards.end(), [index](const TWizardEntry& w) { return w.Index == index; });
    if (it == Wizards.end()) {
        Record(L"wizards", L"remove", {NumField(L"index", index), TextField(L"reason", L"no live wizard has this index")},
               L"fault");
        return;
    }
    TWizardEntry entry = std::move(*it);
    Wizards.erase(it);
    entry.Glyph.Reset();
    Record(L"wizards", L"remove", {TextField(L"id", entry.Id), NumField(L"index", index)}, L"ok");
    // The wizard's last reference goes after it is out of the list: its destructor may call us.
    entry.Wizard.Reset();
}

TWizardEntry* TIdeHostImpl::FindWizard(const std::wstring& idOrName) {
    for (TWizardEntry& w : Wizards)
        if (w.Id == idOrName) return &w;
    for (TWizardEntry& w : Wizards)
        if (w.Wizard->GetName() == idOrName) return &w;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// TIdeHost

TIdeHost::TIdeHost() : TIdeHost(TOptions{}) {}

TIdeHost::TIdeHost(TOptions options) {
    if (gHost) throw EInvalidOperation(L"An environment is already installed");
    FImpl = std::make_unique<TIdeHostImpl>(std::move(options));
    gHost = FImpl.get();
    FImpl->Record(L"host", L"install", {TextField(L"work", FImpl->Options.WorkFolder)}, L"ok");
}

TIdeHost::~TIdeHost() {
    FImpl->Record(L"host", L"uninstall", {}, L"ok");
    // Add-ins still see the environment while their libraries are unloaded.
    FImpl->UnloadAll();
    gHost = nullptr;
    FImpl.reset();
}

const std::wstring& TIdeHost::WorkFolder() const { return FImpl->Options.WorkFolder; }
void TIdeHost::SetProposeClassNames(bool value) { FImpl->Options.ProposeClassNames = value; }

bool TIdeHost::LoadPackage(const std::wstring& path) { return FImpl->Load(path, false); }
bool TIdeHost::LoadExpert(const std::wstring& path) { return FImpl->Load(path, true); }
bool TIdeHost::Unload(const std::wstring& path) { return FImpl->Unload(path); }
void TIdeHost::UnloadAll() { FImpl->UnloadAll(); }

std::vector<std::wstring> TIdeHost::Libraries() const {
    std::vector<std::wstring> paths;
    for (const TLoadedLibrary& l : FImpl->Libraries) paths.push_back(l.Path);
    return paths;
}

TWizardRun TIdeHost::RunWizard(const std::wstring& name) {
    TWizardRun run;
    TWizardEntry* entry = FImpl->FindWizard(name);
    if (!entry) {
        FImpl->Record(L"run", L"wizard", {TextField(L"name", name)}, L"refused");
        return run;
    }
    run.Found = true;
    const TComPtr<IOTAWizard> wizard = entry->Wizard; // the wizard may remove itself while it runs
    const std::wstring id = entry->Id;
    FImpl->Record(L"run", L"start", {TextField(L"id", id)}, L"");
    try {
        wizard->Execute();
        run.Succeeded = true;
        FImpl->Record(L"run", L"end", {TextField(L"id", id)}, L"ok");
    } catch (...) {
        run.Error = CurrentExceptionText();
        FImpl->Record(L"run", L"end", {TextField(L"id", id), TextField(L"message", run.Error)}, L"exception");
    }
    return run;
}

std::vector<std::wstring> TIdeHost::WizardIds() const {
    std::vector<std::wstring> ids;
    for (const TWizardEntry& w : FImpl->Wizards) ids.push_back(w.Id);
    return ids;
}

namespace {
TIdeModuleState& OpenBuffer(const TIdeHostImpl& host, const std::wstring& fileName) {
    TIdeModuleState* module = host.FindModule(fileName);
    if (!module || !module->Source) throw EInvalidOperation(L"No source buffer is open for %s", fileName);
    return *module;
}
} // namespace

std::string TIdeHost::Buffer(const std::wstring& fileName) const { return OpenBuffer(*FImpl, fileName).Source->Text; }

int TIdeHost::UndoDepth(const std::wstring& fileName) const {
    return static_cast<int>(OpenBuffer(*FImpl, fileName).Source->UndoSteps.size());
}

bool TIdeHost::Undo(const std::wstring& fileName) {
    const bool done = OpenBuffer(*FImpl, fileName).Source->Undo();
    FImpl->Record(L"editor", L"undo", {TextField(L"file", fileName)}, done ? L"ok" : L"refused");
    return done;
}

void TIdeHost::SaveAll() {
    for (const auto& m : std::vector<TComPtr<IOTAModule>>(FImpl->Modules)) m->Save(false, true);
}

bool TIdeHost::SaveModuleAs(const std::wstring& fileName, const std::wstring& newFileName) {
    TIdeModuleState* module = FImpl->FindModule(fileName);
    if (!module || !module->Source || (FImpl->FindModule(newFileName) && !SameText(fileName, newFileName))) {
        FImpl->Record(L"module", L"saveas", {TextField(L"file", fileName), TextField(L"newfile", newFileName)}, L"refused");
        return false;
    }
    TComPtr<IOTAModule> keep(module->Module());
    module->Rename(newFileName);
    return module->SaveFiles();
}

std::vector<TIdeRecord> TIdeHost::Records() const { return FImpl->Recorder.Records(); }

std::vector<TIdeRecord> TIdeHost::Faults() const {
    std::vector<TIdeRecord> faults;
    for (TIdeRecord& r : FImpl->Recorder.Records())
        if (r.Fault()) faults.push_back(std::move(r));
    return faults;
}

void TIdeHost::ClearRecords() { FImpl->Recorder.Clear(); }

} // namespace tamrel
