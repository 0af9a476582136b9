// The COM classes of the COM tests, over the test type library: an automation object with events
// and a server object that counts what it is told.
#pragma once

#include "host/ComObj.h"
#include "host/ConnectionPoints.h"

#include "ComTest_TLB.h"

#include <atomic>
#include <vector>

namespace tamrel::test {

class TTestObject : public TAutoImplements<TAutoObject, ITestObject> {
public:
    TTestObject() { ++Alive; }
    ~TTestObject() override {
        --Alive;
        delete FPoints;
    }
    void Initialize() override {
        FPoints = new TConnectionPoints(static_cast<ITestObject*>(this));
        if (AutoFactory() && AutoFactory()->EventTypeInfo())
            FPoint = FPoints->CreateConnectionPoint(AutoFactory()->EventIID(), ckMulti,
                                                    MakeMethod<&TAutoObject::EventConnect>(this));
    }
    void* GetInterface(REFIID iid) override {
        if (IsEqualGUID(iid, IID_IConnectionPointContainer) && FPoints) return FPoints->GetInterface(iid);
        return TAutoImplements::GetInterface(iid);
    }
    TConnectionPoint* EventPoint() const { return FPoint; }

    HRESULT STDMETHODCALLTYPE Echo(BSTR text, BSTR* result) override {
        return SafeCall([&] { *result = TBStr(L"echo:" + BStrToString(text)).Detach(); });
    }
    HRESULT STDMETHODCALLTYPE Join(BSTR first, BSTR second, BSTR* result) override {
        return SafeCall([&] { *result = TBStr(BStrToString(first) + L"+" + BStrToString(second)).Detach(); });
    }
    // 0: a plain exception; 1: an OLE error that carries a success code; else that OLE error.
    HRESULT STDMETHODCALLTYPE Fail(long code) override {
        return SafeCall([&] {
            if (code == 0) throw Exception(L"plain failure");
            if (code == 1) throw EOleSysError(L"success code", S_FALSE);
            throw EOleSysError(L"ole failure", code);
        });
    }
    HRESULT STDMETHODCALLTYPE Ping(BSTR text) override {
        return SafeCall([&] {
            for (const auto& sink : FPoint->SinkList())
                if (sink) DispatchInvoke(InterfaceCast<IDispatch>(sink).Get(), 1, DISPATCH_METHOD, {TOleVariant(BStrToString(text))});
        });
    }

    // What EventSinkChanged was told, in order.
    std::vector<IUnknown*> SinkChanges;
    static inline std::atomic<int> Alive{0};

protected:
    void EventSinkChanged(IUnknown* sink) override { SinkChanges.push_back(sink); }

private:
    TConnectionPoints* FPoints = nullptr;
    TConnectionPoint* FPoint = nullptr;
};

// The test program's own type library, loaded from its resources.
inline TComPtr<ITypeLib> LoadOwnTypeLib() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    TComPtr<ITypeLib> lib;
    OleCheck(LoadTypeLib(path, lib.Put()));
    return lib;
}

class TTestServer : public TComServerObject {
public:
    int32_t CountObject(bool created) override { return created ? ++Objects : --Objects; }
    int32_t CountFactory(bool created) override { return created ? ++Factories : --Factories; }
    std::wstring GetHelpFileName() override { return L"test.hlp"; }
    std::wstring GetServerFileName() override { return L""; }
    std::wstring GetServerKey() override { return L""; }
    std::wstring GetServerName() override { return L"TestServer"; }
    bool GetStartSuspended() override { return false; }
    TComPtr<ITypeLib> GetTypeLib() override {
        if (!FTypeLib) FTypeLib = LoadOwnTypeLib();
        return FTypeLib;
    }
    void SetHelpFileName(const std::wstring&) override {}

    std::atomic<int32_t> Objects{0}, Factories{0};

private:
    TComPtr<ITypeLib> FTypeLib;
};

} // namespace tamrel::test
