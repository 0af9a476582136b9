// Design-time registration as the environment serves it: palette components (with their
// bitmaps, looked up in the package that registers them), custom modules, classes registered by
// name and property editors; each recorded, each forgotten when its library is unloaded, and each
// able to fail on purpose through the fault switch.
#include "tools/devenv/tamrelide/DesignState.h"

#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

std::wstring TypeText(const TPropertyType& type) {
    static const TEnumInfo kinds(L"Integer, Cardinal, Int64, Boolean, Enumeration, Set, String, Double, Class, "
                                 L"Component, Method");
    std::wstring text = kinds.Name(static_cast<int64_t>(type.Kind));
    if (type.Class) text += L" " + type.Class->Name();
    return text;
}

// The palette bitmap of a class in the registering package: a bitmap resource named after the
// class in upper case, 24 by 24 pixels. Anything else is the package's fault.
void CheckPaletteBitmap(TIdeHostImpl& host, const TClassInfo& cls) {
    const HMODULE package = host.Design->Registering;
    if (!package) return;
    const std::wstring name = UpperCase(cls.Name());
    std::wstring reason;
    HRSRC found = FindResourceW(package, name.c_str(), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    HGLOBAL loaded = found ? LoadResource(package, found) : nullptr;
    const auto* header = loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(package, found) : 0;
    if (!header) reason = L"no bitmap " + name;
    else if (size < sizeof(BITMAPINFOHEADER) || header->biSize < sizeof(BITMAPINFOHEADER)) reason = L"bitmap " + name + L" is damaged";
    else if (header->biWidth != 24 || std::abs(header->biHeight) != 24)
        reason = L"bitmap " + name + L" is " + IntToStr(header->biWidth) + L" x " + IntToStr(std::abs(header->biHeight));
    if (reason.empty()) return;
    host.Record(L"register", L"bitmap",
                {TextField(L"class", cls.Name()), TextField(L"path", host.Design->RegisteringPath), TextField(L"reason", reason)},
                L"fault");
}

void RegisterComponentsProc(const std::wstring& page, const std::vector<const TClassInfo*>& classes) {
    TIdeHostImpl* host = CurrentHost();
    if (!host) return;
    for (const TClassInfo* cls : classes) {
        CheckFaultSwitch(*host, L"component", cls->Name(), {TextField(L"page", page), TextField(L"class", cls->Name())});
        host->Palette.emplace_back(page, cls->Name());
        host->Design->PaletteLibraries.push_back(host->Design->Registering);
        host->Record(L"register", L"component", {TextField(L"page", page), TextField(L"class", cls->Name())}, L"ok");
        CheckPaletteBitmap(*host, *cls);
    }
}

void ClassRegisteredProc(const TClassInfo& cls) {
    TIdeHostImpl* host = CurrentHost();
    // Only what a package registers while it registers: every class of a library is registered
    // by its own image as it loads, which is no registration of the package's.
    if (!host || !host->Design->Registering) return;
    CheckFaultSwitch(*host, L"class", cls.Name(), {TextField(L"class", cls.Name())});
    host->Design->Classes.emplace_back(host->Design->Registering, &cls);
    host->Record(L"register", L"class", {TextField(L"class", cls.Name())}, L"ok");
}

} // namespace

std::shared_ptr<TDesignState> NewDesignState() {
    SetRegisterComponentsProc(&RegisterComponentsProc);
    SetClassRegisteredProc(&ClassRegisteredProc);
    return std::make_shared<TDesignState>();
}

void ReleaseDesignState(TDesignState& state) {
    SetRegisterComponentsProc(nullptr);
    SetClassRegisteredProc(nullptr);
    state.Editors.clear();
    state.Classes.clear();
}

HMODULE ModuleOfAddress(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

void CheckFaultSwitch(TIdeHostImpl& host, const wchar_t* call, const std::wstring& name,
                      std::initializer_list<TIdeField> fields) {
    const TDesignState& design = *host.Design;
    if (design.FailCall.empty() || design.FailCall != call || !SameText(design.FailName, name)) return;
    host.Record(L"register", call, fields, L"refused");
    throw EInvalidOperation(L"The environment refuses to register %s (fault switch)", name);
}

void ForgetRegistrations(TIdeHostImpl& host, HMODULE library) {
    TDesignState& design = *host.Design;
    for (size_t i = design.PaletteLibraries.size(); i-- > 0;)
        if (design.PaletteLibraries[i] == library) {
            design.PaletteLibraries.erase(design.PaletteLibraries.begin() + static_cast<std::ptrdiff_t>(i));
            host.Palette.erase(host.Palette.begin() + static_cast<std::ptrdiff_t>(i));
        }
    for (size_t i = design.CustomModuleLibraries.size(); i-- > 0;)
        if (design.CustomModuleLibraries[i] == library) {
            design.CustomModuleLibraries.erase(design.CustomModuleLibraries.begin() + static_cast<std::ptrdiff_t>(i));
            host.CustomModules.erase(host.CustomModules.begin() + static_cast<std::ptrdiff_t>(i));
        }
    std::erase_if(design.Classes, [library](const auto& c) { return c.first == library; });
    std::erase_if(design.Editors, [library](const TEditorRegistration& e) { return e.Library == library; });
}

// ---------------------------------------------------------------------------------------------
// The registration routines of the contract

void RegisterCustomModule(const TClassInfo& componentBaseClass, const std::wstring& customModuleClass) {
    TIdeHostImpl* host = CurrentHost();
    if (!host) return;
    const std::initializer_list<TIdeField> fields = {TextField(L"class", componentBaseClass.Name()),
                                                     TextField(L"kind", customModuleClass)};
    CheckFaultSwitch(*host, L"custommodule", componentBaseClass.Name(), fields);
    host->CustomModules.emplace_back(&componentBaseClass, customModuleClass);
    host->Design->CustomModuleLibraries.push_back(host->Design->Registering);
    host->Record(L"register", L"custommodule", fields, L"ok");
}

void RegisterPropertyEditor(const TPropertyType& propertyType, const TClassInfo* componentClass,
                            const std::wstring& propertyName, const TPropertyEditorClass& editorClass) {
    TIdeHostImpl* host = CurrentHost();
    if (!host) return;
    const std::initializer_list<TIdeField> fields = {
        TextField(L"type", TypeText(propertyType)),
        TextField(L"class", componentClass ? componentClass->Name() : std::wstring()),
        TextField(L"name", propertyName), TextField(L"editor", editorClass.Name)};
    CheckFaultSwitch(*host, L"propertyeditor", propertyName, fields);
    if (!editorClass.Create || ((propertyType.Kind == TTypeKind::Class || propertyType.Kind == TTypeKind::Component) &&
                                !propertyType.Class)) {
        host->Record(L"register", L"propertyeditor", fields, L"fault");
        return;
    }
    TEditorRegistration r;
    r.Type = propertyType;
    r.ComponentClass = componentClass;
    r.PropertyName = propertyName;
    r.Editor = editorClass;
    // A package's registration goes with the package; otherwise with the editor's own code.
    r.Library = host->Design->Registering ? host->Design->Registering
                                          : ModuleOfAddress(reinterpret_cast<const void*>(editorClass.Create));
    host->Design->Editors.push_back(std::move(r));
    host->Record(L"register", L"propertyeditor", fields, L"ok");
}

// ---------------------------------------------------------------------------------------------
// What the host and the tests see

std::vector<std::wstring> TIdeHost::PaletteComponents(const std::wstring& page) const {
    std::vector<std::wstring> names;
    for (const auto& [p, name] : FImpl->Palette)
        if (SameText(p, page)) names.push_back(name);
    return names;
}

std::vector<std::wstring> TIdeHost::CustomModules() const {
    std::vector<std::wstring> names;
    for (const auto& [cls, kind] : FImpl->CustomModules) names.push_back(cls->Name());
    return names;
}

std::vector<std::wstring> TIdeHost::RegisteredClasses() const {
    std::vector<std::wstring> names;
    for (const auto& [library, cls] : FImpl->Design->Classes) names.push_back(cls->Name());
    return names;
}

std::vector<std::wstring> TIdeHost::PropertyEditors() const {
    std::vector<std::wstring> lines;
    for (const TEditorRegistration& e : FImpl->Design->Editors)
        lines.push_back(TypeText(e.Type) + L" " + (e.ComponentClass ? e.ComponentClass->Name() : std::wstring(L"*")) + L"." +
                        (e.PropertyName.empty() ? std::wstring(L"*") : e.PropertyName) + L" " + e.Editor.Name);
    return lines;
}

void TIdeHost::FailRegistration(const std::wstring& call, const std::wstring& name) {
    FImpl->Design->FailCall = call;
    FImpl->Design->FailName = name;
}

} // namespace tamrel
