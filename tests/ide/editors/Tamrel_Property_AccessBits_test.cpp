// The bits editor through the environment's inspector, on the MaskData of a mask editor's bit set
// in a designer: "Use bit" toggled by a click and by Space (a bit that cannot be used stays),
// a name typed into its cell (trimmed), a standard template taken through the template picker,
// OK writing the owning editor's bits with one notice to the designer, Cancel writing nothing;
// a set saved into an INI file of one's choice and loaded back through the file and section
// dialogs, and the template manager opened beside the editor.
#include "ide/editors/Tamrel_Property_AccessBits.h"
#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"
#include "ide/editors/Tamrel_SelectAccessBits.h"
#include "ide/editors/Tamrel_SelectAccessBitsTemplate.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
#include "runtime/controls/Tamrel_Masks.h"

#include <gtest/gtest.h>

#include <dlgs.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class AccessBitsEditor : public testing::Test {
protected:
    AccessBitsEditor() : Design(L"TNtService") {}
    void SetUp() override {
        RegisterClasses({&TrkAccessMaskEditor::StaticClassInfo(), &TrkSpecialAccessEditor::StaticClassInfo()});
        Tamrel_Property_AccessBits_DoRegister();
        Editor = dynamic_cast<TrkAccessMaskEditor*>(Design.Host().AddComponent(Design.File(), L"TrkAccessMaskEditor", L"Editor"));
        Special = dynamic_cast<TrkSpecialAccessEditor*>(
            Design.Host().AddComponent(Design.File(), L"TrkSpecialAccessEditor", L"Special"));
        ASSERT_TRUE(Editor && Special);
        Editor->SetSpecialAccessEditor(Special);
        Editor->MaskBits()->SetMaskType(mtFile);
        Editor->MaskBits()->MaskBit(0)->SetBitName(L"Reading"); // a custom set
        Design.Host().ClearRecords();
    }
    TInspectorCall Edit() { return Design.Host().Inspect(TInspectorOp::Edit, Design.File(), L"Editor.MaskBits", L"MaskData"); }
    // The centre of a grid cell on the screen.
    static POINT CellPoint(TStringGrid* grid, int col, int row) {
        const RECT r = grid->CellRect(col, row);
        return grid->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    std::vector<std::wstring> SpecialLines() const {
        std::vector<std::wstring> lines;
        for (int i = 0; i < Special->Items()->Count(); ++i) lines.push_back(Special->Items()->Get(i));
        return lines;
    }
    TEditorsDesign Design;
    TrkAccessMaskEditor* Editor = nullptr;
    TrkSpecialAccessEditor* Special = nullptr;
};

TEST_F(AccessBitsEditor, OffersADialogOnly) {
    TInspectorCall attributes = Design.Host().Inspect(TInspectorOp::GetAttributes, Design.File(), L"Editor.MaskBits", L"MaskData");
    ASSERT_TRUE(attributes.Succeeded) << ToUtf8(attributes.Error);
    EXPECT_EQ(attributes.Editor, L"TAccessBitsPropertyEditor");
    EXPECT_EQ(attributes.Attributes, TPropertyAttributes{paDialog});
}

TEST_F(AccessBitsEditor, ClicksSpaceAndTypedNamesReachTheOwningEditorOnOK) {
    std::wstring shownName7;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkAccessBitsEditorForm*>(m.Form);
        if (!form) return;
        TStringGrid* grid = form->GrMaskBits;
        TrkAccessBits* bits = form->AccessMask();
        shownName7 = grid->Cells(2, 8);
        SaveCapture(*CaptureControl(form, true), L"AccessBitsEditorOpened");
        ClickAt(CellPoint(grid, 1, 7)); // bit 6: not used by the file template
        EXPECT_TRUE(bits->MaskBit(6)->IsUsed());
        // Bit 7 from its name cell: Left, then Space.
        ClickAt(CellPoint(grid, 2, 8));
        PressKeys({VK_LEFT, VK_SPACE});
        // A name typed into the empty name cell of bit 6.
        ClickAt(CellPoint(grid, 2, 7));
        TypeText(L"  My right  ");
        PressKeys({VK_DOWN});
        SaveCapture(*CaptureControl(form, true), L"AccessBitsEditorChanged");
        ClickButton(form->BnOK);
    });
    TInspectorCall edit = Edit();
    ASSERT_TRUE(edit.Succeeded) << ToUtf8(edit.Error);
    EXPECT_EQ(shownName7, L"Read attributes");
    TrkAccessBits* bits = Editor->MaskBits();
    EXPECT_TRUE(bits->MaskBit(6)->IsUsed());
    EXPECT_EQ(bits->MaskBit(6)->BitName(), L"My right");
    EXPECT_FALSE(bits->MaskBit(7)->IsUsed());
    // The linked special editor lists the bits in use now.
    const std::vector<std::wstring> lines = SpecialLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[6], L"My right");
    EXPECT_EQ(lines[7], bits->MaskBit(8)->BitName());
    EXPECT_EQ(Design.ModifiedValues().size(), 1u);
}

TEST_F(AccessBitsEditor, AStandardTemplateTakenFromThePickerIsWrittenOnOK) {
    bool userListAtFirst = false;
    std::wstring chosen, firstName;
    TModalHookScope hook([&](const TModalWindow& m) {
        if (auto* picker = dynamic_cast<TRkSelectAccessBitsTemplateForm*>(m.Form)) {
            // A custom set opens on the user-defined templates.
            userListAtFirst = picker->RbUser->Checked();
            ClickAt(picker->RbStandard->ClientToScreen(POINT{6, picker->RbStandard->Height() / 2}));
            picker->CbTemplates->SetFocus();
            PressKeys({VK_HOME, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN});
            chosen = picker->CbTemplates->Items()->Get(picker->CbTemplates->ItemIndex());
            SaveCapture(*CaptureControl(picker, true), L"AccessBitsTemplatePickerKey");
            ClickButton(picker->BnOK);
            return;
        }
        auto* form = dynamic_cast<TRkAccessBitsEditorForm*>(m.Form);
        if (!form) return;
        ClickButton(form->BnGetTemplate);
        firstName = form->GrMaskBits->Cells(2, 1);
        SaveCapture(*CaptureControl(form, true), L"AccessBitsEditorFromTemplate");
        ClickButton(form->BnOK);
    });
    ASSERT_TRUE(Edit().Succeeded);
    EXPECT_TRUE(userListAtFirst);
    EXPECT_EQ(chosen, L"Registry key access rights");
    EXPECT_EQ(firstName, L"Query value");
    EXPECT_EQ(Editor->MaskBits()->MaskType(), mtKey);
    EXPECT_EQ(Editor->MaskBits()->UsedCount(), 6);
    const std::vector<std::wstring> lines = SpecialLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], L"Query value");
    EXPECT_EQ(Design.ModifiedValues().size(), 1u);
}

TEST_F(AccessBitsEditor, CancelWritesAndTellsNothing) {
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TRkAccessBitsEditorForm*>(m.Form);
        if (!form) return;
        ClickAt(CellPoint(form->GrMaskBits, 1, 1)); // bit 0 off
        ASSERT_FALSE(form->AccessMask()->MaskBit(0)->IsUsed());
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Edit().Succeeded);
    EXPECT_TRUE(Editor->MaskBits()->MaskBit(0)->IsUsed());
    EXPECT_EQ(SpecialLines().size(), 8u);
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

// Types a name into a file dialog's name box and presses OK.
void EnterFileName(HWND dialog, const std::wstring& name) {
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box) box = GetDlgItem(dialog, edt1);
    SetWindowTextW(box, name.c_str());
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

TEST_F(AccessBitsEditor, SaveAndLoadGoThroughTheFileAndSectionDialogs) {
    const std::wstring path = TempFileName(L"bits") + L".ini";
    TScopeExit removed([&] { DeleteFileW(path.c_str()); });
    int fileDialogs = 0, sectionDialogs = 0;
    std::vector<std::wstring> offered;
    bool loadedBack = false;
    TModalHookScope hook([&](const TModalWindow& m) {
        if (m.Kind == TModalKind::mkFileDialog) {
            ++fileDialogs;
            EnterFileName(m.Window, path);
            return;
        }
        if (auto* picker = dynamic_cast<TRkSelectAccessBitsForm*>(m.Form)) {
            if (++sectionDialogs == 1) {
                picker->EdSection->SetFocus();
                TypeText(L"Saved");
            } else {
                for (int i = 0; i < picker->LbxSections->Items()->Count(); ++i) offered.push_back(picker->LbxSections->Items()->Get(i));
                const RECT r = picker->LbxSections->ItemRect(0);
                ClickAt(picker->LbxSections->ClientToScreen(POINT{r.left + 10, (r.top + r.bottom) / 2}));
            }
            ClickButton(picker->BnOK);
            return;
        }
        auto* form = dynamic_cast<TRkAccessBitsEditorForm*>(m.Form);
        if (!form) return;
        ClickButton(form->BnSave);
        ClickAt(CellPoint(form->GrMaskBits, 1, 1)); // bit 0 off, after the save
        ClickButton(form->BnLoad);
        loadedBack = form->AccessMask()->MaskBit(0)->IsUsed();
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Edit().Succeeded);
    EXPECT_EQ(fileDialogs, 2);
    EXPECT_EQ(sectionDialogs, 2);
    EXPECT_EQ(offered, std::vector<std::wstring>{L"Saved"});
    EXPECT_TRUE(loadedBack);
    TrkAccessBits read;
    read.LoadFromIni(path, L"Saved");
    EXPECT_EQ(read.MaskBit(0)->BitName(), L"Reading");
    EXPECT_TRUE(read.MaskBit(0)->IsUsed());
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

TEST_F(AccessBitsEditor, ManageTemplatesOpensTheOneManagerBesideTheEditor) {
    TRkManageAccessBitsTemplateForm* seen = nullptr;
    TModalHookScope hook([&](const TModalWindow& m) {
        if (m.Kind == TModalKind::mkModelessForm) {
            if (auto* manager = dynamic_cast<TRkManageAccessBitsTemplateForm*>(m.Form)) seen = manager;
            return;
        }
        auto* form = dynamic_cast<TRkAccessBitsEditorForm*>(m.Form);
        if (!form) return;
        ClickButton(form->BnManageTemplates);
        ClickButton(form->BnManageTemplates);
        PumpUntil([&] { return seen != nullptr; }, 3000);
        ClickButton(form->BnCancel);
    });
    ASSERT_TRUE(Edit().Succeeded);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen, MaskTemplateManager());
    EXPECT_TRUE(IsWindowVisible(seen->Handle()));
    seen->ActExit->Execute();
    EXPECT_TRUE(PumpUntil([] { return MaskTemplateManager() == nullptr; }));
}

} // namespace
