// The form editor of a module: its root component, created designing, and its published
// properties set and read by name.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/SysUtils.h"

namespace tamrel {

namespace {

bool SetProperty(TObject* instance, const TPropInfo& p, const std::wstring& value) {
    switch (p.Kind) {
    case TTypeKind::String:
        p.SetStr(instance, value);
        return true;
    case TTypeKind::Integer:
    case TTypeKind::Cardinal:
    case TTypeKind::Int64: {
        int64_t v;
        if (!TryStrToInt64(value, v)) return false;
        p.SetOrd(instance, v);
        return true;
    }
    case TTypeKind::Boolean:
        if (!SameText(value, L"True") && !SameText(value, L"False")) return false;
        p.SetOrd(instance, SameText(value, L"True") ? 1 : 0);
        return true;
    case TTypeKind::Enumeration: {
        const int ordinal = p.Enum->IndexOf(value);
        if (ordinal < 0) return false;
        p.SetOrd(instance, ordinal);
        return true;
    }
    default:
        return false;
    }
}

bool GetProperty(TObject* instance, const TPropInfo& p, std::wstring& value) {
    switch (p.Kind) {
    case TTypeKind::String: value = p.GetStr(instance); return true;
    case TTypeKind::Integer:
    case TTypeKind::Cardinal:
    case TTypeKind::Int64: value = IntToStr(p.GetOrd(instance)); return true;
    case TTypeKind::Boolean: value = p.GetOrd(instance) ? L"True" : L"False"; return true;
    case TTypeKind::Enumeration: value = p.Enum->Name(p.GetOrd(instance)); return true;
    default: return false;
    }
}

// A component on the designer surface; answers nothing once its module is closed.
class TIdeDesignComponent : public TInterfaced<IOTAComponent, INTAComponent> {
public:
    TIdeDesignComponent(TComPtr<IOTAModule> module, TComponent* component)
        : FModule(std::move(module)), FComponent(component) {}

    std::wstring GetComponentType() override { return Live() ? FComponent->ClassName() : std::wstring(); }

    bool SetPropByName(const std::wstring& name, const std::wstring& value) override {
        TIdeHostImpl* host = ModuleState(FModule.Get())->Host();
        const TPropInfo* p = Live() ? FComponent->ClassInfo().FindProperty(name) : nullptr;
        const bool done = p && SetProperty(FComponent, *p, value);
        if (host)
            host->Record(L"form", L"SetPropByName",
                         {TextField(L"component", FComponent->Name()), TextField(L"name", name), TextField(L"value", value)},
                         done ? L"ok" : L"refused");
        return done;
    }
    bool GetPropValueByName(const std::wstring& name, std::wstring& value) override {
        const TPropInfo* p = Live() ? FComponent->ClassInfo().FindProperty(name) : nullptr;
        return p && GetProperty(FComponent, *p, value);
    }
    TComponent* GetComponent() override { return Live() ? FComponent : nullptr; }

private:
    bool Live() const { return !ModuleState(FModule.Get())->Closed(); }
    TComPtr<IOTAModule> FModule;
    TComponent* FComponent; // the module owns it
};

class TIdeFormEditor : public TInterfaced<IOTAFormEditor> {
public:
    explicit TIdeFormEditor(TIdeModuleState& module) : FModule(module.Module()), FFile(ChangeFileExt(module.FileName, L".dfm")) {}

    std::wstring GetFileName() override { return FFile; }
    TComPtr<IOTAModule> GetModule() override { return FModule; }
    // Properties set through the editor go straight to the designing root, which is not saved.
    bool GetModified() override { return false; }
    TComPtr<IOTAComponent> GetRootComponent() override {
        TIdeModuleState* module = ModuleState(FModule.Get());
        if (module->Closed() || !module->FormRoot) return {};
        return MakeInterfaced<TIdeDesignComponent, IOTAComponent>(FModule, module->FormRoot);
    }

private:
    TComPtr<IOTAModule> FModule;
    std::wstring FFile;
};

} // namespace

TComPtr<IOTAEditor> NewFormEditor(TIdeModuleState& module) { return MakeInterfaced<TIdeFormEditor, IOTAFormEditor>(module); }

} // namespace tamrel
