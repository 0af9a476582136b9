#include "ide/msgtable/model/core/ElpText.h"

#include <gtest/gtest.h>

using namespace tamrel::msgcore;

TEST(ElpText, EscapesAndUnescapes) {
    struct Case {
        std::u16string text, escaped;
    } cases[] = {{u"", u""},
                 {u"a\r\nb", u"a#D#Ab"},
                 {u"50% #1\r\n", u"50% ##1#D#A"},
                 {u"##", u"####"},
                 {u"\u0416#\u0416", u"\u0416##\u0416"}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.escaped, EscapeElpText(c.text));
        EXPECT_EQ(c.text, UnescapeElpText(c.escaped));
    }
    struct Odd {
        std::u16string escaped, text;
    } odd[] = {{u"a#Xb", u"ab"}, {u"a#", u"a"}, {u"#a#d", u""}, {u"###", u"#"}, {u"#A#", u"\n"}};
    for (const Odd& c : odd) EXPECT_EQ(c.text, UnescapeElpText(c.escaped));
}

TEST(ElpText, QuotesWhatTheIniReaderWouldChange) {
    struct Case {
        std::u16string value, written;
    } cases[] = {{u"plain", u"plain"},
                 {u" lead", u"\" lead\""},
                 {u"trail\t", u"\"trail\t\""},
                 {u"'x'", u"\"'x'\""},
                 {u"\"x\"", u"\"\"x\"\""},
                 {u"\"", u"\""},
                 {u"'x\"", u"'x\""},
                 {u"", u""},
                 {u"a = b", u"a = b"}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.written, IniQuote(c.value));
        EXPECT_EQ(c.value, IniValue(c.written));
    }
    EXPECT_EQ(u"x", IniValue(u"  'x'  "));
    EXPECT_EQ(u"x\"y", IniValue(u"\"x\"y\""));
    EXPECT_EQ(u"'x\"", IniValue(u"'x\""));
}

TEST(ElpText, SectionsFindTheFirstLineOfAKeyWhateverItsCase) {
    IniSection s;
    s.AddLine(u"  LowId  = 256 ");
    s.AddLine(u"lowid=512");
    s.AddLine(u"bare");
    s.AddLine(u"0=\" a \"");
    EXPECT_EQ(u"256", s.Value(u"LOWID"));
    EXPECT_EQ(nullptr, s.Find(u"bare")) << "a key without a value";
    EXPECT_EQ(u"def", s.Value(u"missing", u"def"));
    EXPECT_EQ(u" a ", s.Value(u"0"));
    EXPECT_EQ((std::vector<std::u16string>{u"LowId", u"lowid", u"bare", u"0"}), s.Keys());
}

TEST(ElpText, NumberedKeysAreFoundAsTheSystemMatchesKeyTexts) {
    IniSection s;
    s.AddLine(u"01=leading zero");
    s.AddLine(u"1=one");
    s.AddLine(u"1=second one");
    s.AddLine(u"2");
    s.AddLine(u"70000=big");
    s.AddLine(u"-1=minus");
    EXPECT_EQ(u"one", *s.FindNumber(1)) << "\"01\" is another key; the first \"1\" wins";
    EXPECT_EQ(u"leading zero", *s.Find(u"01"));
    EXPECT_EQ(u"one", *s.Find(u"1"));
    EXPECT_EQ(nullptr, s.FindNumber(2)) << "a key without a value";
    EXPECT_EQ(nullptr, s.FindNumber(3));
    EXPECT_EQ(nullptr, s.FindNumber(60000));
    EXPECT_EQ(u"big", *s.FindNumber(70000));
    EXPECT_EQ(u"minus", *s.Find(u"-1"));
}
