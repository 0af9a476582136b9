// tamreltools: builds a project's type library for the service wizards.
//
//   CreateNewTypeLibrary(path): an empty library named after the file, a fresh LIBID, version 1.0.
//   DuplicateTypeLibraryAndAddNewObject(path, class, events, globalEvents, identifier): reads the
//     library, writes a copy beside it that also holds the dual interface I<Class> (its base is
//     IDispatch when the identifier names stdole, the remote data module's interface when it
//     names that library), the dispinterface I<Class>Events when Events is set, and the coclass
//     <Class> with I<Class> [default] and I<Class>Events [default, source]; then replaces the
//     file. A bad identifier, a name the library holds already or a library that cannot be read
//     leave the file as it was.
//   ShowAboutForm(): a message box.
//
// Every call is a line (UTF-8, CR LF) appended to the file named by TAMREL_TOOLS_LOG.
#include <windows.h>
#include <oleauto.h>

#include "RemoteDataModule.h"
#include "tools/tamreltools/TypeLibraryFile.h"
#include "tools/tamreltools/ToolsLog.h"

#include <cstdint>
#include <cstring>
#include <string>
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

// Copies the types of the old library into the new one: kinds, GUIDs, flags, bases and
// implemented interfaces (types of this library by their copies, others as they are).
class TCopier {
public:
    TCopier(ITypeLib* from, ICreateTypeLib2* to) : From(from), To(to) {}

    bool CopyAll() {
        const UINT count = From->GetTypeInfoCount();
        for (UINT i = 0; i < count; ++i) {
            TRef<ITypeInfo> info;
            if (FAILED(From->GetTypeInfo(i, info.Put())) || !CopyType(info.P)) return false;
        }
        return true;
    }

    // The new library's type of that name, as a type info (for references).
    ITypeInfo* Copied(const std::wstring& name) {
        for (size_t i = 0; i < Names.size(); ++i)
            if (Names[i] == name) return Infos[i];
        return nullptr;
    }

    bool Add(const std::wstring& name, TYPEKIND kind, const GUID& guid, UINT flags, ICreateTypeInfo** created) {
        std::wstring n = name;
        if (FAILED(To->CreateTypeInfo(n.data(), kind, created))) return false;
        ICreateTypeInfo* c = *created;
        if (FAILED(c->SetGuid(guid)) || FAILED(c->SetTypeFlags(flags))) return false;
        ITypeInfo* info = nullptr;
        if (FAILED(c->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&info)))) return false;
        Names.push_back(name);
        Infos.push_back(info);
        return true;
    }

    ~TCopier() {
        for (ITypeInfo* info : Infos) info->Release();
    }

    static bool AddImpl(ICreateTypeInfo* c, UINT index, ITypeInfo* ref, int implFlags) {
        HREFTYPE href = 0;
        if (!ref || FAILED(c->AddRefTypeInfo(ref, &href)) || FAILED(c->AddImplType(index, href))) return false;
        return implFlags == 0 || SUCCEEDED(c->SetImplTypeFlags(index, implFlags));
    }

private:
    // The type a reference of Info names: its copy when it is one of the old library's.
    ITypeInfo* Target(ITypeInfo* info, HREFTYPE href, TRef<ITypeInfo>& holder) {
        if (FAILED(info->GetRefTypeInfo(href, holder.Put()))) return nullptr;
        TRef<ITypeLib> library;
        UINT index = 0;
        if (SUCCEEDED(holder->GetContainingTypeLib(library.Put(), &index)) && library.P == From) {
            TBstr name;
            holder->GetDocumentation(MEMBERID_NIL, &name.S, nullptr, nullptr, nullptr);
            return Copied(name.Text());
        }
        return holder.P;
    }

    bool CopyType(ITypeInfo* info) {
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) return false;
        const TYPEATTR a = *attr;
        info->ReleaseTypeAttr(attr);
        TBstr name;
        info->GetDocumentation(MEMBERID_NIL, &name.S, nullptr, nullptr, nullptr);
        TRef<ICreateTypeInfo> created;
        // A dual interface reads back as its dispatch view: it is written from its interface view.
        const bool dual = a.typekind == TKIND_DISPATCH && (a.wTypeFlags & TYPEFLAG_FDUAL);
        const TYPEKIND kind = dual ? TKIND_INTERFACE : a.typekind;
        if (!Add(name.Text(), kind, a.guid, a.wTypeFlags, created.Put())) return false;
        TRef<ITypeInfo> view;
        ITypeInfo* source = info;
        if (dual) {
            HREFTYPE href = 0;
            if (FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) ||
                FAILED(info->GetRefTypeInfo(href, view.Put())))
                return false;
            source = view.P;
        }
        TYPEATTR* sourceAttr = nullptr;
        if (FAILED(source->GetTypeAttr(&sourceAttr))) return false;
        const WORD implCount = sourceAttr->cImplTypes;
        source->ReleaseTypeAttr(sourceAttr);
        for (UINT i = 0; i < implCount; ++i) {
            HREFTYPE href = 0;
            int flags = 0;
            TRef<ITypeInfo> holder;
            if (FAILED(source->GetRefTypeOfImplType(i, &href))) return false;
            if (kind == TKIND_COCLASS) source->GetImplTypeFlags(i, &flags);
            if (!AddImpl(created.P, i, Target(source, href, holder), flags)) return false;
        }
        return SUCCEEDED(created->LayOut());
    }

    ITypeLib* From;
    ICreateTypeLib2* To;
    std::vector<std::wstring> Names;
    std::vector<ITypeInfo*> Infos;
};

bool NameTaken(ITypeLib* library, const std::wstring& name) {
    std::wstring n = name;
    BOOL found = FALSE;
    return SUCCEEDED(library->IsName(n.data(), 0, &found)) && found;
}

bool WriteCopyWithClass(const std::wstring& path, const std::wstring& temp, const std::wstring& className, bool events,
                        const GUID& baseLibId) {
    TRef<ITypeInfo> base;
    if (!BaseInterface(baseLibId, base)) return false;
    TRef<ITypeLib> old;
    if (!tamrel::WholeTypeLibraryFile(path) || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, old.Put()))) return false;
    const std::wstring intf = L"I" + className, eventsIntf = L"I" + className + L"Events";
    if (NameTaken(old.P, className) || NameTaken(old.P, intf) || (events && NameTaken(old.P, eventsIntf))) return false;

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
        TCopier copier(old.P, created.P);
        if (!copier.CopyAll()) return false;
        GUID iid{}, eventsIid{}, clsid{};
        if (!NewGuid(iid) || !NewGuid(eventsIid) || !NewGuid(clsid)) return false;
        TRef<ICreateTypeInfo> t;
        if (!copier.Add(intf, TKIND_INTERFACE, iid, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION, t.Put()) ||
            !TCopier::AddImpl(t.P, 0, base.P, 0) || FAILED(t->LayOut()))
            return false;
        if (events) {
            TRef<ICreateTypeInfo> e;
            if (!copier.Add(eventsIntf, TKIND_DISPATCH, eventsIid, 0, e.Put()) || FAILED(e->LayOut())) return false;
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
