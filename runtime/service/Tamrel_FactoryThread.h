// Objects in an apartment of their own: CreateInstanceInFactory makes a COM object on a new
// thread that enters a single-threaded apartment, hands the object's interface back marshalled
// across the threads, and serves the object's calls until no outside reference is left.
#pragma once

#include "host/Api.h"
#include "host/Interfaced.h"
#include "host/Threads.h"

#include <memory>

namespace tamrel {

// The creation routine of a class factory, called on the new thread.
using TSvcFactoryCreateInstance = TMethod<HRESULT(IUnknown* UnkOuter, const GUID& IID, void** Obj)>;

class TSvcFactoryThread;
// Makes a factory thread of a class (the thread starts with AfterConstruction).
using TSvcFactoryThreadClass = TSvcFactoryThread* (*)(TSvcFactoryCreateInstance factoryCreateInstance,
                                                     IUnknown* unkOuter, const GUID& iid);
template <class T>
TSvcFactoryThread* NewFactoryThread(TSvcFactoryCreateInstance factoryCreateInstance, IUnknown* unkOuter,
                                    const GUID& iid) {
    return new T(factoryCreateInstance, unkOuter, iid);
}

// What the thread hands to its creator. The thread frees itself when it ends, also right after a
// failed creation, so the result lives apart from the thread and both sides hold it.
struct TAMREL_API TSvcFactoryHandOff {
    TSvcFactoryHandOff();
    ~TSvcFactoryHandOff();
    TSvcFactoryHandOff(const TSvcFactoryHandOff&) = delete;
    TSvcFactoryHandOff& operator=(const TSvcFactoryHandOff&) = delete;

    TKernelHandle Semaphore;  // count 0, maximum 1: released when the result is there
    HRESULT CreateResult = E_FAIL;
    IStream* Stream = nullptr; // the marshalled interface, until the creator takes it
};

class TAMREL_API TSvcFactoryThread : public TThread {
public:
    // Keeps the three; frees itself when it ends.
    TSvcFactoryThread(TSvcFactoryCreateInstance factoryCreateInstance, IUnknown* unkOuter, const GUID& iid);
    ~TSvcFactoryThread() override;

    HANDLE Semaphore() const { return FHandOff->Semaphore.Get(); }
    const std::shared_ptr<TSvcFactoryHandOff>& HandOff() const { return FHandOff; }
    // Removes every outstanding reference of the object, which destroys it.
    void Disconnect();

protected:
    void Execute() override;

private:
    TSvcFactoryCreateInstance FFactoryCreateInstance;
    TComPtr<IUnknown> FUnkOuter;
    IUnknown* FUnkInner = nullptr; // the created object; one reference is the thread's
    GUID FIID;
    std::shared_ptr<TSvcFactoryHandOff> FHandOff;
};

extern "C" {
// Makes the object with FactoryCreateInstance on a new thread of ThreadClass (nil: the plain
// factory thread) and answers its interface IID in Obj. The result is the creation's HRESULT,
// E_FAIL when the hand-off fails, or that of unmarshalling the interface. The last argument is
// not used.
TAMREL_API HRESULT WINAPI CreateInstanceInFactory(TSvcFactoryCreateInstance FactoryCreateInstance,
                                       TSvcFactoryThreadClass ThreadClass, IUnknown* UnkOuter, REFIID IID,
                                       void** Obj, DWORD Reserved);
}

} // namespace tamrel
