// The two pickers: the template picker selects the standard template of the set's type (none for
// a custom set) and takes a chosen one; the section picker lists a file's sections, copies a
// clicked one into its edit and enables OK only for a name that is not blank.
#include "ide/editors/Tamrel_SelectAccessBits.h"
#include "ide/editors/Tamrel_SelectAccessBitsTemplate.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/IniFiles.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TEST(TemplatePicker, TheSetsTypeSelectsItsStandardTemplateAndAChoiceGivesItsBits) {
    TOwned<TRkSelectAccessBitsTemplateForm> form(Create<TRkSelectAccessBitsTemplateForm>(nullptr));
    ASSERT_EQ(form->CbTemplates->Items()->Count(), 18);
    TrkAccessBits key;
    key.SetMaskType(mtKey);
    form->SetAccessMask(&key);
    EXPECT_TRUE(form->RbStandard->Checked());
    EXPECT_EQ(form->CbTemplates->ItemIndex(), static_cast<int>(mtKey) - 1);
    EXPECT_EQ(form->CbTemplates->Items()->Get(form->CbTemplates->ItemIndex()), L"Registry key access rights");
    EXPECT_EQ(form->AccessMask()->MaskBit(0)->BitName(), key.MaskBit(0)->BitName());

    TrkAccessBits custom;
    custom.SetMaskType(mtCustom);
    form->SetAccessMask(&custom);
    EXPECT_TRUE(form->RbUser->Checked());
    EXPECT_EQ(form->CbTemplates->ItemIndex(), -1);

    form->SetAccessMaskType(mtFile);
    form->RbStandard->SetChecked(true);
    form->RbTemplatesClick(form->RbStandard);
    form->CbTemplates->SetItemIndex(static_cast<int>(mtKey) - 1);
    form->CbTemplatesChange(form->CbTemplates);
    EXPECT_EQ(form->AccessMaskType(), mtKey);
}

TEST(SectionPicker, ListsTheSectionsCopiesAClickedOneAndRefusesBlankNames) {
    const std::wstring path = TempFileName(L"sec") + L".ini";
    WriteFileBytes(path, "[First]\r\nk=1\r\n[Second]\r\nk=2\r\n");
    TOwned<TRkSelectAccessBitsForm> form(Create<TRkSelectAccessBitsForm>(nullptr));
    {
        TIniFile ini(path);
        form->SetIniFile(&ini);
    }
    DeleteFileW(path.c_str());
    ASSERT_EQ(form->LbxSections->Items()->Count(), 2);
    EXPECT_EQ(form->LbxSections->Items()->Get(1), L"Second");
    EXPECT_FALSE(form->BnOK->Enabled());
    form->Show();
    PumpPending();
    for (const wchar_t* text : {L"   ", L"\t"}) {
        form->EdSection->SetText(text);
        PumpPending();
        EXPECT_FALSE(form->BnOK->Enabled());
    }
    form->LbxSections->SetItemIndex(1);
    form->LbxSectionsClick(form->LbxSections);
    PumpPending();
    EXPECT_EQ(form->Section(), L"Second");
    EXPECT_TRUE(form->BnOK->Enabled());
    form->EdSection->SetText(L" Sp ");
    PumpPending();
    EXPECT_EQ(form->Section(), L" Sp "); // as typed
    EXPECT_TRUE(form->BnOK->Enabled());
    form->SetIniFile(nullptr);
    EXPECT_EQ(form->LbxSections->Items()->Count(), 0);
}

} // namespace
