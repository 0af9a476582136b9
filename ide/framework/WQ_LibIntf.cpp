#include "ide/framework/WQ_LibIntf.h"

namespace tamrel {

bool RegisterWizard(IOTAWizard* wizard, uint32_t& index) {
    if (!wizard) return false;
    TComPtr<IOTAWizardServices> services = IdeService<IOTAWizardServices>();
    if (!services) return false;
    index = static_cast<uint32_t>(services->AddWizard(wizard));
    return true;
}

void UnregisterWizard(uint32_t index) {
    if (TComPtr<IOTAWizardServices> services = IdeService<IOTAWizardServices>())
        services->RemoveWizard(static_cast<int32_t>(index));
}

} // namespace tamrel
