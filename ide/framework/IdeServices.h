// The development environment's add-in services, as the add-ins see them: the services object
// (BorlandIDEServices), the services asked of it by interface identifier, the interfaces an
// add-in implements for the environment to call, the entry point of an expert library and the
// design-time registration routines.
//
// Interfaces are COM-style over IUnknown (host/Interfaced.h): a service the environment does not
// offer is a failed QueryInterface, never an error. Texts are UTF-16 strings; editor buffers are
// 8-bit text in the system's ANSI code page. Interface results come back counted (TComPtr);
// interface arguments are borrowed, and the environment takes references of its own on what it
// keeps.
//
// The services object, the registration routines and our own environment (TIdeHost) live in one
// DLL, tamrelide64 / tamrelide, which add-ins and hosts link: BorlandIDEServices() is null until
// a host installs itself.
#pragma once

#include "host/Interfaced.h"
#include "host/TypeInfo.h"

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#if defined(TAMRELIDE_BUILDING)
#define TAMRELIDE_API __declspec(dllexport)
#else
#define TAMRELIDE_API __declspec(dllimport)
#endif

namespace tamrel {

class TComponent;
class TObject;
struct IOTAModule;
struct IOTAProject;
struct IOTAFormEditor;

TAMREL_ENUM(TWizardStateFlag, wsEnabled, wsChecked);
using TWizardState = TSet<TWizardStateFlag>;

// Types of the environment's older expert and creation interfaces that add-ins still store.
TAMREL_ENUM(TExpertStyle, esStandard, esForm, esProject, esAddIn);
TAMREL_ENUM(TExpertStateFlag, esEnabled, esChecked);
using TExpertState = TSet<TExpertStateFlag>;
TAMREL_ENUM(TCreateModuleFlag, cmAddToProject, cmShowSource, cmShowForm, cmUnNamed, cmNewUnit, cmNewForm, cmMainForm,
            cmMarkModified, cmNewFile, cmExisting);
using TCreateModuleFlags = TSet<TCreateModuleFlag>;
TAMREL_ENUM(TCreateProjectFlag, cpCustom, cpApplication, cpLibrary, cpCanShowSource, cpExisting, cpConsole);
using TCreateProjectFlags = TSet<TCreateProjectFlag>;

// ---------------------------------------------------------------------------------------------
// The services object

struct IBorlandIDEServices : IUnknown {};
TAMREL_INTERFACE_ID(IBorlandIDEServices, IUnknown, 0x491C509D, 0x093F, 0x4699, 0xA1, 0xE5, 0x24, 0xD1, 0x62, 0x5D, 0x1E, 0xF9)

// The environment's services object; null while no environment is installed.
TAMRELIDE_API IBorlandIDEServices* BorlandIDEServices();

// The service I of the environment; empty without an environment or when it does not offer I.
template <class I> TComPtr<I> IdeService() { return Supports<I>(BorlandIDEServices()); }

// ---------------------------------------------------------------------------------------------
// Interfaces an add-in implements

// Told about saving and destruction of what it watches.
struct IOTANotifier : IUnknown {
    virtual void AfterSave() = 0;
    virtual void BeforeSave() = 0;
    virtual void Destroyed() = 0;
    virtual void Modified() = 0;
};
TAMREL_INTERFACE_ID(IOTANotifier, IUnknown, 0x547CF87C, 0xB5DE, 0x4E3D, 0xB1, 0xF9, 0xCD, 0xD4, 0x2E, 0x9D, 0xE2, 0x99)

struct IOTAWizard : IOTANotifier {
    // The unique identifier by which the environment tells wizards apart.
    virtual std::wstring GetIDString() = 0;
    virtual std::wstring GetName() = 0;
    virtual TWizardState GetState() = 0;
    virtual void Execute() = 0;
};
TAMREL_INTERFACE_ID(IOTAWizard, IOTANotifier, 0x9C1EA73B, 0xF07A, 0x4DD7, 0x84, 0x6F, 0x2B, 0xB7, 0x2C, 0x35, 0x23, 0x67)

// A wizard of the object repository.
struct IOTARepositoryWizard : IOTAWizard {
    virtual std::wstring GetAuthor() = 0;
    virtual std::wstring GetComment() = 0;
    virtual std::wstring GetPage() = 0;
    // An icon the environment owns from then on, or null.
    virtual HICON GetGlyph() = 0;
};
TAMREL_INTERFACE_ID(IOTARepositoryWizard, IOTAWizard, 0x1DD804CA, 0xA849, 0x41CC, 0xA2, 0x38, 0xF4, 0x27, 0x13, 0x25, 0x8B, 0x2A)

// Markers: the repository shows the wizard among new forms or new projects.
struct IOTAFormWizard : IOTARepositoryWizard {};
TAMREL_INTERFACE_ID(IOTAFormWizard, IOTARepositoryWizard, 0xA573ECA6, 0xDAF3, 0x4A05, 0x8D, 0xD3, 0x3E, 0x93, 0xD1, 0x17, 0x3F, 0xC4)
struct IOTAProjectWizard : IOTARepositoryWizard {};
TAMREL_INTERFACE_ID(IOTAProjectWizard, IOTARepositoryWizard, 0x7120F883, 0xACCD, 0x4E4D, 0x87, 0x1A, 0xF5, 0x1F, 0x71, 0x67, 0xA5, 0xC0)

struct IOTAMenuWizard : IOTAWizard {
    virtual std::wstring GetMenuText() = 0;
};
TAMREL_INTERFACE_ID(IOTAMenuWizard, IOTAWizard, 0x3AD5CB2B, 0x54BE, 0x43E9, 0xA1, 0x60, 0x3B, 0xCE, 0x79, 0x03, 0x46, 0x36)

// The text of a file a creator makes.
struct IOTAFile : IUnknown {
    virtual std::wstring GetSource() = 0;
    // The file's date in the host's date-time form; -1 for none.
    virtual double GetAge() = 0;
};
TAMREL_INTERFACE_ID(IOTAFile, IUnknown, 0xDEC84C0E, 0xE0B6, 0x48FD, 0x9B, 0xF8, 0x0A, 0xB3, 0x27, 0x05, 0x8C, 0xFD)

// What the environment asks of a creator, in the order TIdeHost documents.
struct IOTACreator : IUnknown {
    // "Form", "Unit" or "Application".
    virtual std::wstring GetCreatorType() = 0;
    virtual bool GetExisting() = 0;
    virtual std::wstring GetFileSystem() = 0;
    // The project (for a module) or project group (for a project) to add to, or empty.
    virtual TComPtr<IOTAModule> GetOwner() = 0;
    virtual bool GetUnnamed() = 0;
};
TAMREL_INTERFACE_ID(IOTACreator, IUnknown, 0x1EBFA0E9, 0x195C, 0x47F7, 0x83, 0x98, 0x3D, 0xE2, 0x9E, 0xB3, 0x17, 0xAE)

struct IOTAModuleCreator : IOTACreator {
    virtual std::wstring GetAncestorName() = 0;
    virtual std::wstring GetImplFileName() = 0;
    virtual std::wstring GetIntfFileName() = 0;
    virtual std::wstring GetFormName() = 0;
    virtual bool GetMainForm() = 0;
    virtual bool GetShowForm() = 0;
    virtual bool GetShowSource() = 0;
    // Empty: the environment builds the form from the ancestor.
    virtual TComPtr<IOTAFile> NewFormFile(const std::wstring& formIdent, const std::wstring& ancestorIdent) = 0;
    virtual TComPtr<IOTAFile> NewImplSource(const std::wstring& moduleIdent, const std::wstring& formIdent,
                                            const std::wstring& ancestorIdent) = 0;
    virtual TComPtr<IOTAFile> NewIntfSource(const std::wstring& moduleIdent, const std::wstring& formIdent,
                                            const std::wstring& ancestorIdent) = 0;
    virtual void FormCreated(IOTAFormEditor* formEditor) = 0;
};
TAMREL_INTERFACE_ID(IOTAModuleCreator, IOTACreator, 0x56F6978D, 0xA61A, 0x4122, 0xB4, 0xCB, 0xCA, 0x16, 0x97, 0x4F, 0x42, 0xFD)

struct IOTAProjectCreator : IOTACreator {
    virtual std::wstring GetFileName() = 0;
    virtual std::wstring GetOptionFileName() = 0;
    virtual bool GetShowSource() = 0;
    // May create modules itself (through the module services) while the project is being made.
    virtual void NewDefaultModule() = 0;
    virtual TComPtr<IOTAFile> NewOptionSource(const std::wstring& projectName) = 0;
    virtual void NewProjectResource(IOTAProject* project) = 0;
    virtual TComPtr<IOTAFile> NewProjectSource(const std::wstring& projectName) = 0;
};
TAMREL_INTERFACE_ID(IOTAProjectCreator, IOTACreator, 0xDFE95519, 0xC8D3, 0x42D7, 0xA7, 0xD4, 0x22, 0xF6, 0x20, 0x78, 0xB2, 0x23)

struct IOTAProjectCreator80 : IOTAProjectCreator {
    virtual std::wstring GetProjectPersonality() = 0;
    virtual void NewDefaultProjectModule(IOTAProject* project) = 0;
};
TAMREL_INTERFACE_ID(IOTAProjectCreator80, IOTAProjectCreator, 0xEDBE89C9, 0x3CD0, 0x4B48, 0xA8, 0xDA, 0x00, 0x83, 0x06, 0x7F, 0x04, 0x38)

struct IOTAModuleNotifier : IOTANotifier {
    // Whether the module may overwrite its file.
    virtual bool CheckOverwrite() = 0;
    virtual void ModuleRenamed(const std::wstring& newName) = 0;
};
TAMREL_INTERFACE_ID(IOTAModuleNotifier, IOTANotifier, 0x64A5918B, 0x03D8, 0x4BEC, 0x8A, 0x9A, 0x23, 0x9B, 0xC5, 0xE1, 0xC7, 0x61)

TAMREL_ENUM(TOTAFileNotification, ofnFileOpening, ofnFileOpened, ofnFileClosing, ofnDefaultDesktopLoad,
            ofnDefaultDesktopSave, ofnProjectDesktopLoad, ofnProjectDesktopSave, ofnPackageInstalled,
            ofnPackageUninstalled, ofnActiveProjectChanged);

struct IOTAIDENotifier : IOTANotifier {
    virtual void FileNotification(TOTAFileNotification notifyCode, const std::wstring& fileName, bool& cancel) = 0;
    virtual void BeforeCompile(IOTAProject* project, bool& cancel) = 0;
    virtual void AfterCompile(bool succeeded) = 0;
};
TAMREL_INTERFACE_ID(IOTAIDENotifier, IOTANotifier, 0xE052204F, 0xECE9, 0x11D1, 0xAB, 0x19, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3)

TAMREL_ENUM(TEditAction, eaUndo, eaRedo, eaCut, eaCopy, eaPaste, eaDelete, eaSelectAll, eaPrint);
TAMREL_ENUM(TEditStateFlag, esCanUndo, esCanRedo, esCanCut, esCanCopy, esCanPaste, esCanDelete, esCanSelectAll,
            esCanPrint);
using TEditState = TSet<TEditStateFlag>;

// An extra page of the code editor window, whose content is a frame.
struct INTACustomEditorSubView : IUnknown {
    virtual bool CanCloneView() = 0;
    virtual std::wstring GetCaption() = 0;
    virtual int32_t GetPriority() = 0;
    virtual std::wstring GetViewIdentifier() = 0;
    virtual void Display(IUnknown* context, TObject* viewObject) = 0;
    virtual bool EditAction(IUnknown* context, TEditAction action, TObject* viewObject) = 0;
    virtual TEditState GetEditState(IUnknown* context, TObject* viewObject) = 0;
    virtual bool Handles(IUnknown* context) = 0;
    virtual void Hide(IUnknown* context, TObject* viewObject) = 0;
    virtual void ViewClosed(IUnknown* context, TObject* viewObject) = 0;
    // The class of the frame the page shows, or null.
    virtual const TClassInfo* GetFrameClass() = 0;
    virtual void FrameCreated(TComponent* frame) = 0;
};
TAMREL_INTERFACE_ID(INTACustomEditorSubView, IUnknown, 0x655AA26C, 0x5898, 0x4DB5, 0xB2, 0x1F, 0x4F, 0x55, 0xE9, 0xB2, 0xB4, 0x07)

// ---------------------------------------------------------------------------------------------
// Editors and modules

struct IOTAEditor : IUnknown {
    virtual std::wstring GetFileName() = 0;
    virtual TComPtr<IOTAModule> GetModule() = 0;
    // Whether the buffer was changed since it was opened or last saved.
    virtual bool GetModified() = 0;
};
TAMREL_INTERFACE_ID(IOTAEditor, IUnknown, 0x3067601D, 0xADD7, 0x4E42, 0xBB, 0xB8, 0x74, 0xBD, 0x20, 0xCC, 0xC3, 0x64)

struct IOTAEditReader : IUnknown {
    // Copies up to Count bytes from Position into Buffer; answers the number copied (fewer than
    // asked: the end of the text).
    virtual int32_t GetText(int32_t position, char* buffer, int32_t count) = 0;
};
TAMREL_INTERFACE_ID(IOTAEditReader, IUnknown, 0xD7BEA1AB, 0xD033, 0x43F1, 0xA5, 0x4F, 0x60, 0x93, 0x9F, 0xEA, 0x9C, 0xBC)

// Rewrites a buffer front to back: the text of the buffer as it was when the writer was made is
// copied or skipped up to positions that never go back, with insertions between; releasing the
// writer appends the rest. Everything one writer does is one undo step.
struct IOTAEditWriter : IUnknown {
    // Copies the old text from the current position up to Position; a position before the
    // current one raises.
    virtual void CopyTo(int32_t position) = 0;
    // Skips the old text up to Position; a position before the current one raises.
    virtual void DeleteTo(int32_t position) = 0;
    virtual void Insert(const char* text) = 0;
    // The position in the old text.
    virtual int32_t GetCurrentPos() = 0;
};
TAMREL_INTERFACE_ID(IOTAEditWriter, IUnknown, 0xBCAEFAB9, 0x14EA, 0x48C1, 0x9A, 0xF8, 0xD4, 0x4D, 0x85, 0x0D, 0xB9, 0xC8)

struct IOTASourceEditor : IOTAEditor {
    virtual TComPtr<IOTAEditReader> CreateReader() = 0;
    // Raises while another writer of the buffer is alive.
    virtual TComPtr<IOTAEditWriter> CreateUndoableWriter() = 0;
};
TAMREL_INTERFACE_ID(IOTASourceEditor, IOTAEditor, 0x4D460588, 0x10A6, 0x4CAD, 0x87, 0xE7, 0x56, 0x54, 0x26, 0x60, 0x73, 0xF9)

// Answered by a source editor: the whole text as a stream.
struct IOTAEditorContent : IUnknown {
    // A stream over a copy of the text, positioned at 0.
    virtual TComPtr<IStream> GetContent() = 0;
    // Replaces the whole text with the stream's bytes from its start (one undo step).
    virtual void SetContent(IStream* content) = 0;
};
TAMREL_INTERFACE_ID(IOTAEditorContent, IUnknown, 0x748FB436, 0x59B9, 0x495D, 0x8A, 0xC8, 0x80, 0x7C, 0xF6, 0x62, 0x29, 0x67)

// A component on a form designer surface.
struct IOTAComponent : IUnknown {
    virtual std::wstring GetComponentType() = 0;
    // Sets a published property from its text form (numbers, True/False, enumeration value
    // names, strings as they are); false for a property the component does not publish or a
    // value that does not fit.
    virtual bool SetPropByName(const std::wstring& name, const std::wstring& value) = 0;
    virtual bool GetPropValueByName(const std::wstring& name, std::wstring& value) = 0;
};
TAMREL_INTERFACE_ID(IOTAComponent, IUnknown, 0x72CC6684, 0x9F50, 0x4C7F, 0x99, 0xCE, 0xC0, 0x96, 0xE5, 0xC4, 0x42, 0x62)

// Answered by a designer component: the component object itself.
struct INTAComponent : IUnknown {
    virtual TComponent* GetComponent() = 0;
};
TAMREL_INTERFACE_ID(INTAComponent, IUnknown, 0x919B4CCC, 0x23E7, 0x402E, 0xBF, 0x57, 0xE2, 0x77, 0x44, 0xB9, 0x2B, 0x0D)

struct IOTAFormEditor : IOTAEditor {
    virtual TComPtr<IOTAComponent> GetRootComponent() = 0;
};
TAMREL_INTERFACE_ID(IOTAFormEditor, IOTAEditor, 0xDA0B3C3C, 0x7574, 0x440D, 0xAF, 0x5D, 0x86, 0x52, 0x1E, 0x40, 0xA4, 0xDF)

struct IOTAModule : IUnknown {
    virtual std::wstring GetFileName() = 0;
    // The module's editors: its source, then its form when it has one.
    virtual int32_t GetModuleFileCount() = 0;
    virtual TComPtr<IOTAEditor> GetModuleFileEditor(int32_t index) = 0;
    virtual TComPtr<IOTAEditor> GetCurrentEditor() = 0;
    virtual int32_t AddNotifier(IOTAModuleNotifier* notifier) = 0;
    virtual void RemoveNotifier(int32_t index) = 0;
    // Forced: without asking the user to save.
    virtual bool CloseModule(bool forceClosed) = 0;
    // Writes the module's buffers to its files.
    virtual bool Save(bool changeName, bool forceSave) = 0;
};
TAMREL_INTERFACE_ID(IOTAModule, IUnknown, 0x677B502D, 0xD0F9, 0x491C, 0xAC, 0x0C, 0x09, 0x21, 0x69, 0x20, 0x08, 0x7C)

struct IOTAProject : IOTAModule {
    // The units the project holds, by file name.
    virtual int32_t GetUnitCount() = 0;
    virtual std::wstring GetUnitFileName(int32_t index) = 0;
};
TAMREL_INTERFACE_ID(IOTAProject, IOTAModule, 0x1281A4E2, 0x54AB, 0x4CA2, 0x80, 0x23, 0x37, 0x35, 0xDA, 0xAE, 0xDB, 0xE0)

struct IOTAProjectGroup : IOTAModule {
    // Empty when the group holds no project.
    virtual TComPtr<IOTAProject> GetActiveProject() = 0;
    virtual int32_t GetProjectCount() = 0;
    virtual TComPtr<IOTAProject> GetProject(int32_t index) = 0;
};
TAMREL_INTERFACE_ID(IOTAProjectGroup, IOTAModule, 0xB9EAE73C, 0x8A03, 0x4729, 0xA2, 0x32, 0xEE, 0xE6, 0x26, 0x80, 0x1A, 0x0B)

// ---------------------------------------------------------------------------------------------
// Services

struct IOTAModuleServices : IUnknown {
    // The open modules; the project group, when there is one, comes first.
    virtual int32_t GetModuleCount() = 0;
    virtual TComPtr<IOTAModule> GetModule(int32_t index) = 0;
    // A new unit identifier that begins with Prefix, a class name (empty when the environment
    // proposes none) and the full file name of the unit.
    virtual void GetNewModuleAndClassName(const std::wstring& prefix, std::wstring& unitIdent,
                                          std::wstring& className, std::wstring& fileName) = 0;
    // Makes a module or a project from a creator; the creator's exceptions pass through.
    virtual TComPtr<IOTAModule> CreateModule(IOTACreator* creator) = 0;
    // The open module of a file (names compared without case), or empty.
    virtual TComPtr<IOTAModule> FindModule(const std::wstring& fileName) = 0;
};
TAMREL_INTERFACE_ID(IOTAModuleServices, IUnknown, 0x55A5E848, 0x27FB, 0x4880, 0x8E, 0x7C, 0x7F, 0x05, 0xA9, 0x80, 0x24, 0x82)

struct IOTAWizardServices : IUnknown {
    // Answers the index to remove it by; the environment keeps a reference until then.
    virtual int32_t AddWizard(IOTAWizard* wizard) = 0;
    virtual void RemoveWizard(int32_t index) = 0;
};
TAMREL_INTERFACE_ID(IOTAWizardServices, IUnknown, 0xB75C0CE3, 0xEEA6, 0x11D1, 0x95, 0x04, 0x00, 0x60, 0x8C, 0xCB, 0xF1, 0x53)

struct IOTAActionServices : IUnknown {
    virtual bool ReloadFile(const std::wstring& fileName) = 0;
};
TAMREL_INTERFACE_ID(IOTAActionServices, IUnknown, 0xF17A7BC9, 0xE07D, 0x11D1, 0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3)

// The notifier services.
struct IOTAServices : IUnknown {
    virtual int32_t AddNotifier(IOTAIDENotifier* notifier) = 0;
    virtual void RemoveNotifier(int32_t index) = 0;
};
TAMREL_INTERFACE_ID(IOTAServices, IUnknown, 0xD1358CFB, 0x9B5C, 0x4E6C, 0xBC, 0x4B, 0xC6, 0xD0, 0x6C, 0x66, 0x89, 0xC1)

struct IOTAEditorViewServices : IUnknown {
    // Answers the handle to unregister it by.
    virtual void* RegisterEditorSubView(INTACustomEditorSubView* subView) = 0;
    virtual void UnregisterEditorSubView(void* handle) = 0;
    // The module an editor-view context belongs to.
    virtual bool ContextToModule(IUnknown* context, TComPtr<IOTAModule>& module) = 0;
};
TAMREL_INTERFACE_ID(IOTAEditorViewServices, IUnknown, 0x75FE2D18, 0x622B, 0x4198, 0xA0, 0x92, 0xAD, 0xD1, 0xE9, 0x16, 0x12, 0xBD)

// The older tool services: an edit writer on the buffer of an open file.
struct IToolServices : IUnknown {
    virtual TComPtr<IOTAEditWriter> CreateEditWriter(const std::wstring& fileName) = 0;
};
TAMREL_INTERFACE_ID(IToolServices, IUnknown, 0x1363F2F1, 0xBC89, 0x41DD, 0xB9, 0x70, 0x36, 0x88, 0x3B, 0x8C, 0xAD, 0xEC)

// The older tool services; null without an environment or when it does not offer them.
TAMRELIDE_API IToolServices* ToolServices();

// ---------------------------------------------------------------------------------------------
// Expert libraries: the exported entry "INITWIZARD0001" (stdcall, undecorated).
//
// The environment passes its services, a routine that registers a wizard the environment then
// owns (and removes when it unloads the library), and a variable for the routine it calls
// before unloading. Answering false makes the environment unload the library.

using TWizardRegisterProc = bool(__stdcall*)(IOTAWizard* wizard);
using TWizardTerminateProc = void(__stdcall*)();
using TWizardInitProc = bool(__stdcall*)(IBorlandIDEServices* services, TWizardRegisterProc registerProc,
                                         TWizardTerminateProc* terminate);
inline constexpr char WizardEntryPoint[] = "INITWIZARD0001";

// Packages: the exported entry "Register" (stdcall, no arguments) that the environment calls once
// after loading; and, optionally, "Finalize" (stdcall, no arguments), called before unloading, so
// that a package ends what it set up while the loader lock is not held.
using TPackageProc = void(__stdcall*)();
inline constexpr char PackageRegisterEntry[] = "Register";
inline constexpr char PackageFinalizeEntry[] = "Finalize";

// ---------------------------------------------------------------------------------------------
// Design-time registration: without an environment these do nothing.

// Lets the form designer show a class (and its descendants) as a designer surface of the given
// custom-module kind.
TAMRELIDE_API void RegisterCustomModule(const TClassInfo& componentBaseClass,
                                        const std::wstring& customModuleClass = L"TCustomModule");
// Components go on a page of the palette through the host's RegisterComponents
// (host/TypeInfo.h), which the environment serves while it is installed; property editors are
// registered through ide/framework/DesignEditors.h.

} // namespace tamrel
