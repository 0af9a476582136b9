#include "ide/msgtable/model/EvLog_Locales.h"

#include <windows.h>

#include <gtest/gtest.h>

using namespace tamrel::evlog;

TEST(Locales, KnowsUsEnglishWithItsCodePageAndCharset) {
    TLocale* locale = FindLocale(1033);
    ASSERT_NE(nullptr, locale);
    EXPECT_EQ(1033u, locale->Locale);
    EXPECT_EQ(L"English (United States)", locale->DisplayText());
    EXPECT_EQ(1252, locale->CodePage);
    EXPECT_EQ(ANSI_CHARSET, locale->Charset);
    EXPECT_EQ(locale, AllLocales().Locales(AllLocales().IndexOfLocale(1033)));
    EXPECT_EQ(locale->Index, AllLocales().IndexOfLocale(1033));
}

TEST(Locales, TheListHoldsTheKnownLcidsInAscendingOrder) {
    TLocales& all = AllLocales();
    ASSERT_GT(all.Count(), 100);
    for (int i = 1; i < all.Count(); ++i) EXPECT_LT(all.Locales(i - 1)->Locale, all.Locales(i)->Locale) << i;
    for (int i = 0; i < all.Count(); ++i) EXPECT_EQ(i, all.Locales(i)->Index);
    EXPECT_GE(all.IndexOfLocale(0x0419), 0) << "Russian";
}

TEST(Locales, AnUnknownLcidIsNeitherAddedNorFound) {
    const int count = AllLocales().Count();
    EXPECT_EQ(nullptr, AddLocale(0x7FFF));
    EXPECT_EQ(nullptr, FindLocale(0x7FFF));
    EXPECT_EQ(-1, AllLocales().IndexOfLocale(0x7FFF));
    EXPECT_EQ(count, AllLocales().Count());
}

TEST(Locales, AddLocaleTwiceGivesTheSameEntry) {
    TLocale* first = AddLocale(1049);
    ASSERT_NE(nullptr, first);
    const int count = AllLocales().Count();
    EXPECT_EQ(first, AddLocale(1049));
    EXPECT_EQ(count, AllLocales().Count());
    EXPECT_EQ(1251, first->CodePage);
}
