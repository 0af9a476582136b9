// The DACL and SACL limit editors of a security descriptor dialog through the environment's
// inspector: the text shown (nothing for another class), all 32 bits offered with numbered
// placeholders for the unnamed ones, a tick written with one notice to the designer, Cancel
// writing nothing, and the dialog's own bit set left as it was.
#include "ide/editors/Tamrel_Property_ACLMask.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
#include "runtime/controls/Tamrel_SecurityDescriptorDialog.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class ACLMaskEditor : public testing::Test {
protected:
    ACLMaskEditor() : Design(L"TNtService") {}
    void SetUp() override {
        RegisterClasses({&TrkSecurityDescriptorDialog::StaticClassInfo(), &TrkAccessMaskEditor::StaticClassInfo()});
        Tamrel_Property_ACLMask_DoRegister();
        Dialog = dynamic_cast<TrkSecurityDescriptorDialog*>(
            Design.Host().AddComponent(Design.File(), L"TrkSecurityDescriptorDialog", L"Dialog"));
        ASSERT_NE(Dialog, nullptr);
        Dialog->MaskBits()->SetMaskType(mtFile);
        Design.Host().ClearRecords();
    }
    TInspectorCall Inspect(TInspectorOp op, const std::wstring& property, const std::wstring& path = L"Dialog",
                           const std::wstring& editor = {}) {
        return Design.Host().Inspect(op, Design.File(), path, property, {}, editor);
    }
    // The texts of the form's bit list.
    static std::vector<std::wstring> Lines(TrkSpecialAccessEditor* list) {
        std::vector<std::wstring> lines;
        for (int i = 0; i < list->Items()->Count(); ++i) lines.push_back(list->Items()->Get(i));
        return lines;
    }
    static void ClickItem(TrkSpecialAccessEditor* list, int index) {
        list->SetTopIndex(index);
        PumpPending();
        const RECT r = list->ItemRect(index);
        ClickAt(list->ClientToScreen(POINT{r.left + 8, (r.top + r.bottom) / 2}));
    }
    TEditorsDesign Design;
    TrkSecurityDescriptorDialog* Dialog = nullptr;
};

TEST_F(ACLMaskEditor, ShowsTheDialogsLimitsAndNothingForAnotherClass) {
    Dialog->SetDACLMask(0x000F01FF);
    TInspectorCall dacl = Inspect(TInspectorOp::GetValue, L"DACLMask");
    ASSERT_TRUE(dacl.Succeeded) << ToUtf8(dacl.Error);
    EXPECT_EQ(dacl.Editor, L"TDACLMaskPropertyEditor");
    EXPECT_EQ(dacl.Value, L"$000F01FF");
    TInspectorCall sacl = Inspect(TInspectorOp::GetValue, L"SACLMask");
    EXPECT_EQ(sacl.Editor, L"TSACLMaskPropertyEditor");
    EXPECT_EQ(sacl.Value, L"$FFFFFFFF");
    const TPropertyAttributes attributes = Inspect(TInspectorOp::GetAttributes, L"SACLMask").Attributes;
    EXPECT_TRUE(attributes.Contains(paDialog));
    EXPECT_FALSE(attributes.Contains(paMultiSelect));

    // On any other component the editor shows nothing and opens nothing.
    ASSERT_NE(Design.Host().AddComponent(Design.File(), L"TrkAccessMaskEditor", L"Other"), nullptr);
    TInspectorCall other = Inspect(TInspectorOp::GetValue, L"Tag", L"Other", L"TSACLMaskPropertyEditor");
    ASSERT_TRUE(other.Succeeded) << ToUtf8(other.Error);
    EXPECT_EQ(other.Value, L"");
    TModalHookScope hook([&](const TModalWindow& m) { ADD_FAILURE() << "a window opened: " << ToUtf8(m.Caption); });
    EXPECT_TRUE(Inspect(TInspectorOp::Edit, L"Tag", L"Other", L"TDACLMaskPropertyEditor").Succeeded);
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

TEST_F(ACLMaskEditor, TheSACLEditorOffersAll32BitsAndATickIsWrittenWithOneNotice) {
    std::vector<std::wstring> lines;
    uint32_t shown = 0;
    bool okAtFirst = false;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkACLMaskPropertyEditorForm*>(m.Form);
        if (!form) return;
        lines = Lines(form->SAE);
        shown = form->SAE->AccessMask();
        okAtFirst = form->BnOK->Enabled();
        SaveCapture(*CaptureControl(form, true), L"ACLMaskEditorSACLOpened");
        ClickItem(form->SAE, 21); // "Bit 21": off
        SaveCapture(*CaptureControl(form, true), L"ACLMaskEditorSACLBit21Off");
        ClickButton(form->BnOK);
    });
    TInspectorCall edit = Inspect(TInspectorOp::Edit, L"SACLMask");
    ASSERT_TRUE(edit.Succeeded) << ToUtf8(edit.Error);
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], Dialog->MaskBits()->MaskBit(0)->BitName()); // the file template's name
    EXPECT_EQ(lines[6], L"Bit  6 ($00000040)");
    EXPECT_EQ(lines[21], L"Bit 21 ($00200000)");
    EXPECT_EQ(lines[16], L"Delete access");
    EXPECT_EQ(shown, 0xFFFFFFFFu);
    EXPECT_TRUE(okAtFirst);
    EXPECT_EQ(Dialog->SACLMask(), 0xFFDFFFFFu);
    EXPECT_EQ(Dialog->DACLMask(), 0xFEFFFFFFu);
    EXPECT_EQ(Design.ModifiedValues(), std::vector<std::wstring>{L"4292870143"});
    // The placeholders were the form's: the dialog's set still leaves bit 21 unnamed and unused.
    EXPECT_EQ(Dialog->MaskBits()->MaskBit(21)->BitName(), L"");
    EXPECT_FALSE(Dialog->MaskBits()->MaskBit(21)->IsUsed());
    EXPECT_EQ(Dialog->MaskBits()->MaskType(), mtFile);
}

TEST_F(ACLMaskEditor, TheDACLEditorShowsItsLimitAndCancelWritesNothing) {
    Dialog->SetDACLMask(0x00000003);
    std::vector<bool> ticks;
    bool okWhenEmpty = true;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkACLMaskPropertyEditorForm*>(m.Form);
        if (!form) return;
        for (int i = 0; i < 4; ++i) ticks.push_back(form->SAE->Checked(i));
        ClickItem(form->SAE, 0);
        ClickItem(form->SAE, 1);
        okWhenEmpty = form->BnOK->Enabled(); // mask 0
        SaveCapture(*CaptureControl(form, true), L"ACLMaskEditorDACLEmpty");
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Inspect(TInspectorOp::Edit, L"DACLMask").Succeeded);
    EXPECT_EQ(ticks, (std::vector<bool>{true, true, false, false}));
    EXPECT_FALSE(okWhenEmpty);
    EXPECT_EQ(Dialog->DACLMask(), 3u);
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

} // namespace
