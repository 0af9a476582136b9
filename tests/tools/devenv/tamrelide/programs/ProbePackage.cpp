// The probe package: what the environment's tests load through Register.
//
// Register puts TProbeComponent on the palette page "Probe", registers TProbeModule as a custom
// module and TProbeComponent by name, a property editor for the Tag of TProbeComponent, and adds
// two wizards: Probe.Package creates a plain unit, Probe.PackageForm a unit whose form is a
// TProbeModule. Finalize removes the wizards. Both classes are registered by name while the
// package is loaded.
#include "tests/tools/devenv/tamrelide/programs/ProbeCreators.h"

#include "host/Classes.h"
#include "ide/framework/DesignEditors.h"

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

std::vector<int32_t> gWizardIndexes;

TEvents& Events() {
    static TEvents events;
    return events;
}

void RunPackageWizard() {
    TProbeModuleCreator::TSettings unit;
    unit.Type = L"Unit";
    unit.Ancestor = L"";
    unit.Source = L"unit ~;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
    CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(Events(), unit).Get());
}

void RunPackageFormWizard() {
    TProbeModuleCreator::TSettings unit;
    unit.Ancestor = L"ProbeModule";
    CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(Events(), unit).Get());
}

} // namespace

extern "C" void __stdcall Register() {
    RegisterComponents(L"Probe", {&TProbeComponent::StaticClassInfo()});
    RegisterCustomModule(TProbeModule::StaticClassInfo());
    RegisterClass(TProbeComponent::StaticClassInfo());
    RegisterPropertyEditor(TPropertyType::Ordinal(TTypeKind::Integer), &TProbeComponent::StaticClassInfo(), L"Tag",
                           PropertyEditorClass<TIntegerProperty>(L"TProbeTagEditor"));
    if (auto wizards = IdeService<IOTAWizardServices>()) {
        gWizardIndexes.push_back(wizards->AddWizard(MakeInterfaced<TProbeWizard, IOTAWizard>(L"Probe.Package", RunPackageWizard).Get()));
        gWizardIndexes.push_back(
            wizards->AddWizard(MakeInterfaced<TProbeWizard, IOTAWizard>(L"Probe.PackageForm", RunPackageFormWizard).Get()));
    }
}

extern "C" void __stdcall Finalize() {
    if (auto wizards = IdeService<IOTAWizardServices>())
        for (int32_t index : gWizardIndexes) wizards->RemoveWizard(index);
    gWizardIndexes.clear();
}
