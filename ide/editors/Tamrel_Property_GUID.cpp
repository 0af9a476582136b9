#include "ide/editors/Tamrel_Property_GUID.h"

#include "ide/editors/Tamrel_Property_Dependencies.h"

#include "host/ComObj.h"
#include "host/SysUtils.h"

#include <objbase.h>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TServiceAppIDEditorForm) {
    using F = TServiceAppIDEditorForm;
    b.Field(L"LbGUID", &F::LbGUID);
    b.Field(L"EdGUID", &F::EdGUID);
    b.Field(L"BnNewGUID", &F::BnNewGUID);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Method<&F::EdGUIDChange>(L"EdGUIDChange");
    b.Method<&F::BnNewGUIDClick>(L"BnNewGUIDClick");
}

TServiceAppIDEditorForm::TServiceAppIDEditorForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TLabel::StaticClassInfo(), &TEdit::StaticClassInfo(), &TButton::StaticClassInfo()});
}

void TServiceAppIDEditorForm::SetGUID(const GUID& value) {
    FGUID = value;
    EdGUID->SetText(GUIDToString(value));
    EdGUIDChange(EdGUID); // the text is valid: OK is enabled whether or not the edit told of it
}

void TServiceAppIDEditorForm::EdGUIDChange(TObject*) {
    try {
        FGUID = StringToGUID(EdGUID->GetText());
        BnOK->SetEnabled(true);
    } catch (const EConvertError&) {
        BnOK->SetEnabled(false);
    }
}

void TServiceAppIDEditorForm::BnNewGUIDClick(TObject*) {
    GUID guid = {};
    OleCheck(CoCreateGuid(&guid));
    SetGUID(guid);
}

void TServiceAppIDPropertyEditor::Init() {
    TPersistent* inspected = GetComponent(0);
    Svc = dynamic_cast<TComponent*>(inspected);
    ComServiceClass = GetClass(L"TComService");
    if (!Svc || !ComServiceClass || !Svc->InheritsFrom(*ComServiceClass))
        throw Exception(L"Can not edit \"%s\"", inspected ? inspected->ClassName() : std::wstring());
    AppIDProp = FindPublishedProperty(Svc, L"AppID");
    if (!AppIDProp || !AppIDProp->GetStr || !AppIDProp->SetStr)
        throw Exception(L"Can not edit \"%s\": AppID property get/set methods not found", Svc->ClassName());
    TComponent* svc = Svc;
    const TPropInfo* prop = AppIDProp;
    GetAppID = [svc, prop] { return prop->GetStr(svc); };
    SetAppID = [svc, prop](const std::wstring& value) { prop->SetStr(svc, value); };
}

TPropertyAttributes TServiceAppIDPropertyEditor::GetAttributes() { return {paDialog}; }

std::wstring TServiceAppIDPropertyEditor::GetValue() {
    Init();
    return GetAppID();
}

void TServiceAppIDPropertyEditor::SetValue(const std::wstring& value) {
    Init();
    SetAppID(value);
    // Once, with the value written.
    Modified();
}

void TServiceAppIDPropertyEditor::Edit() {
    Init();
    TOwnedPtr<TServiceAppIDEditorForm> form(Create<TServiceAppIDEditorForm>(nullptr));
    form->SetCaption(Format(form->Caption(), Svc->Name()));
    form->SetGUID(StringToGUID(GetAppID()));
    if (form->ShowModal() != mrOk) return;
    SetAppID(GUIDToString(form->GetGUID()));
    Modified();
}

void Tamrel_Property_GUID_DoRegister() {
    RegisterPropertyEditor(TPropertyType::String(), GetClass(L"TComService"), L"AppID",
                           PropertyEditorClass<TServiceAppIDPropertyEditor>(L"TServiceAppIDPropertyEditor"));
}

} // namespace tamrel
