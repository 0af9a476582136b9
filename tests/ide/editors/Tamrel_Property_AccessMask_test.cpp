// The editor of one predefined mask through the environment's inspector, on an item of a mask
// editor's collection in a designer: the text shown, OK kept disabled for mask 0, OK writing the
// caption and mask with one notice to the designer (the bits the template does not show kept
// whole), a tick written, Cancel writing nothing.
#include "ide/editors/Tamrel_Property_AccessMask.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
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
    static void ClickItem(TrkSpecialAccessEditor* list, int index) {
        const RECT r = list->ItemRect(index);
        ClickAt(list->ClientToScreen(POINT{r.left + 8, (r.top + r.bottom) / 2}));
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
        SaveCapture(*CaptureControl(form, true), L"AccessMaskEditorOpened");
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
        SaveCapture(*CaptureControl(form, true), L"AccessMaskEditorMaskZero");
        form->EdMaskCaption->SetText(L"changed");
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Inspect(TInspectorOp::Edit).Succeeded);
    EXPECT_FALSE(okEnabled);
    EXPECT_EQ(Item->MaskCaption(), L"Read only");
    EXPECT_EQ(Item->AccessMask(), 0u);
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

TEST_F(AccessMaskEditor, OKWithNothingChangedKeepsTheBitsTheTemplateDoesNotShow) {
    // "Read only" is $120089; the file template shows only $89 of it.
    TModalHookScope hook([&](const TModalWindow& m) {
        if (auto* form = dynamic_cast<TRkAccessMaskPropertyEditorForm*>(m.Form)) ClickButton(form->BnOK);
    });
    ASSERT_TRUE(Inspect(TInspectorOp::Edit).Succeeded);
    EXPECT_EQ(Item->AccessMask(), 0x120089u);
    EXPECT_EQ(Item->MaskCaption(), L"Read only");
    EXPECT_EQ(Design.ModifiedValues(), std::vector<std::wstring>{L"1179785"});
}

TEST_F(AccessMaskEditor, ATickAndANewCaptionAreWrittenTogether) {
    std::vector<bool> ticks;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkAccessMaskPropertyEditorForm*>(m.Form);
        if (!form) return;
        for (int i = 0; i < form->SAE->Items()->Count(); ++i) ticks.push_back(form->SAE->Checked(i));
        ClickItem(form->SAE, 1); // "Write data", $2
        form->EdMaskCaption->SetFocus();
        SendMessageW(form->EdMaskCaption->Handle(), EM_SETSEL, 0, -1);
        TypeText(L"Read and write");
        SaveCapture(*CaptureControl(form, true), L"AccessMaskEditorTicked");
        ClickButton(form->BnOK);
    });
    ASSERT_TRUE(Inspect(TInspectorOp::Edit).Succeeded);
    // The file template's eight bits, $1 $8 $80 of them on.
    EXPECT_EQ(ticks, (std::vector<bool>{true, false, false, true, false, false, true, false}));
    EXPECT_EQ(Item->AccessMask(), 0x12008Bu);
    EXPECT_EQ(Item->MaskCaption(), L"Read and write");
    EXPECT_EQ(Design.ModifiedValues(), std::vector<std::wstring>{L"1179787"});
}

TEST_F(AccessMaskEditor, TheFileTemplatesOwnMasksShowTheirValues) {
    // The editor's collection holds the file template's masks before the one added here.
    ASSERT_GE(Editor->AccessMasks()->Count(), 2);
    const std::wstring all = Design.Host().Inspect(TInspectorOp::GetValue, Design.File(), L"Editor.AccessMasks[0]", L"AccessMask").Value;
    const std::wstring read = Design.Host().Inspect(TInspectorOp::GetValue, Design.File(), L"Editor.AccessMasks[1]", L"AccessMask").Value;
    EXPECT_EQ(all, L"$001F01FF");
    EXPECT_EQ(read, L"$00120089");
    EXPECT_EQ(Editor->AccessMasks()->GetItems(1)->MaskCaption(), L"Read only");
}

} // namespace
