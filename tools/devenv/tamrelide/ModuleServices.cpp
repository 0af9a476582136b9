// The module services: the open modules, names for new units, creation from module and project
// creators (the order of the callbacks is documented in TamrelIde.h), look-up by file name.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/SysUtils.h"

namespace tamrel {

namespace {

TIdeField Answer(const std::wstring& value) { return TextField(L"answer", value); }
TIdeField Answer(bool value) { return TextField(L"answer", value ? L"True" : L"False"); }
TIdeField Answer(const TComPtr<IOTAModule>& value) { return TextField(L"answer", value ? value->GetFileName() : L"nil"); }
TIdeField Answer(const TComPtr<IOTAFile>& value) {
    return value ? NumField(L"bytes", static_cast<int64_t>(value->GetSource().size())) : TextField(L"answer", L"nil");
}

// One call of a creator, recorded with its answer; an exception is recorded and passed on.
template <class F> auto Ask(TIdeHostImpl& host, const wchar_t* call, F f) {
    try {
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            host.Record(L"creator", call, {}, L"");
        } else {
            auto answer = f();
            host.Record(L"creator", call, {Answer(answer)}, L"");
            return answer;
        }
    } catch (...) {
        host.Record(L"creator", call, {TextField(L"message", CurrentExceptionText())}, L"exception");
        throw;
    }
}

struct TCreatorAnswers {
    std::wstring Type;
    TComPtr<IOTAModule> Owner;
};

TCreatorAnswers AskCreator(TIdeHostImpl& host, IOTACreator& creator) {
    TCreatorAnswers a;
    a.Type = Ask(host, L"GetCreatorType", [&] { return creator.GetCreatorType(); });
    Ask(host, L"GetExisting", [&] { return creator.GetExisting(); });
    Ask(host, L"GetFileSystem", [&] { return creator.GetFileSystem(); });
    a.Owner = Ask(host, L"GetOwner", [&] { return creator.GetOwner(); });
    Ask(host, L"GetUnnamed", [&] { return creator.GetUnnamed(); });
    return a;
}

std::string SourceText(const TComPtr<IOTAFile>& file) { return file ? WideToAnsi(file->GetSource()) : std::string(); }

// A file name a creator gave: relative ones are taken in the work folder.
std::wstring FullFileName(const TIdeHostImpl& host, const std::wstring& name) {
    const bool absolute = name.size() > 1 && (name[1] == L':' || (name[0] == L'\\' && name[1] == L'\\'));
    return absolute ? name : host.FileInWorkFolder(name);
}

std::wstring BaseName(const std::wstring& fileName) { return ChangeFileExt(ExtractFileName(fileName), L""); }

void CheckNotOpen(TIdeHostImpl& host, const std::wstring& fileName) {
    if (host.FindModule(fileName)) throw EInvalidOperation(L"%s is open already", fileName);
}

// The class a form's root is made of: registered as a custom module or known to the class
// registry, named with or without its T; else one of the environment's own ancestors. Null for
// an ancestor whose units have no designer (automation objects are code only).
const TClassInfo* AncestorClass(const TIdeHostImpl& host, const std::wstring& ancestor) {
    // No ancestor: nothing to design, the module is a plain unit.
    if (ancestor.empty()) return nullptr;
    for (const std::wstring& name : {L"T" + ancestor, ancestor}) {
        for (const auto& [cls, kind] : host.CustomModules)
            if (SameText(cls->Name(), name)) return cls;
        if (const TClassInfo* cls = GetClass(name)) return cls;
    }
    if (SameText(ancestor, L"AutoObject")) return nullptr;
    // A remote data module is designed as a data module.
    if (SameText(ancestor, L"RemoteDataModule")) return &TDataModule::StaticClassInfo();
    throw EClassNotFound(L"No class is registered for the ancestor '%s'", ancestor);
}

// A class name Stem<n> that no open form and no unit goes by, and that differs from the new
// unit's own name: a program that uses the unit names the form's variable by it, which it could
// not do if unit and variable had one name.
std::wstring NewClassIdent(const TIdeHostImpl& host, const std::wstring& stem, const std::wstring& unitIdent) {
    for (int n = 1;; ++n) {
        const std::wstring name = stem + IntToStr(n);
        bool used = SameText(name, unitIdent) || FileExists(host.FileInWorkFolder(name + L".pas"));
        for (const auto& m : host.Modules) {
            const TIdeModuleState* state = ModuleState(m.Get());
            used = used || (state && ((state->FormRoot && SameText(state->FormRoot->Name(), name)) ||
                                      SameText(BaseName(state->FileName), name)));
        }
        if (!used) return name;
    }
}

// The class names the environment proposes are of the kind the unit prefix asks for, as the
// environment's own are ("Unit1" with "Form1"): a service for the service wizards' "svc", a
// form for anything else.
std::wstring ClassStem(const std::wstring& prefix) { return SameText(prefix, L"svc") ? L"Service" : L"Form"; }

TComPtr<IOTAModule> CreateProject(TIdeHostImpl& host, IOTAProjectCreator& creator) {
    AskCreator(host, creator);
    const std::wstring fileName = Ask(host, L"GetFileName", [&] { return creator.GetFileName(); });
    Ask(host, L"GetOptionFileName", [&] { return creator.GetOptionFileName(); });
    Ask(host, L"GetShowSource", [&] { return creator.GetShowSource(); });
    TComPtr<IOTAProjectCreator80> creator80 = Supports<IOTAProjectCreator80>(&creator);
    if (creator80) Ask(host, L"GetProjectPersonality", [&] { return creator80->GetProjectPersonality(); });

    std::wstring path = fileName.empty() ? std::wstring() : FullFileName(host, fileName);
    for (int n = 1; path.empty(); ++n) {
        const std::wstring candidate = host.FileInWorkFolder(L"Project" + IntToStr(n) + L".dpr");
        if (!host.FindModule(candidate) && !FileExists(candidate)) path = candidate;
    }
    CheckNotOpen(host, path);
    const std::wstring name = BaseName(path);
    const std::string source = SourceText(Ask(host, L"NewProjectSource", [&] { return creator.NewProjectSource(name); }));

    auto project = MakeInterfaced<TIdeProject>(host.Link, TModuleKind::Project, path);
    project->Source->Text = source;
    TIdeProjectGroup& group = host.Group();
    group.Projects.emplace_back(project.Get());
    group.ActiveProject = group.GetProjectCount() - 1;
    host.Open(TComPtr<IOTAModule>(project.Get()));
    host.Record(L"modules", L"open", {TextField(L"kind", L"project"), TextField(L"file", path), TextField(L"active", L"True")},
                L"ok");

    Ask(host, L"NewOptionSource", [&] { return creator.NewOptionSource(name); });
    if (creator80) Ask(host, L"NewDefaultProjectModule", [&] { creator80->NewDefaultProjectModule(project.Get()); });
    Ask(host, L"NewDefaultModule", [&] { creator.NewDefaultModule(); });
    Ask(host, L"NewProjectResource", [&] { creator.NewProjectResource(project.Get()); });
    return TComPtr<IOTAModule>(project.Get());
}

TComPtr<IOTAModule> CreateUnit(TIdeHostImpl& host, IOTAModuleCreator& creator) {
    const TCreatorAnswers common = AskCreator(host, creator);
    const std::wstring ancestor = Ask(host, L"GetAncestorName", [&] { return creator.GetAncestorName(); });
    const std::wstring implFile = Ask(host, L"GetImplFileName", [&] { return creator.GetImplFileName(); });
    Ask(host, L"GetIntfFileName", [&] { return creator.GetIntfFileName(); });
    const std::wstring formName = Ask(host, L"GetFormName", [&] { return creator.GetFormName(); });
    Ask(host, L"GetMainForm", [&] { return creator.GetMainForm(); });
    Ask(host, L"GetShowForm", [&] { return creator.GetShowForm(); });
    const bool showSource = Ask(host, L"GetShowSource", [&] { return creator.GetShowSource(); });

    const std::wstring path =
        implFile.empty() ? host.FileInWorkFolder(host.NewUnitIdent(L"Unit") + L".pas") : FullFileName(host, implFile);
    CheckNotOpen(host, path);
    const std::wstring unitIdent = BaseName(path);
    const TClassInfo* rootClass = SameText(common.Type, L"Form") ? AncestorClass(host, ancestor) : nullptr;
    const bool isForm = rootClass != nullptr;
    const std::wstring formIdent =
        !isForm ? formName : !formName.empty() ? formName : NewClassIdent(host, L"Form", unitIdent);

    // The environment builds the form from the ancestor: a form file the creator makes is not used.
    Ask(host, L"NewFormFile", [&] { return creator.NewFormFile(formIdent, ancestor); });
    const std::string source =
        SourceText(Ask(host, L"NewImplSource", [&] { return creator.NewImplSource(unitIdent, formIdent, ancestor); }));
    Ask(host, L"NewIntfSource", [&] { return creator.NewIntfSource(unitIdent, formIdent, ancestor); });

    auto unit = MakeInterfaced<TIdeUnit>(host.Link, TModuleKind::Unit, path);
    unit->Source->Text = source;
    if (rootClass) {
        // Designing before its stored form is read: components on it do what they do in a form
        // designer when they are loaded.
        TComponent* root = rootClass->CreateComponent(nullptr, true);
        try {
            root->SetName(formIdent);
        } catch (...) {
            Free(root);
            throw;
        }
        unit->FormRoot = root;
    }
    TIdeModuleState* project = ModuleState(common.Owner.Get());
    if (!project || project->Kind != TModuleKind::Project) project = ModuleState(host.ActiveProject().Get());
    if (project) project->Units.push_back(path);
    host.Open(TComPtr<IOTAModule>(unit.Get()));
    host.Record(L"modules", L"open",
                {TextField(L"kind", L"unit"), TextField(L"file", path), TextField(L"form", formIdent),
                 TextField(L"class", rootClass ? rootClass->Name() : std::wstring()),
                 TextField(L"project", project ? project->FileName : std::wstring())},
                L"ok");
    if (rootClass) {
        TComPtr<IOTAFormEditor> formEditor = unit->GetModuleFileEditor(1).As<IOTAFormEditor>();
        Ask(host, L"FormCreated", [&] { creator.FormCreated(formEditor.Get()); });
    }
    // The source is shown in an editor window, whose pages the editor views are asked about.
    if (showSource && !host.SubViews.empty()) host.OpenEditorWindow(path);
    return TComPtr<IOTAModule>(unit.Get());
}

class TModuleServices : public TInterfaced<IOTAModuleServices> {
public:
    explicit TModuleServices(THostLink host) : FHost(std::move(host)) {}

    int32_t GetModuleCount() override {
        TIdeHostImpl* host = *FHost;
        if (!host) return 0;
        const auto count = static_cast<int32_t>(host->Modules.size());
        host->Record(L"modules", L"GetModuleCount", {NumField(L"answer", count)}, L"ok");
        return count;
    }
    TComPtr<IOTAModule> GetModule(int32_t index) override {
        TIdeHostImpl* host = *FHost;
        if (!host) return {};
        const bool live = index >= 0 && static_cast<size_t>(index) < host->Modules.size();
        TComPtr<IOTAModule> module = live ? host->Modules[static_cast<size_t>(index)] : TComPtr<IOTAModule>();
        host->Record(L"modules", L"GetModule",
                     {NumField(L"index", index), TextField(L"answer", module ? module->GetFileName() : L"nil")},
                     live ? L"ok" : L"refused");
        return module;
    }
    void GetNewModuleAndClassName(const std::wstring& prefix, std::wstring& unitIdent, std::wstring& className,
                                  std::wstring& fileName) override {
        TIdeHostImpl* host = *FHost;
        if (!host) return;
        unitIdent = host->NewUnitIdent(prefix);
        className = host->Options.ProposeClassNames ? NewClassIdent(*host, ClassStem(prefix), unitIdent) : std::wstring();
        fileName = host->FileInWorkFolder(unitIdent + L".pas");
        host->Record(L"modules", L"GetNewModuleAndClassName",
                     {TextField(L"prefix", prefix), TextField(L"unit", unitIdent), TextField(L"class", className),
                      TextField(L"file", fileName)},
                     L"ok");
    }
    TComPtr<IOTAModule> CreateModule(IOTACreator* creator) override {
        TIdeHostImpl* host = *FHost;
        return host ? host->CreateModule(creator) : TComPtr<IOTAModule>();
    }
    TComPtr<IOTAModule> FindModule(const std::wstring& fileName) override {
        TIdeHostImpl* host = *FHost;
        if (!host) return {};
        TIdeModuleState* module = host->FindModule(fileName);
        host->Record(L"modules", L"FindModule", {TextField(L"file", fileName)}, module ? L"ok" : L"refused");
        return module ? TComPtr<IOTAModule>(module->Module()) : TComPtr<IOTAModule>();
    }

private:
    THostLink FHost;
};

} // namespace

TComPtr<IOTAModule> TIdeHostImpl::CreateModule(IOTACreator* creator) {
    const TComPtr<IOTACreator> keep(creator);
    if (auto project = keep.As<IOTAProjectCreator>()) {
        Record(L"modules", L"CreateModule", {TextField(L"creator", L"project")}, L"");
        return CreateProject(*this, *project.Get());
    }
    if (auto module = keep.As<IOTAModuleCreator>()) {
        Record(L"modules", L"CreateModule", {TextField(L"creator", L"module")}, L"");
        return CreateUnit(*this, *module.Get());
    }
    Record(L"modules", L"CreateModule", {TextField(L"reason", L"neither a module nor a project creator")}, L"refused");
    return {};
}

TComPtr<IUnknown> NewModuleServices(const THostLink& host) { return MakeInterfaced<TModuleServices, IUnknown>(host); }

} // namespace tamrel
