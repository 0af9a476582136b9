#include "runtime/service/Tamrel_FactoryThread.h"

#include "host/HostApplication.h"

namespace tamrel {

TSvcFactoryHandOff::TSvcFactoryHandOff() : Semaphore(CreateSemaphoreW(nullptr, 0, 1, nullptr)) {
    if (!Semaphore) RaiseLastOSError();
}

TSvcFactoryHandOff::~TSvcFactoryHandOff() {
    // Nobody took the interface: give back the references the marshalling holds.
    if (Stream) {
        CoReleaseMarshalData(Stream);
        Stream->Release();
    }
}

TSvcFactoryThread::TSvcFactoryThread(TSvcFactoryCreateInstance factoryCreateInstance, IUnknown* unkOuter,
                                     const GUID& iid)
    : TThread(false), FFactoryCreateInstance(factoryCreateInstance), FUnkOuter(unkOuter), FIID(iid),
      FHandOff(std::make_shared<TSvcFactoryHandOff>()) {
    SetFreeOnTerminate(true);
}

TSvcFactoryThread::~TSvcFactoryThread() {
    FUnkOuter.Reset();
    TerminateAndWait();
    // What other threads still sent to this one.
    if (HostApplication.Exists()) HostApplication->ProcessMessages();
}

void TSvcFactoryThread::Disconnect() {
    if (!FUnkInner) return;
    IUnknown* object = FUnkInner;
    object->AddRef();
    CoDisconnectObject(object, 0);
    object->AddRef();
    ULONG count;
    do {
        count = object->Release();
    } while (count > 1);
    FUnkInner = nullptr;
    if (count == 1) object->Release(); // the thread's own reference: the object goes
}

void TSvcFactoryThread::Execute() {
    try {
        const HRESULT init = CoInitialize(nullptr);
        HRESULT result;
        try {
            result = FFactoryCreateInstance(FUnkOuter.Get(), FIID, reinterpret_cast<void**>(&FUnkInner));
        } catch (...) {
            result = E_UNEXPECTED;
        }
        if (result == S_OK && !FUnkInner) result = E_POINTER;
        IStream* stream = nullptr;
        if (result == S_OK) {
            result = CoMarshalInterThreadInterfaceInStream(FIID, FUnkInner, &stream);
            if (FAILED(result)) stream = nullptr;
        }
        if (result != S_OK && FUnkInner) {
            FUnkInner->Release();
            FUnkInner = nullptr;
        }
        FHandOff->CreateResult = result;
        FHandOff->Stream = stream;
        ReleaseSemaphore(FHandOff->Semaphore.Get(), 1, nullptr);

        if (result == S_OK) {
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                if (!FUnkInner) break;
                if (Terminated()) break;
                // Only the thread's own reference left: no client holds the object any more.
                FUnkInner->AddRef();
                if (FUnkInner->Release() == 1) break;
            }
            Disconnect();
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                Sleep(1);
            }
        }
        if (SUCCEEDED(init)) CoUninitialize();
    } catch (...) {
        // Nothing leaves the thread.
    }
}

extern "C" HRESULT WINAPI CreateInstanceInFactory(TSvcFactoryCreateInstance FactoryCreateInstance,
                                                  TSvcFactoryThreadClass ThreadClass, IUnknown* UnkOuter,
                                                  REFIID IID, void** Obj, DWORD /*Reserved*/) {
    if (!Obj) return E_POINTER;
    *Obj = nullptr;
    if (!FactoryCreateInstance) return E_INVALIDARG;
    std::shared_ptr<TSvcFactoryHandOff> handOff;
    try {
        TSvcFactoryThread* thread =
            (ThreadClass ? ThreadClass : &NewFactoryThread<TSvcFactoryThread>)(FactoryCreateInstance, UnkOuter, IID);
        handOff = thread->HandOff();
        try {
            thread->AfterConstruction();
        } catch (...) {
            delete thread; // it never ran
            throw;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    if (WaitForSingleObject(handOff->Semaphore.Get(), INFINITE) != WAIT_OBJECT_0) return E_FAIL;
    if (handOff->CreateResult != S_OK) return handOff->CreateResult;
    IStream* stream = std::exchange(handOff->Stream, nullptr);
    return CoGetInterfaceAndReleaseStream(stream, IID, Obj);
}

} // namespace tamrel
