#include "host/Interfaces.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// OLE errors

void OleError(HRESULT errorCode) {
    std::wstring text = SysErrorMessage(static_cast<DWORD>(errorCode));
    if (text.empty()) text = Format(SOleError, static_cast<unsigned>(errorCode));
    throw EOleSysError(text, errorCode);
}

HRESULT OleCheck(HRESULT result) {
    if (FAILED(result)) OleError(result);
    return result;
}

// ---------------------------------------------------------------------------------------------
// BSTR and VARIANT owners

TBStr::TBStr(std::wstring_view s) {
    FStr = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!FStr) OleError(E_OUTOFMEMORY);
}

TBStr& TBStr::operator=(TBStr&& o) noexcept {
    if (this != &o) {
        Reset();
        FStr = std::exchange(o.FStr, nullptr);
    }
    return *this;
}

void TBStr::Reset() {
    if (BSTR s = std::exchange(FStr, nullptr)) SysFreeString(s);
}

std::wstring TBStr::ToString() const { return BStrToString(FStr); }

std::wstring BStrToString(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

TOleVariant::TOleVariant(std::wstring_view s) {
    VariantInit(&FValue);
    V_BSTR(&FValue) = TBStr(s).Detach();
    V_VT(&FValue) = VT_BSTR;
}

TOleVariant::TOleVariant(int32_t v) {
    VariantInit(&FValue);
    V_VT(&FValue) = VT_I4;
    V_I4(&FValue) = v;
}

TOleVariant::TOleVariant(const TOleVariant& o) {
    VariantInit(&FValue);
    OleCheck(VariantCopy(&FValue, const_cast<VARIANT*>(&o.FValue)));
}

TOleVariant& TOleVariant::operator=(const TOleVariant& o) {
    if (this != &o) OleCheck(VariantCopy(&FValue, const_cast<VARIANT*>(&o.FValue)));
    return *this;
}

std::wstring TOleVariant::ToString() const {
    if (V_VT(&FValue) == VT_BSTR) return BStrToString(V_BSTR(&FValue));
    TOleVariant text;
    OleCheck(VariantChangeType(text.Get(), const_cast<VARIANT*>(&FValue), 0, VT_BSTR));
    return BStrToString(V_BSTR(text.Get()));
}

// ---------------------------------------------------------------------------------------------
// TInterfacedObject

TInterfacedObject::~TInterfacedObject() = default;

void TInterfacedObject::AfterConstruction() { --FRefCount; }

HRESULT TInterfacedObject::ObjQueryInterface(REFIID iid, void** obj) {
    if (!obj) return E_POINTER;
    *obj = GetInterface(iid);
    if (!*obj) return E_NOINTERFACE;
    static_cast<IUnknown*>(*obj)->AddRef();
    return S_OK;
}

ULONG TInterfacedObject::ObjAddRef() { return static_cast<ULONG>(++FRefCount); }

ULONG TInterfacedObject::ObjRelease() {
    LONG r = --FRefCount;
    if (r == 0) Free(this);
    return static_cast<ULONG>(r);
}

void* TInterfacedObject::GetInterface(REFIID) { return nullptr; }

} // namespace tamrel
