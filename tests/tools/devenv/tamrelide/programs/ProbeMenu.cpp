// The probe menu package: Register appends an item to the environment's Help menu and never
// takes it away, so that unloading the package leaves an item whose click handler is gone.
#include "host/HostApplication.h"
#include "host/Menus.h"

using namespace tamrel;

namespace {

struct TProbeClick {
    void Click(TObject*) { ++Clicks; }
    int Clicks = 0;
};
TProbeClick gClick;

} // namespace

extern "C" void __stdcall Register() {
    TComponent* builder = HostApplication->FindComponent(L"AppBuilder");
    auto* help = builder ? dynamic_cast<TMenuItem*>(builder->FindComponent(L"HelpMenu")) : nullptr;
    if (!help) return;
    auto* item = new TMenuItem(builder);
    item->SetCaption(L"Probe item");
    item->SetOnClick(MakeMethod<&TProbeClick::Click>(&gClick));
    help->Add(item);
}

// How often the item was clicked.
extern "C" int __stdcall ProbeMenuClicks() { return gClick.Clicks; }
