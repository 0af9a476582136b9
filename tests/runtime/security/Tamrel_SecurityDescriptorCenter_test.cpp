#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"
#include "tests/runtime/security/SecurityTestSupport.h"

#include "host/Handles.h"
#include "host/Registry.h"
#include "host/Streams.h"
#include "host/SysUtils.h"
#include "runtime/security/Tamrel_AclCenter.h"
#include "runtime/security/Tamrel_SidCenter.h"
#include "runtime/security/internal/Tamrel_SecurityDescriptorCenterInternal.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TSdCenterPtr = std::unique_ptr<TrkSecurityDescriptorCenter, TFreeComponent>;
TSdCenterPtr NewSdCenter() { return TSdCenterPtr(Create<TrkSecurityDescriptorCenter>(nullptr)); }

std::vector<BYTE> RelativeBytes(PSECURITY_DESCRIPTOR sd) {
    if (!sd) return {};
    auto p = static_cast<const BYTE*>(sd);
    return {p, p + GetSecurityDescriptorLength(sd)};
}

std::wstring SddlOf(PSECURITY_DESCRIPTOR sd, SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION |
                                                                      GROUP_SECURITY_INFORMATION |
                                                                      DACL_SECURITY_INFORMATION |
                                                                      SACL_SECURITY_INFORMATION) {
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, what, &text, nullptr))
        return L"<invalid>";
    TLocalMem owner(text);
    return text;
}

struct TDaclInfo {
    bool Present = false;
    PACL Acl = nullptr;
};

TDaclInfo DaclOf(PSECURITY_DESCRIPTOR sd) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted)) RaiseLastOSError();
    return {present != FALSE, acl};
}

const wchar_t FullSddl[] = L"O:BAG:SYD:(A;CI;GA;;;WD)(D;;GW;;;BG)(A;OICI;GR;;;BU)S:(AU;SAFA;GA;;;WD)";

std::wstring MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return L"<nothing raised>";
}

// A streamed descriptor: the given length, then the payload.
std::unique_ptr<TMemoryStream> StreamOf(uint32_t length, const std::vector<BYTE>& payload) {
    auto s = std::make_unique<TMemoryStream>();
    const BYTE n[4] = {BYTE(length), BYTE(length >> 8), BYTE(length >> 16), BYTE(length >> 24)};
    s->WriteBuffer(n, 4);
    if (!payload.empty()) s->WriteBuffer(payload.data(), static_cast<int32_t>(payload.size()));
    s->SetPosition(0);
    return s;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Forms and parts

TEST(SdCenter, NewCenterHoldsAValidEmptyDescriptor) {
    auto c = NewSdCenter();
    PSECURITY_DESCRIPTOR rel = c->GetRelativeSD();
    ASSERT_NE(nullptr, rel);
    EXPECT_TRUE(IsValidSecurityDescriptor(rel));
    EXPECT_EQ(20u, GetSecurityDescriptorLength(rel));
    EXPECT_EQ(L"", SddlOf(rel));
    EXPECT_FALSE(DaclOf(rel).Present);
    EXPECT_EQ(nullptr, c->SdOwner());
    EXPECT_EQ(nullptr, c->SdGroup());
    EXPECT_FALSE(c->IsDACL());
    EXPECT_FALSE(c->IsSACL());
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(c->GetAbsoluteSD(), &control, &revision));
    EXPECT_EQ(0, control & SE_SELF_RELATIVE);
}

TEST(SdCenter, NullDaclAndNoDacl) {
    auto c = NewSdCenter();
    TSddl withDacl(L"D:(A;;GA;;;WD)");
    c->SetDACL(DaclOf(withDacl.Get()).Acl);
    EXPECT_TRUE(c->IsDACL());
    c->SetDACL(nullptr);
    EXPECT_FALSE(c->IsDACL()); // a nil ACL given as DACL is no DACL
    c->SetIsDACL(true);
    TDaclInfo nullDacl = DaclOf(c->GetRelativeSD());
    EXPECT_TRUE(nullDacl.Present);
    EXPECT_EQ(nullptr, nullDacl.Acl);

    c->SetDACL(DaclOf(withDacl.Get()).Acl);
    c->SetIsDACL(false);
    EXPECT_EQ(nullptr, c->DACL());
    EXPECT_FALSE(DaclOf(c->GetAbsoluteSD()).Present);
}

TEST(SdCenter, SettingOnePartKeepsTheOthers) {
    TSddl full(FullSddl);
    auto c = NewSdCenter();
    c->SetSD(full.Get());
    TStringSid world(L"S-1-1-0");
    c->SetSdOwner(world.Get());
    EXPECT_EQ(L"O:WDG:SYD:(A;CI;GA;;;WD)(D;;GW;;;BG)(A;OICI;GR;;;BU)S:(AU;SAFA;GA;;;WD)", SddlOf(c->GetRelativeSD()));
    // Audit ACEs are checked in memory: they are not read back through entry lists here.
    PACL sacl = c->SACL();
    ASSERT_NE(nullptr, sacl);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(sacl, 0, &ace));
    EXPECT_EQ(SYSTEM_AUDIT_ACE_TYPE, static_cast<ACE_HEADER*>(ace)->AceType);
    EXPECT_EQ(SUCCESSFUL_ACCESS_ACE_FLAG | FAILED_ACCESS_ACE_FLAG, static_cast<ACE_HEADER*>(ace)->AceFlags);
}

TEST(SdCenter, ReadingOnePartKeepsTheOtherPointersValid) {
    TSddl full(FullSddl);
    auto c = NewSdCenter();
    c->SetSD(full.Get());
    PSID owner = c->SdOwner();
    PSID group = c->SdGroup();
    PACL dacl = c->DACL();
    TStringSid admins(L"S-1-5-32-544"), system(L"S-1-5-18");
    EXPECT_TRUE(EqualSid(admins.Get(), owner));
    EXPECT_TRUE(EqualSid(system.Get(), group));
    EXPECT_EQ(owner, c->SdOwner());
    EXPECT_EQ(3u, dacl->AceCount);
    EXPECT_TRUE(c->IsSACL());
}

TEST(SdCenter, BothDescriptorFormsComeFromEitherInput) {
    TSddl full(FullSddl);
    auto fromRelative = NewSdCenter();
    fromRelative->SetSD(full.Get());
    const std::vector<BYTE> rel = RelativeBytes(fromRelative->GetRelativeSD());

    auto fromAbsolute = NewSdCenter();
    fromAbsolute->SetSD(fromRelative->GetAbsoluteSD());
    EXPECT_EQ(rel, RelativeBytes(fromAbsolute->GetRelativeSD()));
    EXPECT_EQ(SddlOf(full.Get()), SddlOf(fromAbsolute->GetAbsoluteSD()));

    // Copies live on through changes, until Cleanup.
    PSECURITY_DESCRIPTOR absCopy = fromAbsolute->GetAbsoluteSDCopy();
    PSECURITY_DESCRIPTOR relCopy = fromAbsolute->GetRelativeSDCopy();
    fromAbsolute->SetSD(nullptr);
    EXPECT_EQ(nullptr, fromAbsolute->GetRelativeSD());
    EXPECT_EQ(nullptr, fromAbsolute->GetAbsoluteSDCopy());
    EXPECT_EQ(SddlOf(full.Get()), SddlOf(absCopy));
    EXPECT_EQ(rel, RelativeBytes(relCopy));
    fromAbsolute->Cleanup();
}

TEST(SdCenter, DescriptorOnAKernelObjectAndARegistryKey) {
    // A DACL folded by the ACL center, placed in a descriptor, applied and read back.
    std::unique_ptr<TrkAclCenter, TFreeComponent> entries(Create<TrkAclCenter>(nullptr));
    TStringSid users(L"S-1-5-32-545"), me(L"S-1-5-32-544");
    for (auto [mode, mask, sid] : {std::tuple{GRANT_ACCESS, DWORD(KEY_READ), users.Get()},
                                   std::tuple{DENY_ACCESS, DWORD(KEY_SET_VALUE), users.Get()},
                                   std::tuple{GRANT_ACCESS, DWORD(KEY_ALL_ACCESS), me.Get()}}) {
        EXPLICIT_ACCESS_W* e = entries->AddEntry();
        e->grfAccessMode = mode;
        e->grfAccessPermissions = mask;
        e->Trustee.ptstrName = static_cast<LPWSTR>(sid);
    }
    auto c = NewSdCenter();
    c->SetDACL(entries->GetACL());
    // Deny first, then the allowed ACEs, later entries first.
    PACL dacl = c->DACL();
    ASSERT_EQ(3u, dacl->AceCount);
    const BYTE types[3] = {ACCESS_DENIED_ACE_TYPE, ACCESS_ALLOWED_ACE_TYPE, ACCESS_ALLOWED_ACE_TYPE};
    PSID sids[3] = {users.Get(), me.Get(), users.Get()};
    for (DWORD i = 0; i < 3; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        EXPECT_EQ(types[i], static_cast<ACE_HEADER*>(ace)->AceType);
        EXPECT_TRUE(EqualSid(sids[i], &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart));
    }
    const std::wstring expected = SddlOf(c->GetRelativeSD(), DACL_SECURITY_INFORMATION);

    TKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(SetKernelObjectSecurity(event.Get(), DACL_SECURITY_INFORMATION, c->GetAbsoluteSD()));
    std::vector<BYTE> buffer(4096);
    DWORD needed = 0;
    ASSERT_TRUE(GetKernelObjectSecurity(event.Get(), DACL_SECURITY_INFORMATION, buffer.data(),
                                        static_cast<DWORD>(buffer.size()), &needed));
    auto back = NewSdCenter();
    back->SetSD(buffer.data());
    EXPECT_EQ(expected, SddlOf(back->GetRelativeSD(), DACL_SECURITY_INFORMATION));

    const std::wstring path = L"Software\\TamrelTests\\SdKey-" + std::to_wstring(GetCurrentProcessId());
    TRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             key.Put(), nullptr));
    TScopeExit removeKey([&] {
        key.Reset();
        RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    });
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, c->GetRelativeSD()));
    needed = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(ERROR_SUCCESS, RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, buffer.data(), &needed));
    back->SetSD(buffer.data());
    EXPECT_EQ(expected, SddlOf(back->GetRelativeSD(), DACL_SECURITY_INFORMATION));
}

// ---------------------------------------------------------------------------------------------
// Well-formed descriptors

TEST(SdCenter, WellFormedTestWalksEveryPart) {
    TSddl full(FullSddl);
    std::vector<BYTE> good = full.Bytes();
    EXPECT_TRUE(IsWellFormedRelativeSD(good.data(), good.size()));
    for (const wchar_t* text : {L"", L"O:BA", L"D:NO_ACCESS_CONTROL", L"D:", L"S:(ML;;NW;;;LW)"}) {
        TSddl sd(text);
        EXPECT_TRUE(IsWellFormedRelativeSD(sd.Get(), sd.Size)) << WideToUtf8(text);
    }

    auto owner = [&](std::vector<BYTE>& b) -> uint32_t& { return *reinterpret_cast<uint32_t*>(b.data() + 4); };
    auto dacl = [&](std::vector<BYTE>& b) -> uint32_t& { return *reinterpret_cast<uint32_t*>(b.data() + 16); };
    struct Case {
        const char* name;
        std::function<void(std::vector<BYTE>&)> spoil;
    } cases[] = {
        {"short", [](std::vector<BYTE>& b) { b.resize(19); }},
        {"cut inside the parts", [](std::vector<BYTE>& b) { b.resize(b.size() - 4); }},
        {"revision", [](std::vector<BYTE>& b) { b[0] = 2; }},
        {"not self-relative", [](std::vector<BYTE>& b) { b[3] &= 0x7F; }},
        {"owner inside the header", [&](std::vector<BYTE>& b) { owner(b) = 8; }},
        {"owner beyond the end", [&](std::vector<BYTE>& b) { owner(b) = static_cast<uint32_t>(b.size()); }},
        {"owner with 16 sub-authorities", [&](std::vector<BYTE>& b) { b[owner(b) + 1] = 16; }},
        {"owner running past the end",
         [&](std::vector<BYTE>& b) {
             // The owner's first bytes (two sub-authorities: 16 bytes) 12 bytes before the end.
             const uint32_t from = owner(b), to = static_cast<uint32_t>(b.size() - 12);
             b[to] = b[from];
             b[to + 1] = b[from + 1];
             owner(b) = to;
         }},
        {"DACL size past the end", [&](std::vector<BYTE>& b) { *reinterpret_cast<uint16_t*>(b.data() + dacl(b) + 2) = 0xFFF0; }},
        {"DACL revision", [&](std::vector<BYTE>& b) { b[dacl(b)] = 9; }},
        {"ACE count beyond the ACEs", [&](std::vector<BYTE>& b) { *reinterpret_cast<uint16_t*>(b.data() + dacl(b) + 4) = 9; }},
        {"ACE size past its ACL", [&](std::vector<BYTE>& b) { *reinterpret_cast<uint16_t*>(b.data() + dacl(b) + 8 + 2) = 400; }},
        {"ACE size below its header", [&](std::vector<BYTE>& b) { *reinterpret_cast<uint16_t*>(b.data() + dacl(b) + 8 + 2) = 2; }},
        {"ACE SID past its ACE", [&](std::vector<BYTE>& b) { b[dacl(b) + 8 + 8 + 1] = 5; }},
    };
    for (const auto& c : cases) {
        std::vector<BYTE> bad = good;
        c.spoil(bad);
        EXPECT_FALSE(IsWellFormedRelativeSD(bad.data(), bad.size())) << c.name;
    }
    EXPECT_FALSE(IsWellFormedRelativeSD(nullptr, 40));
}

// ---------------------------------------------------------------------------------------------
// Streams

TEST(SdCenter, StreamRoundTrip) {
    TSddl full(FullSddl);
    auto c = NewSdCenter();
    c->SetSD(full.Get());
    TMemoryStream s;
    c->SaveToStream(s);
    const std::vector<BYTE> rel = RelativeBytes(c->GetRelativeSD());
    ASSERT_EQ(int64_t(4 + rel.size()), s.Size());
    auto bytes = static_cast<const BYTE*>(s.Memory());
    EXPECT_EQ(rel.size(), size_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24));

    s.SetPosition(0);
    auto back = NewSdCenter();
    back->LoadFromStream(s);
    EXPECT_EQ(rel, RelativeBytes(back->GetRelativeSD()));
    EXPECT_EQ(SddlOf(full.Get()), SddlOf(back->GetAbsoluteSD()));
    EXPECT_EQ(s.Size(), s.Position());
}

TEST(SdCenter, EmptyStreamedDescriptorLoadsAsNoDescriptor) {
    auto c = NewSdCenter();
    auto s = StreamOf(0, {});
    c->LoadFromStream(*s);
    EXPECT_EQ(nullptr, c->GetRelativeSD());
    EXPECT_EQ(nullptr, c->GetAbsoluteSD());
    EXPECT_EQ(nullptr, c->SdOwner());
    EXPECT_FALSE(c->IsDACL());
    TMemoryStream out;
    c->SaveToStream(out);
    EXPECT_EQ(4, out.Size());
    EXPECT_EQ(0, *static_cast<const int32_t*>(out.Memory()));
}

TEST(SdCenter, CorruptStreamedLengthsAreRefused) {
    TSddl full(FullSddl);
    const std::vector<BYTE> payload = full.Bytes();
    const std::vector<BYTE> huge(TrkSecurityDescriptorCenter::MaxRelativeSize + 1, 0);
    struct Case {
        const char* name;
        uint32_t length;
        const std::vector<BYTE>* bytes;
    } cases[] = {
        {"ten bytes short", uint32_t(payload.size() + 10), &payload},
        {"above the cap", uint32_t(huge.size()), &huge},
        {"length without data", 0xFFFFFFF0u, &payload},
        {"shorter than a header", 12, &payload},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto center = NewSdCenter();
        auto s = StreamOf(c.length, *c.bytes);
        try {
            center->LoadFromStream(*s);
            FAIL() << "loaded";
        } catch (const EReadError& e) {
            EXPECT_EQ(Format(L"Stream does not hold a valid security descriptor (length %u)", c.length), e.Message());
        }
        // Nothing valid is left behind.
        EXPECT_EQ(L"No security information", MessageOf([&] { center->GetRelativeSD(); }));
    }
    // A stream that ends inside the length itself.
    TMemoryStream cut;
    cut.WriteBuffer("\x10\x00", 2);
    cut.SetPosition(0);
    auto center = NewSdCenter();
    EXPECT_THROW(center->LoadFromStream(cut), EReadError);
}

TEST(SdCenter, StreamedBlocksNeverCrashTheCenter) {
    // Random and mutated blocks, loaded with their true length, then every form read.
    std::mt19937 random(7042);
    std::vector<std::vector<BYTE>> seeds;
    for (const wchar_t* text : {FullSddl, L"O:BAG:BAD:(A;;GA;;;WD)", L"D:NO_ACCESS_CONTROL",
                                L"O:S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-14D:(A;;RP;;;AU)",
                                L"S:(ML;;NW;;;LW)(AU;FA;KA;;;WD)"}) {
        TSddl sd(text);
        seeds.push_back(sd.Bytes());
    }
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    int loaded = 0;
    for (int i = 0; i < 40000; ++i) {
        std::vector<BYTE> block;
        if (i % 4 == 0) {
            // A plausible header over random bytes.
            block.resize(20 + pick(200));
            for (auto& b : block) b = static_cast<BYTE>(random());
            block[0] = 1;
            block[3] = 0x80;
            for (int part = 0; part < 4; ++part) {
                uint32_t offset = pick(3) ? static_cast<uint32_t>(pick(block.size())) : 0;
                std::memcpy(block.data() + 4 + 4 * part, &offset, 4);
            }
        } else {
            block = seeds[pick(seeds.size())];
            for (size_t m = 1 + pick(6); m > 0; --m) {
                switch (pick(4)) {
                case 0: block[pick(block.size())] = static_cast<BYTE>(random()); break;
                case 1: block[pick(block.size())] ^= static_cast<BYTE>(1u << pick(8)); break;
                case 2: {
                    const size_t cut = pick(16);
                    block.resize(block.size() > cut ? block.size() - cut : 1);
                    break;
                }
                case 3: block.insert(block.begin() + pick(block.size()), static_cast<BYTE>(random())); break;
                }
            }
        }
        auto center = NewSdCenter();
        auto s = StreamOf(static_cast<uint32_t>(block.size()), block);
        try {
            center->LoadFromStream(*s);
        } catch (const EReadError&) {
            continue;
        }
        ++loaded;
        try {
            PSECURITY_DESCRIPTOR abs = center->GetAbsoluteSD();
            ASSERT_NE(nullptr, abs);
            center->SdOwner();
            center->SdGroup();
            center->IsSACL();
            PACL dacl = center->DACL();
            center->GetRelativeSDCopy();
            // The DACL's entries, and an ACL built from them.
            std::unique_ptr<TrkAclCenter, TFreeComponent> acl(Create<TrkAclCenter>(nullptr));
            acl->SetACL(dacl);
            for (int k = 0; k < acl->EntryCount(); ++k) acl->Entries(k);
            acl->SetIsEntries(acl->IsEntries());
            acl->GetACL();
        } catch (const EOSError&) {
            // The system may still refuse what it is given; it must not crash on it.
        }
    }
    EXPECT_GT(loaded, 1000);
}

// ---------------------------------------------------------------------------------------------
// Registry

class SdRegistry : public ::testing::Test {
protected:
    std::wstring key = L"Software\\TamrelTests\\Security-" + std::to_wstring(GetCurrentProcessId());

    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TamrelTests"); // only when empty
    }
    std::vector<BYTE> RawValue(const std::wstring& name, DWORD* type = nullptr) {
        std::vector<BYTE> data(200000);
        DWORD size = static_cast<DWORD>(data.size()), t = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, &t, data.data(), &size) !=
            ERROR_SUCCESS)
            return {};
        if (type) *type = t;
        data.resize(size);
        return data;
    }
    void PutRaw(const std::wstring& name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), type, data, size));
    }
};

TEST_F(SdRegistry, SavedDescriptorLoadsByteIdentical) {
    TSddl full(FullSddl);
    auto c = NewSdCenter();
    c->SetSD(full.Get());
    c->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security");
    DWORD type = 0;
    const std::vector<BYTE> stored = RawValue(L"Security", &type);
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(RelativeBytes(c->GetRelativeSD()), stored);

    auto back = NewSdCenter();
    back->LoadFromRegistry(HKEY_CURRENT_USER, key, L"Security");
    EXPECT_EQ(stored, RelativeBytes(back->GetRelativeSD()));
    EXPECT_EQ(SddlOf(full.Get()), SddlOf(back->GetAbsoluteSD()));

    // Saving again replaces the value.
    TSddl other(L"O:SYD:(A;;GR;;;WD)");
    back->SetSD(other.Get());
    back->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security");
    EXPECT_EQ(other.Bytes(), RawValue(L"Security"));
}

TEST_F(SdRegistry, NilDescriptorLeavesNoValue) {
    TSddl full(FullSddl);
    PutRaw(L"Security", REG_BINARY, full.Get(), full.Size);
    auto c = NewSdCenter();
    auto s = StreamOf(0, {});
    c->LoadFromStream(*s);
    c->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security");
    EXPECT_TRUE(RawValue(L"Security").empty());
    c->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security"); // nothing to delete: nothing fails
}

TEST_F(SdRegistry, LoadMessages) {
    TSddl full(FullSddl);
    PutRaw(L"Text", REG_SZ, L"abc", 8);
    PutRaw(L"Number", REG_DWORD, "\1\0\0\0", 4);
    const BYTE junk[24] = {1, 0, 4, 0x80, 200, 0, 0, 0};
    PutRaw(L"Junk", REG_BINARY, junk, sizeof(junk));
    PutRaw(L"Empty", REG_BINARY, nullptr, 0);
    const std::wstring hkcu = L"80000001";
    const std::wstring invalidDescr = OSErrorText(ERROR_INVALID_SECURITY_DESCR);
    struct Case {
        std::wstring subKey, value, message;
    } cases[] = {
        {key + L"\\Missing", L"Security", L"Unable to open registry key " + hkcu + L"\\" + key + L"\\Missing"},
        {key, L"Security", L"Value \"Security\" is not found in registry key " + hkcu + L"\\" + key},
        {key, L"Number", L"Value \"Number\" in registry key " + hkcu + L"\\" + key + L" has invalid type"},
        {key, L"Junk",
         L"Error reading value \"Junk\" from registry key " + hkcu + L"\\" + key + L". Message: \"" + invalidDescr + L"\""},
        {key, L"Empty",
         L"Error reading value \"Empty\" from registry key " + hkcu + L"\\" + key + L". Message: \"" + invalidDescr + L"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.value));
        auto center = NewSdCenter();
        center->SetSD(full.Get());
        EXPECT_EQ(c.message, MessageOf([&] { center->LoadFromRegistry(HKEY_CURRENT_USER, c.subKey, c.value); }));
        // A failed load leaves no valid form.
        EXPECT_EQ(L"No security information", MessageOf([&] { center->GetAbsoluteSD(); }));
        EXPECT_EQ(L"No security information", MessageOf([&] { center->SdOwner(); }));
    }
}

TEST_F(SdRegistry, ValidDescriptorPaddedPastTheCapIsRefused) {
    TSddl full(FullSddl);
    const std::wstring hkcu = L"80000001";
    struct Case {
        const wchar_t* value;
        size_t size;
        bool loads;
    } cases[] = {
        {L"AtTheCap", TrkSecurityDescriptorCenter::MaxRelativeSize, true}, // the padding alone is no fault
        {L"PastTheCap", TrkSecurityDescriptorCenter::MaxRelativeSize + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.value));
        std::vector<BYTE> padded = full.Bytes();
        padded.resize(c.size, 0);
        PutRaw(c.value, REG_BINARY, padded.data(), static_cast<DWORD>(padded.size()));
        auto center = NewSdCenter();
        const std::wstring message = MessageOf([&] { center->LoadFromRegistry(HKEY_CURRENT_USER, key, c.value); });
        if (c.loads) {
            EXPECT_EQ(L"<nothing raised>", message);
            EXPECT_EQ(SddlOf(full.Get()), SddlOf(center->GetAbsoluteSD()));
        } else {
            EXPECT_EQ(L"Error reading value \"" + std::wstring(c.value) + L"\" from registry key " + hkcu + L"\\" +
                          key + L". Message: \"" + OSErrorText(ERROR_INVALID_SECURITY_DESCR) + L"\"",
                      message);
        }
    }
}

TEST_F(SdRegistry, StringValueUnderTheLocalMachineRoot) {
    const std::wstring machineKey = L"Software\\TamrelTests\\SecurityHklm-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, machineKey.c_str(), L"Security", REG_SZ, L"x", 4));
    TScopeExit remove([&] {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, machineKey.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\TamrelTests");
    });
    auto c = NewSdCenter();
    EXPECT_EQ(L"Value \"Security\" in registry key 80000002\\" + machineKey + L" has invalid type",
              MessageOf([&] { c->LoadFromRegistry(HKEY_LOCAL_MACHINE, machineKey, L"Security"); }));
}

TEST_F(SdRegistry, SaveMessagesAndTheOldValueSurvives) {
    TSddl old(L"O:BAG:SYD:(A;;GA;;;WD)");
    PutRaw(L"Security", REG_BINARY, old.Get(), old.Size);
    const std::wstring hkcu = L"80000001";
    TSddl full(FullSddl);

    // A key that cannot be opened: a handle that is no key.
    auto c = NewSdCenter();
    c->SetSD(full.Get());
    const HKEY noKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7A5E0000));
    EXPECT_EQ(L"Unable to open registry key 7A5E0000\\" + key,
              MessageOf([&] { c->SaveToRegistry(noKey, key, L"Security"); }));

    // A value name the registry refuses.
    const std::wstring longName(20000, L'v');
    std::wstring message = MessageOf([&] { c->SaveToRegistry(HKEY_CURRENT_USER, key, longName); });
    const std::wstring prefix = L"Unable to write value \"" + longName + L"\" to registry key " + hkcu + L"\\" + key +
                                L". Message \"";
    EXPECT_EQ(0u, message.rfind(prefix, 0)) << WideToUtf8(message.substr(message.size() - 80));
    EXPECT_EQ(L'"', message.back());

    // A center without any valid form fails before anything is deleted.
    auto empty = NewSdCenter();
    EXPECT_NE(L"<nothing raised>", MessageOf([&] { empty->LoadFromRegistry(HKEY_CURRENT_USER, key, L"Missing"); }));
    EXPECT_EQ(L"No security information",
              MessageOf([&] { empty->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security"); }));
    EXPECT_EQ(old.Bytes(), RawValue(L"Security"));

    // Writes and deletes that fail, through the center's registry seam: nothing real makes them
    // fail while the key opens for writing.
    detail::TSdRegistryWrites& writes = detail::SdRegistryWrites();
    const detail::TSdRegistryWrites saved = writes;
    TScopeExit restore([&] { writes = saved; });
    writes.WriteBinary = [](TRegistry&, const std::wstring& name, const void*, int32_t) {
        throw ERegistryException(SRegSetDataFailed, name);
    };
    writes.DeleteValue = [](TRegistry&, const std::wstring&) { return false; };
    EXPECT_EQ(L"Unable to write value \"Security\" to registry key " + hkcu + L"\\" + key +
                  L". Message \"Failed to set data for 'Security'\"",
              MessageOf([&] { c->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security"); }));
    EXPECT_EQ(old.Bytes(), RawValue(L"Security"));

    auto none = NewSdCenter();
    auto s = StreamOf(0, {});
    none->LoadFromStream(*s);
    EXPECT_EQ(L"Unable to delete value \"Security\" from registry key " + hkcu + L"\\" + key,
              MessageOf([&] { none->SaveToRegistry(HKEY_CURRENT_USER, key, L"Security"); }));
    EXPECT_EQ(old.Bytes(), RawValue(L"Security"));
}
