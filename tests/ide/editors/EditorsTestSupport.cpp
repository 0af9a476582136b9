#include "tests/ide/editors/EditorsTestSupport.h"

#include "ide/editors/Tamrel_Property_Dependencies.h"
#include "ide/editors/Tamrel_Property_GUID.h"
#include "tests/support/FormsTestSupport.h"

#include "host/forms/Controls.h"
#include "host/forms/StdCtrls.h"
#include "runtime/service/Tamrel_ComService.h"

namespace tamrel::test {

TEditorsDesign::TEditorsDesign(const std::wstring& rootClass) {
    RegisterClasses({&TNtService::StaticClassInfo(), &TComService::StaticClassInfo()});
    FHost = std::make_unique<TIdeHost>();
    Tamrel_Property_Dependencies_DoRegister();
    Tamrel_Property_GUID_DoRegister();
    FFile = FHost->OpenDesigner(rootClass);
    FHost->ClearRecords();
}

TEditorsDesign::~TEditorsDesign() = default;

TComponent* TEditorsDesign::Root() const { return FHost->DesignRoot(FFile); }

TInspectorCall TEditorsDesign::Inspect(TInspectorOp op, const std::wstring& property, const std::wstring& value) {
    return FHost->Inspect(op, FFile, L"", property, value);
}

std::vector<std::wstring> TEditorsDesign::ModifiedValues() const {
    std::vector<std::wstring> values;
    for (const TIdeRecord& r : FHost->Records())
        if (r.Area == L"designer" && r.Call == L"Modified") values.push_back(r.Field(L"value"));
    return values;
}

void ClickButton(TControl* button) {
    if (auto* push = dynamic_cast<TButton*>(button)) {
        SendMessageW(push->Handle(), BM_CLICK, 0, 0);
    } else if (auto* control = dynamic_cast<TWinControl*>(button)) {
        ClickAt(control->ClientToScreen(POINT{control->Width() / 2, control->Height() / 2}));
    }
    PumpPending();
}

} // namespace tamrel::test
