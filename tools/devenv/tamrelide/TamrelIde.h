// tamrelide: our stand-in for the development environment that add-ins are written for. It
// offers the add-in services of ide/framework/IdeServices.h over real files in a work folder,
// loads packages and expert libraries, drives their wizards, and records every call an add-in
// makes of it and every fault it finds (an index removed that is not live, an interface left
// registered when its library is unloaded, an exception out of a wizard).
//
// Records are kept in memory and written as they happen, one line each, to stderr and, when the
// environment variable TAMRELIDE_LOG names a file, appended to that file (UTF-8, CR LF). A line
// is "tamrelide: AREA CALL field=value ... result=RESULT"; texts are double-quoted with \" \\ \r
// \n \t and \xNN escapes. Results: ok, fault (the add-in did something wrong), exception (an
// exception came out of the add-in), refused (the environment said no); callbacks into an add-in
// carry no result.
//
// Module creation asks a creator in this order (every answer is recorded):
//   all creators: GetCreatorType, GetExisting, GetFileSystem, GetOwner, GetUnnamed
//   project: GetFileName, GetOptionFileName, GetShowSource, GetProjectPersonality (80),
//     NewProjectSource(name); the project is opened, joins the project group (made with the
//     first project) and becomes the active project; NewOptionSource(name),
//     NewDefaultProjectModule(project) (80), NewDefaultModule() (it may create modules: the
//     project is active by then), NewProjectResource(project).
//   module: GetAncestorName, GetImplFileName, GetIntfFileName, GetFormName, GetMainForm,
//     GetShowForm, GetShowSource; the environment names what is unnamed (a "Form" creator's
//     ancestor class is looked up here); NewFormFile(form, ancestor),
//     NewImplSource(unit, form, ancestor), NewIntfSource(unit, form, ancestor); the unit is
//     opened and joins its owner project (else the active project); a "Form" creator's root
//     component is created designing from the ancestor's class and FormCreated(form editor)
//     is called.
// An exception from a creator passes to the caller of CreateModule; what was opened by then
// stays open.
//
// Dialogs: while an environment is installed it answers every modal form and message box shown
// through the host layer (host/ModalHook.h), by caption. Each one is recorded ("dialog shown");
// an answer given with AnswerDialog runs on the dialog's thread from inside its modal loop; a
// dialog nobody answers is cancelled and recorded as a fault, and so is one the watchdog ends.
#pragma once

#include "host/ModalHook.h"
#include "ide/framework/DesignEditors.h"
#include "ide/framework/IdeServices.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tamrel {

class TIdeHostImpl;

struct TIdeField {
    std::wstring Name;
    std::wstring Value; // as given: texts unquoted
    bool Text = false;  // written quoted
};

struct TAMRELIDE_API TIdeRecord {
    std::wstring Area;
    std::wstring Call;
    std::vector<TIdeField> Fields;
    std::wstring Result;

    // The value of a field, empty when the record has none.
    std::wstring Field(const std::wstring& name) const;
    bool Fault() const { return Result == L"fault"; }
    // The log line, without the "tamrelide: " prefix.
    std::wstring Line() const;
};

struct TWizardRun {
    bool Found = false;
    bool Succeeded = false;
    std::wstring Error; // the message of the exception that came out of Execute
};

enum class TInspectorOp { GetValue, SetValue, Edit, GetAttributes };

// What one call of the object inspector did.
struct TInspectorCall {
    bool Found = false;     // the object, its property and an editor for it
    bool Succeeded = false; // nothing came out of the editor
    std::wstring Editor;    // the editor class used
    std::wstring Value;     // GetValue: the text
    TPropertyAttributes Attributes;
    std::wstring Error;     // the message of what came out, or why nothing was found
};

class TAMRELIDE_API TIdeHost {
public:
    struct TOptions {
        // The folder of new files; empty: a new folder under the temporary directory.
        std::wstring WorkFolder;
        // Whether GetNewModuleAndClassName proposes a class name: Service<n> for the prefix
        // "svc", Form<n> for any other, never the name of the new unit, of another unit or of an
        // open form.
        bool ProposeClassNames = true;
        // Whether the host application holds the component "AppBuilder" with its menu item
        // "HelpMenu" (where add-ins put their entries).
        bool AppBuilder = true;
    };
    // Answers a dialog: may set controls, click buttons (a click that opens another dialog
    // returns once that one is answered), set a form's ModalResult or press a box's button.
    using TDialogAnswer = std::function<void(const TModalWindow& dialog)>;

    // Installs this environment as BorlandIDEServices; a second one while one is installed
    // raises.
    TIdeHost();
    explicit TIdeHost(TOptions options);
    // Unloads every library (leftovers are recorded), closes every module, uninstalls.
    ~TIdeHost();
    TIdeHost(const TIdeHost&) = delete;
    TIdeHost& operator=(const TIdeHost&) = delete;

    const std::wstring& WorkFolder() const;
    void SetProposeClassNames(bool value);

    // Loads a package and calls its Register; an expert library and calls its INITWIZARD0001.
    // False (recorded, with the reason) when the library does not load, lacks its entry, or the
    // entry fails; the library is then unloaded again.
    bool LoadPackage(const std::wstring& path);
    bool LoadExpert(const std::wstring& path);
    // Every expert library named under HKEY_CURRENT_USER\Software\Embarcadero\BDS\12.0\Experts;
    // answers how many loaded.
    int LoadRegisteredExperts();
    // Terminate procedure, the package's Finalize, the check that everything the library added
    // is removed (leftovers are faults, and are removed), FreeLibrary. False when it is not
    // loaded.
    bool Unload(const std::wstring& path);
    void UnloadAll();
    std::vector<std::wstring> Libraries() const;

    // Calls Execute of the live wizard with that identifier (or name) in a guard; an exception
    // that comes out is recorded and answered.
    TWizardRun RunWizard(const std::wstring& name);
    // The identifiers of the live wizards, in index order.
    std::vector<std::wstring> WizardIds() const;

    // Answers every dialog shown with that caption (a form's Caption, a box's title) from now
    // on; a second answer for a caption replaces the first.
    void AnswerDialog(const std::wstring& caption, TDialogAnswer answer);
    void ClearDialogAnswers();

    // Opens a file of the work folder or elsewhere in a buffer of its own (a module that is
    // neither unit nor project, as the environment opens a type library); false when the file
    // cannot be read or is open already.
    bool OpenFile(const std::wstring& fileName);
    // Whether a buffer was changed since it was opened or last saved.
    bool Modified(const std::wstring& fileName) const;

    // The captions of the items of the Help menu of "AppBuilder", in order (empty without it).
    std::vector<std::wstring> HelpMenuItems() const;
    // Clicks the Help menu item with that caption; false when there is none.
    bool ClickHelpMenuItem(const std::wstring& caption);

    // Source buffers by file name (8-bit text); raise EInvalidOperation for a file not open.
    std::string Buffer(const std::wstring& fileName) const;
    int UndoDepth(const std::wstring& fileName) const;
    // Takes back the last undo step; false when there is none.
    bool Undo(const std::wstring& fileName);
    // Writes every open module to its file.
    void SaveAll();
    // Save As of one module: its notifiers hear of the new name, then it is saved under it (the
    // before-save and after-save notices around the writing). False when the module is not open
    // or a module under the new name is.
    bool SaveModuleAs(const std::wstring& fileName, const std::wstring& newFileName);

    // The components a package put on a palette page, in order; the class names registered as
    // custom modules; the classes packages registered by name while registering; the property
    // editors as "Kind [DeclaredClass] ComponentClass.Property Editor" (* for any).
    std::vector<std::wstring> PaletteComponents(const std::wstring& page) const;
    std::vector<std::wstring> CustomModules() const;
    std::vector<std::wstring> RegisteredClasses() const;
    std::vector<std::wstring> PropertyEditors() const;
    // The fault switch: the registration call ("component", "class", "custommodule",
    // "propertyeditor") for the class or property Name raises EInvalidOperation, as an
    // environment that refuses it would. An empty call turns it off.
    void FailRegistration(const std::wstring& call, const std::wstring& name);

    // Form designers. A new unit whose form's root is a component of the class (registered as a
    // custom module or by name), made designing; answers the unit's file name.
    std::wstring OpenDesigner(const std::wstring& rootClass);
    // The root of a designer; raises EInvalidOperation when the file has none.
    TComponent* DesignRoot(const std::wstring& fileName) const;
    // A new component on the designer, owned by the root (and placed in it when both are
    // controls), made designing.
    TComponent* AddComponent(const std::wstring& fileName, const std::wstring& className, const std::wstring& name);
    // The object inspector: runs Op with the property editor of Property of the object at Path
    // of the designer (a component's name, empty for the root, then ".Property" for an object
    // property and "[i]" for an item of a collection: "Editor.AccessMasks[0]"). EditorClass, when
    // given, names the registered editor to use whatever it is registered for. An exception out
    // of the editor is recorded and answered.
    TInspectorCall Inspect(TInspectorOp op, const std::wstring& fileName, const std::wstring& path,
                           const std::wstring& property, const std::wstring& value = {},
                           const std::wstring& editorClass = {});

    // Editor windows. A window on an open module gets a page for every registered editor view
    // that handles the module (asked in the order of their priorities); answers the window's
    // number, 0 when the file is not open. A unit made by a creator that asks to show its source
    // gets a window too while editor views are registered.
    int OpenEditorWindow(const std::wstring& fileName);
    std::vector<std::wstring> EditorPages(int window) const;
    // Shows a page: the first time, its frame is made (owned by the window's form) and the view
    // told of it; then the page shown before is hidden and the view displays this one. False
    // when the window has no such page.
    bool ShowEditorPage(int window, const std::wstring& caption);
    // The frame of a page; null before the page was first shown.
    TComponent* EditorFrame(int window, const std::wstring& caption) const;
    // Each frame is asked whether the window may close (False: it stays, and so does everything
    // in it); then each page's view hears that its frame closes, the frames go, then the window.
    bool CloseEditorWindow(int window);
    // The captions of the registered editor views; the number of IDE notifiers added.
    std::vector<std::wstring> EditorViews() const;
    int IdeNotifierCount() const;
    // Closes a module as the user would (notifiers hear of the closing file, its windows go);
    // false when it is not open.
    bool CloseModule(const std::wstring& fileName);

    std::vector<TIdeRecord> Records() const;
    std::vector<TIdeRecord> Faults() const;
    void ClearRecords();

private:
    std::unique_ptr<TIdeHostImpl> FImpl;
};

} // namespace tamrel
