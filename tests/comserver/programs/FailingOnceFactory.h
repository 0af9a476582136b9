// A service-bound factory whose first registration of its class object fails, as one that COM
// refuses: the tests of a start that fails part-way. A revocation can be made to fail once too.
#pragma once

#include "comserver/Tamrel_ComObj.h"

namespace tamrel::test {

template <class Base> class TFailingOnceFactory : public Base {
public:
    using Base::Base;
    void RegisterClassObject() override {
        if (FailNext) {
            FailNext = false;
            throw EOleSysError(L"forced registration failure", E_ACCESSDENIED);
        }
        Base::RegisterClassObject();
    }
    void UnRegisterClassObject() override {
        if (FailNextRevoke) {
            FailNextRevoke = false;
            throw EOleSysError(L"forced revocation failure", E_ACCESSDENIED);
        }
        Base::UnRegisterClassObject();
    }
    bool FailNext = true;
    bool FailNextRevoke = false;
};

} // namespace tamrel::test
