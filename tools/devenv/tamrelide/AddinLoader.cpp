// Packages and expert libraries: loading, their entries, and unloading with the check that
// everything a library added to the environment is gone again.
#include "tools/devenv/tamrelide/DesignState.h"

#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

// The register routine an expert library gets: the environment owns what it registers and
// removes it when it unloads the library.
bool __stdcall RegisterWizardProc(IOTAWizard* wizard) {
    TIdeHostImpl* host = CurrentHost();
    return host && host->AddWizard(wizard, true) >= 0;
}

// An export of a library as the function type it has.
template <class F> F Export(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

constexpr wchar_t kExpertsKey[] = L"Software\\Embarcadero\\BDS\\12.0\\Experts";

} // namespace

bool TIdeHostImpl::Load(const std::wstring& path, bool expert) {
    const wchar_t* kind = expert ? L"expert" : L"package";
    const std::wstring full = ExpandFileName(path);
    for (const TLoadedLibrary& l : Libraries)
        if (SameText(l.Path, full)) {
            Record(L"addin", L"load", {TextField(L"kind", kind), TextField(L"path", full), TextField(L"reason", L"loaded already")},
                   L"refused");
            return false;
        }
    // A library outside the program's folder finds the libraries beside it only this way.
    HMODULE handle = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    if (!handle) {
        Record(L"addin", L"load", {TextField(L"kind", kind), TextField(L"path", full), NumField(L"error", error)}, L"refused");
        return false;
    }
    Record(L"addin", L"load", {TextField(L"kind", kind), TextField(L"path", full), HexField(L"handle", reinterpret_cast<uintptr_t>(handle))},
           L"ok");
    TLoadedLibrary library;
    library.Path = full;
    library.Handle.Reset(handle);
    library.Expert = expert;
    Libraries.push_back(std::move(library));

    bool started = false;
    TWizardTerminateProc terminate = nullptr;
    const auto init = Export<TWizardInitProc>(handle, WizardEntryPoint);
    const auto registerProc = Export<TPackageProc>(handle, PackageRegisterEntry);
    const bool found = expert ? init != nullptr : registerProc != nullptr;
    if (!found && expert) {
        Record(L"addin", L"init", {TextField(L"path", full), TextField(L"reason", L"no INITWIZARD0001 export")}, L"refused");
    } else if (!found) {
        started = true; // a package without a Register routine registers nothing
        Record(L"addin", L"register", {TextField(L"path", full), TextField(L"entry", L"none")}, L"ok");
    } else {
        // What the entry registers belongs to this library.
        Design->Registering = handle;
        Design->RegisteringPath = full;
        TScopeExit registered([this] {
            Design->Registering = nullptr;
            Design->RegisteringPath.clear();
        });
        try {
            if (expert) {
                started = init(Services.Get(), &RegisterWizardProc, &terminate);
            } else {
                registerProc();
                started = true;
            }
            Record(L"addin", expert ? L"init" : L"register", {TextField(L"path", full)}, started ? L"ok" : L"refused");
        } catch (...) {
            Record(L"addin", expert ? L"init" : L"register", {TextField(L"path", full), TextField(L"message", CurrentExceptionText())},
                   L"exception");
        }
    }
    // The entry may have loaded libraries itself: find this one again.
    auto it = std::find_if(Libraries.begin(), Libraries.end(), [&](const TLoadedLibrary& l) { return l.Path == full; });
    it->Terminate = terminate;
    if (!started) UnloadLibrary(static_cast<size_t>(it - Libraries.begin()));
    return started;
}

bool TIdeHostImpl::Unload(const std::wstring& path) {
    const std::wstring full = ExpandFileName(path);
    for (size_t i = 0; i < Libraries.size(); ++i)
        if (SameText(Libraries[i].Path, full)) {
            UnloadLibrary(i);
            return true;
        }
    Record(L"addin", L"unload", {TextField(L"path", full), TextField(L"reason", L"not loaded")}, L"refused");
    return false;
}

void TIdeHostImpl::UnloadAll() {
    while (!Libraries.empty()) UnloadLibrary(Libraries.size() - 1);
}

void TIdeHostImpl::UnloadLibrary(size_t index) {
    TLoadedLibrary library = std::move(Libraries[index]);
    Libraries.erase(Libraries.begin() + static_cast<std::ptrdiff_t>(index));
    const HMODULE handle = library.Handle.Get();
    const std::wstring& path = library.Path;
    Record(L"addin", L"unload", {TextField(L"path", path)}, L"");
    auto guarded = [&](const wchar_t* step, auto call) {
        try {
            call();
            Record(L"addin", step, {TextField(L"path", path)}, L"ok");
        } catch (...) {
            Record(L"addin", step, {TextField(L"path", path), TextField(L"message", CurrentExceptionText())}, L"exception");
        }
    };
    if (library.Terminate) guarded(L"terminate", [&] { library.Terminate(); });
    // Unit finalizations of a package, run here rather than under the loader lock.
    if (const auto finalize = Export<TPackageProc>(handle, PackageFinalizeEntry))
        guarded(L"finalize", [&] { finalize(); });
    // Wizards the library registered through the register routine are ours to remove.
    std::vector<int32_t> owned;
    for (const TWizardEntry& w : Wizards)
        if (w.AddedByLibrary && ObjectInLibrary(w.Wizard.Get(), handle)) owned.push_back(w.Index);
    for (int32_t index : owned) RemoveWizard(index);
    RemoveLeftovers(handle, path);
    CloseDesignersOf(handle, path);
    ForgetRegistrations(*this, handle);
    library.Handle.Reset();
    // Libraries it loaded went with it: what they left in the menus is theirs.
    RemoveMenuLeftovers(path);
    Record(L"addin", L"freed", {TextField(L"path", path)}, L"ok");
}

// Everything of the library the environment still holds is a fault of the library; it is
// removed, so that no interface of the library outlives its code.
void TIdeHostImpl::RemoveLeftovers(HMODULE library, const std::wstring& path) {
    std::vector<std::pair<int32_t, std::wstring>> wizards;
    for (const TWizardEntry& w : Wizards)
        if (ObjectInLibrary(w.Wizard.Get(), library)) wizards.emplace_back(w.Index, w.Id);
    for (const auto& [index, id] : wizards) {
        Record(L"addin", L"leftover",
               {TextField(L"path", path), TextField(L"kind", L"wizard"), TextField(L"id", id), NumField(L"index", index)},
               L"fault");
        RemoveWizard(index);
    }
    std::vector<uintptr_t> views;
    for (const TSubViewEntry& v : SubViews)
        if (ObjectInLibrary(v.View.Get(), library)) views.push_back(v.Handle);
    for (uintptr_t handle : views) {
        Record(L"addin", L"leftover",
               {TextField(L"path", path), TextField(L"kind", L"editor view"), NumField(L"handle", static_cast<int64_t>(handle))},
               L"fault");
        UnregisterSubView(handle);
    }
    std::vector<int32_t> notifiers;
    for (const TIdeNotifierEntry& n : IdeNotifiers)
        if (ObjectInLibrary(n.Notifier.Get(), library)) notifiers.push_back(n.Index);
    for (int32_t index : notifiers) {
        Record(L"addin", L"leftover", {TextField(L"path", path), TextField(L"kind", L"ide notifier"), NumField(L"index", index)},
               L"fault");
        RemoveIdeNotifier(index);
    }
    for (const auto& m : std::vector<TComPtr<IOTAModule>>(Modules)) {
        TIdeModuleState* module = ModuleState(m.Get());
        if (!module) continue;
        for (int32_t index : module->NotifiersIn(library)) {
            Record(L"addin", L"leftover",
                   {TextField(L"path", path), TextField(L"kind", L"module notifier"), TextField(L"file", module->FileName),
                    NumField(L"index", index)},
                   L"fault");
            module->RemoveModuleNotifier(index);
        }
    }
}

namespace {
bool DesignedWith(TComponent* component, HMODULE library) {
    if (ObjectInLibrary(component, library)) return true;
    for (TComponent* c : component->ComponentList())
        if (DesignedWith(c, library)) return true;
    return false;
}
} // namespace

// A form designer that holds components of the library's classes goes with the library, as the
// code of those components does.
void TIdeHostImpl::CloseDesignersOf(HMODULE library, const std::wstring& path) {
    for (const auto& m : std::vector<TComPtr<IOTAModule>>(Modules)) {
        TIdeModuleState* module = ModuleState(m.Get());
        if (!module || !module->FormRoot || !DesignedWith(module->FormRoot, library)) continue;
        Record(L"addin", L"close", {TextField(L"path", path), TextField(L"file", module->FileName)}, L"ok");
        module->CloseForced();
    }
}

int TIdeHost::LoadRegisteredExperts() {
    TRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kExpertsKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        FImpl->Record(L"addin", L"experts", {TextField(L"key", kExpertsKey), TextField(L"reason", L"no key")}, L"refused");
        return 0;
    }
    std::vector<std::wstring> paths;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        wchar_t value[MAX_PATH * 4];
        DWORD valueBytes = sizeof value - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(value), &valueBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        value[valueBytes / sizeof(wchar_t)] = 0;
        paths.emplace_back(value);
    }
    int loaded = 0;
    for (const std::wstring& path : paths) loaded += FImpl->Load(path, true) ? 1 : 0;
    return loaded;
}

} // namespace tamrel
