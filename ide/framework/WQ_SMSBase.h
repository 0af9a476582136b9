// The common base of every component of the wizard framework.
#pragma once

#include "host/Classes.h"

#include <string>

namespace tamrel {

class TWQSMSBase : public TComponent {
    TAMREL_CLASS(TWQSMSBase, TComponent)
public:
    explicit TWQSMSBase(TComponent* owner) : TComponent(owner) {}

    // Pascal statements that rebuild this component's state at run time; empty here.
    virtual std::wstring GetCreationCode() { return {}; }
    // The variable declarations those statements need; empty here.
    virtual std::wstring GetCreationVars() { return {}; }
};

} // namespace tamrel
