// A service-bound factory whose first registration of its class object fails, as one that COM
// refuses: the tests of a start that fails part-way.
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
    bool FailNext = true;
};

} // namespace tamrel::test
