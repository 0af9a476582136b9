// The AppID editor of a COM service module through the environment's object inspector: the text
// it shows and takes, and its dialog driven by the modal hook (typed text checked, a new GUID,
// OK and Cancel), with what the designer is told.
#include "ide/editors/Tamrel_Property_GUID.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_ComService.h"

#include <gtest/gtest.h>

#include <cwctype>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const std::wstring KnownAppID = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

class AppIDEditor : public testing::Test {
protected:
    AppIDEditor() : Design(L"TComService") {}
    TComService* Svc() { return static_cast<TComService*>(Design.Root()); }
    TEditorsDesign Design;
};

TEST_F(AppIDEditor, TheInspectorShowsTheTextAndSetValueWritesItAndTellsTheDesignerOnce) {
    TInspectorCall set = Design.Inspect(TInspectorOp::SetValue, L"AppID", L"{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}");
    ASSERT_TRUE(set.Succeeded) << ToUtf8(set.Error);
    EXPECT_EQ(set.Editor, L"TServiceAppIDPropertyEditor");
    EXPECT_EQ(Svc()->AppID(), KnownAppID);
    EXPECT_EQ(Design.ModifiedValues(), std::vector<std::wstring>{KnownAppID});
    EXPECT_EQ(Design.Inspect(TInspectorOp::GetValue, L"AppID").Value, KnownAppID);
    EXPECT_EQ(Design.Inspect(TInspectorOp::GetAttributes, L"AppID").Attributes, TPropertyAttributes{paDialog});

    TInspectorCall bad = Design.Inspect(TInspectorOp::SetValue, L"AppID", L"{not a GUID}");
    EXPECT_FALSE(bad.Succeeded);
    EXPECT_NE(bad.Error.find(L"is not a valid GUID value"), std::wstring::npos) << ToUtf8(bad.Error);
    EXPECT_EQ(Svc()->AppID(), KnownAppID);
    EXPECT_EQ(Design.ModifiedValues().size(), 1u);
}

TEST_F(AppIDEditor, BadTextDisablesOKAndANewGUIDIsWrittenBracedInUpperCase) {
    Svc()->SetAppID(KnownAppID);
    std::wstring caption, shown, made;
    bool okAtFirst = false, okForBadText = true, okForNew = false;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TServiceAppIDEditorForm*>(m.Form);
        if (!form) return;
        caption = form->Caption();
        shown = form->EdGUID->GetText();
        okAtFirst = form->BnOK->Enabled();
        SaveCapture(*CaptureControl(form, true), L"AppIDEditorOpened");
        form->EdGUID->SetFocus();
        SendMessageW(form->EdGUID->Handle(), EM_SETSEL, 0, -1);
        TypeText(L"{0F1E2D3C-");
        okForBadText = form->BnOK->Enabled();
        SaveCapture(*CaptureControl(form, true), L"AppIDEditorBadText");
        ClickButton(form->BnNewGUID);
        made = form->EdGUID->GetText();
        okForNew = form->BnOK->Enabled();
        SaveCapture(*CaptureControl(form, true), L"AppIDEditorNewGUID");
        ClickButton(form->BnOK);
    });
    TInspectorCall edit = Design.Inspect(TInspectorOp::Edit, L"AppID");
    ASSERT_TRUE(edit.Succeeded) << ToUtf8(edit.Error);
    EXPECT_EQ(caption, L"Editing " + Svc()->Name() + L" Service AppID");
    EXPECT_EQ(shown, KnownAppID);
    EXPECT_TRUE(okAtFirst);
    EXPECT_FALSE(okForBadText);
    EXPECT_TRUE(okForNew);
    ASSERT_EQ(made.size(), 38u);
    EXPECT_NE(made, KnownAppID);
    for (wchar_t c : made) EXPECT_FALSE(std::iswlower(c)) << ToUtf8(made);
    EXPECT_EQ(Svc()->AppID(), made);
    EXPECT_EQ(Design.ModifiedValues(), std::vector<std::wstring>{made});
}

TEST_F(AppIDEditor, CancelWritesAndTellsNothing) {
    Svc()->SetAppID(KnownAppID);
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TServiceAppIDEditorForm*>(m.Form);
        if (!form) return;
        ClickButton(form->BnNewGUID);
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Design.Inspect(TInspectorOp::Edit, L"AppID").Succeeded);
    EXPECT_EQ(Svc()->AppID(), KnownAppID);
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

TEST(AppIDEditorElsewhere, APlainServiceModuleCannotBeEdited) {
    TEditorsDesign design(L"TNtService");
    TModalHookScope hook([](const TModalWindow& m) { ADD_FAILURE() << "a window opened: " << ToUtf8(m.Caption); });
    for (TInspectorOp op : {TInspectorOp::GetValue, TInspectorOp::SetValue, TInspectorOp::Edit}) {
        TInspectorCall call = design.Host().Inspect(op, design.File(), L"", L"DisplayName", L"x", L"TServiceAppIDPropertyEditor");
        EXPECT_TRUE(call.Found);
        EXPECT_FALSE(call.Succeeded);
        EXPECT_EQ(call.Error, L"Can not edit \"TNtService\"");
    }
    EXPECT_TRUE(design.ModifiedValues().empty());
}

} // namespace
