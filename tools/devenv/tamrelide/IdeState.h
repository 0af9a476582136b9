// The environment's state behind TIdeHost, shared by its service, module and editor objects.
//
// Add-ins may keep interfaces of the environment longer than the environment lives. Every object
// that an add-in can hold therefore reaches the state through a link that the environment clears
// when it goes (THostLink); after that, calls answer empty values and change nothing.
#pragma once

#include "host/Classes.h"
#include "host/Handles.h"
#include "host/Menus.h"
#include "tools/devenv/tamrelide/IdeRecorder.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tamrel {

class TForm;
class TIdeHostImpl;
struct TDesignState;
using THostLink = std::shared_ptr<TIdeHostImpl*>;

// ---------------------------------------------------------------------------------------------
// Source buffers

struct TSourceBuffer {
    std::string Text; // 8-bit, as the file holds it
    std::vector<std::string> UndoSteps;
    bool WriterOpen = false;
    bool Modified = false; // changed since opened or saved
    // Replaces the text as one undo step; nothing happens when the text stays the same.
    bool Replace(std::string text);
    bool Undo();
};

// ---------------------------------------------------------------------------------------------
// Modules

enum class TModuleKind { Unit, Project, ProjectGroup };

class TIdeModuleState {
public:
    TIdeModuleState(THostLink host, TModuleKind kind, std::wstring fileName);
    virtual ~TIdeModuleState();
    TIdeModuleState(const TIdeModuleState&) = delete;
    TIdeModuleState& operator=(const TIdeModuleState&) = delete;

    // The module's own interface (no reference added).
    virtual IOTAModule* Module() = 0;
    // The live environment, or null once it is gone or the module is closed.
    TIdeHostImpl* Host() const { return FClosed ? nullptr : *FHost; }
    const THostLink& Link() const { return FHost; }
    bool Closed() const { return FClosed; }

    TModuleKind Kind;
    std::wstring FileName;
    std::shared_ptr<TSourceBuffer> Source; // none for the project group
    TComponent* FormRoot = nullptr;        // owned: the root component of the form designer
    std::vector<std::wstring> Units;                // a project's units
    std::vector<TComPtr<IOTAProject>> Projects;     // a group's projects
    int32_t ActiveProject = -1;

    // IOTAModule
    int32_t FileCount() const;
    TComPtr<IOTAEditor> FileEditor(int32_t index);
    int32_t AddModuleNotifier(IOTAModuleNotifier* notifier);
    void RemoveModuleNotifier(int32_t index);
    bool CloseForced();
    bool SaveFiles();
    // Gives the module another file name: its notifiers hear the new name first, its windows
    // take it. Nothing is written.
    void Rename(const std::wstring& newFileName);

    // Ends the module: notifiers hear Destroyed and are dropped, the form root is freed.
    void Close();
    // The notifiers that a library's code implements (for the leftover check at unload).
    std::vector<int32_t> NotifiersIn(HMODULE library) const;

private:
    struct TNotifierEntry {
        int32_t Index;
        TComPtr<IOTAModuleNotifier> Notifier;
    };
    THostLink FHost;
    bool FClosed = false;
    std::vector<TNotifierEntry> FNotifiers;
    int32_t FNextNotifier = 0;
};

template <class I> class TIdeModuleObject : public TInterfaced<I>, public TIdeModuleState {
public:
    TIdeModuleObject(THostLink host, TModuleKind kind, std::wstring fileName)
        : TIdeModuleState(std::move(host), kind, std::move(fileName)) {}
    IOTAModule* Module() override { return this; }

    std::wstring GetFileName() override { return FileName; }
    int32_t GetModuleFileCount() override { return FileCount(); }
    TComPtr<IOTAEditor> GetModuleFileEditor(int32_t index) override { return FileEditor(index); }
    TComPtr<IOTAEditor> GetCurrentEditor() override { return FileEditor(0); }
    int32_t AddNotifier(IOTAModuleNotifier* notifier) override { return AddModuleNotifier(notifier); }
    void RemoveNotifier(int32_t index) override { RemoveModuleNotifier(index); }
    bool CloseModule(bool /*forceClosed*/) override { return CloseForced(); }
    bool Save(bool /*changeName*/, bool /*forceSave*/) override { return SaveFiles(); }
};

class TIdeUnit : public TIdeModuleObject<IOTAModule> {
public:
    using TIdeModuleObject::TIdeModuleObject;
};

class TIdeProject : public TIdeModuleObject<IOTAProject> {
public:
    using TIdeModuleObject::TIdeModuleObject;
    int32_t GetUnitCount() override { return static_cast<int32_t>(Units.size()); }
    std::wstring GetUnitFileName(int32_t index) override;
};

class TIdeProjectGroup : public TIdeModuleObject<IOTAProjectGroup> {
public:
    using TIdeModuleObject::TIdeModuleObject;
    TComPtr<IOTAProject> GetActiveProject() override;
    int32_t GetProjectCount() override { return static_cast<int32_t>(Projects.size()); }
    TComPtr<IOTAProject> GetProject(int32_t index) override;
};

// The state of one of our modules behind its interface; null for a module of someone else.
TIdeModuleState* ModuleState(IUnknown* module);

// Editors of a module (SourceEditor.cpp, FormEditor.cpp).
TComPtr<IOTAEditor> NewSourceEditor(TIdeModuleState& module);
TComPtr<IOTAEditor> NewFormEditor(TIdeModuleState& module);
// An undoable writer over a buffer; raises while another writer of it is alive.
TComPtr<IOTAEditWriter> NewEditWriter(const THostLink& host, std::shared_ptr<TSourceBuffer> buffer,
                                      const std::wstring& fileName);

// ---------------------------------------------------------------------------------------------
// The environment

struct TWizardEntry {
    int32_t Index = 0;
    TComPtr<IOTAWizard> Wizard;
    std::wstring Id;
    TIconHandle Glyph; // ours since the wizard was added
    bool AddedByLibrary = false; // through the register routine: ours to remove at unload
};

struct TLoadedLibrary {
    std::wstring Path;
    TModuleHandle Handle;
    bool Expert = false;
    TWizardTerminateProc Terminate = nullptr;
};

class TIdeHostImpl {
public:
    explicit TIdeHostImpl(TIdeHost::TOptions options);
    ~TIdeHostImpl();

    void Record(const std::wstring& area, const std::wstring& call, std::initializer_list<TIdeField> fields,
                const std::wstring& result) {
        Recorder.Add(area, call, fields, result);
    }

    // Services, asked for by interface identifier through the services object.
    void AddService(const GUID& iid, TComPtr<IUnknown> service);
    bool QueryService(REFIID iid, void** out);

    // Wizards
    int32_t AddWizard(IOTAWizard* wizard, bool addedByLibrary);
    void RemoveWizard(int32_t index);
    TWizardEntry* FindWizard(const std::wstring& idOrName);

    // Modules: the project group, once there is one, first.
    TIdeModuleState* FindModule(const std::wstring& fileName) const;
    void Open(TComPtr<IOTAModule> module);
    void Forget(TIdeModuleState& module);
    TIdeProjectGroup& Group();
    TComPtr<IOTAProject> ActiveProject() const;
    // A unit identifier that begins with Prefix and whose file is neither open nor on disk.
    std::wstring NewUnitIdent(const std::wstring& prefix) const;
    std::wstring FileInWorkFolder(const std::wstring& name) const;
    TComPtr<IOTAModule> CreateModule(IOTACreator* creator); // ModuleServices.cpp

    // Libraries (AddinLoader.cpp)
    bool Load(const std::wstring& path, bool expert);
    bool Unload(const std::wstring& path);
    void UnloadAll();

    TIdeHost::TOptions Options;
    TIdeRecorder Recorder;
    THostLink Link;
    TComPtr<IBorlandIDEServices> Services;
    std::vector<std::pair<GUID, TComPtr<IUnknown>>> ServiceTable;
    std::vector<TWizardEntry> Wizards;
    int32_t NextWizardIndex = 0;
    std::vector<TComPtr<IOTAModule>> Modules;
    TComPtr<IOTAProjectGroup> ProjectGroup;
    std::vector<TLoadedLibrary> Libraries;
    std::vector<std::pair<const TClassInfo*, std::wstring>> CustomModules;
    std::vector<std::pair<std::wstring, std::wstring>> Palette; // page, class name
    std::shared_ptr<TDesignState> Design; // DesignState.h

    // Dialogs (IdeDialogs.cpp): the answers by caption, and the hooks in place before ours.
    void InstallDialogDriver();
    void RemoveDialogDriver();
    std::vector<std::pair<std::wstring, TIdeHost::TDialogAnswer>> DialogAnswers;
    TModalHook FormerModalHook;
    TModalWatchdogHandler FormerWatchdogHandler;

    // The host application's "AppBuilder" and its "HelpMenu" (IdeAppBuilder.cpp).
    void MakeAppBuilder();
    void FreeAppBuilder();
    TMenuItem* HelpMenu() const;
    // Menu items whose click handler lies in no loaded image any more: faults, removed.
    void RemoveMenuLeftovers(const std::wstring& path);
    TComponent* AppBuilder = nullptr;

    // IDE notifiers, editor views and editor windows (EditorViews.cpp).
    struct TIdeNotifierEntry {
        int32_t Index;
        TComPtr<IOTAIDENotifier> Notifier;
    };
    struct TSubViewEntry {
        uintptr_t Handle;
        TComPtr<INTACustomEditorSubView> View;
        std::wstring Caption;
    };
    struct TEditorPage {
        TComPtr<INTACustomEditorSubView> View;
        std::wstring Caption;
        TComPtr<IUnknown> Context;
        TComponent* Frame = nullptr; // owned by the window's form
    };
    struct TEditorWindow {
        int Id = 0;
        std::wstring FileName;
        TForm* Form = nullptr; // made with the first frame
        std::vector<TEditorPage> Pages;
        int Active = -1; // the page shown; -1: the source
    };
    void RemoveIdeNotifier(int32_t index);
    // Tells every notifier; false when one of them cancelled.
    bool NotifyFile(TOTAFileNotification kind, const std::wstring& fileName);
    void UnregisterSubView(uintptr_t handle);
    int OpenEditorWindow(const std::wstring& fileName);
    bool ShowEditorPage(int window, const std::wstring& caption);
    // Asking: each frame's CloseQuery may keep the window open; forced closes do not ask.
    bool CloseEditorWindow(int window, bool ask);
    void CloseEditorWindowsOf(const std::wstring& fileName);
    TEditorWindow* FindEditorWindow(int id);
    std::vector<TIdeNotifierEntry> IdeNotifiers;
    int32_t NextIdeNotifier = 0;
    std::vector<TSubViewEntry> SubViews;
    uintptr_t NextSubView = 1;
    std::vector<std::unique_ptr<TEditorWindow>> EditorWindows;
    int NextEditorWindow = 1;

private:
    void ClosePage(TEditorWindow& window, size_t index);
    void UnloadLibrary(size_t index);
    void RemoveLeftovers(HMODULE library, const std::wstring& path);
    void CloseDesignersOf(HMODULE library, const std::wstring& path);
};

// The installed environment; null when there is none.
TIdeHostImpl* CurrentHost();

// Service objects (their own files).
TComPtr<IUnknown> NewWizardServices(const THostLink& host);
TComPtr<IUnknown> NewModuleServices(const THostLink& host);
TComPtr<IUnknown> NewActionServices(const THostLink& host);
TComPtr<IUnknown> NewNotifierServices(const THostLink& host);
TComPtr<IUnknown> NewEditorViewServices(const THostLink& host);

// Whether a polymorphic object's code lies in a library's image: how leftovers of a library are
// found.
bool ObjectInLibrary(const void* object, HMODULE library);

// The text of an exception caught in a catch (...) block.
std::wstring CurrentExceptionText();

} // namespace tamrel
