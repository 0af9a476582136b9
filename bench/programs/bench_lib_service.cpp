// The library side of service_bench: a service module with the library's defaults and no
// events of its own, so that what is measured is the framework itself (the control handler, the
// hand-off to the service thread, the request loop and the status reports). Built twice: over the
// run-time DLL as bench_lib_service (TamrelBenchLib), and over the static library as
// bench_lib_static_service (TamrelBenchLibStatic).
//
//   bench_lib_service /install     installs it as TamrelBenchLib (manual start)
//   bench_lib_service /uninstall   stops and removes it
#include "runtime/service/Tamrel_NTService.h"

#ifndef BENCH_STATIC
#define BENCH_SERVICE_NAME L"TamrelBenchLib"
#define BENCH_DISPLAY_NAME L"Tamrel benchmark service (library)"
#else
#define BENCH_SERVICE_NAME L"TamrelBenchLibStatic"
#define BENCH_DISPLAY_NAME L"Tamrel benchmark service (static library)"
#endif

using namespace tamrel;

class TBenchLibService : public TNtService {
    TAMREL_CLASS(TBenchLibService, TNtService)
public:
    explicit TBenchLibService(TComponent* owner) : TNtService(owner) {
        SetName(BENCH_SERVICE_NAME);
        SetDisplayName(BENCH_DISPLAY_NAME);
        // Started by the bench itself, as the raw services are.
        SetStartType(stManual);
    }
};

TAMREL_IMPLEMENT_CLASS(TBenchLibService) {}

int wmain() {
    Application->Initialize();
    TBenchLibService* service = nullptr;
    Application->CreateForm(service);
    Application->Run();
    return Application->ExitCode();
}
