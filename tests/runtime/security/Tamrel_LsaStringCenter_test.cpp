#include "runtime/security/Tamrel_LsaStringCenter.h"
#include "tests/runtime/security/SecurityTestSupport.h"

#include "host/Streaming.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TStringCenterPtr = TOwnedPtr<TrkLsaUnicodeStringCenter>;
TStringCenterPtr NewCenter() { return TStringCenterPtr(Create<TrkLsaUnicodeStringCenter>(nullptr)); }

// The text a record describes, read from the record alone.
std::wstring RecordText(PLSA_UNICODE_STRING s) { return std::wstring(s->Buffer, s->Length / sizeof(wchar_t)); }

} // namespace

TEST(LsaStringCenter, ThreeCharactersGiveSixBytesAndAStoredNul) {
    auto c = NewCenter();
    c->SetText(L"abc");
    PLSA_UNICODE_STRING s = c->GetLsaUnicodeString();
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(6, s->Length);
    EXPECT_EQ(6, s->MaximumLength);
    EXPECT_EQ(reinterpret_cast<BYTE*>(s) + sizeof(LSA_UNICODE_STRING), reinterpret_cast<BYTE*>(s->Buffer));
    EXPECT_EQ(0, std::memcmp(L"abc", s->Buffer, 8)); // the NUL is there, behind the counted text
    // The record is kept until the next change.
    EXPECT_EQ(s, c->GetLsaUnicodeString());
}

TEST(LsaStringCenter, NonAsciiTextSurvivesTextRecordText) {
    const std::wstring text = L"Gr\u00FC\u00DFe \u041F\u0430\u0440\u043E\u043B\u044C \u20AC \xD83D\xDE00";
    auto from = NewCenter();
    from->SetText(text);
    auto to = NewCenter();
    to->SetLsaUnicodeString(from->GetLsaUnicodeString());
    EXPECT_EQ(text, to->GetText());
    EXPECT_EQ(text, RecordText(to->GetLsaUnicodeString()));
}

TEST(LsaStringCenter, RecordSetFromOutsideReadsBackByItsLength) {
    wchar_t storage[] = L"secretXYZ";
    LSA_UNICODE_STRING s{12, 18, storage};
    auto c = NewCenter();
    c->SetText(L"old");
    c->SetLsaUnicodeString(&s);
    storage[0] = L'S'; // the center holds its own copy
    EXPECT_EQ(L"secret", c->GetText());
    c->SetLsaUnicodeString(nullptr);
    EXPECT_EQ(L"", c->GetText());
    EXPECT_EQ(nullptr, c->GetLsaUnicodeString());
}

TEST(LsaStringCenter, RefusedRecordLeavesTheCenterAsItWas) {
    wchar_t storage[] = L"abcdefgh";
    LSA_UNICODE_STRING odd{5, 16, storage};
    auto c = NewCenter();
    c->SetText(L"kept");
    EXPECT_THROW(c->SetLsaUnicodeString(&odd), Exception);
    EXPECT_EQ(L"kept", c->GetText());
    EXPECT_EQ(L"kept", RecordText(c->GetLsaUnicodeString()));
}

TEST(LsaStringCenter, CopiesOutliveChangesOfTheCenter) {
    auto c = NewCenter();
    c->SetText(L"first");
    PLSA_UNICODE_STRING one = c->GetLsaUnicodeStringCopy();
    c->SetText(L"second");
    PLSA_UNICODE_STRING two = c->GetLsaUnicodeStringCopy();
    c->SetText(L"third");
    c->GetLsaUnicodeString();
    ASSERT_NE(one, two);
    EXPECT_NE(static_cast<void*>(one), static_cast<void*>(c->GetLsaUnicodeString()));
    EXPECT_EQ(L"first", RecordText(one));
    EXPECT_EQ(L"second", RecordText(two));
    // Cleanup releases them; the center itself is unchanged.
    c->Cleanup();
    EXPECT_EQ(L"third", c->GetText());
}

TEST(LsaStringCenter, TextLengthLimitOfTheSixteenBitRecord) {
    auto c = NewCenter();
    std::wstring longest(MaxLsaStringChars, L'x');
    c->SetText(longest);
    PLSA_UNICODE_STRING s = c->GetLsaUnicodeString();
    EXPECT_EQ(65534, s->Length);
    EXPECT_EQ(longest, RecordText(s));

    // One more character would wrap the lengths to 0: no record, the text stays.
    std::wstring tooLong(MaxLsaStringChars + 1, L'y');
    c->SetText(tooLong);
    try {
        c->GetLsaUnicodeString();
        FAIL() << "a text of 32768 characters made a record";
    } catch (const Exception& e) {
        EXPECT_EQ(L"A text of 32768 characters is too long for an LSA string (at most 32767 characters)", e.Message());
    }
    EXPECT_THROW(c->GetLsaUnicodeStringCopy(), Exception);
    EXPECT_EQ(tooLong, c->GetText());
}

TEST(LsaStringCenter, TextIsItsStoredProperty) {
    auto root = NewHolder();
    auto* c = Create<TrkLsaUnicodeStringCenter>(root.get());
    c->SetName(L"Name1");
    c->SetText(L"caf\u00E9");
    const std::wstring expected = L"object Holder: TDataModule\r\n"
                                  L"  object Name1: TrkLsaUnicodeStringCenter\r\n"
                                  L"    Text = 'caf'#233\r\n"
                                  L"  end\r\n"
                                  L"end\r\n";
    EXPECT_EQ(expected, ComponentToText(root.get()));
    auto copy = ReadBack(expected);
    auto* back = Part<TrkLsaUnicodeStringCenter>(*copy, L"Name1");
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(L"caf\u00E9", back->GetText());
}
