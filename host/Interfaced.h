// Reference-counted interface objects: the host's interfaced object, a counted interface
// pointer, and interface identifiers known when compiling.
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
    // The object's interface J through QueryInterface; empty when it has none.
    template <class J> TComPtr<J> As() const {
        TComPtr<J> r;
        if (FPtr) FPtr->QueryInterface(IidOf<J>(), reinterpret_cast<void**>(r.Put()));
        return r;
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

protected:
    ULONG AddReference() { return static_cast<ULONG>(++FRefCount); }
    ULONG ReleaseReference() {
        const LONG n = --FRefCount;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

private:
    std::atomic<LONG> FRefCount{0};
};

namespace detail {

// I and its parents, each reached from I, so that a parent that several listed interfaces
// share is still unambiguous.
template <class I> bool QueryChain(I* p, REFIID iid, void** out) {
    if (IsEqualGUID(iid, IidOf<I>())) {
        p->AddRef();
        *out = p;
        return true;
    }
    using Parent = typename TInterfaceTraits<I>::Parent;
    if constexpr (std::is_void_v<Parent>) return false;
    else return QueryChain<Parent>(static_cast<Parent*>(p), iid, out);
}

} // namespace detail

// An interfaced object that implements the listed interfaces (and their parents). IUnknown is
// answered through the first one, so that every query for it gives the same pointer.
template <class... Interfaces> class TInterfaced : public TInterfacedObject, public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return (detail::QueryChain<Interfaces>(static_cast<Interfaces*>(this), iid, out) || ...) ? S_OK
                                                                                               : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }
};

// Creates an interfaced object and answers its interface I, holding the first reference.
template <class T, class I = void, class... A> auto MakeInterfaced(A&&... args) {
    T* object = new T(std::forward<A>(args)...);
    if constexpr (std::is_void_v<I>) return TComPtr<T>(object);
    else return TComPtr<I>(static_cast<I*>(object));
}

} // namespace tamrel
