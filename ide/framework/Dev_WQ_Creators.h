// Module and project creators: components that let a wizard's data module create a new unit
// with a form, or a whole project, in the environment. The creation details are published
// properties; the source texts come from event handlers. Executing one hands a short-lived
// environment-side creator (TWQIModuleCreator, TWQIProjectCreator) to the module services,
// which call back for names, options and source.
#pragma once

#include "ide/framework/IdeServices.h"
#include "ide/framework/WQ_SMSBase.h"

#include <string>

namespace tamrel {

class TWQModuleCreator;
class TWQProjectCreator;

// Source of a new unit from its unit, form and ancestor identifiers.
using TGetModuleSourceEvent = TMethod<std::wstring(TObject* Sender, const std::wstring& ModuleIdent,
                                                   const std::wstring& FormIdent, const std::wstring& AncestorIdent)>;
using TModuleCreatedEvent = TMethod<void(TObject* Sender, IOTAModule* Module)>;
using TFormCreatedEvent = TMethod<void(TObject* Sender, IOTAFormEditor* FormEditor)>;
using TGetIntfName = TMethod<std::wstring(TObject* Sender)>;
// Source of a new project from its name.
using TGetProjectSourceEvent = TMethod<std::wstring(TObject* Sender, const std::wstring& ProjectName)>;

// The text of a file a creator makes; it has no date.
class TOTAFile : public TInterfaced<IOTAFile> {
public:
    explicit TOTAFile(std::wstring source) : _Source(std::move(source)) {}
    std::wstring GetSource() override { return _Source; }
    double GetAge() override { return -1; }

private:
    std::wstring _Source;
};

// The open project group (the first module that is one), or empty.
TComPtr<IOTAProjectGroup> CurrentProjectGroup();

class TWQModuleCreator : public TWQSMSBase {
    TAMREL_CLASS(TWQModuleCreator, TWQSMSBase)
public:
    explicit TWQModuleCreator(TComponent* owner) : TWQSMSBase(owner) {}

    bool UseExisting() const { return _UseExisting; }
    void SetUseExisting(bool value) { _UseExisting = value; }
    const std::wstring& AncestorName() const { return _AncestorName; }
    void SetAncestorName(const std::wstring& value) { _AncestorName = value; }
    const std::wstring& FormName() const { return _FormName; }
    void SetFormName(const std::wstring& value) { _FormName = value; }
    TCreateModuleFlags Flags() const { return _Flags; }
    void SetFlags(TCreateModuleFlags value) { _Flags = value; }
    const std::wstring& FileName() const { return _FileName; }
    void SetFileName(const std::wstring& value) { _FileName = value; }
    const std::wstring& FileSystem() const { return _FileSystem; }
    void SetFileSystem(const std::wstring& value) { _FileSystem = value; }
    TGetModuleSourceEvent OnGetSource() const { return _OnGetSource; }
    void SetOnGetSource(TGetModuleSourceEvent value) { _OnGetSource = value; }
    TModuleCreatedEvent OnModuleCreated() const { return _OnModuleCreated; }
    void SetOnModuleCreated(TModuleCreatedEvent value) { _OnModuleCreated = value; }
    TFormCreatedEvent OnFormCreated() const { return _OnFormCreated; }
    void SetOnFormCreated(TFormCreatedEvent value) { _OnFormCreated = value; }
    TGetIntfName OnGetIntfName() const { return _OnGetIntfName; }
    void SetOnGetIntfName(TGetIntfName value) { _OnGetIntfName = value; }
    TGetModuleSourceEvent OnNewIntfSource() const { return _OnNewIntfSource; }
    void SetOnNewIntfSource(TGetModuleSourceEvent value) { _OnNewIntfSource = value; }

    // Creates the unit (nothing without an environment). With cmNewUnit the environment names
    // the unit ("svc" prefix) and, when FormName is empty, the form. FormName and FileName are
    // what they were before once it returns, also when it raises: each run names its own form.
    virtual void Execute();
    std::wstring GetCreationCode() override;

    static const TCreateModuleFlags DefaultFlags;

private:
    bool _UseExisting = false;
    std::wstring _AncestorName;
    std::wstring _FormName;
    TCreateModuleFlags _Flags = DefaultFlags;
    std::wstring _FileName;
    std::wstring _FileSystem;
    TGetModuleSourceEvent _OnGetSource;
    TModuleCreatedEvent _OnModuleCreated;
    TFormCreatedEvent _OnFormCreated;
    TGetIntfName _OnGetIntfName;
    TGetModuleSourceEvent _OnNewIntfSource;
};

class TWQProjectCreator : public TWQSMSBase {
    TAMREL_CLASS(TWQProjectCreator, TWQSMSBase)
public:
    explicit TWQProjectCreator(TComponent* owner) : TWQSMSBase(owner) {}

    bool UseExisting() const { return _UseExisting; }
    void SetUseExisting(bool value) { _UseExisting = value; }
    TCreateProjectFlags Flags() const { return _Flags; }
    void SetFlags(TCreateProjectFlags value) { _Flags = value; }
    const std::wstring& FileName() const { return _FileName; }
    void SetFileName(const std::wstring& value) { _FileName = value; }
    const std::wstring& FileSystem() const { return _FileSystem; }
    void SetFileSystem(const std::wstring& value) { _FileSystem = value; }
    // Not owned; cleared when that component goes.
    TWQModuleCreator* MainModule() const { return _MainModule; }
    void SetMainModule(TWQModuleCreator* value);
    TGetProjectSourceEvent OnGetSource() const { return _OnGetSource; }
    void SetOnGetSource(TGetProjectSourceEvent value) { _OnGetSource = value; }
    TModuleCreatedEvent OnResourceCreated() const { return _OnResourceCreated; }
    void SetOnResourceCreated(TModuleCreatedEvent value) { _OnResourceCreated = value; }

    // Creates the project (nothing without an environment).
    virtual void Execute();
    std::wstring GetCreationCode() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    bool _UseExisting = false;
    TCreateProjectFlags _Flags;
    std::wstring _FileName;
    std::wstring _FileSystem;
    TWQModuleCreator* _MainModule = nullptr;
    TGetProjectSourceEvent _OnGetSource;
    TModuleCreatedEvent _OnResourceCreated;
};

// The environment-side creator of a unit with a form; reads its component at each call.
class TWQIModuleCreator : public TInterfaced<IOTAModuleCreator> {
public:
    explicit TWQIModuleCreator(TWQModuleCreator* creator) : _Creator(creator) {}

    std::wstring GetCreatorType() override { return L"Form"; }
    bool GetExisting() override { return _Creator->UseExisting(); }
    std::wstring GetFileSystem() override { return _Creator->FileSystem(); }
    // The active project of the open project group, or empty.
    TComPtr<IOTAModule> GetOwner() override;
    bool GetUnnamed() override { return true; }
    std::wstring GetAncestorName() override { return _Creator->AncestorName(); }
    std::wstring GetImplFileName() override { return _Creator->FileName(); }
    std::wstring GetIntfFileName() override { return {}; }
    std::wstring GetFormName() override { return _Creator->FormName(); }
    bool GetMainForm() override { return false; }
    bool GetShowForm() override { return true; }
    bool GetShowSource() override { return true; }
    TComPtr<IOTAFile> NewFormFile(const std::wstring&, const std::wstring&) override { return {}; }
    // Names the form after the environment's form identifier when FormName is empty; raises
    // "Unable to generate module source" without an OnGetSource handler.
    TComPtr<IOTAFile> NewImplSource(const std::wstring& moduleIdent, const std::wstring& formIdent,
                                    const std::wstring& ancestorIdent) override;
    TComPtr<IOTAFile> NewIntfSource(const std::wstring&, const std::wstring&, const std::wstring&) override { return {}; }
    void FormCreated(IOTAFormEditor* formEditor) override;

private:
    TWQModuleCreator* _Creator;
};

// The environment-side creator of a project.
class TWQIProjectCreator : public TInterfaced<IOTAProjectCreator80> {
public:
    explicit TWQIProjectCreator(TWQProjectCreator* creator) : _Creator(creator) {}

    std::wstring GetCreatorType() override { return L"Application"; }
    bool GetExisting() override { return _Creator->UseExisting(); }
    std::wstring GetFileSystem() override { return _Creator->FileSystem(); }
    // The open project group, or empty.
    TComPtr<IOTAModule> GetOwner() override;
    bool GetUnnamed() override { return true; }
    std::wstring GetFileName() override { return _Creator->FileName(); }
    std::wstring GetOptionFileName() override { return {}; }
    bool GetShowSource() override { return true; }
    // Runs the main module's creator, when there is one.
    void NewDefaultModule() override;
    TComPtr<IOTAFile> NewOptionSource(const std::wstring&) override { return {}; }
    void NewProjectResource(IOTAProject* project) override;
    // Raises "Unable to generate project source" without an OnGetSource handler.
    TComPtr<IOTAFile> NewProjectSource(const std::wstring& projectName) override;
    std::wstring GetProjectPersonality() override { return L"Delphi.Personality"; }
    void NewDefaultProjectModule(IOTAProject*) override {}

private:
    TWQProjectCreator* _Creator;
};

} // namespace tamrel
