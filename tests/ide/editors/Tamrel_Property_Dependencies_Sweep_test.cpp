// The load-order groups and the service list as the dependencies editor reads them from the
// machine: the "List" value of the group order read only as far as the data returned, whatever
// its type and size (a table of odd values, then 500 random ones with a fixed seed, some of them
// through the whole form), a missing value raising, and the service list read while services are
// installed and removed beside it. The fixture keeps "List" and puts it back.
#include "ide/editors/Tamrel_Property_Dependencies.h"

#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const wchar_t kGroupOrder[] = L"System\\CurrentControlSet\\Control\\ServiceGroupOrder";

class GroupListSweep : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kGroupOrder, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, Key.Put()), ERROR_SUCCESS);
        DWORD size = 0;
        Had = RegQueryValueExW(Key.Get(), L"List", nullptr, &Type, nullptr, &size) == ERROR_SUCCESS;
        if (!Had) return;
        Saved.resize(size);
        ASSERT_EQ(RegQueryValueExW(Key.Get(), L"List", nullptr, &Type, Saved.data(), &size), ERROR_SUCCESS);
    }
    void TearDown() override {
        if (Had) RegSetValueExW(Key.Get(), L"List", 0, Type, Saved.data(), static_cast<DWORD>(Saved.size()));
        else RegDeleteValueW(Key.Get(), L"List");
    }
    void Put(DWORD type, const void* data, size_t size) {
        ASSERT_EQ(RegSetValueExW(Key.Get(), L"List", 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    void PutText(DWORD type, const std::wstring& text, size_t bytes) {
        std::vector<uint8_t> data(bytes, 0);
        std::memcpy(data.data(), text.data(), std::min(bytes, text.size() * sizeof(wchar_t)));
        Put(type, data.data(), data.size());
    }
    TRegKey Key;
    bool Had = false;
    DWORD Type = REG_MULTI_SZ;
    std::vector<uint8_t> Saved;
};

using TGroups = std::vector<std::wstring>;

TEST_F(GroupListSweep, OddValuesReadOnlyAsFarAsTheirData) {
    struct TCase {
        const char* What;
        DWORD Type;
        std::wstring Text;
        size_t Bytes;
        TGroups Groups;
    };
    const TCase cases[] = {
        {"a proper list", REG_MULTI_SZ, std::wstring(L"A\0BC\0\0", 7), 14, {L"A", L"BC"}},
        {"an empty string ends it", REG_MULTI_SZ, std::wstring(L"A\0\0B\0\0", 7), 14, {L"A"}},
        {"no terminator at all", REG_MULTI_SZ, L"AB", 4, {L"AB"}},
        {"an odd byte after the last character", REG_BINARY, L"AB", 5, {L"AB"}},
        {"one byte", REG_BINARY, L"A", 1, {}},
        {"no data", REG_MULTI_SZ, L"", 0, {}},
        {"a plain string", REG_SZ, std::wstring(L"TDI\0", 4), 8, {L"TDI"}},
        {"a number", REG_DWORD, L"AB", 4, {L"AB"}},
        {"starts empty", REG_MULTI_SZ, std::wstring(L"\0A\0\0", 4), 8, {}},
        {"cut inside a name", REG_MULTI_SZ, std::wstring(L"First\0Second\0\0", 14), 16, {L"First", L"Se"}},
    };
    for (const TCase& c : cases) {
        PutText(c.Type, c.Text, c.Bytes);
        EXPECT_EQ(ReadServiceGroups(), c.Groups) << c.What;
    }
    RegDeleteValueW(Key.Get(), L"List");
    EXPECT_THROW(ReadServiceGroups(), Exception);
    // The form raises the same and is not shown.
    TModalHookScope hook([](const TModalWindow& m) { ADD_FAILURE() << "shown: " << ToUtf8(m.Caption); });
    EXPECT_THROW(Free(Create<TDependenciesEditorForm>(nullptr)), Exception);
}

TEST_F(GroupListSweep, FiveHundredRandomValuesOfAnyTypeAndSize) {
    std::mt19937 rng(20140927);
    const DWORD types[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, 0x4F, 12345};
    const wchar_t alphabet[] = {L'\0', L'\0', L'T', L'D', L'I', L' ', L'\u0416', L'\xFFFF', L'\xD800', L'+', L'\\'};
    int lists = 0;
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const size_t bytes = rng() % 7 == 0 ? rng() % 8 : rng() % 700;
        std::vector<uint8_t> data(bytes);
        for (size_t i = 0; i + 1 < bytes; i += 2) {
            const wchar_t c = rng() % 3 == 0 ? static_cast<wchar_t>(rng()) : alphabet[rng() % std::size(alphabet)];
            std::memcpy(&data[i], &c, sizeof c);
        }
        if (bytes % 2) data.back() = static_cast<uint8_t>(rng());
        Put(types[rng() % std::size(types)], data.data(), data.size());

        TGroups groups;
        ASSERT_NO_THROW(groups = ReadServiceGroups());
        size_t used = 0;
        for (const std::wstring& g : groups) {
            EXPECT_FALSE(g.empty());
            EXPECT_EQ(g.find(L'\0'), std::wstring::npos);
            used += g.size() + 1;
        }
        // Never more than the characters the value holds.
        EXPECT_LE(used, bytes / sizeof(wchar_t) + 1);
        lists += !groups.empty();

        if (round % 50 == 0) {
            TOwned<TDependenciesEditorForm> form(Create<TDependenciesEditorForm>(nullptr));
            TGroups shown;
            for (int i = 0; i < form->LVAvailable->Items()->Count(); ++i)
                if (form->LVAvailable->Items()->Item(i)->ImageIndex() == 1) shown.push_back(form->LVAvailable->Items()->Item(i)->Caption());
            EXPECT_EQ(shown, groups);
        }
    }
    EXPECT_GT(lists, 100); // most values held some name
}

// Services installed and removed beside the list being read: the size the first call reports
// may be too small by the time of the second, which is asked again.
TEST(ServiceList, IsReadWhileServicesAreInstalledAndRemovedBesideIt) {
    std::atomic<bool> stop{false};
    std::atomic<int> changes{0};
    std::thread installer([&] {
        TScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        if (!manager) return;
        const std::wstring base = L"TamrelListRace" + std::to_wstring(GetCurrentProcessId()) + L"_";
        for (int i = 0; !stop; ++i) {
            const std::wstring name = base + std::to_wstring(i % 4);
            TScHandle service(CreateServiceW(manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                             L"C:\\windows\\system32\\notepad.exe", nullptr, nullptr, nullptr, nullptr,
                                             nullptr));
            if (service) {
                DeleteService(service.Get());
                changes += 2;
            }
        }
    });
    TScopeExit joined([&] {
        stop = true;
        installer.join();
    });
    size_t fewest = SIZE_MAX, most = 0;
    for (int i = 0; i < 60; ++i) {
        std::vector<TServiceName> services;
        ASSERT_NO_THROW(services = ReadServiceNames()) << i;
        fewest = std::min(fewest, services.size());
        most = std::max(most, services.size());
        for (const TServiceName& s : services) EXPECT_FALSE(s.Name.empty());
    }
    stop = true;
    EXPECT_GT(changes.load(), 0);
    EXPECT_GE(fewest, 23u);
    EXPECT_GE(most, fewest);
}

} // namespace
