#include "runtime/security/Tamrel_SecretCenter.h"
#include "runtime/security/internal/Tamrel_SecretStoreInternal.h"
#include "runtime/service/base/internal/Tamrel_WinVerInternal.h"
#include "tests/runtime/security/FakeLsa.h"

#include "host/Registry.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TSecretCenterPtr = TOwnedPtr<TrkSecretCenter>;
TSecretCenterPtr NewCenter() { return TSecretCenterPtr(Create<TrkSecretCenter>(nullptr)); }

const std::wstring NonAscii = L"p\u00E4ss \u041F\u0430\u0440\u043E\u043B\u044C \u20AC";

// The converted code of an LSA failure, as the center raises it.
DWORD RaisedCode(const std::function<void()>& call) {
    try {
        call();
    } catch (const EOSError& e) {
        return e.ErrorCode();
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Through the tests' LSA

TEST(SecretCenter, NonAsciiSecretWrittenAndReadBack) {
    TFakeLsa lsa;
    {
        auto writer = NewCenter();
        writer->SetSecretName(L"L$Tamrel\u00E9");
        writer->SetSecretValue(NonAscii);
        writer->Write();
        auto reader = NewCenter();
        reader->SetSecretName(L"L$Tamrel\u00E9");
        EXPECT_TRUE(reader->Read());
        EXPECT_EQ(NonAscii, reader->SecretValue());
    }
    EXPECT_EQ(NonAscii, lsa.Secrets[L"L$Tamrel\u00E9"]);
    EXPECT_EQ(0, lsa.BuffersOut); // the retrieved record went back to the LSA
    EXPECT_EQ(0, lsa.OpenHandles);
}

TEST(SecretCenter, BinarySecretOfOddLengthIsReadAndWrittenBackWhole) {
    TFakeLsa lsa;
    const std::string bytes("\x41\x00\xFF\x7F\x42", 5);
    lsa.ByteSecrets[L"binary"] = bytes;
    auto c = NewCenter();
    c->SetSecretName(L"binary");
    ASSERT_TRUE(c->Read());
    EXPECT_EQ(std::wstring(L"A\x7FFF"), c->SecretValue()); // the whole characters
    EXPECT_EQ(0, lsa.BuffersOut);
    lsa.ByteSecrets[L"binary"].clear();
    c->Write();
    EXPECT_EQ(bytes, lsa.ByteSecrets[L"binary"]);
}

TEST(SecretCenter, MissingSecretAnswersFalseAndKeepsTheValue) {
    TFakeLsa lsa;
    auto c = NewCenter();
    c->SetSecretName(L"never written");
    c->SetSecretValue(L"kept");
    EXPECT_FALSE(c->Read());
    EXPECT_EQ(L"kept", c->SecretValue());
}

TEST(SecretCenter, LsaFailuresRaiseTheConvertedCode) {
    struct Case {
        const wchar_t* failCall;
        bool write;
    } cases[] = {{L"Store", true}, {L"Retrieve", false}, {L"Open", true}, {L"Open", false}};
    for (const Case& k : cases) {
        TFakeLsa lsa;
        lsa.FailCall = k.failCall;
        lsa.FailStatus = StatusAccessDenied;
        auto c = NewCenter();
        c->SetSecretName(L"name");
        SCOPED_TRACE(std::wstring(k.failCall) + (k.write ? L" write" : L" read"));
        DWORD code = RaisedCode([&] { k.write ? c->Write() : (void)c->Read(); });
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), code) << k.failCall;
        EXPECT_EQ(std::wstring(k.failCall) != L"Open", c->PolicyOpen()) << k.failCall;
    }
}

TEST(SecretCenter, PolicyOpensOnceAndClosesWithTheCenterOrAServerChange) {
    TFakeLsa lsa;
    {
        auto c = NewCenter();
        c->SetSecretName(L"s");
        EXPECT_FALSE(c->PolicyOpen());
        c->Write();
        c->Read();
        c->Read();
        EXPECT_EQ(1, lsa.Count(L"Open"));
        EXPECT_EQ(L"Open <local> 36", lsa.Calls.front()); // create secrets, get private information
        c->SetServer(L"\\\\OTHER");
        EXPECT_EQ(0, lsa.OpenHandles);
        c->Read();
        EXPECT_EQ(L"Open \\\\OTHER 36", lsa.Calls[lsa.Calls.size() - 2]);
        EXPECT_EQ(1, lsa.OpenHandles);
    }
    EXPECT_EQ(0, lsa.OpenHandles);
    EXPECT_EQ(2, lsa.Count(L"Close"));
}

TEST(SecretCenter, TooLongValueIsRefusedBeforeTheLsaIsAsked) {
    TFakeLsa lsa;
    auto c = NewCenter();
    c->SetSecretName(L"s");
    c->SetSecretValue(std::wstring(40000, L'v'));
    EXPECT_THROW(c->Write(), Exception);
    EXPECT_EQ(0, lsa.Count(L"Store"));
}

// ---------------------------------------------------------------------------------------------
// Wine's own LSA: it keeps no secrets at all

TEST(SecretCenter, WineLsaRefusesToStoreAndHasNothingToRead) {
    auto c = NewCenter();
    c->SetSecretName(L"TamrelTestSecret");
    c->SetSecretValue(L"value");
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), RaisedCode([&] { c->Write(); }));
    EXPECT_FALSE(c->Read());
    EXPECT_EQ(L"value", c->SecretValue());
}

// ---------------------------------------------------------------------------------------------
// The registry store of systems without an LSA

namespace {

// Runs the registry store on this NT system, with a fresh key; removes what it wrote.
class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(detail::SecretStoreKeyPath, true));
        r.DeleteValue(L"");
        detail::ReloadSecretStoreKey();
    }
    void TearDown() override {
        TRegistry r;
        r.DeleteKey(detail::SecretStoreKeyPath);
    }
    static std::wstring Stored(const std::wstring& name) {
        TRegistry r;
        r.OpenKey(detail::SecretStoreKeyPath, false);
        return r.ReadString(name);
    }
    static void Store(const std::wstring& name, const std::wstring& text) {
        TRegistry r;
        r.OpenKey(detail::SecretStoreKeyPath, true);
        r.WriteString(name, text);
    }
    TPlatformOverride FPlatform{VER_PLATFORM_WIN32_WINDOWS};
};

bool IsUpperHex(const std::wstring& s) {
    return s.find_first_not_of(L"0123456789ABCDEF") == std::wstring::npos;
}

// With an all-zero key the scrambling does nothing: a stored text is the record's bytes, low
// digit first. The tests write records byte by byte through it.
const detail::TSecretKey ZeroKey{};

std::wstring RecordText(const std::vector<uint8_t>& record) {
    static constexpr wchar_t Digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (uint8_t b : record) {
        text += Digits[b & 0xF];
        text += Digits[b >> 4];
    }
    return text;
}

std::vector<uint8_t> TextRecord(const std::wstring& text) {
    std::vector<uint8_t> record;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        record.push_back(static_cast<uint8_t>(std::stoi(text.substr(i + 1, 1) + text.substr(i, 1), nullptr, 16)));
    return record;
}

// A record of Length bytes with the offsets at their scattered places (big-endian over the
// bytes 0, 2, 7, 6 and 5, 1, 3, 4) and the bytes from 8 on counting up from 'a'.
std::vector<uint8_t> MakeRecord(size_t length, int32_t begin, int32_t end) {
    std::vector<uint8_t> r(length);
    for (size_t i = 8; i < length; ++i) r[i] = static_cast<uint8_t>('a' + (i - 8) % 26);
    auto put = [&r](std::initializer_list<int> at, int32_t v) {
        int shift = 24;
        for (int i : at) {
            r[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift);
            shift -= 8;
        }
    };
    put({0, 2, 7, 6}, begin);
    put({5, 1, 3, 4}, end);
    return r;
}

} // namespace

TEST_F(RegistryStore, SameValueTwiceGivesTwoTextsThatBothReadBack) {
    auto c = NewCenter();
    c->SetSecretName(L"twice");
    c->SetSecretValue(L"the same value");
    c->Write();
    std::wstring first = Stored(L"twice");
    c->Write();
    std::wstring second = Stored(L"twice");
    EXPECT_NE(first, second);
    for (const std::wstring& text : {first, second}) {
        EXPECT_TRUE(IsUpperHex(text)) << text;
        EXPECT_EQ(0u, text.size() % 2);
        Store(L"twice", text);
        auto reader = NewCenter();
        reader->SetSecretName(L"twice");
        EXPECT_TRUE(reader->Read());
        EXPECT_EQ(L"the same value", reader->SecretValue());
    }
    EXPECT_FALSE(c->PolicyOpen()); // no LSA on this path
}

TEST_F(RegistryStore, CharactersAboveTwoFiftyFiveKeepTheirLowByte) {
    auto c = NewCenter();
    c->SetSecretName(L"wide");
    c->SetSecretValue(L"\u0141\u00E9\u20AC!");
    c->Write();
    c->SetSecretValue(L"");
    EXPECT_TRUE(c->Read());
    EXPECT_EQ(std::wstring(L"A\u00E9\u00AC!"), c->SecretValue());
}

TEST_F(RegistryStore, MissingSecretAnswersFalseAndEmptiesTheValue) {
    auto c = NewCenter();
    c->SetSecretName(L"absent");
    c->SetSecretValue(L"old");
    EXPECT_FALSE(c->Read());
    EXPECT_EQ(L"", c->SecretValue());
}

TEST_F(RegistryStore, KeyOfAnyOtherLengthIsReplaced) {
    std::wstring made = Stored(L"");
    ASSERT_EQ(64u, made.size());
    EXPECT_TRUE(IsUpperHex(made)) << made;
    auto c = NewCenter();
    c->SetSecretName(L"older");
    c->SetSecretValue(L"written under the first key");
    c->Write();

    // A 64-character key is kept as it is, whatever it holds.
    detail::ReloadSecretStoreKey();
    EXPECT_EQ(made, Stored(L""));

    Store(L"", made.substr(0, 63));
    detail::ReloadSecretStoreKey();
    std::wstring replaced = Stored(L"");
    EXPECT_EQ(64u, replaced.size());
    EXPECT_NE(made.substr(0, 63), replaced.substr(0, 63));
    // The older secret no longer reads back as written.
    std::wstring value;
    c->SetSecretValue(L"");
    try {
        c->Read();
    } catch (const EConvertError&) {
    }
    EXPECT_NE(L"written under the first key", c->SecretValue());
}

TEST_F(RegistryStore, KeyBytesAreReadLowDigitFirst) {
    std::wstring text(64, L'0');
    text[0] = L'1'; // byte 0 = 0x01
    text[1] = L'A'; //        + 0xA0
    text[62] = L'F';
    detail::TSecretKey key = detail::SecretKeyFromText(text);
    EXPECT_EQ(0xA1, key[0]);
    EXPECT_EQ(0x0F, key[31]);
    EXPECT_THROW(detail::SecretKeyFromText(std::wstring(63, L'0') + L"G"), EConvertError);
}

TEST(SecretStore, RecordLayoutWithTheNeutralKey) {
    for (const std::wstring value : {L"", L"x", L"a longer value of the secret"}) {
        for (int round = 0; round < 50; ++round) {
            std::vector<uint8_t> r = TextRecord(detail::EncodeStoredSecret(value, ZeroKey));
            ASSERT_GE(r.size(), 8u);
            int32_t begin = (r[0] << 24) | (r[2] << 16) | (r[7] << 8) | r[6];
            int32_t end = (r[5] << 24) | (r[1] << 16) | (r[3] << 8) | r[4];
            EXPECT_GE(begin, 9);
            EXPECT_LE(begin, 20);
            EXPECT_EQ(begin + static_cast<int32_t>(value.size()) - 1, end);
            EXPECT_GE(r.size(), static_cast<size_t>(end) + 2);
            EXPECT_LE(r.size(), static_cast<size_t>(end) + 13);
            EXPECT_EQ(value, std::wstring(r.begin() + begin, r.begin() + end + 1));
        }
    }
}

TEST(SecretStore, OffsetsOutsideTheRecordAreNeverRead) {
    struct Case {
        size_t length;
        int32_t begin, end;
        bool found;
        const wchar_t* value;
    } cases[] = {
        {12, 8, 10, true, L"abc"},
        {12, 9, 11, true, L"bcd"},   // up to the last byte
        {12, 9, 12, false, L""},     // one past the end
        {12, 9, 0x7FFFFFFF, false, L""},
        {12, -1, 3, false, L""},     // before the start
        {12, static_cast<int32_t>(0x80000000), 10, false, L""},
        {12, 11, 10, true, L""},     // end before begin: empty
        {12, 500, -500, true, L""},  // nothing is read at all
        {12, 0, 0, true, L"\u0000"}, // the header is inside the record too
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> r = MakeRecord(c.length, c.begin, c.end);
        std::wstring value = L"unchanged";
        EXPECT_EQ(c.found, detail::DecodeStoredSecret(RecordText(r), ZeroKey, value)) << c.begin << ".." << c.end;
        EXPECT_EQ(std::wstring(c.value, c.found && c.begin == 0 ? 1 : wcslen(c.value)), value) << c.begin << ".." << c.end;
    }
    // Too short to hold the offsets, and odd lengths (the last digit is ignored).
    for (const std::wstring text : {L"", L"0", L"00112233445566", L"001122334455667"}) {
        std::wstring value = L"unchanged";
        EXPECT_FALSE(detail::DecodeStoredSecret(text, ZeroKey, value)) << text;
        EXPECT_EQ(L"", value);
    }
}

TEST(SecretStore, TwentyThousandDamagedTextsNeverReadOutsideOrRaiseOtherwise) {
    std::mt19937 rng(20240611);
    detail::TSecretKey key;
    for (auto& b : key) b = static_cast<uint8_t>(rng());
    auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const std::wstring digits = L"0123456789ABCDEFabcdef";
    int conversions = 0, found = 0;
    for (int round = 0; round < 20000; ++round) {
        std::wstring text;
        switch (round % 4) {
        case 0: // random hexadecimal of any length
            for (size_t n = pick(90); n > 0; --n) text += digits[pick(digits.size())];
            break;
        case 1: { // a good text with digits changed
            text = detail::EncodeStoredSecret(L"value " + std::to_wstring(round), key);
            for (size_t n = 1 + pick(4); n > 0; --n) text[pick(text.size())] = digits[pick(16)];
            break;
        }
        case 2: { // a good text cut short or lengthened
            text = detail::EncodeStoredSecret(L"v", key);
            if (pick(2)) text.resize(pick(text.size()));
            else text += std::wstring(pick(9), digits[pick(16)]);
            break;
        }
        default: // a character that is no digit somewhere
            text = detail::EncodeStoredSecret(L"xyz", key);
            text[pick(text.size())] = static_cast<wchar_t>(L"G-z \u00FF\u4E00"[pick(6)]);
            break;
        }
        std::wstring value;
        try {
            bool ok = detail::DecodeStoredSecret(text, key, value);
            found += ok;
            EXPECT_LE(value.size(), text.size() / 2);
            if (!ok) {
                EXPECT_TRUE(value.empty());
            }
        } catch (const EConvertError&) {
            ++conversions;
        }
    }
    // Both outcomes were reached; every other exception would have ended the test.
    EXPECT_GT(conversions, 0);
    EXPECT_GT(found, 0);
}

TEST_F(RegistryStore, NonHexadecimalStoredTextRaisesTheConversionError) {
    Store(L"bad", L"00112233445566778899G0");
    auto c = NewCenter();
    c->SetSecretName(L"bad");
    c->SetSecretValue(L"before");
    EXPECT_THROW(c->Read(), EConvertError);
    EXPECT_EQ(L"before", c->SecretValue());
}

// ---------------------------------------------------------------------------------------------
// Streaming

TEST(SecretCenter, StoredPropertiesRoundTripThroughTheFormText) {
    TFakeLsa lsa; // writing or reading a form never reaches the LSA
    auto root = NewHolder();
    auto* c = Create<TrkSecretCenter>(root.get());
    c->SetName(L"Secret1");
    c->SetServer(L"\\\\SRV");
    c->SetSecretName(L"L$Name");
    c->SetSecretValue(L"v\u00E4lue");
    auto* empty = Create<TrkSecretCenter>(root.get());
    empty->SetName(L"Secret2");
    // The text carries nothing that depends on the processor: both builds write it so.
    const std::wstring expected = L"object Holder: TDataModule\r\n"
                                  L"  object Secret1: TrkSecretCenter\r\n"
                                  L"    Server = '\\\\SRV'\r\n"
                                  L"    SecretName = 'L$Name'\r\n"
                                  L"    SecretValue = 'v'#228'lue'\r\n"
                                  L"  end\r\n"
                                  L"  object Secret2: TrkSecretCenter\r\n"
                                  L"  end\r\n"
                                  L"end\r\n";
    EXPECT_EQ(expected, ComponentToText(root.get()));
    auto copy = ReadBack(expected);
    auto* back = Part<TrkSecretCenter>(*copy, L"Secret1");
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(L"\\\\SRV", back->Server());
    EXPECT_EQ(L"L$Name", back->SecretName());
    EXPECT_EQ(L"v\u00E4lue", back->SecretValue());
    EXPECT_TRUE(lsa.Calls.empty());
}
