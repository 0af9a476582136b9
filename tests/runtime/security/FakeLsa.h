// An LSA of the tests' own, put in place of the system's through the centers' LSA table. Wine's
// LSA stores no secrets and no account rights, so the round trips are proved against this one.
// It keeps secrets by name and rights by SID, answers the real status codes, records every
// call, and counts the buffers it hands out so that a test sees them freed.
#pragma once

#include "runtime/security/internal/Tamrel_LsaInternal.h"
#include "tests/runtime/security/SecurityTestSupport.h"

#include <windows.h>
#include <ntsecapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace tamrel::test {

inline constexpr NTSTATUS StatusNotFound = static_cast<NTSTATUS>(0xC0000034);
inline constexpr NTSTATUS StatusAccessDenied = static_cast<NTSTATUS>(0xC0000022);
inline constexpr NTSTATUS StatusInvalidHandle = static_cast<NTSTATUS>(0xC0000008);

class TFakeLsa {
public:
    TFakeLsa() : FOverride(Slots()) { Current() = this; }
    ~TFakeLsa() { Current() = nullptr; }
    TFakeLsa(const TFakeLsa&) = delete;
    TFakeLsa& operator=(const TFakeLsa&) = delete;

    std::map<std::wstring, std::wstring> Secrets;
    // Secrets kept as bytes, of any length; a secret named here is read and stored here.
    std::map<std::wstring, std::string> ByteSecrets;
    // Rights by SID string; an account whose last right goes is removed, as the LSA does.
    std::map<std::wstring, std::vector<std::wstring>> Rights;
    // "Open <server> <access>", "Close", "Retrieve <name>", "Store <name>", "Enumerate <sid>",
    // "Add <sid> <right>", "Remove <sid> <right>".
    std::vector<std::wstring> Calls;
    // A call whose record starts with this text fails with FailStatus.
    std::wstring FailCall;
    NTSTATUS FailStatus = StatusAccessDenied;
    int OpenHandles = 0;
    int BuffersOut = 0;

    int Count(const std::wstring& prefix) const {
        int n = 0;
        for (const auto& c : Calls) n += c.rfind(prefix, 0) == 0;
        return n;
    }

private:
    static TFakeLsa*& Current() {
        static TFakeLsa* current = nullptr;
        return current;
    }
    static TFakeLsa& Self() { return *Current(); }
    static LSA_HANDLE Marker() { return reinterpret_cast<LSA_HANDLE>(0x15A); }
    static std::wstring Text(const LSA_UNICODE_STRING* s) {
        return s && s->Buffer ? std::wstring(s->Buffer, s->Length / 2) : std::wstring();
    }

    // Records the call and answers the failure status when the test asked for one.
    static NTSTATUS Enter(const std::wstring& call, LSA_HANDLE handle = Marker()) {
        TFakeLsa& self = Self();
        self.Calls.push_back(call);
        if (handle != Marker()) return StatusInvalidHandle;
        if (!self.FailCall.empty() && call.rfind(self.FailCall, 0) == 0) return self.FailStatus;
        return 0;
    }

    // One block per hand-out, as the LSA does it: records first, texts behind them.
    static PLSA_UNICODE_STRING HandOut(const std::vector<std::wstring>& texts) {
        size_t size = texts.size() * sizeof(LSA_UNICODE_STRING);
        for (const auto& t : texts) size += (t.size() + 1) * sizeof(wchar_t);
        auto* block = static_cast<BYTE*>(std::calloc(1, size ? size : 1));
        auto* records = reinterpret_cast<PLSA_UNICODE_STRING>(block);
        auto* text = reinterpret_cast<wchar_t*>(block + texts.size() * sizeof(LSA_UNICODE_STRING));
        for (size_t i = 0; i < texts.size(); ++i) {
            std::memcpy(text, texts[i].c_str(), texts[i].size() * sizeof(wchar_t));
            records[i].Buffer = text;
            records[i].Length = records[i].MaximumLength = static_cast<USHORT>(texts[i].size() * sizeof(wchar_t));
            text += texts[i].size() + 1;
        }
        ++Self().BuffersOut;
        return records;
    }

    static PLSA_UNICODE_STRING HandOutBytes(const std::string& bytes) {
        auto* block = static_cast<BYTE*>(std::calloc(1, sizeof(LSA_UNICODE_STRING) + bytes.size() + 1));
        auto* record = reinterpret_cast<PLSA_UNICODE_STRING>(block);
        record->Buffer = reinterpret_cast<PWSTR>(block + sizeof(LSA_UNICODE_STRING));
        std::memcpy(record->Buffer, bytes.data(), bytes.size());
        record->Length = record->MaximumLength = static_cast<USHORT>(bytes.size());
        ++Self().BuffersOut;
        return record;
    }

    static NTSTATUS NTAPI OpenPolicy(PLSA_UNICODE_STRING server, PLSA_OBJECT_ATTRIBUTES attributes, ACCESS_MASK access,
                                     PLSA_HANDLE handle) {
        NTSTATUS status = Enter(L"Open " + (server ? Text(server) : L"<local>") + L" " + std::to_wstring(access));
        // The system refuses object attributes of the wrong length.
        if (!attributes || attributes->Length != sizeof(LSA_OBJECT_ATTRIBUTES)) return static_cast<NTSTATUS>(0xC000000D);
        if (status) return status;
        ++Self().OpenHandles;
        *handle = Marker();
        return 0;
    }
    static NTSTATUS NTAPI Close(LSA_HANDLE handle) {
        NTSTATUS status = Enter(L"Close", handle);
        if (status == 0) --Self().OpenHandles;
        return status;
    }
    static NTSTATUS NTAPI FreeMemory(PVOID buffer) {
        if (buffer) {
            --Self().BuffersOut;
            std::free(buffer);
        }
        return 0;
    }
    static NTSTATUS NTAPI Store(LSA_HANDLE handle, PLSA_UNICODE_STRING name, PLSA_UNICODE_STRING data) {
        if (NTSTATUS status = Enter(L"Store " + Text(name), handle)) return status;
        auto bytes = Self().ByteSecrets.find(Text(name));
        if (bytes != Self().ByteSecrets.end() && data) {
            bytes->second.assign(reinterpret_cast<const char*>(data->Buffer), data->Length);
            return 0;
        }
        if (data) Self().Secrets[Text(name)] = Text(data);
        else Self().Secrets.erase(Text(name));
        return 0;
    }
    static NTSTATUS NTAPI Retrieve(LSA_HANDLE handle, PLSA_UNICODE_STRING name, PLSA_UNICODE_STRING* data) {
        *data = nullptr;
        if (NTSTATUS status = Enter(L"Retrieve " + Text(name), handle)) return status;
        auto bytes = Self().ByteSecrets.find(Text(name));
        if (bytes != Self().ByteSecrets.end()) {
            *data = HandOutBytes(bytes->second);
            return 0;
        }
        auto it = Self().Secrets.find(Text(name));
        if (it == Self().Secrets.end()) return StatusNotFound;
        *data = HandOut({it->second});
        return 0;
    }
    static NTSTATUS NTAPI Enumerate(LSA_HANDLE handle, PSID sid, PLSA_UNICODE_STRING* rights, PULONG count) {
        *rights = nullptr;
        *count = 0;
        std::wstring account = SidText(sid);
        if (NTSTATUS status = Enter(L"Enumerate " + account, handle)) return status;
        auto it = Self().Rights.find(account);
        if (it == Self().Rights.end()) return StatusNotFound;
        *rights = HandOut(it->second);
        *count = static_cast<ULONG>(it->second.size());
        return 0;
    }
    static NTSTATUS NTAPI Add(LSA_HANDLE handle, PSID sid, PLSA_UNICODE_STRING rights, ULONG count) {
        std::wstring account = SidText(sid);
        for (ULONG i = 0; i < count; ++i) {
            if (NTSTATUS status = Enter(L"Add " + account + L" " + Text(&rights[i]), handle)) return status;
            auto& held = Self().Rights[account];
            if (std::find(held.begin(), held.end(), Text(&rights[i])) == held.end()) held.push_back(Text(&rights[i]));
        }
        return 0;
    }
    static NTSTATUS NTAPI Remove(LSA_HANDLE handle, PSID sid, BOOLEAN all, PLSA_UNICODE_STRING rights, ULONG count) {
        std::wstring account = SidText(sid);
        for (ULONG i = 0; i < count; ++i) {
            std::wstring call = L"Remove " + account + L" " + Text(&rights[i]) + (all ? L" all" : L"");
            if (NTSTATUS status = Enter(call, handle)) return status;
            auto it = Self().Rights.find(account);
            if (it == Self().Rights.end()) return StatusNotFound;
            std::erase(it->second, Text(&rights[i]));
            if (it->second.empty()) Self().Rights.erase(it);
        }
        return 0;
    }

    static TRkLsaSlots Slots() {
        return TRkLsaSlots{OpenPolicy, Close, FreeMemory, Store, Retrieve, Enumerate, Add, Remove};
    }

    TRkLsaSlotsOverride FOverride;
};

} // namespace tamrel::test
