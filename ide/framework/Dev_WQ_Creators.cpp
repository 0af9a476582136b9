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
        std::wstring FormName = Creator._FormName, FileName = Creator._FileName;
        ~TRestore() {
            Creator._FormName = std::move(FormName);
            Creator._FileName = std::move(FileName);
        }
    } restore{*this};
    if (_Flags.Contains(cmNewUnit)) {
        std::wstring unitIdent, className, fileName;
        modules->GetNewModuleAndClassName(L"svc", unitIdent, className, fileName);
        _FileName = fileName;
        if (_FormName.empty()) _FormName = !className.empty() ? className : _AncestorName + unitIdent.substr(std::min<size_t>(3, unitIdent.size()));
    }
    TComPtr<IOTAModule> module = modules->CreateModule(MakeInterfaced<TWQIModuleCreator, IOTACreator>(this).Get());
    if (_OnModuleCreated) _OnModuleCreated(this, module.Get());
}

std::wstring TWQModuleCreator::GetCreationCode() {
    const std::wstring& n = Name();
    return ExistingAndFlags(n, _UseExisting, _Flags) + Assignment(n, L"FileName", _FileName) +
           Assignment(n, L"FileSystem", _FileSystem) + Assignment(n, L"AncestorName", _AncestorName);
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
    if (value == _MainModule) return;
    if (_MainModule) _MainModule->RemoveFreeNotification(this);
    _MainModule = value;
    if (value) value->FreeNotification(this);
}

void TWQProjectCreator::Notification(TComponent* component, TOperation operation) {
    TWQSMSBase::Notification(component, operation);
    if (operation == opRemove && component == _MainModule) _MainModule = nullptr;
}

void TWQProjectCreator::Execute() {
    if (TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>())
        modules->CreateModule(MakeInterfaced<TWQIProjectCreator, IOTACreator>(this).Get());
}

std::wstring TWQProjectCreator::GetCreationCode() {
    const std::wstring& n = Name();
    return ExistingAndFlags(n, _UseExisting, _Flags) + Assignment(n, L"FileName", _FileName) +
           Assignment(n, L"FileSystem", _FileSystem) + L"    " + n + L".MainModule := " +
           (_MainModule ? _MainModule->Name() : std::wstring(L"nil")) + L";\r\n";
}

// ---------------------------------------------------------------------------------------------
// The environment-side creators

TComPtr<IOTAModule> TWQIModuleCreator::GetOwner() {
    TComPtr<IOTAProjectGroup> group = CurrentProjectGroup();
    return group ? TComPtr<IOTAModule>(group->GetActiveProject()) : TComPtr<IOTAModule>();
}

TComPtr<IOTAFile> TWQIModuleCreator::NewImplSource(const std::wstring& moduleIdent, const std::wstring& formIdent,
                                                   const std::wstring& ancestorIdent) {
    if (_Creator->FormName().empty()) _Creator->SetFormName(formIdent);
    if (!_Creator->OnGetSource()) throw Exception(L"Unable to generate module source");
    return MakeInterfaced<TOTAFile, IOTAFile>(_Creator->OnGetSource()(_Creator, moduleIdent, formIdent, ancestorIdent));
}

void TWQIModuleCreator::FormCreated(IOTAFormEditor* formEditor) {
    if (_Creator->OnFormCreated()) _Creator->OnFormCreated()(_Creator, formEditor);
}

TComPtr<IOTAModule> TWQIProjectCreator::GetOwner() { return TComPtr<IOTAModule>(CurrentProjectGroup()); }

void TWQIProjectCreator::NewDefaultModule() {
    if (_Creator->MainModule()) _Creator->MainModule()->Execute();
}

void TWQIProjectCreator::NewProjectResource(IOTAProject* project) {
    if (_Creator->OnResourceCreated()) _Creator->OnResourceCreated()(_Creator, project);
}

TComPtr<IOTAFile> TWQIProjectCreator::NewProjectSource(const std::wstring& projectName) {
    if (!_Creator->OnGetSource()) throw Exception(L"Unable to generate project source");
    return MakeInterfaced<TOTAFile, IOTAFile>(_Creator->OnGetSource()(_Creator, projectName));
}

} // namespace tamrel
