// The wizard services: wizards by index, from 0; removing an index that is not live is a fault.
#include "tools/devenv/tamrelide/IdeState.h"

namespace tamrel {

namespace {

class TWizardServices : public TInterfaced<IOTAWizardServices> {
public:
    explicit TWizardServices(THostLink host) : FHost(std::move(host)) {}
    int32_t AddWizard(IOTAWizard* wizard) override {
        TIdeHostImpl* host = *FHost;
        return host ? host->AddWizard(wizard, false) : -1;
    }
    void RemoveWizard(int32_t index) override {
        if (TIdeHostImpl* host = *FHost) host->RemoveWizard(index);
    }

private:
    THostLink FHost;
};

} // namespace

TComPtr<IUnknown> NewWizardServices(const THostLink& host) { return MakeInterfaced<TWizardServices, IUnknown>(host); }

} // namespace tamrel
