// tamreltools: builds a project's type library for the service wizards.
//
//   CreateNewTypeLibrary(path): an empty library named after the file, a fresh LIBID, version 1.0.
//   DuplicateTypeLibraryAndAddNewObject(path, class, events, globalEvents, identifier): reads the
//     library, writes a copy beside it that holds every type of the library whole (members,
//     names, help strings) and also the dual interface I<Class> (its base is
//     IDispatch when the identifier names stdole, the remote data module's interface when it
//     names that library), the dispinterface I<Class>Events when Events is set, and the coclass
//     <Class> with I<Class> [default] and I<Class>Events [default, source]; then replaces the
//     file. A bad identifier, a name the library holds already (case aside) or a library that
//     cannot be read or copied whole leave the file as it was.
//   ShowAboutForm(): a message box.
//
// Every call is a line (UTF-8, CR LF) appended to the file named by TAMREL_TOOLS_LOG.
#include <windows.h>
#include <oleauto.h>

#include "RemoteDataModule.h"
#include "ide/wizards/typelib/TypeLibraryFile.h"
#include "tools/devenv/tamreltools/ToolsLog.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const GUID StdOleLibId = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID RemoteDataModuleLibId = {0x83F57D68, 0xCA9A, 0x11D2, {0x90, 0x88, 0x00, 0xC0, 0x4F, 0xA3, 0x5C, 0xFA}};

#ifdef _WIN64
const SYSKIND SysKind = SYS_WIN64;
#else
const SYSKIND SysKind = SYS_WIN32;
#endif

template <class T> struct TRef {
    T* P = nullptr;
    TRef() = default;
    TRef(const TRef&) = delete;
    TRef& operator=(const TRef&) = delete;
    ~TRef() { Reset(); }
    void Reset() {
        if (P) P->Release();
        P = nullptr;
    }
    T** Put() {
        Reset();
        return &P;
    }
    T* operator->() const { return P; }
    explicit operator bool() const { return P != nullptr; }
};

struct TBstr {
    BSTR S = nullptr;
    ~TBstr() { SysFreeString(S); }
    std::wstring Text() const { return S ? std::wstring(S, SysStringLen(S)) : std::wstring(); }
};

std::wstring Wide(const char* s) {
    if (!s || !*s) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, s, -1, out.data(), n);
    return out;
}

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

// The library's name: the file name without folder and extension, made an identifier.
std::wstring LibraryName(const std::wstring& path) {
    size_t start = path.find_last_of(L"\\/:");
    start = start == std::wstring::npos ? 0 : start + 1;
    std::wstring name = path.substr(start);
    if (const size_t dot = name.rfind(L'.'); dot != std::wstring::npos) name.resize(dot);
    for (wchar_t& c : name)
        if (!iswalnum(c) && c != L'_') c = L'_';
    if (name.empty() || iswdigit(name[0])) name.insert(0, L"_");
    return name;
}

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// The interface that I<Class> derives from, found in the library the identifier names; the
// remote data module's library is our own TYPELIB resource, registered on first use.
bool BaseInterface(const GUID& libId, TRef<ITypeInfo>& base) {
    TRef<ITypeLib> library;
    if (IsEqualGUID(libId, StdOleLibId)) {
        if (FAILED(LoadRegTypeLib(StdOleLibId, 2, 0, LOCALE_NEUTRAL, library.Put()))) return false;
        return SUCCEEDED(library->GetTypeInfoOfGuid(IID_IDispatch, base.Put()));
    }
    if (!IsEqualGUID(libId, RemoteDataModuleLibId)) return false;
    if (FAILED(LoadRegTypeLib(RemoteDataModuleLibId, 1, 0, LOCALE_NEUTRAL, library.Put()))) {
        wchar_t self[MAX_PATH];
        const DWORD n = GetModuleFileNameW(ThisModule(), self, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return false;
        if (FAILED(LoadTypeLibEx(self, REGKIND_NONE, library.Put()))) return false;
        // Per user where the system offers it (no administrator needed), else machine-wide.
        using TRegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
        auto forUser = reinterpret_cast<TRegisterForUser>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "RegisterTypeLibForUser")));
        if ((!forUser || FAILED(forUser(library.P, self, nullptr))) && FAILED(RegisterTypeLib(library.P, self, nullptr)))
            return false;
    }
    return SUCCEEDED(library->GetTypeInfoOfGuid(IID_IRemoteDataModule, base.Put()));
}

bool NewGuid(GUID& guid) { return SUCCEEDED(CoCreateGuid(&guid)); }

// Copies the types of the old library into the new one, whole: kinds, GUIDs, flags, versions,
// help strings; bases and implemented interfaces; functions with their parameters, names and help
// strings; variables, enum values and constants; aliases. References to types of the old library
// go to their copies, others stay as they are. Every type is made before any is filled, since a
// member may name a type that comes later; each is laid out after the types it builds on.
class TCopier {
public:
    // Dispatch: IDispatch, the base of every dispinterface.
    TCopier(ITypeLib* from, ICreateTypeLib2* to, ITypeInfo* dispatch) : From(from), To(to), Dispatch(dispatch) {
        CollectInherited(dispatch);
    }
    TCopier(const TCopier&) = delete;
    TCopier& operator=(const TCopier&) = delete;

    bool CopyAll() {
        const UINT count = From->GetTypeInfoCount();
        for (UINT i = 0; i < count; ++i) {
            TRef<ITypeInfo> info;
            if (FAILED(From->GetTypeInfo(i, info.Put())) || !MakeType(info.P)) return false;
        }
        for (TCopy& copy : Copies)
            if (!FillType(copy)) return false;
        for (TCopy& copy : Copies)
            if (!LayOut(copy)) return false;
        return true;
    }

    // The new library's type of that name, as a type info (for references).
    ITypeInfo* Copied(const std::wstring& name) {
        const TCopy* copy = Find(name);
        return copy ? copy->Info.P : nullptr;
    }

    // A new type; the caller fills and lays it out through Created.
    bool Add(const std::wstring& name, TYPEKIND kind, const GUID& guid, UINT flags, ICreateTypeInfo** created) {
        if (!Make(name, kind, guid, flags)) return false;
        *created = Copies.back().Created.P;
        (*created)->AddRef();
        Copies.back().LaidOut = true; // the caller's to lay out
        return true;
    }

    static bool AddImpl(ICreateTypeInfo* c, UINT index, ITypeInfo* ref, int implFlags) {
        HREFTYPE href = 0;
        if (!ref || FAILED(c->AddRefTypeInfo(ref, &href)) || FAILED(c->AddImplType(index, href))) return false;
        return implFlags == 0 || SUCCEEDED(c->SetImplTypeFlags(index, implFlags));
    }

private:
    struct TCopy {
        size_t Index = 0;
        std::wstring Name;
        TYPEKIND Kind{};
        TRef<ICreateTypeInfo> Created;
        TRef<ITypeInfo> Info;   // the new type, for references to it
        TRef<ITypeInfo> Source; // the old type (a dual interface's interface view)
        std::vector<size_t> Needs;   // copies to lay out first
        UINT Funcs = 0;              // functions added
        bool LaidOut = false;
        bool Visiting = false;
    };

    TCopy* Find(const std::wstring& name) {
        for (TCopy& copy : Copies)
            if (copy.Name == name) return &copy;
        return nullptr;
    }

    bool Make(const std::wstring& name, TYPEKIND kind, const GUID& guid, UINT flags) {
        std::wstring n = name;
        TCopy& copy = Copies.emplace_back();
        copy.Index = Copies.size() - 1;
        copy.Name = name;
        copy.Kind = kind;
        if (FAILED(To->CreateTypeInfo(n.data(), kind, copy.Created.Put()))) return false;
        return SUCCEEDED(copy.Created->SetGuid(guid)) && SUCCEEDED(copy.Created->SetTypeFlags(flags)) &&
               SUCCEEDED(copy.Created->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(copy.Info.Put())));
    }

    bool MakeType(ITypeInfo* info) {
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) return false;
        const TYPEATTR a = *attr;
        info->ReleaseTypeAttr(attr);
        TBstr name, doc;
        DWORD helpContext = 0;
        info->GetDocumentation(MEMBERID_NIL, &name.S, &doc.S, &helpContext, nullptr);
        // A dual interface reads back as its dispatch view: it is written from its interface view.
        const bool dual = a.typekind == TKIND_DISPATCH && (a.wTypeFlags & TYPEFLAG_FDUAL);
        TRef<ITypeInfo> source;
        if (dual) {
            HREFTYPE href = 0;
            if (FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) ||
                FAILED(info->GetRefTypeInfo(href, source.Put())))
                return false;
        } else {
            info->AddRef();
            source.P = info;
        }
        // The interface view's attributes are the interface's (the dispatch view lacks some flags).
        TYPEATTR* viewAttr = nullptr;
        if (FAILED(source->GetTypeAttr(&viewAttr))) return false;
        const TYPEATTR v = *viewAttr;
        source->ReleaseTypeAttr(viewAttr);
        if (!Make(name.Text(), v.typekind, v.guid, v.wTypeFlags)) return false;
        TCopy& copy = Copies.back();
        copy.Source.P = std::exchange(source.P, nullptr);
        ICreateTypeInfo* c = copy.Created.P;
        return SUCCEEDED(c->SetVersion(v.wMajorVerNum, v.wMinorVerNum)) && SUCCEEDED(c->SetAlignment(v.cbAlignment)) &&
               (!doc.S || SUCCEEDED(c->SetDocString(doc.S))) && (!helpContext || SUCCEEDED(c->SetHelpContext(helpContext)));
    }

    // The type a reference of Info names: its copy when it is one of the old library's (Index
    // tells which), else the type itself.
    ITypeInfo* Target(ITypeInfo* info, HREFTYPE href, TRef<ITypeInfo>& holder, size_t* index = nullptr) {
        if (FAILED(info->GetRefTypeInfo(href, holder.Put()))) return nullptr;
        TRef<ITypeLib> library;
        UINT at = 0;
        if (SUCCEEDED(holder->GetContainingTypeLib(library.Put(), &at)) && library.P == From) {
            TBstr name;
            holder->GetDocumentation(MEMBERID_NIL, &name.S, nullptr, nullptr, nullptr);
            TCopy* copy = Find(name.Text());
            if (copy && index) *index = copy->Index;
            return copy ? copy->Info.P : nullptr;
        }
        return holder.P;
    }

    // The parts of the type descriptions of the member being copied; they live until it is added.
    struct TParts {
        std::deque<TYPEDESC> Types;
        std::deque<std::vector<uint8_t>> Arrays;
    };

    // The type description in the new library. A type used by value (not behind a pointer) is
    // one the copy builds on.
    bool Remap(TCopy& copy, const TYPEDESC& from, TYPEDESC& to, TParts& parts, bool byValue) {
        to = from;
        switch (from.vt) {
        case VT_PTR:
        case VT_SAFEARRAY:
            to.lptdesc = &parts.Types.emplace_back();
            return Remap(copy, *from.lptdesc, *to.lptdesc, parts, false);
        case VT_CARRAY: {
            const size_t size = sizeof(ARRAYDESC) + (from.lpadesc->cDims > 1 ? from.lpadesc->cDims - 1 : 0) * sizeof(SAFEARRAYBOUND);
            std::vector<uint8_t>& bytes = parts.Arrays.emplace_back(size);
            memcpy(bytes.data(), from.lpadesc, size);
            to.lpadesc = reinterpret_cast<ARRAYDESC*>(bytes.data());
            return Remap(copy, from.lpadesc->tdescElem, to.lpadesc->tdescElem, parts, byValue);
        }
        case VT_USERDEFINED: {
            TRef<ITypeInfo> holder;
            size_t index = SIZE_MAX;
            ITypeInfo* target = Target(copy.Source.P, from.hreftype, holder, &index);
            if (!target || FAILED(copy.Created->AddRefTypeInfo(target, &to.hreftype))) return false;
            if (byValue && index != SIZE_MAX) copy.Needs.push_back(index);
            return true;
        }
        default:
            return true;
        }
    }

    bool FillType(TCopy& copy) {
        ITypeInfo* source = copy.Source.P;
        TYPEATTR* attr = nullptr;
        if (FAILED(source->GetTypeAttr(&attr))) return false;
        const TYPEATTR a = *attr;
        TParts parts;
        TYPEDESC alias{};
        const bool aliased = a.typekind != TKIND_ALIAS || Remap(copy, attr->tdescAlias, alias, parts, true);
        source->ReleaseTypeAttr(attr);
        if (!aliased || (a.typekind == TKIND_ALIAS && FAILED(copy.Created->SetTypeDescAlias(&alias)))) return false;
        // A dispinterface written without its base gets it: the system lists the base's functions
        // in every dispinterface it lays out.
        if (a.typekind == TKIND_DISPATCH && a.cImplTypes == 0 && !AddImpl(copy.Created.P, 0, Dispatch, 0)) return false;
        for (UINT i = 0; i < a.cImplTypes; ++i) {
            HREFTYPE href = 0;
            int flags = 0;
            TRef<ITypeInfo> holder;
            size_t index = SIZE_MAX;
            if (FAILED(source->GetRefTypeOfImplType(i, &href))) return false;
            if (a.typekind == TKIND_COCLASS) source->GetImplTypeFlags(i, &flags);
            if (!AddImpl(copy.Created.P, i, Target(source, href, holder, &index), flags)) return false;
            if (index != SIZE_MAX && a.typekind != TKIND_COCLASS) copy.Needs.push_back(index);
        }
        for (UINT i = 0; i < a.cFuncs; ++i)
            if (!CopyFunc(copy, i)) return false;
        for (UINT i = 0; i < a.cVars; ++i)
            if (!CopyVar(copy, i)) return false;
        return true;
    }

    bool CopyFunc(TCopy& copy, UINT index) {
        ITypeInfo* source = copy.Source.P;
        FUNCDESC* f = nullptr;
        // A dispinterface lists the functions of IDispatch, which its copy gets from its base
        // again; one written without its base lists them as slots that cannot be read.
        if (FAILED(source->GetFuncDesc(index, &f))) return copy.Kind == TKIND_DISPATCH;
        struct TRelease {
            ITypeInfo* Info;
            FUNCDESC* Desc;
            ~TRelease() { Info->ReleaseFuncDesc(Desc); }
        } release{source, f};
        if (copy.Kind == TKIND_DISPATCH && Inherited.count(f->memid)) return true;
        const UINT at = copy.Funcs++;
        TParts parts;
        FUNCDESC desc = *f;
        std::vector<ELEMDESC> params(f->lprgelemdescParam, f->lprgelemdescParam + f->cParams);
        for (SHORT p = 0; p < f->cParams; ++p)
            if (!Remap(copy, f->lprgelemdescParam[p].tdesc, params[static_cast<size_t>(p)].tdesc, parts, false)) return false;
        desc.lprgelemdescParam = params.empty() ? nullptr : params.data();
        if (!Remap(copy, f->elemdescFunc.tdesc, desc.elemdescFunc.tdesc, parts, false) ||
            FAILED(copy.Created->AddFuncDesc(at, &desc)))
            return false;
        // A property's put function keeps no name for the value it is given.
        const UINT most = static_cast<UINT>(f->cParams) + ((f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) ? 0 : 1);
        std::vector<BSTR> names(most, nullptr);
        UINT count = 0;
        source->GetNames(f->memid, names.data(), most, &count);
        const bool named = count == 0 || SUCCEEDED(copy.Created->SetFuncAndParamNames(at, names.data(), count));
        for (BSTR name : names) SysFreeString(name);
        TBstr doc;
        DWORD helpContext = 0;
        source->GetDocumentation(f->memid, nullptr, &doc.S, &helpContext, nullptr);
        return named && (!doc.S || SUCCEEDED(copy.Created->SetFuncDocString(at, doc.S))) &&
               (!helpContext || SUCCEEDED(copy.Created->SetFuncHelpContext(at, helpContext)));
    }

    bool CopyVar(TCopy& copy, UINT index) {
        ITypeInfo* source = copy.Source.P;
        VARDESC* v = nullptr;
        if (FAILED(source->GetVarDesc(index, &v))) return false;
        struct TRelease {
            ITypeInfo* Info;
            VARDESC* Desc;
            ~TRelease() { Info->ReleaseVarDesc(Desc); }
        } release{source, v};
        TParts parts;
        VARDESC desc = *v;
        // A field of a record or union is laid out within it: its type comes first.
        const bool byValue = copy.Kind == TKIND_RECORD || copy.Kind == TKIND_UNION;
        if (!Remap(copy, v->elemdescVar.tdesc, desc.elemdescVar.tdesc, parts, byValue) ||
            FAILED(copy.Created->AddVarDesc(index, &desc)))
            return false;
        TBstr name, doc;
        DWORD helpContext = 0;
        source->GetDocumentation(v->memid, &name.S, &doc.S, &helpContext, nullptr);
        return (!name.S || SUCCEEDED(copy.Created->SetVarName(index, name.S))) &&
               (!doc.S || SUCCEEDED(copy.Created->SetVarDocString(index, doc.S))) &&
               (!helpContext || SUCCEEDED(copy.Created->SetVarHelpContext(index, helpContext)));
    }

    bool LayOut(TCopy& copy) {
        if (copy.LaidOut || copy.Visiting) return true;
        copy.Visiting = true;
        for (size_t need : copy.Needs)
            if (!LayOut(Copies[need])) return false;
        copy.Visiting = false;
        copy.LaidOut = true;
        return SUCCEEDED(copy.Created->LayOut());
    }

    // The member ids of the functions of Info and of its bases.
    void CollectInherited(ITypeInfo* info) {
        TYPEATTR* attr = nullptr;
        if (!info || FAILED(info->GetTypeAttr(&attr))) return;
        const WORD funcs = attr->cFuncs, bases = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        for (UINT i = 0; i < funcs; ++i) {
            FUNCDESC* f = nullptr;
            if (FAILED(info->GetFuncDesc(i, &f))) continue;
            Inherited.insert(f->memid);
            info->ReleaseFuncDesc(f);
        }
        HREFTYPE href = 0;
        TRef<ITypeInfo> base;
        if (bases > 0 && SUCCEEDED(info->GetRefTypeOfImplType(0, &href)) && SUCCEEDED(info->GetRefTypeInfo(href, base.Put())))
            CollectInherited(base.P);
    }

    ITypeLib* From;
    ICreateTypeLib2* To;
    ITypeInfo* Dispatch;
    std::set<MEMBERID> Inherited;
    std::deque<TCopy> Copies;
};

bool WriteCopyWithClass(const std::wstring& path, const std::wstring& temp, const std::wstring& className, bool events,
                        const GUID& baseLibId) {
    TRef<ITypeInfo> base, dispatch;
    if (!BaseInterface(baseLibId, base) || !BaseInterface(StdOleLibId, dispatch)) return false;
    TRef<ITypeLib> old;
    if (!tamrel::LoadWholeTypeLibrary(path, old.Put())) return false;
    if (!tamrel::TakenClassName(old.P, className, events).empty()) return false;
    const std::wstring intf = L"I" + className, eventsIntf = L"I" + className + L"Events";

    TLIBATTR* libAttr = nullptr;
    if (FAILED(old->GetLibAttr(&libAttr))) return false;
    const TLIBATTR la = *libAttr;
    old->ReleaseTLibAttr(libAttr);
    TBstr libName, libDoc;
    old->GetDocumentation(-1, &libName.S, &libDoc.S, nullptr, nullptr);

    TRef<ICreateTypeLib2> created;
    std::wstring file = temp;
    if (FAILED(CreateTypeLib2(SysKind, file.c_str(), created.Put()))) return false;
    std::wstring n = libName.Text();
    created->SetName(n.data());
    created->SetGuid(la.guid);
    created->SetVersion(la.wMajorVerNum, la.wMinorVerNum);
    created->SetLcid(la.lcid);
    created->SetLibFlags(la.wLibFlags);
    if (libDoc.S) created->SetDocString(libDoc.S);
    {
        TCopier copier(old.P, created.P, dispatch.P);
        if (!copier.CopyAll()) return false;
        GUID iid{}, eventsIid{}, clsid{};
        if (!NewGuid(iid) || !NewGuid(eventsIid) || !NewGuid(clsid)) return false;
        TRef<ICreateTypeInfo> t;
        if (!copier.Add(intf, TKIND_INTERFACE, iid, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION, t.Put()) ||
            !TCopier::AddImpl(t.P, 0, base.P, 0) || FAILED(t->LayOut()))
            return false;
        if (events) {
            TRef<ICreateTypeInfo> e;
            if (!copier.Add(eventsIntf, TKIND_DISPATCH, eventsIid, 0, e.Put()) || !TCopier::AddImpl(e.P, 0, dispatch.P, 0) ||
                FAILED(e->LayOut()))
                return false;
        }
        TRef<ICreateTypeInfo> c;
        if (!copier.Add(className, TKIND_COCLASS, clsid, TYPEFLAG_FCANCREATE, c.Put()) ||
            !TCopier::AddImpl(c.P, 0, copier.Copied(intf), IMPLTYPEFLAG_FDEFAULT) ||
            (events && !TCopier::AddImpl(c.P, 1, copier.Copied(eventsIntf), IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) ||
            FAILED(c->LayOut()))
            return false;
    }
    // Every reference to the old library goes before the file is replaced: a library still
    // referenced would be handed out again, stale, by the next load of the path.
    old.Reset();
    return SUCCEEDED(created->SaveAllChanges());
}

bool ParseIdentifier(const uint8_t* identifier, GUID& guid) {
    if (!identifier || identifier[0] != 38) return false;
    wchar_t text[39];
    for (int i = 0; i < 38; ++i) text[i] = static_cast<wchar_t>(identifier[1 + i]);
    text[38] = 0;
    return SUCCEEDED(CLSIDFromString(text, &guid));
}

struct TComScope {
    HRESULT Hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~TComScope() {
        if (SUCCEEDED(Hr)) CoUninitialize();
    }
};

} // namespace

extern "C" {

__declspec(dllexport) void __stdcall CreateNewTypeLibrary(const char* typeLibraryPath) {
    const std::wstring path = Wide(typeLibraryPath);
    tamrel::AppendToolsLog(L"CreateNewTypeLibrary " + Quoted(path));
    TComScope com;
    TRef<ICreateTypeLib2> created;
    GUID libId{};
    if (path.empty() || !NewGuid(libId) || FAILED(CreateTypeLib2(SysKind, path.c_str(), created.Put()))) return;
    std::wstring name = LibraryName(path);
    created->SetName(name.data());
    created->SetGuid(libId);
    created->SetVersion(1, 0);
    created->SetLcid(LOCALE_NEUTRAL);
    created->SaveAllChanges();
}

__declspec(dllexport) void __stdcall DuplicateTypeLibraryAndAddNewObject(const char* typeLibraryPath,
                                                                         const char* className, uint8_t events,
                                                                         uint8_t globalEvents,
                                                                         const uint8_t* identifier) {
    const std::wstring path = Wide(typeLibraryPath), cls = Wide(className);
    GUID baseLibId{};
    const bool identified = ParseIdentifier(identifier, baseLibId);
    std::wstring idText = L"?";
    if (identified) {
        wchar_t text[40];
        StringFromGUID2(baseLibId, text, 40);
        idText = text;
    }
    tamrel::AppendToolsLog(L"DuplicateTypeLibraryAndAddNewObject " + Quoted(path) + L" " + Quoted(cls) + L" " +
        std::to_wstring(events) + L" " + std::to_wstring(globalEvents) + L" " + idText);
    if (!identified || path.empty() || cls.empty()) return;
    TComScope com;
    const std::wstring temp = path + L".new";
    if (!WriteCopyWithClass(path, temp, cls, events != 0, baseLibId)) {
        DeleteFileW(temp.c_str());
        return;
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) DeleteFileW(temp.c_str());
}

__declspec(dllexport) void __stdcall ShowAboutForm() {
    tamrel::AppendToolsLog(L"ShowAboutForm");
    MessageBoxW(nullptr, L"About Tamrel", L"Tamrel", MB_OK | MB_ICONINFORMATION);
}

} // extern "C"
