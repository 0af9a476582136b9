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
    explicit TOTAFile(std::wstring source) : FSource(std::move(source)) {}
    std::wstring GetSource() override { return FSource; }
    double GetAge() override { return -1; }

private:
    std::wstring FSource;
};

// The open project group (the first module that is one), or empty.
TComPtr<IOTAProjectGroup> CurrentProjectGroup();

class TWQModuleCreator : public TWQSMSBase {
    TAMREL_CLASS(TWQModuleCreator, TWQSMSBase)
public:
    explicit TWQModuleCreator(TComponent* owner) : TWQSMSBase(owner) {}

    bool UseExisting() const { return FUseExisting; }
    void SetUseExisting(bool value) { FUseExisting = value; }
    const std::wstring& AncestorName() const { return FAncestorName; }
    void SetAncestorName(const std::wstring& value) { FAncestorName = value; }
    const std::wstring& FormName() const { return FFormName; }
    void SetFormName(const std::wstring& value) { FFormName = value; }
    TCreateModuleFlags Flags() const { return FFlags; }
    void SetFlags(TCreateModuleFlags value) { FFlags = value; }
    const std::wstring& FileName() const { return FFileName; }
    void SetFileName(const std::wstring& value) { FFileName = value; }
    const std::wstring& FileSystem() const { return FFileSystem; }
    void SetFileSystem(const std::wstring& value) { FFileSystem = value; }
    TGetModuleSourceEvent OnGetSource() const { return FOnGetSource; }
    void SetOnGetSource(TGetModuleSourceEvent value) { FOnGetSource = value; }
    TModuleCreatedEvent OnModuleCreated() const { return FOnModuleCreated; }
    void SetOnModuleCreated(TModuleCreatedEvent value) { FOnModuleCreated = value; }
    TFormCreatedEvent OnFormCreated() const { return FOnFormCreated; }
    void SetOnFormCreated(TFormCreatedEvent value) { FOnFormCreated = value; }
    TGetIntfName OnGetIntfName() const { return FOnGetIntfName; }
    void SetOnGetIntfName(TGetIntfName value) { FOnGetIntfName = value; }
    TGetModuleSourceEvent OnNewIntfSource() const { return FOnNewIntfSource; }
    void SetOnNewIntfSource(TGetModuleSourceEvent value) { FOnNewIntfSource = value; }

    // Creates the unit (nothing without an environment). With cmNewUnit the environment names
    // the unit ("svc" prefix) and, when FormName is empty, the form. FormName and FileName are
    // what they were before once it returns, also when it raises: each run names its own form.
    virtual void Execute();
    std::wstring GetCreationCode() override;

    static const TCreateModuleFlags DefaultFlags;

private:
    bool FUseExisting = false;
    std::wstring FAncestorName;
    std::wstring FFormName;
    TCreateModuleFlags FFlags = DefaultFlags;
    std::wstring FFileName;
    std::wstring FFileSystem;
    TGetModuleSourceEvent FOnGetSource;
    TModuleCreatedEvent FOnModuleCreated;
    TFormCreatedEvent FOnFormCreated;
    TGetIntfName FOnGetIntfName;
    TGetModuleSourceEvent FOnNewIntfSource;
};

class TWQProjectCreator : public TWQSMSBase {
    TAMREL_CLASS(TWQProjectCreator, TWQSMSBase)
public:
    explicit TWQProjectCreator(TComponent* owner) : TWQSMSBase(owner) {}

    bool UseExisting() const { return FUseExisting; }
    void SetUseExisting(bool value) { FUseExisting = value; }
    TCreateProjectFlags Flags() const { return FFlags; }
    void SetFlags(TCreateProjectFlags value) { FFlags = value; }
    const std::wstring& FileName() const { return FFileName; }
    void SetFileName(const std::wstring& value) { FFileName = value; }
    const std::wstring& FileSystem() const { return FFileSystem; }
    void SetFileSystem(const std::wstring& value) { FFileSystem = value; }
    // Not owned; cleared when that component goes.
    TWQModuleCreator* MainModule() const { return FMainModule; }
    void SetMainModule(TWQModuleCreator* value);
    TGetProjectSourceEvent OnGetSource() const { return FOnGetSource; }
    void SetOnGetSource(TGetProjectSourceEvent value) { FOnGetSource = value; }
    TModuleCreatedEvent OnResourceCreated() const { return FOnResourceCreated; }
    void SetOnResourceCreated(TModuleCreatedEvent value) { FOnResourceCreated = value; }

    // Creates the project (nothing without an environment).
    virtual void Execute();
    std::wstring GetCreationCode() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    bool FUseExisting = false;
    TCreateProjectFlags FFlags;
    std::wstring FFileName;
    std::wstring FFileSystem;
    TWQModuleCreator* FMainModule = nullptr;
    TGetProjectSourceEvent FOnGetSource;
    TModuleCreatedEvent FOnResourceCreated;
};

// The environment-side creator of a unit with a form; reads its component at each call.
class TWQIModuleCreator : public TInterfaced<IOTAModuleCreator> {
public:
    explicit TWQIModuleCreator(TWQModuleCreator* creator) : FCreator(creator) {}

    std::wstring GetCreatorType() override { return L"Form"; }
    bool GetExisting() override { return FCreator->UseExisting(); }
    std::wstring GetFileSystem() override { return FCreator->FileSystem(); }
    // The active project of the open project group, or empty.
    TComPtr<IOTAModule> GetOwner() override;
    bool GetUnnamed() override { return true; }
    std::wstring GetAncestorName() override { return FCreator->AncestorName(); }
    std::wstring GetImplFileName() override { return FCreator->FileName(); }
    std::wstring GetIntfFileName() override { return {}; }
    std::wstring GetFormName() override { return FCreator->FormName(); }
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
    TWQModuleCreator* FCreator;
};

// The environment-side creator of a project.
class TWQIProjectCreator : public TInterfaced<IOTAProjectCreator80> {
public:
    explicit TWQIProjectCreator(TWQProjectCreator* creator) : FCreator(creator) {}

    std::wstring GetCreatorType() override { return L"Application"; }
    bool GetExisting() override { return FCreator->UseExisting(); }
    std::wstring GetFileSystem() override { return FCreator->FileSystem(); }
    // The open project group, or empty.
    TComPtr<IOTAModule> GetOwner() override;
    bool GetUnnamed() override { return true; }
    std::wstring GetFileName() override { return FCreator->FileName(); }
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
    TWQProjectCreator* FCreator;
};

} // namespace tamrel
