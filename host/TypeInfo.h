// Run-time class information: class names and a registry that creates classes by name, published
// properties in declaration order (inherited ones first) with getter, setter, default and stored
// rule, published methods that stored events bind to by name, and message handlers by id.
//
// A class takes part with one line in its declaration and one block in its source file:
//
//   class TMyModule : public TDataModule {
//       TAMREL_CLASS(TMyModule, TDataModule)
//   public: ...
//   };
//
//   TAMREL_IMPLEMENT_CLASS(TMyModule) {
//       b.Boolean(L"Active", &TMyModule::Active, &TMyModule::SetActive, false);
//       b.Event(L"OnTick", &TMyModule::OnTick, &TMyModule::SetOnTick);
//       b.Method<&TMyModule::ModuleTick>(L"ModuleTick");
//   }
#pragma once

#include "host/Api.h"
#include "host/Closure.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace tamrel {

class TObject;
class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;
class TClassInfo;
namespace detail {
struct TClassRegistry;
} // namespace detail
template <class T> class TClassBuilder;

// ---------------------------------------------------------------------------------------------
// Enumerations with value names, and sets of them.

class TAMREL_API TEnumInfo {
public:
    // Names as one comma-separated list in ordinal order: "esIgnore, esNormal, esSevere".
    explicit TEnumInfo(const wchar_t* commaList);
    const std::vector<std::wstring>& Names() const { return FNames; }
    int Count() const { return static_cast<int>(FNames.size()); }
    std::wstring Name(int64_t ordinal) const;
    // Ordinal of a name (case-insensitive), -1 when none.
    int IndexOf(std::wstring_view name) const;

private:
    std::vector<std::wstring> FNames;
};

// Declares a plain enumeration whose value names the streaming knows:
//   TAMREL_ENUM(TErrorSeverity, esIgnore, esNormal, esSevere, esCritical);
#define TAMREL_ENUM(Name, ...)                                                                     \
    enum Name : int { __VA_ARGS__ };                                                               \
    inline const ::tamrel::TEnumInfo& EnumInfoOf(Name) {                                           \
        static const ::tamrel::TEnumInfo info(L## #__VA_ARGS__);                                   \
        return info;                                                                               \
    }

// A set of up to 64 values of an enumeration.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values) FBits |= Bit(v);
    }
    static constexpr TSet FromBits(uint64_t bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr uint64_t Bits() const { return FBits; }
    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr TSet& Include(E v) {
        FBits |= Bit(v);
        return *this;
    }
    constexpr TSet& Exclude(E v) {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
    constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
    constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr uint64_t Bit(E v) { return uint64_t(1) << static_cast<int>(v); }
    uint64_t FBits = 0;
};

// ---------------------------------------------------------------------------------------------
// Published members.

enum class TTypeKind {
    Integer,     // int32_t
    Cardinal,    // uint32_t
    Int64,       // int64_t
    Boolean,     // bool
    Enumeration, // stored by value name
    Set,         // stored as [name, name]
    String,      // std::wstring
    Double,      // double
    Class,       // an object: an owned persistent sub-object, a string list, a collection
    Component,   // a reference to a component, stored by name
    Method       // an event: a closure, stored by the name of a published method of the root
};

class TAMREL_API TPropInfo {
public:
    std::wstring Name;
    TTypeKind Kind = TTypeKind::Integer;
    const TEnumInfo* Enum = nullptr;   // Enumeration, Set
    const std::type_info* MethodType = nullptr; // Method: the closure type
    // Class and Component: the class the property is declared with (its value may be of a
    // descendant). A function, so that the information of a class is made only when asked for.
    const TClassInfo& (*DeclaredClass)() = nullptr;
    bool HasDefault = false;
    int64_t Default = 0; // ordinal kinds: the value that is not written
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<double(TObject*)> GetFloat;
    std::function<void(TObject*, double)> SetFloat;
    std::function<std::wstring(TObject*)> GetStr;
    std::function<void(TObject*, const std::wstring&)> SetStr;
    std::function<TObject*(TObject*)> GetObj;        // Class, Component
    // Component; Class when the class declares a setter (an editor may call it; the stored form
    // still fills the object in place).
    std::function<void(TObject*, TObject*)> SetObj;
    std::function<TRawMethod(TObject*)> GetMethod;
    std::function<void(TObject*, TRawMethod)> SetMethod;
    std::function<bool(TObject*)> StoredFn; // empty: the default rule

    bool IsOrdinal() const {
        return Kind == TTypeKind::Integer || Kind == TTypeKind::Cardinal || Kind == TTypeKind::Int64 ||
               Kind == TTypeKind::Boolean || Kind == TTypeKind::Enumeration || Kind == TTypeKind::Set;
    }
    // Whether the value would be written to a stored form: the stored rule, then the default rule
    // (ordinals differ from their default, strings are not empty, references and events are set).
    bool IsStored(TObject* instance) const;
};

struct TMethodInfo {
    std::wstring Name;
    void* Code = nullptr;
    const std::type_info* Type = nullptr; // the closure type
};

struct TMessageHandlerInfo {
    UINT Msg = 0;
    void (*Handler)(TObject*, TMessage&) = nullptr;
};

// A published component field: set to the component of that name when a stored form is read.
struct TFieldInfo {
    std::wstring Name;
    std::function<void(TObject*, TComponent*)> Set;
    const TClassInfo& (*Class)() = nullptr; // the field's class, registered with the owner's
};

class TAMREL_API TClassInfo {
public:
    using TComponentFactory = TComponent* (*)(TComponent* owner);
    using TItemFactory = TCollectionItem* (*)(TCollection* collection);

    const std::wstring& Name() const { return FName; }
    const TClassInfo* Parent() const { return FParent; }
    bool InheritsFrom(const TClassInfo& other) const;

    // Published properties, inherited ones first, in declaration order.
    std::vector<const TPropInfo*> Properties() const;
    const TPropInfo* FindProperty(std::wstring_view name) const;
    const TMethodInfo* FindMethod(std::wstring_view name) const;
    const TMethodInfo* FindMethodByCode(const void* code) const;
    const TMessageHandlerInfo* FindMessageHandler(UINT msg) const;
    // The class or one of its ancestors declares a message method.
    bool HasMessageHandlers() const;
    const TFieldInfo* FindField(std::wstring_view name) const;

    // Creation through the virtual constructor: components with an owner, collection items with
    // their collection. Null when the class cannot be created by name.
    TComponentFactory ComponentFactory() const { return FComponentFactory; }
    TItemFactory ItemFactory() const { return FItemFactory; }
    // Creates a component of this class, fully constructed (AfterConstruction has run).
    // Designing: csDesigning is set before AfterConstruction, so that the stored form is read
    // and Loaded runs as in a form designer (and the components it creates are designing too).
    TComponent* CreateComponent(TComponent* owner, bool designing = false) const;

    // Used by the class macros.
    template <class T>
    static TClassInfo Make(const wchar_t* name, const TClassInfo* parent, void (*describe)(TClassBuilder<T>&));

    TClassInfo() = default;
    TClassInfo(const TClassInfo&) = default;
    TClassInfo(TClassInfo&&) = default;
    // A registered class leaves the registry first.
    ~TClassInfo();

private:
    friend struct detail::TClassRegistry;
    bool FRegistered = false; // under the registry's lock
    template <class T> friend class TClassBuilder;
    std::wstring FName;
    const TClassInfo* FParent = nullptr;
    std::vector<TPropInfo> FProps;
    std::vector<TMethodInfo> FMethods;
    std::vector<TMessageHandlerInfo> FMessages;
    std::vector<TFieldInfo> FFields;
    TComponentFactory FComponentFactory = nullptr;
    TItemFactory FItemFactory = nullptr;
};

// The class registry: classes that stored forms may name.
// RegisterClass(info) is the call. <windows.h> (which the host's headers include) makes
// RegisterClass a macro for RegisterClassW, or RegisterClassA without UNICODE, and this header
// leaves the macro to its includers: the registry answers to both spellings, beside the system's
// functions of those names that take a window class.
TAMREL_API void RegisterClassW(const TClassInfo& info);
inline void RegisterClassA(const TClassInfo& info) { RegisterClassW(info); }
TAMREL_API void RegisterClasses(std::initializer_list<const TClassInfo*> infos);
TAMREL_API void UnRegisterClass(const TClassInfo& info);
// Raises EClassNotFound ("Class %s not found") when the name is unknown.
TAMREL_API const TClassInfo& FindClass(std::wstring_view name);
// Null when the name is unknown.
TAMREL_API const TClassInfo* GetClass(std::wstring_view name);
// The class of that name that the image defines, else the one registered last; null when the
// name is unknown. A stored form asks for its own image's classes first: two add-ins may carry
// classes of one name, and a form must not end up with code of a library that can unload first.
TAMREL_API const TClassInfo* GetClassIn(std::wstring_view name, HMODULE module);
// The image (program or DLL) that defines the class: where its stored form lies.
TAMREL_API HMODULE ModuleOfClass(const TClassInfo& info);

// Design-time registration. A component library offers its classes to a form designer through
// these; they do nothing until a design environment installs its procedure (our stand-in for the
// environment does). Each setter answers the former procedure.
using TRegisterComponentsProc = void (*)(const std::wstring& page, const std::vector<const TClassInfo*>& classes);
TAMREL_API void RegisterComponents(const std::wstring& page, std::initializer_list<const TClassInfo*> classes);
TAMREL_API TRegisterComponentsProc SetRegisterComponentsProc(TRegisterComponentsProc proc);
// Told of every RegisterClass, after the class is in force (the environment notes the ones a
// package registers while it registers).
using TClassRegisteredProc = void (*)(const TClassInfo& info);
TAMREL_API TClassRegisteredProc SetClassRegisteredProc(TClassRegisteredProc proc);

// ---------------------------------------------------------------------------------------------
// The class macros.

#define TAMREL_CLASS(Class, Base)                                                                  \
public:                                                                                            \
    using inherited = Base;                                                                        \
    static const ::tamrel::TClassInfo& StaticClassInfo();                                          \
    const ::tamrel::TClassInfo& ClassInfo() const override { return StaticClassInfo(); }           \
                                                                                                   \
private:                                                                                           \
    friend class ::tamrel::TClassBuilder<Class>;                                                   \
    static void DescribeClass(::tamrel::TClassBuilder<Class>& b);                                  \
                                                                                                   \
private:

namespace detail {
class TClassRegistration;
TAMREL_API void EnlistClass(TClassRegistration& registration) noexcept;
TAMREL_API void DelistClass(TClassRegistration& registration) noexcept;

// Registers a class while its image is loaded. Loading only puts the registration on a list (a
// few instructions, no allocation); the class information is made and entered in the registry
// when a class is first looked up by name, so that a program that never does so never pays for
// it. A DLL that is unloaded (an add-in) takes its classes out of the registry before their
// information goes.
class TClassRegistration {
public:
    explicit TClassRegistration(const TClassInfo& (*info)()) noexcept : FInfo(info) { EnlistClass(*this); }
    ~TClassRegistration() { DelistClass(*this); }
    TClassRegistration(const TClassRegistration&) = delete;
    TClassRegistration& operator=(const TClassRegistration&) = delete;

private:
    friend struct TClassRegistry;
    const TClassInfo& (*const FInfo)();
    const TClassInfo* FEntered = nullptr; // once in the registry
    TClassRegistration* FNext = nullptr;  // while on the list
};
} // namespace detail

// Defines the class information; the block that follows describes the published members. The
// class is registered for creation by name.
#define TAMREL_IMPLEMENT_CLASS(Class)                                                              \
    const ::tamrel::TClassInfo& Class::StaticClassInfo() {                                         \
        static const ::tamrel::TClassInfo info = ::tamrel::TClassInfo::Make<Class>(                \
            L## #Class, &Class::inherited::StaticClassInfo(), &Class::DescribeClass);              \
        return info;                                                                               \
    }                                                                                              \
    static const ::tamrel::detail::TClassRegistration Class##_registered_(&Class::StaticClassInfo);   \
    void Class::DescribeClass([[maybe_unused]] ::tamrel::TClassBuilder<Class>& b)

// ---------------------------------------------------------------------------------------------
// The builder that a class description uses; every member is one line.

namespace detail {
template <class T> struct GetterResult;
template <class C, class R> struct GetterResult<R (C::*)() const> {
    using Type = std::remove_cvref_t<R>;
};
template <class C, class R> struct GetterResult<R (C::*)()> {
    using Type = std::remove_cvref_t<R>;
};
template <class E> auto EnumInfoFor() -> decltype(EnumInfoOf(E{}))& { return EnumInfoOf(E{}); }
} // namespace detail

template <class T> class TClassBuilder {
public:
    explicit TClassBuilder(TClassInfo& info) : FInfo(info) {}

    template <class G, class S> TClassBuilder& Integer(const wchar_t* name, G get, S set) {
        return Ord(name, TTypeKind::Integer, get, set);
    }
    template <class G, class S> TClassBuilder& Integer(const wchar_t* name, G get, S set, int32_t def) {
        Ord(name, TTypeKind::Integer, get, set);
        return WithDefault(def);
    }
    template <class G, class S> TClassBuilder& Cardinal(const wchar_t* name, G get, S set, uint32_t def) {
        Ord(name, TTypeKind::Cardinal, get, set);
        return WithDefault(def);
    }
    template <class G, class S> TClassBuilder& Int64(const wchar_t* name, G get, S set, int64_t def) {
        Ord(name, TTypeKind::Int64, get, set);
        return WithDefault(def);
    }
    template <class G, class S> TClassBuilder& Boolean(const wchar_t* name, G get, S set, bool def) {
        Ord(name, TTypeKind::Boolean, get, set);
        return WithDefault(def ? 1 : 0);
    }
    // The enumeration type follows from the getter; its value names from TAMREL_ENUM.
    template <class G, class S> TClassBuilder& Enum(const wchar_t* name, G get, S set, int64_t def) {
        using E = typename detail::GetterResult<G>::Type;
        Ord(name, TTypeKind::Enumeration, get, set);
        Last().Enum = &detail::EnumInfoFor<E>();
        return WithDefault(def);
    }
    // A TSet<E> property.
    template <class G, class S, class E> TClassBuilder& Set(const wchar_t* name, G get, S set, TSet<E> def) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Set;
        p.Enum = &detail::EnumInfoFor<E>();
        p.GetOrd = [get](TObject* o) { return static_cast<int64_t>(std::invoke(get, Self(o)).Bits()); };
        p.SetOrd = [set](TObject* o, int64_t v) { std::invoke(set, Self(o), TSet<E>::FromBits(static_cast<uint64_t>(v))); };
        FInfo.FProps.push_back(std::move(p));
        return WithDefault(static_cast<int64_t>(def.Bits()));
    }
    template <class G, class S> TClassBuilder& String(const wchar_t* name, G get, S set) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::String;
        p.GetStr = [get](TObject* o) { return std::wstring(std::invoke(get, Self(o))); };
        p.SetStr = [set](TObject* o, const std::wstring& v) { std::invoke(set, Self(o), v); };
        FInfo.FProps.push_back(std::move(p));
        return *this;
    }
    template <class G, class S> TClassBuilder& Double(const wchar_t* name, G get, S set) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Double;
        p.GetFloat = [get](TObject* o) { return static_cast<double>(std::invoke(get, Self(o))); };
        p.SetFloat = [set](TObject* o, double v) { std::invoke(set, Self(o), v); };
        FInfo.FProps.push_back(std::move(p));
        return *this;
    }
    // An object the instance owns (a sub-object, a string list, a collection): the stored form
    // fills it in place; the getter answers it.
    template <class G> TClassBuilder& Object(const wchar_t* name, G get) {
        using C = std::remove_pointer_t<typename detail::GetterResult<G>::Type>;
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Class;
        p.DeclaredClass = &C::StaticClassInfo;
        p.GetObj = [get](TObject* o) -> TObject* { return std::invoke(get, Self(o)); };
        FInfo.FProps.push_back(std::move(p));
        return *this;
    }
    // The same with a setter, which takes an object of the declared class (a copy to assign
    // from); another class raises EPropertyError.
    template <class G, class S> TClassBuilder& Object(const wchar_t* name, G get, S set) {
        using C = std::remove_pointer_t<typename detail::GetterResult<G>::Type>;
        Object(name, get);
        Last().SetObj = [set](TObject* o, TObject* v) {
            C* c = v ? dynamic_cast<C*>(v) : nullptr;
            if (v && !c) throw EPropertyError(L"Invalid property value");
            std::invoke(set, Self(o), c);
        };
        return *this;
    }
    // A reference to another component, stored by name.
    template <class G, class S> TClassBuilder& Component(const wchar_t* name, G get, S set) {
        using C = std::remove_pointer_t<typename detail::GetterResult<G>::Type>;
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Component;
        p.DeclaredClass = &C::StaticClassInfo;
        p.GetObj = [get](TObject* o) -> TObject* { return std::invoke(get, Self(o)); };
        p.SetObj = [set](TObject* o, TObject* v) {
            C* c = v ? dynamic_cast<C*>(v) : nullptr;
            if (v && !c) throw EPropertyError(L"Invalid property value");
            std::invoke(set, Self(o), c);
        };
        FInfo.FProps.push_back(std::move(p));
        return *this;
    }
    // An event; the closure type follows from the getter.
    template <class G, class S> TClassBuilder& Event(const wchar_t* name, G get, S set) {
        using M = typename detail::GetterResult<G>::Type;
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Method;
        p.MethodType = &typeid(M);
        p.GetMethod = [get](TObject* o) { return std::invoke(get, Self(o)).Raw(); };
        p.SetMethod = [set](TObject* o, TRawMethod m) { std::invoke(set, Self(o), M::FromRaw(m)); };
        FInfo.FProps.push_back(std::move(p));
        return *this;
    }
    // The stored rule of the property declared last: a member predicate or any callable.
    template <class P> TClassBuilder& Stored(P predicate) {
        Last().StoredFn = [predicate](TObject* o) { return static_cast<bool>(std::invoke(predicate, Self(o))); };
        return *this;
    }
    TClassBuilder& StoredAlways() {
        Last().StoredFn = [](TObject*) { return true; };
        return *this;
    }
    TClassBuilder& NotStored() {
        Last().StoredFn = [](TObject*) { return false; };
        return *this;
    }
    // A published method that stored events can name.
    template <auto Member> TClassBuilder& Method(const wchar_t* name) {
        using Traits = detail::MemberTraits<decltype(Member)>;
        using M = typename Traits::Method;
        using C = typename Traits::Class;
        TMethodInfo m;
        m.Name = name;
        m.Code = reinterpret_cast<void*>(&M::template Invoke<Member, C>);
        m.Type = &typeid(M);
        FInfo.FMethods.push_back(std::move(m));
        return *this;
    }
    // A message method: Dispatch calls it for its message id.
    template <auto Member> TClassBuilder& Message(UINT msg) {
        TMessageHandlerInfo h;
        h.Msg = msg;
        h.Handler = [](TObject* o, TMessage& m) { (Self(o)->*Member)(m); };
        FInfo.FMessages.push_back(h);
        return *this;
    }
    // A component field set by name when a stored form is read. The field's class is registered
    // too, when the owner's class enters the registry, so that the reader finds it by name even
    // when nothing else of the program names it. (Not from here: a description runs while the
    // registry makes the information of the classes that wait for it.)
    template <class C> TClassBuilder& Field(const wchar_t* name, C* T::*field) {
        TFieldInfo f;
        f.Name = name;
        f.Set = [field](TObject* o, TComponent* c) { Self(o)->*field = dynamic_cast<C*>(c); };
        f.Class = &C::StaticClassInfo;
        FInfo.FFields.push_back(std::move(f));
        return *this;
    }

private:
    static T* Self(TObject* o) { return static_cast<T*>(o); }
    TPropInfo& Last() { return FInfo.FProps.back(); }
    TClassBuilder& WithDefault(int64_t def) {
        Last().HasDefault = true;
        Last().Default = def;
        return *this;
    }
    template <class G, class S> TClassBuilder& Ord(const wchar_t* name, TTypeKind kind, G get, S set) {
        using V = typename detail::GetterResult<G>::Type;
        TPropInfo p;
        p.Name = name;
        p.Kind = kind;
        p.GetOrd = [get](TObject* o) { return static_cast<int64_t>(std::invoke(get, Self(o))); };
        p.SetOrd = [set](TObject* o, int64_t v) { std::invoke(set, Self(o), static_cast<V>(v)); };
        FInfo.FProps.push_back(std::move(p));
        return *this;
    }
    TClassInfo& FInfo;
};

} // namespace tamrel
