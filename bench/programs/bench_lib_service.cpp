// The library side of service_bench: a service module with the library's defaults and no
// events of its own, so that what is measured is the framework itself (the control handler, the
// hand-off to the service thread, the request loop and the status reports).
//
//   bench_lib_service /install     installs it as TamrelBenchLib (manual start)
//   bench_lib_service /uninstall   stops and removes it
#include "runtime/service/Tamrel_NTService.h"

using namespace tamrel;

class TBenchLibService : public TNtService {
    TAMREL_CLASS(TBenchLibService, TNtService)
public:
    explicit TBenchLibService(TComponent* owner) : TNtService(owner) {
        SetName(L"TamrelBenchLib");
        SetDisplayName(L"Tamrel benchmark service (library)");
        // An automatic start would send the delayed-start flag, which Wine's manager refuses.
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
