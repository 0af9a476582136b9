#include "runtime/security/Tamrel_CenterUtils.h"
#include "tests/runtime/security/SecurityTestSupport.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstring>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::vector<BYTE> Bytes(const void* p, size_t n) {
    auto b = static_cast<const BYTE*>(p);
    return {b, b + n};
}

bool Inside(const void* part, const void* block, uint32_t size) {
    auto p = static_cast<const BYTE*>(part);
    auto b = static_cast<const BYTE*>(block);
    return p >= b && p < b + size;
}

} // namespace

TEST(CenterUtils, NilInputsGiveNilAndZeroWithoutRaising) {
    void* p = reinterpret_cast<void*>(1);
    uint32_t size = 7;
    DuplicateSID(nullptr, p, size);
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(0u, size);

    PACL acl = reinterpret_cast<PACL>(1);
    size = 7;
    DuplicatePACL(nullptr, acl, size);
    EXPECT_EQ(nullptr, acl);
    EXPECT_EQ(0u, size);

    PLSA_UNICODE_STRING s = reinterpret_cast<PLSA_UNICODE_STRING>(1);
    size = 7;
    DuplicateLsaUnicodeString(nullptr, s, size);
    EXPECT_EQ(nullptr, s);
    EXPECT_EQ(0u, size);
}

TEST(CenterUtils, DuplicateSidCopiesTheSidAndRejectsAnInvalidOne) {
    PSID raw = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-1000", &raw));
    TLocalMem sid(raw);
    uint32_t size = 0;
    TCenterBlock copy = DuplicateSidBlock(raw, size);
    ASSERT_EQ(GetLengthSid(raw), size);
    EXPECT_NE(raw, copy.get());
    EXPECT_TRUE(EqualSid(raw, copy.get()));

    BYTE bad[12] = {2, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}; // revision 2 is no SID
    try {
        DuplicateSidBlock(bad, size);
        FAIL() << "an invalid SID was copied";
    } catch (const EOSError& e) {
        EXPECT_NE(0u, e.ErrorCode());
    }
}

TEST(CenterUtils, DuplicatePaclKeepsTheFreeSpace) {
    std::vector<BYTE> buffer(256);
    auto acl = reinterpret_cast<PACL>(buffer.data());
    ASSERT_TRUE(InitializeAcl(acl, 256, ACL_REVISION));
    PSID raw = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-1-0", &raw));
    TLocalMem world(raw);
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_READ, raw));

    uint32_t size = 0;
    TCenterBlock copy = DuplicateAclBlock(acl, size);
    EXPECT_EQ(256u, size);
    EXPECT_EQ(Bytes(acl, 256), Bytes(copy.get(), 256));
    ACL_SIZE_INFORMATION info{};
    ASSERT_TRUE(GetAclInformation(static_cast<PACL>(copy.get()), &info, sizeof(info), AclSizeInformation));
    EXPECT_EQ(1u, info.AceCount);
    EXPECT_EQ(256u, info.AclBytesInUse + info.AclBytesFree);
}

TEST(CenterUtils, EmptyRelativeDescriptorBecomesOneBlockWithNilParts) {
    SECURITY_DESCRIPTOR abs;
    ASSERT_TRUE(InitializeSecurityDescriptor(&abs, SECURITY_DESCRIPTOR_REVISION));
    uint32_t relSize = 0;
    TCenterBlock rel = AbsoluteToRelativeBlock(&abs, relSize);
    EXPECT_EQ(20u, relSize); // the self-relative header alone, in both builds

    uint32_t absSize = 0;
    TCenterBlock absCopy = RelativeToAbsoluteBlock(rel.get(), absSize);
    EXPECT_EQ(sizeof(SECURITY_DESCRIPTOR), absSize);
    auto sd = static_cast<SECURITY_DESCRIPTOR*>(absCopy.get());
    EXPECT_EQ(nullptr, sd->Owner);
    EXPECT_EQ(nullptr, sd->Group);
    EXPECT_EQ(nullptr, sd->Dacl);
    EXPECT_EQ(nullptr, sd->Sacl);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
    EXPECT_EQ(0, control & SE_SELF_RELATIVE);
}

TEST(CenterUtils, FullDescriptorRoundTripsThroughOneAbsoluteBlock) {
    TSddl source(L"O:BAG:SYD:(A;;GA;;;WD)(D;CI;GW;;;BG)S:(AU;SAFA;GA;;;WD)");
    uint32_t absSize = 0;
    TCenterBlock abs = RelativeToAbsoluteBlock(source.Get(), absSize);
    auto sd = static_cast<SECURITY_DESCRIPTOR*>(abs.get());
    // Every part lies inside the one block, in the documented order.
    ASSERT_NE(nullptr, sd->Dacl);
    ASSERT_NE(nullptr, sd->Sacl);
    ASSERT_NE(nullptr, sd->Owner);
    ASSERT_NE(nullptr, sd->Group);
    for (const void* part : {static_cast<const void*>(sd->Dacl), static_cast<const void*>(sd->Sacl),
                             static_cast<const void*>(sd->Owner), static_cast<const void*>(sd->Group)})
        EXPECT_TRUE(Inside(part, abs.get(), absSize));
    EXPECT_LT(static_cast<void*>(sd->Dacl), static_cast<void*>(sd->Sacl));
    EXPECT_LT(static_cast<void*>(sd->Sacl), sd->Owner);
    EXPECT_LT(sd->Owner, sd->Group);
    EXPECT_EQ(reinterpret_cast<BYTE*>(abs.get()) + sizeof(SECURITY_DESCRIPTOR), reinterpret_cast<BYTE*>(sd->Dacl));

    uint32_t relSize = 0;
    TCenterBlock rel = AbsoluteToRelativeBlock(abs.get(), relSize);
    ASSERT_EQ(source.Size, relSize);
    // The system may lay the parts out in another order than the source; the parts are equal.
    EXPECT_TRUE(EqualSid(sd->Owner, static_cast<SECURITY_DESCRIPTOR*>(abs.get())->Owner));
    uint32_t absSize2 = 0;
    TCenterBlock abs2 = RelativeToAbsoluteBlock(rel.get(), absSize2);
    ASSERT_EQ(absSize, absSize2);
    auto sd2 = static_cast<SECURITY_DESCRIPTOR*>(abs2.get());
    EXPECT_TRUE(EqualSid(sd->Owner, sd2->Owner));
    EXPECT_TRUE(EqualSid(sd->Group, sd2->Group));
    EXPECT_EQ(Bytes(sd->Dacl, sd->Dacl->AclSize), Bytes(sd2->Dacl, sd2->Dacl->AclSize));
    EXPECT_EQ(Bytes(sd->Sacl, sd->Sacl->AclSize), Bytes(sd2->Sacl, sd2->Sacl->AclSize));
    // A descriptor this routine made comes back byte for byte.
    uint32_t relSize2 = 0;
    TCenterBlock rel2 = AbsoluteToRelativeBlock(abs2.get(), relSize2);
    EXPECT_EQ(Bytes(rel.get(), relSize), Bytes(rel2.get(), relSize2));
}

TEST(CenterUtils, WrongDescriptorFormRaisesTheOsError) {
    SECURITY_DESCRIPTOR abs;
    ASSERT_TRUE(InitializeSecurityDescriptor(&abs, SECURITY_DESCRIPTOR_REVISION));
    uint32_t size = 0;
    // An absolute descriptor is no self-relative one.
    EXPECT_THROW(RelativeToAbsoluteBlock(&abs, size), EOSError);
}

TEST(CenterUtils, LsaStringCopyKeepsItsStorageAndCopiesOnlyTheUsedText) {
    wchar_t text[] = L"abcdefgh";
    LSA_UNICODE_STRING s;
    s.Buffer = text;
    s.Length = 3 * sizeof(wchar_t);
    s.MaximumLength = 8 * sizeof(wchar_t);
    PLSA_UNICODE_STRING copy = nullptr;
    uint32_t size = 0;
    DuplicateLsaUnicodeString(&s, copy, size);
    TCenterBlock owner(copy);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(sizeof(LSA_UNICODE_STRING) + 16, size);
    EXPECT_EQ(s.Length, copy->Length);
    EXPECT_EQ(s.MaximumLength, copy->MaximumLength);
    EXPECT_EQ(reinterpret_cast<BYTE*>(copy) + sizeof(LSA_UNICODE_STRING), reinterpret_cast<BYTE*>(copy->Buffer));
    EXPECT_EQ(std::wstring(L"abc"), std::wstring(copy->Buffer, 3));
}

TEST(CenterUtils, LsaStringCopyRefusesRecordsThatDescribeMoreThanTheirText) {
    wchar_t text[] = L"abcdefgh";
    struct Case {
        USHORT length;
        USHORT maximum;
        bool buffer;
    } cases[] = {
        {18, 16, true}, // more text than storage
        {3, 16, true},  // half a character
        {65535, 65535, true},
        {4, 4, false},  // text without a buffer
    };
    for (const Case& c : cases) {
        LSA_UNICODE_STRING s{c.length, c.maximum, c.buffer ? text : nullptr};
        PLSA_UNICODE_STRING copy = nullptr;
        uint32_t size = 7;
        EXPECT_THROW(DuplicateLsaUnicodeString(&s, copy, size), Exception) << c.length << "/" << c.maximum;
        EXPECT_EQ(nullptr, copy);
        EXPECT_EQ(0u, size);
    }
    // An empty record without a buffer is a valid empty string.
    LSA_UNICODE_STRING empty{0, 0, nullptr};
    uint32_t size = 0;
    TCenterBlock copy = OwnedDuplicate<LSA_UNICODE_STRING>(
        [&empty](PLSA_UNICODE_STRING& p, uint32_t& s) { DuplicateLsaUnicodeString(&empty, p, s); }, size);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(0, static_cast<PLSA_UNICODE_STRING>(copy.get())->Length);
}

TEST(CenterUtils, LastWin32ErrorText) {
    SetLastError(0);
    EXPECT_EQ(std::wstring(SUnkOSError), RkLastWin32Error());
    SetLastError(ERROR_ACCESS_DENIED);
    std::wstring text = RkLastWin32Error();
    EXPECT_EQ(Format(SOSError, 5, SysErrorMessage(ERROR_ACCESS_DENIED)), text);
    EXPECT_NE(std::wstring::npos, text.find(L"Code: 5."));
}
