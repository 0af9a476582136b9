// The editor of one predefined mask through the environment's inspector, on an item of a mask
// editor's collection in a designer: the text shown, OK kept disabled for mask 0, OK writing the
// caption and mask with one notice to the designer, Cancel writing nothing.
#include "ide/editors/Tamrel_Property_AccessMask.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "runtime/controls/Tamrel_Masks.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class AccessMaskEditor : public testing::Test {
protected:
    AccessMaskEditor() : Design(L"TNtService") {}
    void SetUp() override {
        Tamrel_Property_AccessMask_DoRegister();
        Editor = dynamic_cast<TrkAccessMaskEditor*>(Design.Host().AddComponent(Design.File(), L"TrkAccessMaskEditor", L"Editor"));
        ASSERT_NE(Editor, nullptr);
        Editor->MaskBits()->SetMaskType(mtFile);
        Item = Editor->AccessMasks()->Add();
        Item->SetMaskCaption(L"Read only");
        Item->SetAccessMask(0x120089);
        Design.Host().ClearRecords();
    }
    TInspectorCall Inspect(TInspectorOp op) {
        return Design.Host().Inspect(op, Design.File(), L"Editor.AccessMasks[" + std::to_wstring(Item->Index()) + L"]",
                                     L"AccessMask");
    }
    TEditorsDesign Design;
    TrkAccessMaskEditor* Editor = nullptr;
    TrkAccessMask* Item = nullptr;
};

TEST_F(AccessMaskEditor, ShowsDollarAndEightDigitsAndOffersADialogForOneObject) {
    TInspectorCall get = Inspect(TInspectorOp::GetValue);
    ASSERT_TRUE(get.Succeeded) << ToUtf8(get.Error);
    EXPECT_EQ(get.Editor, L"TAccessMaskPropertyEditor");
    EXPECT_EQ(get.Value, L"$00120089");
    const TPropertyAttributes attributes = Inspect(TInspectorOp::GetAttributes).Attributes;
    EXPECT_TRUE(attributes.Contains(paDialog));
    EXPECT_FALSE(attributes.Contains(paMultiSelect));
}

TEST_F(AccessMaskEditor, OKWritesCaptionAndMaskAndTellsTheDesignerOnceWithThem) {
    std::wstring shownCaption;
    uint32_t shownMask = 0;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkAccessMaskPropertyEditorForm*>(m.Form);
        if (!form) return;
        shownCaption = form->EdMaskCaption->GetText();
        shownMask = form->SAE->AccessMask();
        form->EdMaskCaption->SetFocus();
        SendMessageW(form->EdMaskCaption->Handle(), EM_SETSEL, 0, -1);
        TypeText(L"Reading");
        ClickButton(form->BnOK);
    });
    TInspectorCall edit = Inspect(TInspectorOp::Edit);
    ASSERT_TRUE(edit.Succeeded) << ToUtf8(edit.Error);
    EXPECT_EQ(shownCaption, L"Read only");
    EXPECT_EQ(shownMask, 0x120089u);
    EXPECT_EQ(Item->MaskCaption(), L"Reading");
    EXPECT_EQ(Item->AccessMask(), 0x120089u); // bits the file template does not name are kept
    EXPECT_EQ(Design.ModifiedValues(), std::vector<std::wstring>{L"1179785"});
}

TEST_F(AccessMaskEditor, MaskZeroOpensWithOKDisabledAndCancelWritesNothing) {
    Item->SetAccessMask(0);
    bool okEnabled = true;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkAccessMaskPropertyEditorForm*>(m.Form);
        if (!form) return;
        okEnabled = form->BnOK->Enabled();
        form->EdMaskCaption->SetText(L"changed");
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Inspect(TInspectorOp::Edit).Succeeded);
    EXPECT_FALSE(okEnabled);
    EXPECT_EQ(Item->MaskCaption(), L"Read only");
    EXPECT_EQ(Item->AccessMask(), 0u);
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

} // namespace
