// Interface references and reference-counted objects of the host layer.
//
// TComPtr<T> is the one owner of an interface reference: it releases what it holds on every
// path, so no code calls Release by hand. TBStr owns a BSTR, TOleVariant a VARIANT.
//
// TInterfacedObject is the root of objects that hand out interfaces. Its reference count is
// shared by every interface the object implements; the last Release frees it. A concrete class
// lists the interfaces it implements with TImplements:
//
//     class TMySink : public TImplements<TInterfacedObject, IMyEvents> { ... };
//     TComPtr<IMyEvents> sink = NewInterfaced<TMySink>(args...);
//
// TImplements supplies the IUnknown methods of all listed interfaces (one final overrider in
// C++) and answers QueryInterface for each listed IID; what it does not know it asks the base.
#pragma once

#include "host/Classes.h"

#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tamrel {

// The cast of an interface reference to an interface the object does not support.
TAMREL_EXCEPTION_CLASS(EIntfCastError, Exception);
inline constexpr wchar_t SIntfCastError[] = L"Interface not supported";

// ---------------------------------------------------------------------------------------------
// OLE errors

TAMREL_EXCEPTION_CLASS(EOleError, Exception);

// A failing HRESULT with its system text.
class EOleSysError : public EOleError {
public:
    EOleSysError(std::wstring message, HRESULT errorCode, int32_t helpContext = 0)
        : EOleError(std::move(message)), FErrorCode(errorCode), FHelpContext(helpContext) {}
    HRESULT ErrorCode() const { return FErrorCode; }
    int32_t HelpContext() const { return FHelpContext; }
    const wchar_t* ClassName() const override { return L"EOleSysError"; }

private:
    HRESULT FErrorCode;
    int32_t FHelpContext;
};

// A failure that a called object described (an error-info record or an EXCEPINFO).
class EOleException : public EOleSysError {
public:
    EOleException(std::wstring message, HRESULT errorCode, std::wstring source, std::wstring helpFile,
                  int32_t helpContext)
        : EOleSysError(std::move(message), errorCode, helpContext), FSource(std::move(source)),
          FHelpFile(std::move(helpFile)) {}
    const std::wstring& Source() const { return FSource; }
    const std::wstring& HelpFile() const { return FHelpFile; }
    const wchar_t* ClassName() const override { return L"EOleException"; }

private:
    std::wstring FSource;
    std::wstring FHelpFile;
};

// Host text of an HRESULT without a system message.
inline constexpr wchar_t SOleError[] = L"OLE error %.8X";

// Raises EOleSysError for ErrorCode with the system's text for it.
[[noreturn]] void OleError(HRESULT errorCode);
// Raises when Result is a failure; answers it otherwise.
HRESULT OleCheck(HRESULT result);

// ---------------------------------------------------------------------------------------------
// TComPtr: a counted interface reference.

template <class T> class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    // Takes a reference of its own.
    TComPtr(T* p) : FPtr(p) {
        if (FPtr) FPtr->AddRef();
    }
    TComPtr(const TComPtr& o) : TComPtr(o.FPtr) {}
    TComPtr(TComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    ~TComPtr() { Reset(); }
    TComPtr& operator=(const TComPtr& o) {
        TComPtr(o).Swap(*this);
        return *this;
    }
    TComPtr& operator=(TComPtr&& o) noexcept {
        TComPtr(std::move(o)).Swap(*this);
        return *this;
    }
    TComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns.
    static TComPtr Attach(T* p) {
        TComPtr r;
        r.FPtr = p;
        return r;
    }
    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(FPtr, nullptr); }
    void Reset() {
        if (T* p = std::exchange(FPtr, nullptr)) p->Release();
    }
    void Swap(TComPtr& o) noexcept { std::swap(FPtr, o.FPtr); }

    T* Get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    // For out-parameters: releases what is held first.
    T** Put() {
        Reset();
        return &FPtr;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    explicit operator bool() const { return FPtr != nullptr; }
    bool operator==(const TComPtr& o) const { return FPtr == o.FPtr; }
    bool operator==(std::nullptr_t) const { return FPtr == nullptr; }

    // QueryInterface into another reference; answers the HRESULT.
    template <class U> HRESULT As(TComPtr<U>& out) const {
        if (!FPtr) {
            out.Reset();
            return E_POINTER;
        }
        return FPtr->QueryInterface(__uuidof(U), out.PutVoid());
    }
    HRESULT As(REFIID iid, void** out) const {
        *out = nullptr;
        return FPtr ? FPtr->QueryInterface(iid, out) : E_POINTER;
    }
    // As, but a missing interface raises EIntfCastError (the host's "as" cast). Nil gives nil.
    template <class U> TComPtr<U> Cast() const {
        TComPtr<U> r;
        if (FPtr && FAILED(As(r))) throw EIntfCastError(SIntfCastError);
        return r;
    }

private:
    T* FPtr = nullptr;
};

// The reference's IUnknown answers whether it supports IID (and hands it out when Out is given).
template <class U, class T> bool Supports(const TComPtr<T>& p, TComPtr<U>* out = nullptr) {
    TComPtr<U> r;
    if (FAILED(p.As(r))) return false;
    if (out) *out = std::move(r);
    return true;
}

// ---------------------------------------------------------------------------------------------
// TBStr: an owned BSTR.

class TBStr {
public:
    TBStr() = default;
    explicit TBStr(std::wstring_view s);
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;
    TBStr(TBStr&& o) noexcept : FStr(std::exchange(o.FStr, nullptr)) {}
    TBStr& operator=(TBStr&& o) noexcept;
    ~TBStr() { Reset(); }

    static TBStr Attach(BSTR s) {
        TBStr r;
        r.FStr = s;
        return r;
    }
    BSTR Get() const { return FStr; }
    BSTR* Put() {
        Reset();
        return &FStr;
    }
    BSTR Detach() { return std::exchange(FStr, nullptr); }
    void Reset();
    std::wstring ToString() const;

private:
    BSTR FStr = nullptr;
};

// A BSTR's text (a nil BSTR is the empty string; embedded nulls are kept).
std::wstring BStrToString(BSTR s);

// ---------------------------------------------------------------------------------------------
// TOleVariant: an owned VARIANT.

class TOleVariant {
public:
    TOleVariant() { VariantInit(&FValue); }
    explicit TOleVariant(std::wstring_view s);
    explicit TOleVariant(int32_t v);
    TOleVariant(const TOleVariant& o);
    TOleVariant& operator=(const TOleVariant& o);
    ~TOleVariant() { VariantClear(&FValue); }

    VARIANT* Get() { return &FValue; }
    const VARIANT* Get() const { return &FValue; }
    VARTYPE Type() const { return V_VT(&FValue); }
    // The value as text (VariantChangeType to VT_BSTR); raises EOleSysError when it cannot.
    std::wstring ToString() const;

private:
    VARIANT FValue;
};

// ---------------------------------------------------------------------------------------------
// Reference-counted objects.

class TInterfacedObject : public TObject {
public:
    // The count starts at one so that handing out interfaces inside the constructors cannot
    // free the object; AfterConstruction gives that reference back. Make objects with Create<T>
    // (or NewInterfaced<T>), never with a bare new.
    TInterfacedObject() = default;
    ~TInterfacedObject() override;
    void AfterConstruction() override;

    // The object's own IUnknown methods.
    virtual HRESULT ObjQueryInterface(REFIID iid, void** obj);
    virtual ULONG ObjAddRef();
    virtual ULONG ObjRelease();
    LONG RefCount() const { return FRefCount.load(); }

    // What the IUnknown methods of the implemented interfaces do; an aggregated object sends
    // them to its controller instead.
    virtual HRESULT UnknownQueryInterface(REFIID iid, void** obj) { return ObjQueryInterface(iid, obj); }
    virtual ULONG UnknownAddRef() { return ObjAddRef(); }
    virtual ULONG UnknownRelease() { return ObjRelease(); }

    // The interface pointer for IID, or null; TImplements answers the listed interfaces.
    virtual void* GetInterface(REFIID iid);

protected:
    std::atomic<LONG> FRefCount{1};
};

namespace detail {
template <class I> bool TryInterface(REFIID iid, I* candidate, void*& result) {
    if (result || !IsEqualGUID(iid, __uuidof(I))) return false;
    result = candidate;
    return true;
}
template <class First, class...> struct FirstOf {
    using Type = First;
};
} // namespace detail

template <class Base, class... Interfaces> class TImplements : public Base, public Interfaces... {
public:
    using Base::Base;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** obj) override {
        return this->UnknownQueryInterface(iid, obj);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->UnknownAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->UnknownRelease(); }

    void* GetInterface(REFIID iid) override {
        void* result = nullptr;
        (detail::TryInterface<Interfaces>(iid, static_cast<Interfaces*>(this), result) || ...);
        if (result) return result;
        result = Base::GetInterface(iid);
        if constexpr (sizeof...(Interfaces) > 0) {
            // The identity: the base may name one (an aggregatable object does); else the first.
            if (!result && IsEqualGUID(iid, IID_IUnknown))
                result = static_cast<IUnknown*>(static_cast<typename detail::FirstOf<Interfaces...>::Type*>(this));
        }
        return result;
    }
};

// Makes an interfaced object and answers it as one of its interfaces (the count is then one).
template <class T, class I = void, class... A> auto NewInterfaced(A&&... args) {
    T* object = Create<T>(std::forward<A>(args)...);
    if constexpr (std::is_void_v<I>) {
        return object;
    } else {
        TComPtr<I> r(static_cast<I*>(object));
        return r;
    }
}

// ---------------------------------------------------------------------------------------------
// An object that lives inside another and whose references are its controller's: a contained
// part that implements one of the controller's interfaces (an IConnectionPointContainer, an
// IConnectionPoint).

class TContainedObject : public TInterfacedObject {
public:
    explicit TContainedObject(IUnknown* controller) : FController(controller) {}
    IUnknown* Controller() const { return FController; }

    // QueryInterface answers the part's own interfaces (the part is an object of its own, as a
    // connection point is); every AddRef and Release goes to the controller, which owns the part
    // and decides its life.
    ULONG UnknownAddRef() override { return FController->AddRef(); }
    ULONG UnknownRelease() override { return FController->Release(); }

private:
    IUnknown* FController; // not counted: the controller owns the part
};

// A contained part that implements one of the controller's own interfaces (an
// IConnectionPointContainer): QueryInterface goes to the controller too, so the part shares the
// controller's identity.
class TAggregatedObject : public TContainedObject {
public:
    using TContainedObject::TContainedObject;
    HRESULT UnknownQueryInterface(REFIID iid, void** obj) override { return Controller()->QueryInterface(iid, obj); }
};

} // namespace tamrel
