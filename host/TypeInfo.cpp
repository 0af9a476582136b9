#include "host/TypeInfo.h"
#include "host/Classes.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

namespace tamrel {

TEnumInfo::TEnumInfo(const wchar_t* commaList) {
    std::wstring name;
    for (const wchar_t* p = commaList;; ++p) {
        if (*p == L',' || *p == 0) {
            std::wstring t = Trim(name);
            // "esIgnore = 0" style initialisers are not used by the macro's enumerations.
            if (!t.empty()) FNames.push_back(t);
            name.clear();
            if (*p == 0) break;
        } else {
            name.push_back(*p);
        }
    }
}

std::wstring TEnumInfo::Name(int64_t ordinal) const {
    if (ordinal < 0 || ordinal >= static_cast<int64_t>(FNames.size())) return IntToStr(ordinal);
    return FNames[static_cast<size_t>(ordinal)];
}

int TEnumInfo::IndexOf(std::wstring_view name) const {
    for (size_t i = 0; i < FNames.size(); ++i)
        if (SameText(FNames[i], name)) return static_cast<int>(i);
    return -1;
}

bool TPropInfo::IsStored(TObject* instance) const {
    if (StoredFn && !StoredFn(instance)) return false;
    switch (Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Cardinal:
    case TTypeKind::Int64:
    case TTypeKind::Boolean:
    case TTypeKind::Enumeration:
    case TTypeKind::Set:
        if (StoredFn) return true;
        return !HasDefault || GetOrd(instance) != Default;
    case TTypeKind::String:
        return StoredFn ? true : !GetStr(instance).empty();
    case TTypeKind::Double:
        return StoredFn ? true : GetFloat(instance) != 0.0;
    case TTypeKind::Class:
        return GetObj(instance) != nullptr;
    case TTypeKind::Component:
        return GetObj(instance) != nullptr;
    case TTypeKind::Method:
        return static_cast<bool>(GetMethod(instance));
    }
    return true;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (c == &other) return true;
    return false;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<const TPropInfo*> result;
    if (FParent) result = FParent->Properties();
    for (const auto& p : FProps) {
        // A class may publish a property again (with another default); the later one wins in place.
        bool replaced = false;
        for (auto& r : result)
            if (SameText(r->Name, p.Name)) {
                r = &p;
                replaced = true;
            }
        if (!replaced) result.push_back(&p);
    }
    return result;
}

const TPropInfo* TClassInfo::FindProperty(std::wstring_view name) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const auto& p : c->FProps)
            if (SameText(p.Name, name)) return &p;
    return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::wstring_view name) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const auto& m : c->FMethods)
            if (SameText(m.Name, name)) return &m;
    return nullptr;
}

const TMethodInfo* TClassInfo::FindMethodByCode(const void* code) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const auto& m : c->FMethods)
            if (m.Code == code) return &m;
    return nullptr;
}

const TMessageHandlerInfo* TClassInfo::FindMessageHandler(UINT msg) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const auto& h : c->FMessages)
            if (h.Msg == msg) return &h;
    return nullptr;
}

bool TClassInfo::HasMessageHandlers() const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (!c->FMessages.empty()) return true;
    return false;
}

const TFieldInfo* TClassInfo::FindField(std::wstring_view name) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const auto& f : c->FFields)
            if (SameText(f.Name, name)) return &f;
    return nullptr;
}

TComponent* TClassInfo::CreateComponent(TComponent* owner, bool designing) const {
    if (!FComponentFactory) throw EClassNotFound(L"Class %s cannot be created", FName);
    TComponent* c = FComponentFactory(owner);
    try {
        if (designing) c->SetDesigning(true);
        c->AfterConstruction();
    } catch (...) {
        delete c;
        throw;
    }
    return c;
}

// ---------------------------------------------------------------------------------------------
// Class registry

namespace detail {

// Each name keeps its registrations in order; the last one is in force. A DLL that registers a
// class of a name already known (two add-ins that carry the same unit) shadows it until the DLL
// is unloaded, and the earlier registration is in force again. Registrations of loaded images
// wait on a list until the registry is first used, and then go in, in the order they were made.
//
// Everything is under one slim lock, which needs no constructor: images enlist their classes
// while they load, before any constructor of this unit may have run. The registry is never
// released: classes leave it during the static destruction of their images.
struct TClassRegistry {
    static inline constinit SRWLOCK Lock = SRWLOCK_INIT;
    static inline constinit TClassRegistration* Waiting = nullptr; // the newest first
    static inline std::map<std::wstring, std::vector<const TClassInfo*>>* Classes = nullptr; // upper-case name

    struct TGuard {
        TGuard() { AcquireSRWLockExclusive(&Lock); }
        ~TGuard() { ReleaseSRWLockExclusive(&Lock); }
        TGuard(const TGuard&) = delete;
        TGuard& operator=(const TGuard&) = delete;
    };

    // Under the lock: the registry, with every waiting registration entered.
    static std::map<std::wstring, std::vector<const TClassInfo*>>& Entered() {
        if (!Classes) Classes = new std::map<std::wstring, std::vector<const TClassInfo*>>;
        std::vector<TClassRegistration*> waiting;
        for (TClassRegistration* r = Waiting; r; r = r->FNext) waiting.push_back(r);
        Waiting = nullptr;
        for (auto it = waiting.rbegin(); it != waiting.rend(); ++it) {
            TClassRegistration& r = **it;
            r.FNext = nullptr;
            r.FEntered = &r.FInfo();
            Enter(*r.FEntered);
        }
        return *Classes;
    }

    static void Enter(const TClassInfo& info) {
        auto& list = (*Classes)[UpperCase(info.Name())];
        std::erase(list, &info);
        list.push_back(&info);
        const_cast<TClassInfo&>(info).FRegistered = true;
        // The classes of its component fields, each once (two forms may name each other).
        for (const auto& field : info.FFields)
            if (field.Class && !field.Class().FRegistered) Enter(field.Class());
    }

    // Under the lock. By address only: the information may be gone already.
    static void Forget(const TClassInfo* info) {
        if (!Classes) return;
        for (auto it = Classes->begin(); it != Classes->end();) {
            std::erase(it->second, info);
            it = it->second.empty() ? Classes->erase(it) : std::next(it);
        }
    }

    static void Enlist(TClassRegistration& registration) {
        registration.FNext = Waiting;
        Waiting = &registration;
    }

    static void Delist(TClassRegistration& registration) {
        for (TClassRegistration** p = &Waiting; *p; p = &(*p)->FNext)
            if (*p == &registration) {
                *p = registration.FNext;
                return;
            }
        if (registration.FEntered) Forget(registration.FEntered);
    }
};

void EnlistClass(TClassRegistration& registration) noexcept {
    TClassRegistry::TGuard guard;
    TClassRegistry::Enlist(registration);
}

void DelistClass(TClassRegistration& registration) noexcept {
    TClassRegistry::TGuard guard;
    TClassRegistry::Delist(registration);
}

} // namespace detail

using detail::TClassRegistry;

TClassInfo::~TClassInfo() {
    if (!FRegistered) return;
    TClassRegistry::TGuard guard;
    TClassRegistry::Forget(this);
}

namespace {
std::atomic<TRegisterComponentsProc> gRegisterComponentsProc{nullptr};
std::atomic<TClassRegisteredProc> gClassRegisteredProc{nullptr};
} // namespace

void RegisterClassW(const TClassInfo& info) {
    {
        TClassRegistry::TGuard guard;
        TClassRegistry::Entered();
        TClassRegistry::Enter(info);
    }
    if (TClassRegisteredProc proc = gClassRegisteredProc.load()) proc(info);
}

TClassRegisteredProc SetClassRegisteredProc(TClassRegisteredProc proc) { return gClassRegisteredProc.exchange(proc); }

void RegisterComponents(const std::wstring& page, std::initializer_list<const TClassInfo*> classes) {
    if (TRegisterComponentsProc proc = gRegisterComponentsProc.load()) proc(page, std::vector<const TClassInfo*>(classes));
}

TRegisterComponentsProc SetRegisterComponentsProc(TRegisterComponentsProc proc) {
    return gRegisterComponentsProc.exchange(proc);
}

void RegisterClasses(std::initializer_list<const TClassInfo*> infos) {
    for (auto* i : infos) RegisterClass(*i);
}

void UnRegisterClass(const TClassInfo& info) {
    TClassRegistry::TGuard guard;
    auto& classes = TClassRegistry::Entered();
    auto it = classes.find(UpperCase(info.Name()));
    if (it == classes.end()) return;
    std::erase(it->second, &info);
    if (it->second.empty()) classes.erase(it);
}

const TClassInfo* GetClass(std::wstring_view name) {
    TClassRegistry::TGuard guard;
    auto& classes = TClassRegistry::Entered();
    auto it = classes.find(UpperCase(name));
    return it == classes.end() ? nullptr : it->second.back();
}

const TClassInfo* GetClassIn(std::wstring_view name, HMODULE module) {
    std::vector<const TClassInfo*> candidates;
    {
        TClassRegistry::TGuard guard;
        auto& classes = TClassRegistry::Entered();
        auto it = classes.find(UpperCase(name));
        if (it == classes.end() || it->second.empty()) return nullptr;
        candidates = it->second;
    }
    for (auto c = candidates.rbegin(); c != candidates.rend(); ++c)
        if (ModuleOfClass(**c) == module) return *c;
    return candidates.back();
}

const TClassInfo& FindClass(std::wstring_view name) {
    const TClassInfo* c = GetClass(name);
    if (!c) throw EClassNotFound(L"Class %s not found", std::wstring(name));
    return *c;
}

HMODULE ModuleOfClass(const TClassInfo& info) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&info), &module);
    return module;
}

} // namespace tamrel
