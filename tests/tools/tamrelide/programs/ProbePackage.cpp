// The probe package: what the environment's tests load through Register.
//
// Register puts TProbeComponent on the palette page "Probe", registers TProbeModule as a custom
// module and adds the wizard Probe.Package, which creates a plain unit; Finalize removes the
// wizard. Both classes are registered by name while the package is loaded.
#include "tests/tools/tamrelide/programs/ProbeCreators.h"

#include "host/Classes.h"

using namespace tamrel;
using namespace tamrel::probe;

namespace tamrel::probe {

class TProbeComponent : public TComponent {
    TAMREL_CLASS(TProbeComponent, TComponent)
public:
    explicit TProbeComponent(TComponent* owner) : TComponent(owner) {}
};
TAMREL_IMPLEMENT_CLASS(TProbeComponent) {}

class TProbeModule : public TDataModule {
    TAMREL_CLASS(TProbeModule, TDataModule)
public:
    explicit TProbeModule(TComponent* owner) : TDataModule(owner) {}
};
TAMREL_IMPLEMENT_CLASS(TProbeModule) {}

} // namespace tamrel::probe

namespace {

int32_t gWizardIndex = -1;

void RunPackageWizard() {
    static TEvents events;
    TProbeModuleCreator::TSettings unit;
    unit.Type = L"Unit";
    unit.Ancestor = L"";
    unit.Source = L"unit ~;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
    CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get());
}

} // namespace

extern "C" void __stdcall Register() {
    RegisterComponents(L"Probe", {&TProbeComponent::StaticClassInfo()});
    RegisterCustomModule(TProbeModule::StaticClassInfo());
    if (auto wizards = IdeService<IOTAWizardServices>())
        gWizardIndex = wizards->AddWizard(MakeInterfaced<TProbeWizard, IOTAWizard>(L"Probe.Package", RunPackageWizard).Get());
}

extern "C" void __stdcall Finalize() {
    if (auto wizards = IdeService<IOTAWizardServices>()) wizards->RemoveWizard(gWizardIndex);
}
