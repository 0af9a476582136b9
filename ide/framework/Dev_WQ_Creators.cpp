#include "ide/framework/Dev_WQ_Creators.h"

#include "host/SysUtils.h"
#include "ide/framework/Dev_WQ_Experts.h"

namespace tamrel {

TComPtr<IOTAProjectGroup> CurrentProjectGroup() {
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    if (!modules) return {};
    const int32_t count = modules->GetModuleCount();
    for (int32_t i = 0; i < count; ++i)
        if (auto group = modules->GetModule(i).As<IOTAProjectGroup>()) return group;
    return {};
}

namespace {

// The lines shared by both creators' creation code: UseExisting and the flags in bit order.
template <class E>
std::wstring ExistingAndFlags(const std::wstring& name, bool useExisting, TSet<E> flags) {
    std::wstring code = L"    " + name + L".UseExisting := " + (useExisting ? L"True" : L"False") + L";\r\n";
    code += L"    " + name + L".Flags := [];\r\n";
    const TEnumInfo& info = EnumInfoOf(E{});
    for (int i = 0; i < info.Count(); ++i)
        if (flags.Contains(static_cast<E>(i)))
            code += L"    " + name + L".Flags := " + name + L".Flags + [" + info.Name(i) + L"];\r\n";
    return code;
}

std::wstring Assignment(const std::wstring& name, const wchar_t* property, const std::wstring& value) {
    return L"    " + name + L"." + property + L" := '" + PasQuoted(value) + L"';\r\n";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TWQModuleCreator

const TCreateModuleFlags TWQModuleCreator::DefaultFlags{cmAddToProject, cmShowSource, cmShowForm, cmUnNamed,
                                                        cmMarkModified};

TAMREL_IMPLEMENT_CLASS(TWQModuleCreator) {
    b.Boolean(L"UseExisting", &TWQModuleCreator::UseExisting, &TWQModuleCreator::SetUseExisting, false);
    b.String(L"AncestorName", &TWQModuleCreator::AncestorName, &TWQModuleCreator::SetAncestorName);
    b.String(L"FormName", &TWQModuleCreator::FormName, &TWQModuleCreator::SetFormName);
    b.Set(L"Flags", &TWQModuleCreator::Flags, &TWQModuleCreator::SetFlags, TWQModuleCreator::DefaultFlags);
    b.String(L"FileName", &TWQModuleCreator::FileName, &TWQModuleCreator::SetFileName);
    b.String(L"FileSystem", &TWQModuleCreator::FileSystem, &TWQModuleCreator::SetFileSystem);
    b.Event(L"OnGetSource", &TWQModuleCreator::OnGetSource, &TWQModuleCreator::SetOnGetSource);
    b.Event(L"OnModuleCreated", &TWQModuleCreator::OnModuleCreated, &TWQModuleCreator::SetOnModuleCreated);
    b.Event(L"OnFormCreated", &TWQModuleCreator::OnFormCreated, &TWQModuleCreator::SetOnFormCreated);
    b.Event(L"OnGetIntfName", &TWQModuleCreator::OnGetIntfName, &TWQModuleCreator::SetOnGetIntfName);
    b.Event(L"OnNewIntfSource", &TWQModuleCreator::OnNewIntfSource, &TWQModuleCreator::SetOnNewIntfSource);
}

void TWQModuleCreator::Execute() {
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    if (!modules) return;
    // The names of one run are that run's: the next one starts from the design-time values.
    struct TRestore {
        TWQModuleCreator& Creator;
        std::wstring FormName = Creator.FFormName, FileName = Creator.FFileName;
        ~TRestore() {
            Creator.FFormName = std::move(FormName);
            Creator.FFileName = std::move(FileName);
        }
    } restore{*this};
    if (FFlags.Contains(cmNewUnit)) {
        std::wstring unitIdent, className, fileName;
        modules->GetNewModuleAndClassName(L"svc", unitIdent, className, fileName);
        FFileName = fileName;
        if (FFormName.empty()) FFormName = !className.empty() ? className : FAncestorName + unitIdent.substr(std::min<size_t>(3, unitIdent.size()));
    }
    TComPtr<IOTAModule> module = modules->CreateModule(MakeInterfaced<TWQIModuleCreator, IOTACreator>(this).Get());
    if (FOnModuleCreated) FOnModuleCreated(this, module.Get());
}

std::wstring TWQModuleCreator::GetCreationCode() {
    const std::wstring& n = Name();
    return ExistingAndFlags(n, FUseExisting, FFlags) + Assignment(n, L"FileName", FFileName) +
           Assignment(n, L"FileSystem", FFileSystem) + Assignment(n, L"AncestorName", FAncestorName);
}

// ---------------------------------------------------------------------------------------------
// TWQProjectCreator

TAMREL_IMPLEMENT_CLASS(TWQProjectCreator) {
    b.Boolean(L"UseExisting", &TWQProjectCreator::UseExisting, &TWQProjectCreator::SetUseExisting, false);
    b.Set(L"Flags", &TWQProjectCreator::Flags, &TWQProjectCreator::SetFlags, TCreateProjectFlags{});
    b.String(L"FileName", &TWQProjectCreator::FileName, &TWQProjectCreator::SetFileName);
    b.String(L"FileSystem", &TWQProjectCreator::FileSystem, &TWQProjectCreator::SetFileSystem);
    b.Component(L"MainModule", &TWQProjectCreator::MainModule, &TWQProjectCreator::SetMainModule);
    b.Event(L"OnGetSource", &TWQProjectCreator::OnGetSource, &TWQProjectCreator::SetOnGetSource);
    b.Event(L"OnResourceCreated", &TWQProjectCreator::OnResourceCreated, &TWQProjectCreator::SetOnResourceCreated);
}

void TWQProjectCreator::SetMainModule(TWQModuleCreator* value) {
    if (value == FMainModule) return;
    if (FMainModule) FMainModule->RemoveFreeNotification(this);
    FMainModule = value;
    if (value) value->FreeNotification(this);
}

void TWQProjectCreator::Notification(TComponent* component, TOperation operation) {
    TWQSMSBase::Notification(component, operation);
    if (operation == opRemove && component == FMainModule) FMainModule = nullptr;
}

void TWQProjectCreator::Execute() {
    if (TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>())
        modules->CreateModule(MakeInterfaced<TWQIProjectCreator, IOTACreator>(this).Get());
}

std::wstring TWQProjectCreator::GetCreationCode() {
    const std::wstring& n = Name();
    return ExistingAndFlags(n, FUseExisting, FFlags) + Assignment(n, L"FileName", FFileName) +
           Assignment(n, L"FileSystem", FFileSystem) + L"    " + n + L".MainModule := " +
           (FMainModule ? FMainModule->Name() : std::wstring(L"nil")) + L";\r\n";
}

// ---------------------------------------------------------------------------------------------
// The environment-side creators

TComPtr<IOTAModule> TWQIModuleCreator::GetOwner() {
    TComPtr<IOTAProjectGroup> group = CurrentProjectGroup();
    return group ? TComPtr<IOTAModule>(group->GetActiveProject()) : TComPtr<IOTAModule>();
}

TComPtr<IOTAFile> TWQIModuleCreator::NewImplSource(const std::wstring& moduleIdent, const std::wstring& formIdent,
                                                   const std::wstring& ancestorIdent) {
    if (FCreator->FormName().empty()) FCreator->SetFormName(formIdent);
    if (!FCreator->OnGetSource()) throw Exception(L"Unable to generate module source");
    return MakeInterfaced<TOTAFile, IOTAFile>(FCreator->OnGetSource()(FCreator, moduleIdent, formIdent, ancestorIdent));
}

void TWQIModuleCreator::FormCreated(IOTAFormEditor* formEditor) {
    if (FCreator->OnFormCreated()) FCreator->OnFormCreated()(FCreator, formEditor);
}

TComPtr<IOTAModule> TWQIProjectCreator::GetOwner() { return TComPtr<IOTAModule>(CurrentProjectGroup()); }

void TWQIProjectCreator::NewDefaultModule() {
    if (FCreator->MainModule()) FCreator->MainModule()->Execute();
}

void TWQIProjectCreator::NewProjectResource(IOTAProject* project) {
    if (FCreator->OnResourceCreated()) FCreator->OnResourceCreated()(FCreator, project);
}

TComPtr<IOTAFile> TWQIProjectCreator::NewProjectSource(const std::wstring& projectName) {
    if (!FCreator->OnGetSource()) throw Exception(L"Unable to generate project source");
    return MakeInterfaced<TOTAFile, IOTAFile>(FCreator->OnGetSource()(FCreator, projectName));
}

} // namespace tamrel
