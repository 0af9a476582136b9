// PushObjectSample (a COM class served by a service module of the library) against a raw Win32
// COM local server (bench_raw_comserver), both activated through an AppID whose "LocalService"
// names their service, measured in the same run:
//   1. warm: CoCreateInstance(CLSCTX_LOCAL_SERVER) of the running service's class, one call of
//      RaiseEvent through IDispatch, release;
//   2. cold: the service stopped (and its process ended), then the same: COM starts the service.
// The two servers take turns in blocks, the first of each pair of blocks changing sides. Prints
// median and p99 per side and the ratios library / raw; the target is the warm path's.
//
//   com_bench [/warm:N] [/cold:N]    defaults 1000 and 20
//
// PushObjectSample is installed with its own /install and removed with its own /uninstall; the raw
// server with CreateServiceW and its two registry keys. Both are removed on every way out, and a
// run first removes what an interrupted run left behind.
#include "bench/BenchSupport.h"
#include "host/ComObj.h"

#include <windows.h>

#include <algorithm>

using namespace tamrel;
using namespace tamrel::bench;

namespace {

constexpr wchar_t kLibName[] = L"PushObjectSample";
constexpr wchar_t kRawName[] = L"TamrelBenchRawCom";
const CLSID kLibClsid = {0x715FC797, 0x2672, 0x4CA6, {0xA9, 0xA9, 0x45, 0x44, 0xC3, 0xB5, 0xB4, 0xD8}};
const CLSID kRawClsid = {0x9D4E2A61, 0x3B7C, 0x4F58, {0xA0, 0xE1, 0x6C, 0x2B, 0x8D, 0x9F, 0x4A, 0x73}};
constexpr wchar_t kRawAppID[] = L"{2F6B8C1D-4E3A-4B97-8D05-7A1C9E3F5B28}";
constexpr DISPID kRaiseEvent = 201;

struct TServer {
    TServer(std::wstring name, const CLSID& clsid) : Name(std::move(name)), Clsid(clsid) {}
    std::wstring Name;
    CLSID Clsid;
    TScHandle Handle;
    TSeries Warm, Cold;
};

// Activation, one call, release; answers the time it took.
double Activate(const TServer& s) {
    const double start = NowMs();
    TComPtr<IDispatch> object;
    const HRESULT hr = CoCreateInstance(s.Clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid());
    if (FAILED(hr)) Fail(L"CoCreateInstance(" + s.Name + L")", static_cast<DWORD>(hr));
    DispatchInvoke(object.Get(), kRaiseEvent, DISPATCH_METHOD, {TOleVariant(L"abc")});
    object.Reset();
    return NowMs() - start;
}

void MeasureWarm(TServer& s) { s.Warm.Add(Activate(s)); }

void MeasureCold(TServer& s) {
    StopAndWait(s.Handle.Get(), s.Name);
    s.Cold.Add(Activate(s));
}


// The registry entries that let COM start the raw server's service for its class.
void RegisterRaw(bool doRegister) {
    const std::wstring classKey = L"CLSID\\" + GUIDToString(kRawClsid);
    const std::wstring appKey = L"AppID\\" + std::wstring(kRawAppID);
    if (doRegister) {
        CreateRegKey(classKey, L"AppID", kRawAppID);
        CreateRegKey(appKey, L"LocalService", kRawName);
    } else {
        DeleteRegKey(classKey);
        DeleteRegKey(appKey);
    }
}

int RunBench() {
    const int warm = PositiveSwitch(L"warm", 1000);
    const int cold = PositiveSwitch(L"cold", 20);
    const std::wstring bin = ExtractFilePath(ParamStr(0));
    const std::wstring libExe = bin + L"PushObjectSample.exe";
    const std::wstring rawExe = bin + L"bench_raw_comserver.exe";
    for (const std::wstring& exe : {libExe, rawExe})
        if (!FileExists(exe)) throw Exception(L"%s is missing: build the samples and the bench folder first", exe);

    if (Installed(kLibName)) RunProgram(libExe, L"/uninstall");
    DeleteIfPresent(kLibName);
    DeleteIfPresent(kRawName);
    RegisterRaw(false);

    TServer lib(kLibName, kLibClsid);
    TServer raw(kRawName, kRawClsid);
    TScopeExit removeBoth([&] {
        lib.Handle.Reset();
        raw.Handle.Reset();
        RemoveQuietly(libExe, kLibName, kRawName);
        try {
            RegisterRaw(false);
        } catch (const Exception& e) {
            Print(L"com_bench: " + e.Message() + L"\n");
        }
    });

    RunProgram(libExe, L"/install");
    if (!Installed(kLibName)) throw Exception(L"%s /install did not install %s", libExe, kLibName);
    raw.Handle = CreateRawService(kRawName, L"Tamrel benchmark COM server (raw Win32)", rawExe);
    RegisterRaw(true);
    {
        TScHandle manager = OpenManager();
        lib.Handle.Reset(OpenServiceW(manager.Get(), kLibName, SERVICE_ALL_ACCESS));
        if (!lib.Handle) Fail(L"OpenService(" + std::wstring(kLibName) + L")");
    }

    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TScopeExit uninit([init] {
        if (SUCCEEDED(init)) CoUninitialize();
    });
    Print(Format(L"com_bench: %s (library) against %s (raw Win32), %d warm and %d cold activations each\n", kLibName,
                 kRawName, warm, cold));

    // Warm-up: the first start of a program pays for loading it from disk.
    for (TServer* s : {&lib, &raw}) {
        StopAndWait(s->Handle.Get(), s->Name);
        Activate(*s);
    }
    Interleave(lib, raw, warm, std::max(1, std::min(50, warm / 4)), MeasureWarm);
    Interleave(lib, raw, cold, std::max(1, std::min(5, cold / 2)), MeasureCold);
    for (TServer* s : {&lib, &raw}) StopAndWait(s->Handle.Get(), s->Name);

    TVerdict verdict;
    PrintTableHeading();
    Report(L"warm activation + call", lib.Warm, raw.Warm, true, verdict);
    Report(L"cold activation + call", lib.Cold, raw.Cold, false, verdict);
    Print(Format(L"\ntarget: the warm ratios at or below %s: %s\n", Fixed(kTarget, 2),
                 verdict.Missed ? std::wstring(L"missed") : std::wstring(L"met")));
    return 0;
}

} // namespace

int main() { return RunBenchProgram(&RunBench); }
