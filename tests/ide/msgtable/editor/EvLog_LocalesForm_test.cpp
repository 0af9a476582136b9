// The locale dialog driven under the modal hook like a person: check boxes clicked, OK by Enter,
// Cancel by Esc; the checked locales come back in the dialog's order, Cancel changes nothing,
// locales the system does not know are listed checked and kept; a capture of its checks.
#include "ide/msgtable/editor/EvLog_LocalesForm.h"

#include "tests/ide/msgtable/editor/PropertiesTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::test;

namespace {

// Runs SelectLocales on the list with Drive acting on the shown dialog; answers its result.
bool SelectDriven(std::vector<uint32_t>& locales, const std::function<void(TLocalesForm&)>& drive) {
    int shown = 0;
    TModalHookScope hook([&](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkForm);
        auto* form = dynamic_cast<TLocalesForm*>(m.Form);
        ASSERT_NE(form, nullptr);
        ++shown;
        drive(*form);
    });
    const bool result = SelectLocales(locales);
    EXPECT_EQ(shown, 1);
    return result;
}

TEST(LocalesForm, ListsEveryKnownLocaleInTheListsOrderCentredOnTheDesktop) {
    std::vector<uint32_t> locales = {1033};
    SelectDriven(locales, [](TLocalesForm& f) {
        EXPECT_EQ(f.Caption(), L"Select languages to be used");
        TLocales& all = AllLocales();
        ASSERT_EQ(f.LV->Items()->Count(), all.Count());
        for (int i = 0; i < all.Count(); ++i) EXPECT_EQ(f.LV->Items()->Item(i)->Data(), all.Locales(i));
        const int english = IndexOfLocale(f.LV, 1033);
        ASSERT_GE(english, 0);
        EXPECT_EQ(f.LV->Items()->Item(english)->Caption(), L"1033 - English (United States)");
        RECT r;
        GetWindowRect(f.Handle(), &r);
        EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
        EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
        PressKeys({VK_ESCAPE});
    });
}

TEST(LocalesForm, OkGivesTheCheckedLocalesInTheDialogsOrder) {
    std::vector<uint32_t> locales = {1036, 1033}; // French, English
    ASSERT_TRUE(SelectDriven(locales, [](TLocalesForm& f) {
        EXPECT_EQ(CheckedLocales(f.LV), (std::vector<uint32_t>{1033, 1036}));
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1031)); // German on
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1036)); // French off
        EXPECT_EQ(CheckedLocales(f.LV), (std::vector<uint32_t>{1031, 1033}));
        PressKeys({VK_RETURN});
    }));
    EXPECT_EQ(locales, (std::vector<uint32_t>{1031, 1033}));
    // Untouched, the list still comes back in the dialog's order.
    locales = {1036, 1033};
    ASSERT_TRUE(SelectDriven(locales, [](TLocalesForm&) { PressKeys({VK_RETURN}); }));
    EXPECT_EQ(locales, (std::vector<uint32_t>{1033, 1036}));
}

TEST(LocalesForm, CancelLeavesTheListAsItWas) {
    std::vector<uint32_t> locales = {1036, 1033};
    EXPECT_FALSE(SelectDriven(locales, [](TLocalesForm& f) {
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1033));
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1031));
        PressKeys({VK_ESCAPE});
    }));
    EXPECT_EQ(locales, (std::vector<uint32_t>{1036, 1033}));
}

TEST(LocalesForm, NoneCheckedGivesAnEmptyList) {
    std::vector<uint32_t> locales = {1033};
    ASSERT_TRUE(SelectDriven(locales, [](TLocalesForm& f) {
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1033));
        PressKeys({VK_RETURN});
    }));
    EXPECT_TRUE(locales.empty());
}

TEST(LocalesForm, ALocaleTheSystemDoesNotKnowIsListedCheckedAndKeptByOk) {
    ASSERT_EQ(FindLocale(kUnknownLocale), nullptr);
    const int known = AllLocales().Count();
    std::vector<uint32_t> locales = {kUnknownLocale, 1033};
    ASSERT_TRUE(SelectDriven(locales, [&](TLocalesForm& f) {
        ASSERT_EQ(f.LV->Items()->Count(), known + 1);
        TListItem* item = f.LV->Items()->Item(known);
        EXPECT_EQ(IndexOfLocale(f.LV, kUnknownLocale), known);
        EXPECT_TRUE(item->Checked());
        EXPECT_TRUE(item->Caption().starts_with(std::to_wstring(kUnknownLocale) + L" - ")) << ToUtf8(item->Caption());
        PressKeys({VK_RETURN});
    }));
    EXPECT_EQ(locales, (std::vector<uint32_t>{1033, kUnknownLocale}));
    // Unchecked by the user, it goes.
    ASSERT_TRUE(SelectDriven(locales, [&](TLocalesForm& f) {
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, kUnknownLocale));
        PressKeys({VK_RETURN});
    }));
    EXPECT_EQ(locales, std::vector<uint32_t>{1033});
    EXPECT_EQ(AllLocales().Count(), known);
}

TEST(LocalesForm, TheCaptureShowsTheChecksOfTheCheckedItemsOnly) {
    std::vector<uint32_t> locales = {1033};
    SelectDriven(locales, [](TLocalesForm& f) {
        const int english = IndexOfLocale(f.LV, 1033);
        ClickCheckBox(f.LV, english + 1);
        ListView_EnsureVisible(f.LV->Handle(), english, FALSE);
        ListView_EnsureVisible(f.LV->Handle(), english + 3, FALSE);
        PumpPending();
        SaveCapture(*CaptureControl(&f, true), L"LocalesDialog");
        // The box of a checked row differs from the boxes of unchecked rows, which look alike.
        auto list = CaptureControl(f.LV);
        EXPECT_NE(CheckBoxPixels(*list, f.LV, english), CheckBoxPixels(*list, f.LV, english + 2));
        EXPECT_EQ(CheckBoxPixels(*list, f.LV, english + 2), CheckBoxPixels(*list, f.LV, english + 3));
        PressKeys({VK_ESCAPE});
    });
}

} // namespace
