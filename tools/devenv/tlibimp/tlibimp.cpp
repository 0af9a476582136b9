// tlibimp: writes the Pascal unit of a type library.
//
//   tlibimp [-P] [-d<folder>] <library>
//
// The arguments follow the host's command-line rules. The unit <Library>_TLB.pas goes into the
// folder (the current one without -d): the library's LIBID_, an IID_ for each interface, a DIID_
// for each dispinterface, a CLASS_ for each coclass, their declarations and a Co<Class> creator
// class for each coclass. The members that every dispatch interface inherits are not declared
// again. A type that builds on a type of another library (the remote data module's interface)
// names that library's unit in its uses clause, and that unit is written beside it the same way;
// the standard OLE library's interfaces are the language's own. The command line is appended to
// the file named by TAMREL_TOOLS_LOG.
//
// Exit codes: 0 written; 1 bad arguments; 2 the library could not be read; 3 the unit could not
// be written. Each failure says why on stderr.
#include "host/ComObj.h"
#include "host/Handles.h"
#include "host/Interfaced.h"
#include "host/SysUtils.h"
#include "tools/devenv/tamreltools/ToolsLog.h"
#include "ide/wizards/typelib/TypeLibraryFile.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

using namespace tamrel;

namespace {

struct TType {
    std::wstring Name;
    TYPEKIND Kind;
    bool Dual;
    std::wstring Guid;
    std::wstring Base;                 // interfaces: the interface they derive from
    std::vector<std::wstring> Default; // coclasses: the default interface (first), then the others
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring NameOf(ITypeInfo* info) {
    TBStr name;
    info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
    return name.ToString();
}

// The name a library gives itself; false when it gives none.
bool LibraryName(ITypeLib* library, std::wstring& name) {
    TBStr text;
    if (FAILED(library->GetDocumentation(-1, text.Put(), nullptr, nullptr, nullptr)) || !text.Get()) return false;
    name = text.ToString();
    return true;
}

// A library's attributes, handed back to the library when the scope ends.
class TLibAttr {
public:
    explicit TLibAttr(ITypeLib* library) : FLibrary(library) {
        if (FAILED(library->GetLibAttr(&FAttr))) FAttr = nullptr;
    }
    ~TLibAttr() {
        if (FAttr) FLibrary->ReleaseTLibAttr(FAttr);
    }
    TLibAttr(const TLibAttr&) = delete;
    TLibAttr& operator=(const TLibAttr&) = delete;
    const TLIBATTR* operator->() const { return FAttr; }
    explicit operator bool() const { return FAttr != nullptr; }

private:
    ITypeLib* FLibrary;
    TLIBATTR* FAttr = nullptr;
};

const GUID StdOleLibId = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The other libraries whose types a library builds on, each once.
struct TLibraries {
    ITypeLib* Self = nullptr;
    std::vector<TComPtr<ITypeLib>> Others;

    void Note(ITypeInfo* type) {
        TComPtr<ITypeLib> library;
        UINT index = 0;
        if (FAILED(type->GetContainingTypeLib(library.Put(), &index))) return;
        if (library.Get() == Self) return;
        const TLibAttr attr(library.Get());
        if (!attr || IsEqualGUID(attr->guid, StdOleLibId)) return;
        for (const TComPtr<ITypeLib>& other : Others) {
            const TLibAttr otherAttr(other.Get());
            if (otherAttr && IsEqualGUID(otherAttr->guid, attr->guid)) return;
        }
        Others.push_back(std::move(library));
    }
};

std::wstring RefName(ITypeInfo* info, UINT index, TLibraries& libraries) {
    HREFTYPE href = 0;
    TComPtr<ITypeInfo> ref;
    if (FAILED(info->GetRefTypeOfImplType(index, &href)) || FAILED(info->GetRefTypeInfo(href, ref.Put()))) return L"IUnknown";
    libraries.Note(ref.Get());
    return NameOf(ref.Get());
}

bool ReadTypes(ITypeLib* library, std::vector<TType>& types, TLibraries& libraries) {
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(i, info.Put()))) return false;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) return false;
        TType type{NameOf(info.Get()), attr->typekind, (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0, GuidText(attr->guid), {}, {}};
        const WORD impl = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        if (type.Kind == TKIND_DISPATCH && type.Dual) {
            // The interface view holds the real base; the dispatch view always says IDispatch.
            HREFTYPE href = 0;
            TComPtr<ITypeInfo> view;
            if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) &&
                SUCCEEDED(info->GetRefTypeInfo(href, view.Put())))
                type.Base = RefName(view.Get(), 0, libraries);
        } else if (type.Kind == TKIND_INTERFACE && impl > 0) {
            type.Base = RefName(info.Get(), 0, libraries);
        } else if (type.Kind == TKIND_COCLASS) {
            for (UINT k = 0; k < impl; ++k) {
                int flags = 0;
                info->GetImplTypeFlags(k, &flags);
                const std::wstring name = RefName(info.Get(), k, libraries);
                if ((flags & IMPLTYPEFLAG_FDEFAULT) && !(flags & IMPLTYPEFLAG_FSOURCE))
                    type.Default.insert(type.Default.begin(), name);
                else
                    type.Default.push_back(name);
            }
        }
        types.push_back(type);
    }
    return true;
}

std::wstring UnitText(const std::wstring& library, const std::wstring& libId, WORD major, WORD minor,
                      const std::vector<TType>& types, const std::vector<std::wstring>& uses, const std::wstring& source) {
    std::wstring t;
    t += L"unit " + library + L"_TLB;\r\n\r\n";
    t += L"// The declarations of the type library " + source + L", written by tlibimp: changes made here\r\n";
    t += L"// are lost when the library changes.\r\n\r\n";
    t += L"interface\r\n\r\nuses Windows, ActiveX, Classes, Variants";
    for (const std::wstring& unit : uses) t += L", " + unit;
    t += L";\r\n\r\nconst\r\n";
    t += L"  " + library + L"MajorVersion = " + std::to_wstring(major) + L";\r\n";
    t += L"  " + library + L"MinorVersion = " + std::to_wstring(minor) + L";\r\n\r\n";
    t += L"  LIBID_" + library + L": TGUID = '" + libId + L"';\r\n";
    for (const TType& type : types) {
        if (type.Kind == TKIND_INTERFACE || (type.Kind == TKIND_DISPATCH && type.Dual))
            t += L"  IID_" + type.Name + L": TGUID = '" + type.Guid + L"';\r\n";
        else if (type.Kind == TKIND_DISPATCH)
            t += L"  DIID_" + type.Name + L": TGUID = '" + type.Guid + L"';\r\n";
        else if (type.Kind == TKIND_COCLASS)
            t += L"  CLASS_" + type.Name + L": TGUID = '" + type.Guid + L"';\r\n";
    }
    t += L"\r\ntype\r\n";
    for (const TType& type : types) {
        if (type.Kind == TKIND_INTERFACE || (type.Kind == TKIND_DISPATCH && type.Dual)) {
            t += L"  " + type.Name + L" = interface;\r\n";
            if (type.Dual) t += L"  " + type.Name + L"Disp = dispinterface;\r\n";
        } else if (type.Kind == TKIND_DISPATCH) {
            t += L"  " + type.Name + L" = dispinterface;\r\n";
        }
    }
    for (const TType& type : types)
        if (type.Kind == TKIND_COCLASS && !type.Default.empty()) t += L"  " + type.Name + L" = " + type.Default[0] + L";\r\n";
    for (const TType& type : types) {
        if (type.Kind == TKIND_INTERFACE || (type.Kind == TKIND_DISPATCH && type.Dual)) {
            t += L"\r\n  " + type.Name + L" = interface(" + (type.Base.empty() ? L"IUnknown" : type.Base) + L")\r\n";
            t += L"    ['" + type.Guid + L"']\r\n  end;\r\n";
            if (type.Dual) t += L"\r\n  " + type.Name + L"Disp = dispinterface\r\n    ['" + type.Guid + L"']\r\n  end;\r\n";
        } else if (type.Kind == TKIND_DISPATCH) {
            t += L"\r\n  " + type.Name + L" = dispinterface\r\n    ['" + type.Guid + L"']\r\n  end;\r\n";
        }
    }
    for (const TType& type : types) {
        if (type.Kind != TKIND_COCLASS || type.Default.empty()) continue;
        const std::wstring& intf = type.Default[0];
        t += L"\r\n  Co" + type.Name + L" = class\r\n";
        t += L"    class function Create: " + intf + L";\r\n";
        t += L"    class function CreateRemote(const MachineName: string): " + intf + L";\r\n  end;\r\n";
    }
    t += L"\r\nimplementation\r\n\r\nuses ComObj;\r\n";
    for (const TType& type : types) {
        if (type.Kind != TKIND_COCLASS || type.Default.empty()) continue;
        const std::wstring& intf = type.Default[0];
        t += L"\r\nclass function Co" + type.Name + L".Create: " + intf + L";\r\nbegin\r\n";
        t += L"  Result := CreateComObject(CLASS_" + type.Name + L") as " + intf + L";\r\nend;\r\n";
        t += L"\r\nclass function Co" + type.Name + L".CreateRemote(const MachineName: string): " + intf + L";\r\nbegin\r\n";
        t += L"  Result := CreateRemoteComObject(MachineName, CLASS_" + type.Name + L") as " + intf + L";\r\nend;\r\n";
    }
    t += L"\r\nend.\r\n";
    return t;
}

int Fail(int code, const std::wstring& message) {
    fwprintf(stderr, L"tlibimp: %ls\n", message.c_str());
    return code;
}

// Writes the unit of the library into the folder, after the units of the libraries it builds
// on; answers 0, or the exit code with the reason in Error. Source names the library in the
// unit's header, Where in the reasons; Written holds the LIBIDs of the units written (or being
// written) in this run, each written once.
int WriteUnit(ITypeLib* library, const std::wstring& folder, const std::wstring& source, const std::wstring& where,
              std::set<std::wstring>& written, std::wstring& error) {
    std::vector<TType> types;
    TLibraries others;
    others.Self = library;
    const TLibAttr attr(library);
    std::wstring libraryName;
    if (!attr || !LibraryName(library, libraryName) || !ReadTypes(library, types, others)) {
        error = L"cannot read the type library " + where;
        return 2;
    }
    written.insert(GuidText(attr->guid));
    std::vector<std::wstring> uses;
    for (const TComPtr<ITypeLib>& other : others.Others) {
        std::wstring otherUnit;
        if (!LibraryName(other.Get(), otherUnit)) {
            error = L"cannot read a type library that " + libraryName + L" builds on";
            return 2;
        }
        const TLibAttr otherAttr(other.Get());
        const bool done = otherAttr && written.count(GuidText(otherAttr->guid)) > 0;
        uses.push_back(otherUnit + L"_TLB");
        if (done) continue;
        if (const int code = WriteUnit(other.Get(), folder, otherUnit, otherUnit, written, error)) return code;
    }
    const std::wstring text =
        UnitText(libraryName, GuidText(attr->guid), attr->wMajorVerNum, attr->wMinorVerNum, types, uses, source);
    const std::wstring unitPath = (folder.empty() ? std::wstring() : IncludeTrailingPathDelimiter(folder)) + libraryName + L"_TLB.pas";
    const std::string bytes = WideToAnsi(text);
    const TFileHandle f(CreateFileW(unitPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) {
        error = L"cannot write " + unitPath + L": " + SysErrorMessage(GetLastError());
        return 3;
    }
    DWORD count = 0;
    if (!WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) || count != bytes.size()) {
        error = L"cannot write " + unitPath;
        return 3;
    }
    return 0;
}

} // namespace

int wmain() {
    AppendToolsLog(L"tlibimp " + std::wstring(GetCommandLineW()));
    std::wstring folder, libraryPath;
    for (int i = 1; i <= ParamCount(); ++i) {
        const std::wstring arg = ParamStr(i);
        if (arg == L"-P" || arg == L"-p") continue;
        if (arg.size() >= 2 && arg[0] == L'-' && (arg[1] == L'd' || arg[1] == L'D')) {
            folder = arg.substr(2);
        } else if (!arg.empty() && arg[0] == L'-') {
            return Fail(1, L"unknown option " + arg);
        } else if (libraryPath.empty()) {
            libraryPath = arg;
        } else {
            return Fail(1, L"more than one type library: " + arg);
        }
    }
    if (libraryPath.empty()) return Fail(1, L"usage: tlibimp [-P] [-d<folder>] <type library>");

    TComPtr<ITypeLib> library;
    // A library cut short may take the system's loader down with it: it is refused first.
    if (!LoadWholeTypeLibrary(libraryPath, library.Put())) return Fail(2, L"cannot read the type library " + libraryPath);
    std::wstring error;
    std::set<std::wstring> written;
    const int code = WriteUnit(library.Get(), folder, ExtractFileName(libraryPath), libraryPath, written, error);
    return code ? Fail(code, error) : 0;
}
