// The class factory of the factory-thread tests: creation n (counted from 1) fails with an HRESULT
// of its own when n is a multiple of 5, raises when it is a multiple of 7, and otherwise makes an
// object that says on which thread it lives.
#pragma once

#include "host/Interfaced.h"
#include "host/SysUtils.h"

#include <atomic>

namespace tamrel::test {

class TThreadObject : public TImplements<TInterfacedObject, IPersist> {
public:
    TThreadObject() { ++Alive; }
    ~TThreadObject() override { --Alive; }
    // The class ID's first field is the object's thread.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        *id = GUID_NULL;
        id->Data1 = GetCurrentThreadId();
        return S_OK;
    }
    static inline std::atomic<int> Alive{0};
};

inline HRESULT CreationFailure(int n) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, n & 0xFFFF); }

struct TCreator {
    std::atomic<int> Calls{0}; // creations so far
    HRESULT Create(IUnknown*, const GUID& iid, void** obj) {
        const int n = ++Calls;
        if (n % 5 == 0) return CreationFailure(n);
        if (n % 7 == 0) throw Exception(L"creation raised");
        TComPtr<IPersist> object = MakeInterfaced<TThreadObject, IPersist>();
        return object->QueryInterface(iid, obj);
    }
};

} // namespace tamrel::test
