#include "tests/support/ServiceTestSupport.h"

#include <algorithm>

namespace tamrel::test {

namespace {
using TSc = tamrel::TScHandle;

SC_HANDLE OpenManager() { return OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }

// Every program that runs service programs brings the desktop up before its first test, so that
// no child of a test starts it with the test's pipes (see BringUpDesktop).
const bool GDesktopUp = (BringUpDesktop(), true);

std::wstring Tagged(const std::wstring& tag) {
    static LONG counter = 0;
    return tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(InterlockedIncrement(&counter));
}
} // namespace

TServiceProgram::TServiceProgram(const std::wstring& program, const std::wstring& tag) {
    std::wstring unique = Tagged(tag);
    FUnique = unique;
    // Beside the program: a program in a folder of its own keeps its own neighbours.
    const size_t slash = program.find_last_of(L"\\/");
    const std::wstring dir = BinDir() + (slash == std::wstring::npos ? L"" : program.substr(0, slash + 1));
    FExe = dir + L"e2e_" + unique + L".exe";
    FIni = dir + L"e2e_" + unique + L".ini";
    FEvidence = TempFileName(L"evidence_" + unique);
    CopyFileW((BinDir() + program).c_str(), FExe.c_str(), FALSE);
    DeleteFileW(FIni.c_str());
    Set(L"Program", L"Evidence", FEvidence);
    SetModules(1);
}

void TServiceProgram::SetModules(int count) {
    Set(L"Program", L"Modules", std::to_wstring(count));
    while (static_cast<int>(FNames.size()) < count) {
        std::wstring name = L"TamrelTest" + std::to_wstring(FNames.size() + 1) + L"_" + FUnique;
        FNames.push_back(name);
        SetModule(static_cast<int>(FNames.size()), L"ServiceName", name);
    }
}

TServiceProgram::~TServiceProgram() {
    for (const auto& name : FNames) TScm::Remove(name);
    for (int i = 0; i < 50 && !DeleteFileW(FExe.c_str()) && GetFileAttributesW(FExe.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    DeleteFileW(FIni.c_str());
    DeleteFileW(FEvidence.c_str());
}

void TServiceProgram::Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), FIni.c_str());
}

TProcessResult TServiceProgram::Run(const std::wstring& args, const std::map<std::wstring, std::wstring>& env,
                                    DWORD timeoutMs) const {
    return RunProcess(L"\"" + FExe + L"\" " + args, env, timeoutMs);
}

std::vector<std::string> TServiceProgram::EvidenceLines() const { return SplitLines(ReadFileBytes(FEvidence)); }

int TServiceProgram::CountEvidence(const std::string& text) const {
    auto lines = EvidenceLines();
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

bool TServiceProgram::WaitEvidence(const std::string& text, DWORD timeoutMs) const {
    return WaitForFileText(FEvidence, text, timeoutMs);
}

// ---------------------------------------------------------------------------------------------

TOpenService::TOpenService(const std::wstring& name) {
    FManager.Reset(OpenManager());
    if (FManager) FService.Reset(OpenServiceW(FManager.Get(), name.c_str(), SERVICE_ALL_ACCESS));
}

TOpenService::~TOpenService() = default;

DWORD TOpenService::Control(DWORD code, SERVICE_STATUS* status) {
    if (!FService) return ERROR_INVALID_HANDLE;
    SERVICE_STATUS local{};
    return ControlService(FService.Get(), code, status ? status : &local) ? 0 : GetLastError();
}

bool TScm::Exists(const std::wstring& name) {
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    return static_cast<bool>(s);
}

DWORD TScm::Start(const std::wstring& name) {
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_START));
    if (!s) return GetLastError();
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (StartServiceW(s.Get(), 0, nullptr)) return 0;
        DWORD err = GetLastError();
        // Wine's manager serialises starts (1055 while another one runs) and now and then fails a
        // start of a stopped service with an internal error (1359); both pass on a new attempt.
        if (err != ERROR_SERVICE_DATABASE_LOCKED && err != ERROR_INTERNAL_ERROR) return err;
        Sleep(200);
    }
    return ERROR_SERVICE_DATABASE_LOCKED;
}

DWORD TScm::Control(const std::wstring& name, DWORD code, SERVICE_STATUS* status) {
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!s) return GetLastError();
    SERVICE_STATUS local{};
    if (!ControlService(s.Get(), code, status ? status : &local)) return GetLastError();
    return 0;
}

SERVICE_STATUS TScm::Query(const std::wstring& name) {
    SERVICE_STATUS st{};
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (s) QueryServiceStatus(s.Get(), &st);
    return st;
}

bool TScm::WaitState(const std::wstring& name, DWORD state, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (Query(name).dwCurrentState == state) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

void TScm::Remove(const std::wstring& name) {
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!s) return;
    SERVICE_STATUS st{};
    if (QueryServiceStatus(s.Get(), &st) && st.dwCurrentState != SERVICE_STOPPED) {
        ControlService(s.Get(), SERVICE_CONTROL_STOP, &st);
        for (int i = 0; i < 200 && QueryServiceStatus(s.Get(), &st) && st.dwCurrentState != SERVICE_STOPPED; ++i) Sleep(25);
    }
    DeleteService(s.Get());
}

std::vector<uint8_t> TScm::QueryConfig(const std::wstring& name) {
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
    DWORD needed = 0;
    QueryServiceConfigW(s.Get(), nullptr, 0, &needed);
    std::vector<uint8_t> buf(needed ? needed : 1);
    if (!QueryServiceConfigW(s.Get(), reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buf.data()), needed, &needed)) buf.clear();
    return buf;
}

std::vector<uint8_t> TScm::QueryConfig2(const std::wstring& name, DWORD level, DWORD* error) {
    TSc m(OpenManager());
    TSc s(OpenServiceW(m.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
    DWORD needed = 0;
    QueryServiceConfig2W(s.Get(), level, nullptr, 0, &needed);
    std::vector<uint8_t> buf(needed ? needed : 1);
    if (!QueryServiceConfig2W(s.Get(), level, buf.data(), static_cast<DWORD>(buf.size()), &needed)) {
        if (error) *error = GetLastError();
        buf.clear();
    } else if (error) {
        *error = 0;
    }
    return buf;
}

std::wstring TScm::RegistryString(const std::wstring& name, const std::wstring& value) {
    std::wstring key = L"System\\CurrentControlSet\\Services\\" + name;
    wchar_t buf[4096];
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                     RRF_NOEXPAND, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

std::vector<std::wstring> TScm::RegistryMultiString(const std::wstring& name, const std::wstring& value) {
    std::vector<std::wstring> result;
    std::wstring key = L"System\\CurrentControlSet\\Services\\" + name;
    wchar_t buf[4096] = {};
    DWORD size = sizeof buf - 4;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return result;
    for (const wchar_t* p = buf; *p; p += wcslen(p) + 1) result.emplace_back(p);
    return result;
}

} // namespace tamrel::test
