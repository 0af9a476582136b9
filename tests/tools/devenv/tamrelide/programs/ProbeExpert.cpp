// The probe expert library: what the environment's tests load through INITWIZARD0001.
//
// Wizards:
//   Probe.Project  registered through the environment's register routine (the environment owns
//                  it): creates a project whose default module is a unit with a data-module
//                  form, and sets the form's Tag to 7 through the form editor.
//   Probe.Failing  added through the wizard services and removed by the terminate routine: its
//                  creator raises in NewImplSource.
//   Probe.Left     added through the wizard services and never removed: a leftover at unload.
// ProbeEvents answers the calls the creators got, one a line.
#include "tests/tools/devenv/tamrelide/programs/ProbeCreators.h"

using namespace tamrel;
using namespace tamrel::probe;

extern "C" __declspec(dllimport) int ProbeHelperAnswer();

namespace {

TEvents& Events() {
    static TEvents events;
    return events;
}

int32_t gFailingIndex = -1;

void __stdcall Terminate() {
    if (auto wizards = IdeService<IOTAWizardServices>()) wizards->RemoveWizard(gFailingIndex);
}

void RunProject() {
    TProbeModuleCreator::TSettings unit;
    unit.OnFormCreated = [](IOTAFormEditor* editor) { editor->GetRootComponent()->SetPropByName(L"Tag", L"7"); };
    CreateProjectWithUnit(Events(), unit);
}

void RunFailing() {
    TProbeModuleCreator::TSettings unit;
    unit.FailImplSource = true;
    CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(Events(), unit).Get());
}

} // namespace

extern "C" bool __stdcall INITWIZARD0001(IBorlandIDEServices* services, TWizardRegisterProc registerProc,
                                         TWizardTerminateProc* terminate) {
    if (ProbeHelperAnswer() != 42 || !services) return false;
    *terminate = &Terminate;
    registerProc(MakeInterfaced<TProbeWizard, IOTAWizard>(L"Probe.Project", RunProject).Get());
    TComPtr<IOTAWizardServices> wizards = Supports<IOTAWizardServices>(services);
    gFailingIndex = wizards->AddWizard(MakeInterfaced<TProbeWizard, IOTAWizard>(L"Probe.Failing", RunFailing).Get());
    wizards->AddWizard(MakeInterfaced<TProbeWizard, IOTAWizard>(L"Probe.Left", nullptr).Get());
    return true;
}

extern "C" const wchar_t* __stdcall ProbeEvents() {
    static std::wstring text;
    text.clear();
    for (const std::wstring& e : Events()) text += e + L"\n";
    return text.c_str();
}
