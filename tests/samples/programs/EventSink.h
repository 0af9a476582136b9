// A client's sink for the events of PushObjectSample's object, shared by the client program and
// the tests that are clients themselves.
#pragma once

#include "host/ComObj.h"

#include "PushObjectSample_TLB.h"

#include <functional>
#include <string>

namespace tamrel::test {

// Answers IDispatch and the event interface; HandleEventNotification (DISPID 201) hands its
// message to OnEvent. With Fail set it answers every event with a described failure.
class TEventSink : public TImplements<TInterfacedObject, IDispatch> {
public:
    using TOnEvent = std::function<void(const std::wstring& message)>;
    TEventSink(TOnEvent onEvent, bool fail) : FOnEvent(std::move(onEvent)), FFail(fail) {}

    void* GetInterface(REFIID iid) override {
        if (IsEqualGUID(iid, DIID_IComObjectWithEventsEvents)) return static_cast<IDispatch*>(this);
        return TImplements::GetInterface(iid);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO* excepInfo, UINT*) override {
        if (dispId != 201) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1 || V_VT(&params->rgvarg[0]) != VT_BSTR) return DISP_E_BADPARAMCOUNT;
        if (FFail) {
            if (excepInfo) {
                *excepInfo = EXCEPINFO{};
                excepInfo->scode = E_ACCESSDENIED;
                excepInfo->bstrDescription = SysAllocString(L"the sink refuses events");
            }
            return DISP_E_EXCEPTION;
        }
        FOnEvent(BStrToString(V_BSTR(&params->rgvarg[0])));
        return S_OK;
    }

private:
    TOnEvent FOnEvent;
    bool FFail;
};

// A sink connected to the object's event connection point until Disconnect.
class TSinkConnection {
public:
    HRESULT Connect(IUnknown* object, IUnknown* sink) {
        TComPtr<IConnectionPointContainer> container;
        HRESULT hr = TComPtr<IUnknown>(object).As(container);
        if (FAILED(hr)) return hr;
        hr = container->FindConnectionPoint(DIID_IComObjectWithEventsEvents, FPoint.Put());
        if (FAILED(hr)) return hr;
        return FPoint->Advise(sink, &FCookie);
    }
    HRESULT Disconnect() {
        if (!FPoint || !FCookie) return S_FALSE;
        HRESULT hr = FPoint->Unadvise(FCookie);
        FCookie = 0;
        FPoint.Reset();
        return hr;
    }
    ~TSinkConnection() { Disconnect(); }

private:
    TComPtr<IConnectionPoint> FPoint;
    DWORD FCookie = 0;
};

} // namespace tamrel::test
