// The property-editor bases that add-ins derive from, and the text form of property values.
#include "tools/devenv/tamrelide/DesignState.h"

#include "host/SysUtils.h"

#include <cwchar>
#include <iterator>

namespace tamrel {

std::wstring PropertyText(TObject* instance, const TPropInfo& prop) {
    switch (prop.Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Cardinal:
    case TTypeKind::Int64: return IntToStr(prop.GetOrd(instance));
    case TTypeKind::Boolean: return prop.GetOrd(instance) ? L"True" : L"False";
    case TTypeKind::Enumeration: return prop.Enum->Name(prop.GetOrd(instance));
    case TTypeKind::Set: {
        std::wstring text;
        const auto bits = static_cast<uint64_t>(prop.GetOrd(instance));
        for (int i = 0; i < prop.Enum->Count(); ++i)
            if (bits & (uint64_t(1) << i)) text += (text.empty() ? L"" : L",") + prop.Enum->Name(i);
        return L"[" + text + L"]";
    }
    case TTypeKind::String: return prop.GetStr(instance);
    case TTypeKind::Double: {
        wchar_t text[64];
        swprintf(text, std::size(text), L"%g", prop.GetFloat(instance));
        return text;
    }
    case TTypeKind::Class: {
        TObject* value = prop.GetObj(instance);
        if (auto* strings = dynamic_cast<TStrings*>(value)) return strings->CommaText();
        return value ? L"(" + value->ClassName() + L")" : std::wstring();
    }
    case TTypeKind::Component: {
        auto* value = dynamic_cast<TComponent*>(prop.GetObj(instance));
        return value ? value->Name() : std::wstring();
    }
    case TTypeKind::Method: return prop.GetMethod(instance) ? L"(method)" : std::wstring();
    }
    return {};
}

void TPropertyEditorContext::Modified() {
    TIdeHostImpl* host = *Host;
    if (!host) return;
    std::wstring value;
    if (!Objects.empty() && Prop) value = PropertyText(Objects.front(), *Prop);
    host->Record(L"designer", L"Modified",
                 {TextField(L"file", File), TextField(L"path", Path), TextField(L"property", Prop ? Prop->Name : L""),
                  TextField(L"editor", EditorName), TextField(L"value", value)},
                 L"ok");
}

// ---------------------------------------------------------------------------------------------
// TPropertyEditor

TPropertyEditor::TPropertyEditor() = default;
TPropertyEditor::~TPropertyEditor() = default;

TPropertyAttributes TPropertyEditor::GetAttributes() { return {paRevertable}; }

std::wstring TPropertyEditor::GetValue() {
    if (!FContext || FContext->Objects.empty() || !FContext->Prop) return {};
    return PropertyText(FContext->Objects.front(), *FContext->Prop);
}

void TPropertyEditor::SetValue(const std::wstring& value) {
    const TPropInfo* p = GetPropInfo();
    if (!p) return;
    switch (p->Kind) {
    case TTypeKind::String: SetStrValue(value); break;
    case TTypeKind::Integer:
    case TTypeKind::Cardinal:
    case TTypeKind::Int64: SetOrdValue(StrToInt64(value)); break;
    default: throw EPropertyError(L"Property %s cannot be set from text", p->Name);
    }
}

void TPropertyEditor::Edit() {}

int TPropertyEditor::PropCount() const { return FContext ? static_cast<int>(FContext->Objects.size()) : 0; }

TPersistent* TPropertyEditor::GetComponent(int index) const {
    if (index < 0 || index >= PropCount()) throw EListError(SListIndexError, index);
    return FContext->Objects[static_cast<size_t>(index)];
}

const TPropInfo* TPropertyEditor::GetPropInfo() const { return FContext ? FContext->Prop : nullptr; }

std::wstring TPropertyEditor::GetName() const { return GetPropInfo() ? GetPropInfo()->Name : std::wstring(); }

namespace {
const TPropInfo& Checked(const TPropertyEditor& e, bool ordinal) {
    const TPropInfo* p = e.GetPropInfo();
    if (!p || e.PropCount() == 0) throw EInvalidOperation(L"The property editor is not attached to a property");
    if (ordinal ? !p->IsOrdinal() : p->Kind != TTypeKind::String)
        throw EPropertyError(L"Property %s is not of that type", p->Name);
    return *p;
}
} // namespace

int64_t TPropertyEditor::GetOrdValue() const { return Checked(*this, true).GetOrd(GetComponent(0)); }

void TPropertyEditor::SetOrdValue(int64_t value) {
    const TPropInfo& p = Checked(*this, true);
    for (int i = 0; i < PropCount(); ++i) p.SetOrd(GetComponent(i), value);
}

std::wstring TPropertyEditor::GetStrValue() const { return Checked(*this, false).GetStr(GetComponent(0)); }

void TPropertyEditor::SetStrValue(const std::wstring& value) {
    const TPropInfo& p = Checked(*this, false);
    for (int i = 0; i < PropCount(); ++i) p.SetStr(GetComponent(i), value);
}

TObject* TPropertyEditor::GetObjValue() const {
    const TPropInfo* p = GetPropInfo();
    if (!p || PropCount() == 0 || !p->GetObj) return nullptr;
    return p->GetObj(GetComponent(0));
}

void TPropertyEditor::Modified() {
    if (FContext) FContext->Modified();
}

// ---------------------------------------------------------------------------------------------
// TIntegerProperty

TPropertyAttributes TIntegerProperty::GetAttributes() { return {paMultiSelect, paRevertable}; }

std::wstring TIntegerProperty::GetValue() { return IntToStr(GetOrdValue()); }

void TIntegerProperty::SetValue(const std::wstring& value) { SetOrdValue(StrToInt64(Trim(value))); }

} // namespace tamrel
