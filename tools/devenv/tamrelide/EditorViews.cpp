// The notifier services, the editor-view services and editor windows.
//
// An editor window shows one open module: its source page, then a page for every registered
// editor view that handles the module, in the order of their priorities (lower first; equal
// ones in the order they were registered). A page's frame is made when the page is first shown
// and goes with the window; a view that is unregistered takes its pages out of every window.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/forms/Forms.h"
#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

// What an editor view is told about: the module the window shows. Only the environment makes
// and reads it; add-ins turn it into a module through ContextToModule.
struct IIdeEditorContext : IUnknown {
    virtual TComPtr<IOTAModule> ContextModule() = 0;
};
TAMREL_INTERFACE_ID(IIdeEditorContext, IUnknown, 0x2F7D41C3, 0x6B0A, 0x4E19, 0x9C, 0x52, 0x1A, 0x8E, 0x3D, 0x77, 0x60, 0xB4)

namespace {

class TEditorContext : public TInterfaced<IIdeEditorContext> {
public:
    explicit TEditorContext(TComPtr<IOTAModule> module) : FModule(std::move(module)) {}
    TComPtr<IOTAModule> ContextModule() override {
        TIdeModuleState* state = ModuleState(FModule.Get());
        return state && !state->Closed() ? FModule : TComPtr<IOTAModule>();
    }

private:
    TComPtr<IOTAModule> FModule;
};

// Editor views are add-in code: what they raise is recorded and goes no further.
template <class F> bool Guarded(TIdeHostImpl& host, const std::wstring& caption, const wchar_t* call, F f) {
    try {
        f();
        return true;
    } catch (...) {
        host.Record(L"editorview", call, {TextField(L"caption", caption), TextField(L"message", CurrentExceptionText())},
                    L"exception");
        return false;
    }
}

class TNotifierServices : public TInterfaced<IOTAServices> {
public:
    explicit TNotifierServices(THostLink host) : FHost(std::move(host)) {}
    int32_t AddNotifier(IOTAIDENotifier* notifier) override {
        TIdeHostImpl* host = *FHost;
        if (!host || !notifier) return -1;
        const int32_t index = host->NextIdeNotifier++;
        host->IdeNotifiers.push_back({index, TComPtr<IOTAIDENotifier>(notifier)});
        host->Record(L"notifiers", L"add", {NumField(L"index", index)}, L"ok");
        return index;
    }
    void RemoveNotifier(int32_t index) override {
        if (TIdeHostImpl* host = *FHost) host->RemoveIdeNotifier(index);
    }

private:
    THostLink FHost;
};

class TEditorViewServices : public TInterfaced<IOTAEditorViewServices> {
public:
    explicit TEditorViewServices(THostLink host) : FHost(std::move(host)) {}
    void* RegisterEditorSubView(INTACustomEditorSubView* subView) override {
        TIdeHostImpl* host = *FHost;
        if (!host || !subView) return nullptr;
        const uintptr_t handle = host->NextSubView++;
        host->SubViews.push_back({handle, TComPtr<INTACustomEditorSubView>(subView), subView->GetCaption()});
        host->Record(L"editorview", L"register",
                     {TextField(L"caption", host->SubViews.back().Caption), NumField(L"handle", static_cast<int64_t>(handle))},
                     L"ok");
        return reinterpret_cast<void*>(handle);
    }
    void UnregisterEditorSubView(void* handle) override {
        if (TIdeHostImpl* host = *FHost) host->UnregisterSubView(reinterpret_cast<uintptr_t>(handle));
    }
    bool ContextToModule(IUnknown* context, TComPtr<IOTAModule>& module) override {
        module.Reset();
        TComPtr<IIdeEditorContext> ours = Supports<IIdeEditorContext>(context);
        if (!*FHost || !ours) return false;
        module = ours->ContextModule();
        return true;
    }

private:
    THostLink FHost;
};

} // namespace

TComPtr<IUnknown> NewNotifierServices(const THostLink& host) { return MakeInterfaced<TNotifierServices, IUnknown>(host); }
TComPtr<IUnknown> NewEditorViewServices(const THostLink& host) {
    return MakeInterfaced<TEditorViewServices, IUnknown>(host);
}

// ---------------------------------------------------------------------------------------------
// Notifiers

void TIdeHostImpl::RemoveIdeNotifier(int32_t index) {
    auto it = std::find_if(IdeNotifiers.begin(), IdeNotifiers.end(), [index](const TIdeNotifierEntry& n) { return n.Index == index; });
    if (it == IdeNotifiers.end()) {
        Record(L"notifiers", L"remove", {NumField(L"index", index), TextField(L"reason", L"no live notifier has this index")},
               L"fault");
        return;
    }
    TComPtr<IOTAIDENotifier> notifier = std::move(it->Notifier);
    IdeNotifiers.erase(it);
    Record(L"notifiers", L"remove", {NumField(L"index", index)}, L"ok");
}

bool TIdeHostImpl::NotifyFile(TOTAFileNotification kind, const std::wstring& fileName) {
    bool cancel = false;
    for (const TIdeNotifierEntry& n : std::vector<TIdeNotifierEntry>(IdeNotifiers)) {
        try {
            n.Notifier->FileNotification(kind, fileName, cancel);
        } catch (...) {
            Record(L"notifiers", L"file",
                   {NumField(L"kind", static_cast<int>(kind)), TextField(L"file", fileName),
                    TextField(L"message", CurrentExceptionText())},
                   L"exception");
        }
    }
    return !cancel;
}

// ---------------------------------------------------------------------------------------------
// Editor windows

TIdeHostImpl::TEditorWindow* TIdeHostImpl::FindEditorWindow(int id) {
    for (auto& w : EditorWindows)
        if (w->Id == id) return w.get();
    return nullptr;
}

void TIdeHostImpl::ClosePage(TEditorWindow& window, size_t index) {
    TEditorPage page = std::move(window.Pages[index]);
    window.Pages.erase(window.Pages.begin() + static_cast<ptrdiff_t>(index));
    if (window.Active == static_cast<int>(index)) window.Active = -1;
    else if (window.Active > static_cast<int>(index)) --window.Active;
    if (page.Frame) {
        Guarded(*this, page.Caption, L"ViewClosed", [&] { page.View->ViewClosed(page.Context.Get(), page.Frame); });
        Free(page.Frame);
    }
    Record(L"editorview", L"closepage", {NumField(L"window", window.Id), TextField(L"caption", page.Caption)}, L"ok");
}

void TIdeHostImpl::UnregisterSubView(uintptr_t handle) {
    auto it = std::find_if(SubViews.begin(), SubViews.end(), [handle](const TSubViewEntry& v) { return v.Handle == handle; });
    if (it == SubViews.end()) {
        Record(L"editorview", L"unregister",
               {NumField(L"handle", static_cast<int64_t>(handle)), TextField(L"reason", L"no registered view has this handle")},
               L"fault");
        return;
    }
    TSubViewEntry entry = std::move(*it);
    SubViews.erase(it);
    // The view's frames go first: their code may go with the view.
    for (auto& w : EditorWindows)
        for (size_t i = w->Pages.size(); i-- > 0;)
            if (w->Pages[i].View.Get() == entry.View.Get()) ClosePage(*w, i);
    Record(L"editorview", L"unregister", {TextField(L"caption", entry.Caption), NumField(L"handle", static_cast<int64_t>(handle))},
           L"ok");
}

int TIdeHostImpl::OpenEditorWindow(const std::wstring& fileName) {
    TIdeModuleState* module = FindModule(fileName);
    if (!module || !module->Source) {
        Record(L"editorview", L"openwindow", {TextField(L"file", fileName)}, L"refused");
        return 0;
    }
    auto window = std::make_unique<TEditorWindow>();
    window->Id = NextEditorWindow++;
    window->FileName = module->FileName;
    TComPtr<IUnknown> context = MakeInterfaced<TEditorContext, IUnknown>(TComPtr<IOTAModule>(module->Module()));
    std::vector<TSubViewEntry> views(SubViews);
    std::stable_sort(views.begin(), views.end(),
                     [](const TSubViewEntry& a, const TSubViewEntry& b) { return a.View->GetPriority() < b.View->GetPriority(); });
    Record(L"editorview", L"openwindow", {NumField(L"window", window->Id), TextField(L"file", window->FileName)}, L"ok");
    TEditorWindow& w = *window;
    EditorWindows.push_back(std::move(window));
    for (const TSubViewEntry& v : views) {
        bool handles = false;
        Guarded(*this, v.Caption, L"Handles", [&] { handles = v.View->Handles(context.Get()); });
        Record(L"editorview", L"handles", {NumField(L"window", w.Id), TextField(L"caption", v.Caption), NumField(L"answer", handles)},
               L"");
        if (handles) w.Pages.push_back({v.View, v.Caption, context, nullptr});
    }
    return w.Id;
}

bool TIdeHostImpl::ShowEditorPage(int id, const std::wstring& caption) {
    TEditorWindow* w = FindEditorWindow(id);
    auto page = w ? std::find_if(w->Pages.begin(), w->Pages.end(), [&](const TEditorPage& p) { return p.Caption == caption; })
                  : std::vector<TEditorPage>::iterator();
    if (!w || page == w->Pages.end()) {
        Record(L"editorview", L"showpage", {NumField(L"window", id), TextField(L"caption", caption)}, L"refused");
        return false;
    }
    const int index = static_cast<int>(page - w->Pages.begin());
    if (w->Active == index) return true;
    if (w->Active >= 0) {
        TEditorPage& old = w->Pages[static_cast<size_t>(w->Active)];
        if (old.Frame) {
            Guarded(*this, old.Caption, L"Hide", [&] { old.View->Hide(old.Context.Get(), old.Frame); });
            if (auto* control = dynamic_cast<TControl*>(old.Frame)) control->Hide();
        }
    }
    w->Active = index;
    TEditorPage& p = *page;
    if (!p.Frame) {
        if (!w->Form) {
            w->Form = Create<TForm>(nullptr);
            w->Form->SetCaption(ExtractFileName(w->FileName));
            w->Form->SetBounds(0, 0, 900, 600);
        }
        const TClassInfo* frameClass = nullptr;
        Guarded(*this, p.Caption, L"GetFrameClass", [&] { frameClass = p.View->GetFrameClass(); });
        if (frameClass) {
            Guarded(*this, p.Caption, L"CreateFrame", [&] { p.Frame = frameClass->CreateComponent(w->Form); });
            if (auto* control = dynamic_cast<TControl*>(p.Frame)) {
                control->SetParent(w->Form);
                control->SetAlign(alClient);
            }
            if (p.Frame) Guarded(*this, p.Caption, L"FrameCreated", [&] { p.View->FrameCreated(p.Frame); });
        }
        Record(L"editorview", L"frame",
               {NumField(L"window", id), TextField(L"caption", caption),
                TextField(L"class", p.Frame ? p.Frame->ClassInfo().Name() : std::wstring())},
               p.Frame ? L"ok" : L"refused");
    }
    if (auto* control = dynamic_cast<TControl*>(p.Frame)) control->Show();
    Guarded(*this, p.Caption, L"Display", [&] { p.View->Display(p.Context.Get(), p.Frame); });
    if (w->Form) w->Form->Show();
    Record(L"editorview", L"showpage", {NumField(L"window", id), TextField(L"caption", caption)}, L"ok");
    return true;
}

bool TIdeHostImpl::CloseEditorWindow(int id, bool ask) {
    auto it = std::find_if(EditorWindows.begin(), EditorWindows.end(), [id](const auto& w) { return w->Id == id; });
    if (it == EditorWindows.end()) return false;
    // Every frame may keep the window open (a question its user cancelled).
    for (const TEditorPage& page : ask ? (*it)->Pages : std::vector<TEditorPage>()) {
        auto* frame = dynamic_cast<TCustomFrame*>(page.Frame);
        bool canClose = true;
        if (frame) Guarded(*this, page.Caption, L"CloseQuery", [&] { canClose = frame->CloseQuery(); });
        if (!canClose) {
            Record(L"editorview", L"closewindow", {NumField(L"window", id), TextField(L"caption", page.Caption)}, L"refused");
            return false;
        }
    }
    std::unique_ptr<TEditorWindow> window = std::move(*it);
    EditorWindows.erase(it);
    while (!window->Pages.empty()) ClosePage(*window, window->Pages.size() - 1);
    if (window->Form) Free(std::exchange(window->Form, nullptr));
    Record(L"editorview", L"closewindow", {NumField(L"window", id), TextField(L"file", window->FileName)}, L"ok");
    return true;
}

void TIdeHostImpl::CloseEditorWindowsOf(const std::wstring& fileName) {
    std::vector<int> ids;
    for (const auto& w : EditorWindows)
        if (SameText(w->FileName, fileName)) ids.push_back(w->Id);
    for (int id : ids) CloseEditorWindow(id, false);
}

// ---------------------------------------------------------------------------------------------
// TIdeHost

int TIdeHost::OpenEditorWindow(const std::wstring& fileName) { return FImpl->OpenEditorWindow(fileName); }
bool TIdeHost::ShowEditorPage(int window, const std::wstring& caption) { return FImpl->ShowEditorPage(window, caption); }
bool TIdeHost::CloseEditorWindow(int window) { return FImpl->CloseEditorWindow(window, true); }

std::vector<std::wstring> TIdeHost::EditorPages(int window) const {
    std::vector<std::wstring> captions;
    if (TIdeHostImpl::TEditorWindow* w = FImpl->FindEditorWindow(window))
        for (const auto& p : w->Pages) captions.push_back(p.Caption);
    return captions;
}

TComponent* TIdeHost::EditorFrame(int window, const std::wstring& caption) const {
    if (TIdeHostImpl::TEditorWindow* w = FImpl->FindEditorWindow(window))
        for (const auto& p : w->Pages)
            if (p.Caption == caption) return p.Frame;
    return nullptr;
}

std::vector<std::wstring> TIdeHost::EditorViews() const {
    std::vector<std::wstring> captions;
    for (const auto& v : FImpl->SubViews) captions.push_back(v.Caption);
    return captions;
}

int TIdeHost::IdeNotifierCount() const { return static_cast<int>(FImpl->IdeNotifiers.size()); }

bool TIdeHost::CloseModule(const std::wstring& fileName) {
    TIdeModuleState* module = FImpl->FindModule(fileName);
    return module && module->CloseForced();
}

} // namespace tamrel
