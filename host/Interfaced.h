// Reference-counted interface objects: the host's interfaced object, a counted interface
// pointer, interface identifiers known when compiling, and the parts of an object that count
// their references on it (contained and aggregated objects).
//
// Interfaces are COM-style abstract classes over IUnknown. Each of ours names its identifier and
// its parent once, next to its declaration, so that QueryInterface answers it and every
// interface it inherits:
//
//   struct IGreeter : IUnknown { virtual std::wstring Greeting() = 0; };
//   TAMREL_INTERFACE_ID(IGreeter, IUnknown, 0x12345678, 0x1234, 0x1234, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0)
//
//   class TGreeter : public TInterfaced<IGreeter> { ... };   // answers IGreeter and IUnknown
//   TComPtr<IGreeter> g = MakeInterfaced<TGreeter>();         // freed with its last reference
//
// Interfaces declared by the system headers (IStream, ...) use their own identifiers.
//
// A class whose base already implements interfaces lists its own with TImplements<Base, ...>:
// QueryInterface answers the listed ones and asks the base (GetInterface) for the rest, and the
// IUnknown methods go through the base's Unknown... operations, so that a base may send them to
// an aggregating controller (the COM server framework's objects do).
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace tamrel {

// The identifier and parent of an interface; specialised by TAMREL_INTERFACE_ID.
template <class I> struct TInterfaceTraits {
    using Parent = void;
    static const GUID& Iid() { return __uuidof(I); }
};

template <> struct TInterfaceTraits<IUnknown> {
    using Parent = void;
    static const GUID& Iid() { return IID_IUnknown; }
};

template <class I> const GUID& IidOf() { return TInterfaceTraits<I>::Iid(); }

// Inside namespace tamrel, where the interface is declared.
#define TAMREL_INTERFACE_ID(I, ParentInterface, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)          \
    template <> struct TInterfaceTraits<I> {                                                       \
        using Parent = ParentInterface;                                                            \
        static const GUID& Iid() {                                                                 \
            static constexpr GUID iid = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};            \
            return iid;                                                                            \
        }                                                                                          \
    };

// ---------------------------------------------------------------------------------------------
// A counted interface pointer: holds one reference, copies add one, the destructor releases it.

template <class I> class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    // Takes a reference of its own.
    explicit TComPtr(I* p) : FPtr(p) {
        if (FPtr) FPtr->AddRef();
    }
    // Adopts a reference that the caller hands over.
    static TComPtr Attach(I* p) {
        TComPtr r;
        r.FPtr = p;
        return r;
    }
    TComPtr(const TComPtr& o) : TComPtr(o.FPtr) {}
    TComPtr(TComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    template <class J, class = std::enable_if_t<std::is_convertible_v<J*, I*>>>
    TComPtr(const TComPtr<J>& o) : TComPtr(static_cast<I*>(o.Get())) {}
    TComPtr& operator=(TComPtr o) noexcept {
        std::swap(FPtr, o.FPtr);
        return *this;
    }
    ~TComPtr() { Reset(); }

    I* Get() const { return FPtr; }
    I* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    // For an out-parameter that returns a new reference.
    I** Put() {
        Reset();
        return &FPtr;
    }
    // Hands the reference over to the caller.
    I* Detach() { return std::exchange(FPtr, nullptr); }
    void Reset() {
        if (I* p = std::exchange(FPtr, nullptr)) p->Release();
    }
    // For an out-parameter typed void**.
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // The object's interface J through QueryInterface; empty when it has none.
    template <class J> TComPtr<J> As() const {
        TComPtr<J> r;
        if (FPtr) FPtr->QueryInterface(IidOf<J>(), reinterpret_cast<void**>(r.Put()));
        return r;
    }
    // The same into Out, answering QueryInterface's result (E_POINTER for an empty pointer).
    template <class J> HRESULT As(TComPtr<J>& out) const {
        out.Reset();
        return FPtr ? FPtr->QueryInterface(IidOf<J>(), reinterpret_cast<void**>(out.Put())) : E_POINTER;
    }
    friend bool operator==(const TComPtr& a, const TComPtr& b) { return a.FPtr == b.FPtr; }

private:
    I* FPtr = nullptr;
};

// The interface J of any interface pointer; empty when there is none.
template <class J, class I> TComPtr<J> Supports(I* p) { return TComPtr<I>(p).template As<J>(); }

// ---------------------------------------------------------------------------------------------
// The interfaced object: the reference count, and the object freed with its last reference.

class TInterfacedObject {
public:
    TInterfacedObject() = default;
    TInterfacedObject(const TInterfacedObject&) = delete;
    TInterfacedObject& operator=(const TInterfacedObject&) = delete;
    virtual ~TInterfacedObject() = default;
    LONG RefCount() const { return FRefCount.load(); }

    // The object's own IUnknown: the interface GetInterface answers, counted on this object.
    virtual HRESULT ObjQueryInterface(REFIID iid, void** out) {
        if (!out) return E_POINTER;
        *out = GetInterface(iid);
        if (!*out) return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
    virtual ULONG ObjAddRef() { return static_cast<ULONG>(++FRefCount); }
    virtual ULONG ObjRelease() {
        const LONG n = --FRefCount;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    // What the IUnknown methods of the implemented interfaces do; an aggregated object or a part
    // of another object sends them elsewhere.
    virtual HRESULT UnknownQueryInterface(REFIID iid, void** out) { return ObjQueryInterface(iid, out); }
    virtual ULONG UnknownAddRef() { return ObjAddRef(); }
    virtual ULONG UnknownRelease() { return ObjRelease(); }
    // The interface pointer for IID (not counted), or null; TImplements answers its interfaces.
    virtual void* GetInterface(REFIID) { return nullptr; }

protected:
    std::atomic<LONG> FRefCount{0};
};

namespace detail {

// I and its parents, each reached from I, so that a parent that several listed interfaces
// share is still unambiguous.
template <class I> void* FindInChain(I* p, REFIID iid) {
    if (IsEqualGUID(iid, IidOf<I>())) return p;
    using Parent = typename TInterfaceTraits<I>::Parent;
    if constexpr (std::is_void_v<Parent>) return nullptr;
    else return FindInChain<Parent>(static_cast<Parent*>(p), iid);
}

template <class First, class...> struct FirstOf {
    using Type = First;
};

} // namespace detail

// Base (TInterfacedObject or a descendant) that implements the listed interfaces (and their
// parents) as well. IUnknown is the base's answer when it has one, else the first interface's, so
// that every query for it gives the same pointer.
template <class Base, class... Interfaces> class TImplements : public Base, public Interfaces... {
public:
    using Base::Base;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return this->UnknownQueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->UnknownAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->UnknownRelease(); }

    void* GetInterface(REFIID iid) override {
        if (IsEqualGUID(iid, IID_IUnknown)) {
            if (void* identity = Base::GetInterface(iid)) return identity;
            if constexpr (sizeof...(Interfaces) > 0)
                return static_cast<IUnknown*>(static_cast<typename detail::FirstOf<Interfaces...>::Type*>(this));
        }
        void* result = nullptr;
        ((result = detail::FindInChain<Interfaces>(static_cast<Interfaces*>(this), iid)) || ...);
        return result ? result : Base::GetInterface(iid);
    }
};

// An interfaced object that implements the listed interfaces.
template <class... Interfaces> class TInterfaced : public TImplements<TInterfacedObject, Interfaces...> {};

// A part of another object (its controller) that implements interfaces of its own and counts its
// references on the controller, which owns it and decides its life (a connection point).
class TContainedObject : public TInterfacedObject {
public:
    explicit TContainedObject(IUnknown* controller) : FController(controller) {}
    IUnknown* Controller() const { return FController; }
    ULONG UnknownAddRef() override { return FController->AddRef(); }
    ULONG UnknownRelease() override { return FController->Release(); }

private:
    IUnknown* FController; // not counted: the controller owns the part
};

// A part that implements one of the controller's own interfaces (an IConnectionPointContainer):
// QueryInterface goes to the controller too, so the part shares the controller's identity.
class TAggregatedObject : public TContainedObject {
public:
    using TContainedObject::TContainedObject;
    HRESULT UnknownQueryInterface(REFIID iid, void** out) override { return Controller()->QueryInterface(iid, out); }
};

// Creates an interfaced object and answers its interface I, holding the first reference.
template <class T, class I = void, class... A> auto MakeInterfaced(A&&... args) {
    T* object = new T(std::forward<A>(args)...);
    if constexpr (std::is_void_v<I>) return TComPtr<T>(object);
    else return TComPtr<I>(static_cast<I*>(object));
}

} // namespace tamrel
