// The design-time editor of a COM service module's AppID: the GUID as text in the inspector, and
// a dialog that checks typed text and makes new GUIDs.
#pragma once

#include "ide/editors/EditorsApi.h"
#include "ide/framework/DesignEditors.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"

#include <functional>

namespace tamrel {

class TAMRELWIZ_API TServiceAppIDEditorForm : public TForm {
    TAMREL_CLASS(TServiceAppIDEditorForm, TForm)
public:
    explicit TServiceAppIDEditorForm(TComponent* AOwner);

    TLabel* LbGUID = nullptr;
    TEdit* EdGUID = nullptr;
    TButton* BnNewGUID = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;

    // Stores the GUID and shows its registry text.
    void SetGUID(const GUID& value);
    const GUID& GetGUID() const { return FGUID; }

    // Each change: a valid text is stored and enables OK; otherwise OK is disabled and the stored
    // GUID stays.
    void EdGUIDChange(TObject* Sender);
    void BnNewGUIDClick(TObject* Sender);

private:
    GUID FGUID = {};
};

class TAMRELWIZ_API TServiceAppIDPropertyEditor : public TPropertyEditor {
public:
    TPropertyAttributes GetAttributes() override;
    std::wstring GetValue() override;
    void SetValue(const std::wstring& value) override;
    void Edit() override;

protected:
    // Binds the accessors of "AppID" to the inspected component; raises for a component of
    // another class or a property without both accessors.
    void Init();

    TComponent* Svc = nullptr;
    const TClassInfo* ComServiceClass = nullptr;
    const TPropInfo* AppIDProp = nullptr;
    std::function<std::wstring()> GetAppID;
    std::function<void(const std::wstring&)> SetAppID;
};

TAMRELWIZ_API void Tamrel_Property_GUID_DoRegister();

} // namespace tamrel
