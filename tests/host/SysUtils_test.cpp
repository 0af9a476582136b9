#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;

TEST(Format, HostSpecifiers) {
    struct Case {
        const wchar_t* format;
        std::wstring expected;
        std::wstring actual;
    } cases[] = {
        {L"%s", L"abc", Format(L"%s", L"abc")},
        {L"%d", L"-42", Format(L"%d", -42)},
        {L"%u", L"4294967295", Format(L"%u", 0xFFFFFFFFu)},
        {L"%x", L"FF", Format(L"%x", 255)},
        {L"%x of -1", L"FFFFFFFF", Format(L"%x", -1)},
        {L"%2d", L" 7", Format(L"%2d", 7)},
        {L"%0:s%0:s", L"abab", Format(L"%0:s%0:s", L"ab")},
        {L"%-8s|", L"ab      |", Format(L"%-8s|", L"ab")},
        {L"%.8x", L"0000ABCD", Format(L"%.8x", 0xABCD)},
        {L"%.3d", L"007", Format(L"%.3d", 7)},
        {L"%.2s", L"ab", Format(L"%.2s", L"abc")},
        {L"%*d", L"   5", Format(L"%*d", 4, 5)},
        {L"%%", L"%", Format(L"%%")},
        {L"%1:s %0:s", L"b a", Format(L"%1:s %0:s", L"a", L"b")},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, c.actual) << c.format;
}

TEST(Format, BadSpecifiersRaiseConvertError) {
    EXPECT_THROW(Format(L"%d", L"text"), EConvertError);
    EXPECT_THROW(Format(L"%s %s", L"one"), EConvertError);
    EXPECT_THROW(Format(L"%q", 1), EConvertError);
    EXPECT_THROW(Format(L"%"), EConvertError);
}

TEST(Conversions, IntegersAndHex) {
    EXPECT_EQ(L"-12", IntToStr(-12));
    EXPECT_EQ(L"0000FFFF", IntToHex(0xFFFF, 8));
    EXPECT_EQ(L"123456789", IntToHex(0x123456789ull, 2));
    EXPECT_EQ(42, StrToInt(L" 42 "));
    EXPECT_EQ(-1, StrToInt(L"$FFFFFFFF"));
    EXPECT_EQ(255, StrToInt(L"0xff"));
    EXPECT_THROW(StrToInt(L"12a"), EConvertError);
    EXPECT_THROW(StrToInt(L""), EConvertError);
    EXPECT_THROW(StrToInt(L"99999999999"), EConvertError);
    EXPECT_EQ(7, StrToIntDef(L"x", 7));
}

TEST(Text, TrimCaseAndCompare) {
    EXPECT_EQ(L"a b", Trim(L" \t a b \r\n"));
    EXPECT_EQ(L"", Trim(L"   "));
    EXPECT_EQ(L"ABC\u00e9", UpperCase(L"abc\u00e9")); // ASCII only
    EXPECT_EQ(L"ABC\u00c9", AnsiUpperCase(L"abc\u00e9"));
    EXPECT_EQ(0, CompareText(L"Install", L"INSTALL"));
    EXPECT_LT(CompareText(L"abc", L"abd"), 0);
    EXPECT_GT(CompareText(L"abcd", L"abc"), 0);
    EXPECT_EQ(0, AnsiCompareText(L"\u00e9t\u00e9", L"\u00c9T\u00c9"));
}

TEST(Guids, RoundTripAndMalformedText) {
    GUID g = StringToGUID(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    EXPECT_EQ(0x6B29FC40u, g.Data1);
    EXPECT_EQ(0xDAu, g.Data4[7]);
    EXPECT_EQ(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}", GUIDToString(g));
    EXPECT_EQ(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}",
              GUIDToString(StringToGUID(L"{6b29fc40-ca47-1067-b31d-00dd010662da}")));
    for (const wchar_t* bad : {L"", L"{6B29FC40-CA47-1067-B31D-00DD010662D}", L"6B29FC40-CA47-1067-B31D-00DD010662DA",
                               L"{6B29FC40+CA47-1067-B31D-00DD010662DA}", L"{6B29FC4G-CA47-1067-B31D-00DD010662DA}"})
        EXPECT_THROW(StringToGUID(bad), EConvertError) << bad;
}

TEST(OSErrors, CarryCodeAndSystemText) {
    try {
        RaiseLastOSError(ERROR_FILE_NOT_FOUND);
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), e.ErrorCode());
        EXPECT_EQ(0u, e.Message().find(L"System Error.  Code: 2.\r\n"));
        EXPECT_GT(e.Message().size(), std::wstring(L"System Error.  Code: 2.\r\n").size());
    }
    std::wstring text = SysErrorMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(L'.', text.back());
    EXPECT_NE(L'\n', text.back());
    EXPECT_EQ(SUnkOSError, OSErrorText(0));
}

TEST(CommandLine, HostSplittingRules) {
    auto args = SplitCommandLine(L"prog.exe  /a \"b c\" d\"e f\"g \"\"");
    ASSERT_EQ(5u, args.size());
    EXPECT_EQ(L"/a", args[1]);
    EXPECT_EQ(L"b c", args[2]);
    EXPECT_EQ(L"de fg", args[3]);
    EXPECT_EQ(L"", args[4]);
    // ParamStr(0) is the program file, not the first word of the command line.
    std::wstring self = ParamStr(0);
    EXPECT_EQ(L"host_tests.exe", ExtractFileName(self));
    EXPECT_NE(std::wstring::npos, self.find(L'\\'));
}

TEST(DateTime, NowIsTheHostValue) {
    SYSTEMTIME st{};
    st.wYear = 1899;
    st.wMonth = 12;
    st.wDay = 30;
    EXPECT_DOUBLE_EQ(0.0, SystemTimeToDateTime(st));
    st = SYSTEMTIME{};
    st.wYear = 2000;
    st.wMonth = 1;
    st.wDay = 1;
    st.wHour = 12;
    EXPECT_DOUBLE_EQ(36526.5, SystemTimeToDateTime(st));
    EXPECT_GT(Now(), 40000.0);
}

TEST(Text, FitsCodePageSeesCharactersTheCodePageLacks) {
    EXPECT_TRUE(FitsCodePage(L""));
    EXPECT_TRUE(FitsCodePage(L"plain # text\r\n"));
    EXPECT_TRUE(FitsCodePage(L"caf\u00e9 \u20ac"));
    EXPECT_FALSE(FitsCodePage(L"\u0416"));
    EXPECT_FALSE(FitsCodePage(L"a\u0101")) << "no best-fit 'a' for a-macron";
    EXPECT_TRUE(FitsCodePage(L"\u0416", 1251));
}
