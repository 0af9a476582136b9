// Method pointers: a closure of object and code that compares by both.
//
// A TMethod<R(A...)> holds the object and a small stub that calls one member function on it.
// The stub is unique per member function, so two closures are equal exactly when they call the
// same member function on the same object: queues can remove an entry by identity, and a
// stored event can be written back by the name of the method it calls.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace tamrel {

// The untyped form of any closure: code first, then object (the layout queues rely on).
struct TRawMethod {
    void* Code = nullptr;
    void* Data = nullptr;
    bool operator==(const TRawMethod&) const = default;
    explicit operator bool() const { return Code != nullptr; }
};

template <class Sig> class TMethod;

template <class R, class... A> class TMethod<R(A...)> {
public:
    using Signature = R(A...);
    using Stub = R (*)(void*, A...);

    TMethod() = default;
    TMethod(std::nullptr_t) {}

    // TMethod<...>::Of<&TClass::Member>(object)
    template <auto Member, class C> static TMethod Of(C* object) {
        TMethod m;
        m.FCode = &Invoke<Member, C>;
        m.FData = object;
        return m;
    }

    // A closure that calls a free function with the given context pointer as first argument.
    static TMethod FromFunction(R (*fn)(void*, A...), void* context) {
        TMethod m;
        m.FCode = fn;
        m.FData = context;
        return m;
    }

    static TMethod FromRaw(const TRawMethod& raw) {
        TMethod m;
        m.FCode = reinterpret_cast<Stub>(raw.Code);
        m.FData = raw.Data;
        return m;
    }

    TRawMethod Raw() const { return {reinterpret_cast<void*>(FCode), FData}; }
    void* Data() const { return FData; }
    Stub Code() const { return FCode; }

    R operator()(A... args) const { return FCode(FData, std::forward<A>(args)...); }

    explicit operator bool() const { return FCode != nullptr; }
    bool Assigned() const { return FCode != nullptr; }
    bool operator==(const TMethod& other) const { return FCode == other.FCode && FData == other.FData; }
    bool operator==(std::nullptr_t) const { return FCode == nullptr; }

    // The stub for one member function; its address is the "code" of the closure.
    template <auto Member, class C> static R Invoke(void* object, A... args) {
        return (static_cast<C*>(object)->*Member)(std::forward<A>(args)...);
    }

private:
    Stub FCode = nullptr;
    void* FData = nullptr;
};

namespace detail {
template <class T> struct MemberTraits;
template <class C, class R, class... A> struct MemberTraits<R (C::*)(A...)> {
    using Class = C;
    using Method = TMethod<R(A...)>;
};
template <class C, class R, class... A> struct MemberTraits<R (C::*)(A...) const> {
    using Class = C;
    using Method = TMethod<R(A...)>;
};
} // namespace detail

// MakeMethod<&TMyService::ServiceStart>(this): the closure type follows from the member.
template <auto Member, class C> auto MakeMethod(C* object) {
    using Traits = detail::MemberTraits<decltype(Member)>;
    using Owner = typename Traits::Class;
    return Traits::Method::template Of<Member, Owner>(static_cast<Owner*>(object));
}

class TObject;
using TNotifyEvent = TMethod<void(TObject* Sender)>;

} // namespace tamrel
