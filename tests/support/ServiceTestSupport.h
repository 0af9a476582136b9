// End-to-end helpers for tests that run service programs under the real service manager of the
// Wine prefix: a private copy of a test service program with its INI configuration, and small
// wrappers over the service manager for querying and driving services.
#pragma once

#include "host/Handles.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace tamrel::test {

// A copy of a service program under a name of its own, beside the program (its name relative to
// the test programs' folder), configured by "<copy>.ini". The services
// named in the configuration are stopped and deleted, and the copy removed, when it goes.
class TServiceProgram {
public:
    TServiceProgram(const std::wstring& program, const std::wstring& tag);
    ~TServiceProgram();
    TServiceProgram(const TServiceProgram&) = delete;
    TServiceProgram& operator=(const TServiceProgram&) = delete;

    const std::wstring& Exe() const { return FExe; }
    const std::wstring& Evidence() const { return FEvidence; }
    // A unique service name for module n (1-based), already written to the configuration.
    const std::wstring& ServiceName(int module = 1) const { return FNames[static_cast<size_t>(module - 1)]; }
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void SetModule(int module, const std::wstring& key, const std::wstring& value) {
        Set(L"Svc" + std::to_wstring(module), key, value);
    }
    void SetModules(int count);

    TProcessResult Run(const std::wstring& args, const std::map<std::wstring, std::wstring>& env = {},
                       DWORD timeoutMs = 60000) const;
    std::vector<std::string> EvidenceLines() const;
    // Waits until an evidence line contains Text; answers whether it did in time.
    bool WaitEvidence(const std::string& text, DWORD timeoutMs = 20000) const;
    int CountEvidence(const std::string& text) const;

private:
    std::wstring FUnique, FExe, FIni, FEvidence;
    std::vector<std::wstring> FNames;
};

// An open service, for tests that send many requests (opening the manager each time costs more
// than the request).
class TOpenService {
public:
    explicit TOpenService(const std::wstring& name);
    ~TOpenService();
    TOpenService(const TOpenService&) = delete;
    TOpenService& operator=(const TOpenService&) = delete;
    // The Win32 error of ControlService, 0 on success.
    DWORD Control(DWORD code, SERVICE_STATUS* status = nullptr);

private:
    TScHandle FManager; // declared first: closed last
    TScHandle FService;
};

// Service manager helpers. Errors are answered as Win32 codes (0 = success).
struct TScm {
    static bool Exists(const std::wstring& name);
    // A deleted service stays until the last handle to it is closed, the one its own process
    // holds included: waits until it is gone.
    static bool WaitGone(const std::wstring& name, DWORD timeoutMs = 20000);
    static DWORD Start(const std::wstring& name); // retries while another start holds the manager (1055)
    static DWORD Control(const std::wstring& name, DWORD code, SERVICE_STATUS* status = nullptr);
    static SERVICE_STATUS Query(const std::wstring& name);
    static bool WaitState(const std::wstring& name, DWORD state, DWORD timeoutMs = 20000);
    // Stops (when running) and deletes the service; waits until it is gone.
    static void Remove(const std::wstring& name);
    static std::vector<uint8_t> QueryConfig(const std::wstring& name);
    static std::vector<uint8_t> QueryConfig2(const std::wstring& name, DWORD level, DWORD* error = nullptr);
    // A value of the record the manager keeps under HKLM\System\CurrentControlSet\Services\<name>.
    static std::wstring RegistryString(const std::wstring& name, const std::wstring& value);
    static std::vector<std::wstring> RegistryMultiString(const std::wstring& name, const std::wstring& value);
};

} // namespace tamrel::test
