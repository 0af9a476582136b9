// Form designers opened by the host, the components placed on them, and the object inspector
// that runs registered property editors on the persistent objects of a designer.
#include "tools/devenv/tamrelide/DesignState.h"

#include "host/forms/Controls.h"
#include "host/SysUtils.h"

namespace tamrel {

namespace {

TIdeModuleState& Designer(const TIdeHostImpl& host, const std::wstring& fileName) {
    TIdeModuleState* module = host.FindModule(fileName);
    if (!module || !module->FormRoot) throw EInvalidOperation(L"No form designer is open for %s", fileName);
    return *module;
}

const TClassInfo& DesignClass(const TIdeHostImpl& host, const std::wstring& name) {
    for (const auto& [cls, kind] : host.CustomModules)
        if (SameText(cls->Name(), name)) return *cls;
    return FindClass(name);
}

// The persistent at Path: "Component", "", "Component.Property", "Component.Collection[2]"...
TPersistent* Resolve(TComponent* root, const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t dot; (dot = path.find(L'.', start)) != std::wstring::npos; start = dot + 1)
        parts.push_back(path.substr(start, dot - start));
    parts.push_back(path.substr(start));

    TPersistent* current = root;
    if (!parts.front().empty() && !SameText(parts.front(), root->Name())) {
        current = root->FindComponent(parts.front());
        if (!current) throw EInvalidOperation(L"The designer holds no component %s", parts.front());
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        std::wstring name = parts[i];
        int index = -1;
        if (const size_t open = name.find(L'['); open != std::wstring::npos && name.back() == L']') {
            index = static_cast<int>(StrToInt64(name.substr(open + 1, name.size() - open - 2)));
            name.resize(open);
        }
        const TPropInfo* p = current->ClassInfo().FindProperty(name);
        if (!p || p->Kind != TTypeKind::Class) throw EInvalidOperation(L"%s has no object property %s", path, name);
        auto* next = dynamic_cast<TPersistent*>(p->GetObj(current));
        if (next && index >= 0) {
            auto* collection = dynamic_cast<TCollection*>(next);
            if (!collection) throw EInvalidOperation(L"%s of %s is no collection", name, path);
            next = collection->Items(index);
        }
        if (!next) throw EInvalidOperation(L"%s of %s holds no object", name, path);
        current = next;
    }
    return current;
}

bool TypeMatches(const TPropertyType& type, const TPropInfo& prop) {
    if (type.Kind != prop.Kind) return false;
    if (prop.Kind != TTypeKind::Class && prop.Kind != TTypeKind::Component) return true;
    return prop.DeclaredClass && type.Class && prop.DeclaredClass().InheritsFrom(*type.Class);
}

// The registration the inspector uses: a class-and-name registration before the others, the
// later one before the earlier.
const TEditorRegistration* FindEditor(const TDesignState& design, const TPersistent& object, const TPropInfo& prop,
                                      const std::wstring& forced) {
    const TEditorRegistration* best = nullptr;
    int bestScore = -1;
    for (const TEditorRegistration& r : design.Editors) {
        int score;
        if (!forced.empty()) {
            if (r.Editor.Name != forced) continue;
            score = 0;
        } else {
            if (!TypeMatches(r.Type, prop)) continue;
            if (r.ComponentClass && !object.InheritsFrom(*r.ComponentClass)) continue;
            if (!r.PropertyName.empty() && !SameText(r.PropertyName, prop.Name)) continue;
            score = r.ComponentClass && !r.PropertyName.empty() ? 1 : 0;
        }
        if (score >= bestScore) {
            best = &r;
            bestScore = score;
        }
    }
    return best;
}

const wchar_t* OpName(TInspectorOp op) {
    switch (op) {
    case TInspectorOp::GetValue: return L"GetValue";
    case TInspectorOp::SetValue: return L"SetValue";
    case TInspectorOp::Edit: return L"Edit";
    case TInspectorOp::GetAttributes: return L"GetAttributes";
    }
    return L"";
}

} // namespace

std::wstring TIdeHost::OpenDesigner(const std::wstring& rootClass) {
    TIdeHostImpl& host = *FImpl;
    const TClassInfo& cls = DesignClass(host, rootClass);
    const std::wstring ident = host.NewUnitIdent(L"Unit");
    const std::wstring path = host.FileInWorkFolder(ident + L".pas");
    auto unit = MakeInterfaced<TIdeUnit>(host.Link, TModuleKind::Unit, path);
    unit->Source->Text = "unit " + WideToAnsi(ident) + ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
    TComponent* root = cls.CreateComponent(nullptr, true);
    unit->FormRoot = root; // the module frees it from here on
    std::wstring name = cls.Name().size() > 1 ? cls.Name().substr(1) : cls.Name();
    root->SetName(name + L"1");
    host.Open(TComPtr<IOTAModule>(unit.Get()));
    host.Record(L"modules", L"open",
                {TextField(L"kind", L"designer"), TextField(L"file", path), TextField(L"class", cls.Name())}, L"ok");
    return path;
}

TComponent* TIdeHost::DesignRoot(const std::wstring& fileName) const { return Designer(*FImpl, fileName).FormRoot; }

TComponent* TIdeHost::AddComponent(const std::wstring& fileName, const std::wstring& className, const std::wstring& name) {
    TComponent* root = Designer(*FImpl, fileName).FormRoot;
    TComponent* component = FindClass(className).CreateComponent(root, true);
    try {
        component->SetName(name);
        auto* control = dynamic_cast<TControl*>(component);
        if (auto* parent = dynamic_cast<TWinControl*>(root); control && parent) control->SetParent(parent);
    } catch (...) {
        Free(component);
        throw;
    }
    FImpl->Record(L"designer", L"add",
                  {TextField(L"file", fileName), TextField(L"class", className), TextField(L"name", name)}, L"ok");
    return component;
}

TInspectorCall TIdeHost::Inspect(TInspectorOp op, const std::wstring& fileName, const std::wstring& path,
                                 const std::wstring& property, const std::wstring& value,
                                 const std::wstring& editorClass) {
    TIdeHostImpl& host = *FImpl;
    TInspectorCall call;
    auto record = [&](const std::wstring& result) {
        std::vector<TIdeField> fields = {TextField(L"file", fileName), TextField(L"path", path),
                                         TextField(L"property", property), TextField(L"editor", call.Editor)};
        if (op == TInspectorOp::SetValue) fields.push_back(TextField(L"value", value));
        if (op == TInspectorOp::GetValue && call.Succeeded) fields.push_back(TextField(L"answer", call.Value));
        if (!call.Error.empty()) fields.push_back(TextField(L"message", call.Error));
        TIdeRecord r;
        r.Area = L"inspector";
        r.Call = OpName(op);
        r.Fields = std::move(fields);
        r.Result = result;
        host.Recorder.Add(std::move(r));
    };

    TPersistent* object = nullptr;
    const TPropInfo* prop = nullptr;
    const TEditorRegistration* registration = nullptr;
    try {
        object = Resolve(Designer(host, fileName).FormRoot, path);
        prop = object->ClassInfo().FindProperty(property);
        if (!prop) throw EInvalidOperation(L"%s publishes no property %s", object->ClassName(), property);
        registration = FindEditor(*host.Design, *object, *prop, editorClass);
        if (!registration && !editorClass.empty()) throw EInvalidOperation(L"No property editor %s is registered", editorClass);
    } catch (...) {
        call.Error = CurrentExceptionText();
        record(L"refused");
        return call;
    }
    call.Found = true;
    std::unique_ptr<TPropertyEditor> editor;
    if (registration) {
        call.Editor = registration->Editor.Name;
        editor.reset(registration->Editor.Create());
    } else if (prop->Kind == TTypeKind::Integer || prop->Kind == TTypeKind::Cardinal || prop->Kind == TTypeKind::Int64) {
        call.Editor = L"TIntegerProperty";
        editor = std::make_unique<TIntegerProperty>();
    } else {
        call.Editor = L"TPropertyEditor";
        editor = std::make_unique<TPropertyEditor>();
    }
    auto context = std::make_shared<TPropertyEditorContext>();
    context->Host = host.Link;
    context->File = fileName;
    context->Path = path;
    context->Objects = {object};
    context->Prop = prop;
    context->EditorName = call.Editor;
    TPropertyEditorContext::Attach(*editor, context);
    try {
        switch (op) {
        case TInspectorOp::GetValue: call.Value = editor->GetValue(); break;
        case TInspectorOp::SetValue: editor->SetValue(value); break;
        case TInspectorOp::Edit: editor->Edit(); break;
        case TInspectorOp::GetAttributes: call.Attributes = editor->GetAttributes(); break;
        }
        call.Succeeded = true;
    } catch (...) {
        call.Error = CurrentExceptionText();
    }
    record(call.Succeeded ? L"ok" : L"exception");
    return call;
}

} // namespace tamrel
