// tlibimp: writes the Pascal unit of a type library.
//
//   tlibimp [-P] [-d<folder>] <library>
//
// The arguments follow the host's command-line rules. The unit <Library>_TLB.pas goes into the
// folder (the current one without -d): the library's LIBID_, an IID_ for each interface, a DIID_
// for each dispinterface, a CLASS_ for each coclass, their declarations and a Co<Class> creator
// class for each coclass. The members that every dispatch interface inherits are not declared
// again. The command line is appended to the file named by TAMREL_TOOLS_LOG.
//
// Exit codes: 0 written; 1 bad arguments; 2 the library could not be read; 3 the unit could not
// be written. Each failure says why on stderr.
#include "host/SysUtils.h"
#include "tools/tamreltools/ToolsLog.h"
#include "tools/tamreltools/TypeLibraryFile.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
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
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    std::wstring result = name ? name : L"";
    SysFreeString(name);
    return result;
}

std::wstring RefName(ITypeInfo* info, UINT index) {
    HREFTYPE href = 0;
    ITypeInfo* ref = nullptr;
    if (FAILED(info->GetRefTypeOfImplType(index, &href)) || FAILED(info->GetRefTypeInfo(href, &ref))) return L"IUnknown";
    std::wstring name = NameOf(ref);
    ref->Release();
    return name;
}

bool ReadTypes(ITypeLib* library, std::vector<TType>& types) {
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ITypeInfo* info = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info))) return false;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) {
            info->Release();
            return false;
        }
        TType type{NameOf(info), attr->typekind, (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0, GuidText(attr->guid), {}, {}};
        const WORD impl = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        if (type.Kind == TKIND_DISPATCH && type.Dual) {
            // The interface view holds the real base; the dispatch view always says IDispatch.
            HREFTYPE href = 0;
            ITypeInfo* view = nullptr;
            if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) &&
                SUCCEEDED(info->GetRefTypeInfo(href, &view))) {
                type.Base = RefName(view, 0);
                view->Release();
            }
        } else if (type.Kind == TKIND_INTERFACE && impl > 0) {
            type.Base = RefName(info, 0);
        } else if (type.Kind == TKIND_COCLASS) {
            for (UINT k = 0; k < impl; ++k) {
                int flags = 0;
                info->GetImplTypeFlags(k, &flags);
                const std::wstring name = RefName(info, k);
                if ((flags & IMPLTYPEFLAG_FDEFAULT) && !(flags & IMPLTYPEFLAG_FSOURCE))
                    type.Default.insert(type.Default.begin(), name);
                else
                    type.Default.push_back(name);
            }
        }
        info->Release();
        types.push_back(type);
    }
    return true;
}

std::wstring UnitText(const std::wstring& library, const std::wstring& libId, WORD major, WORD minor,
                      const std::vector<TType>& types, const std::wstring& source) {
    std::wstring t;
    t += L"unit " + library + L"_TLB;\r\n\r\n";
    t += L"// The declarations of the type library " + source + L", written by tlibimp: changes made here\r\n";
    t += L"// are lost when the library changes.\r\n\r\n";
    t += L"interface\r\n\r\nuses Windows, ActiveX, Classes, Variants;\r\n\r\nconst\r\n";
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

    ITypeLib* library = nullptr;
    // A library cut short may take the system's loader down with it: it is refused first.
    if (!WholeTypeLibraryFile(libraryPath) || FAILED(LoadTypeLibEx(libraryPath.c_str(), REGKIND_NONE, &library)))
        return Fail(2, L"cannot read the type library " + libraryPath);
    TLIBATTR* attr = nullptr;
    std::vector<TType> types;
    BSTR name = nullptr;
    const bool read = SUCCEEDED(library->GetLibAttr(&attr)) &&
                      SUCCEEDED(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr)) && name &&
                      ReadTypes(library, types);
    std::wstring text;
    if (read) text = UnitText(name, GuidText(attr->guid), attr->wMajorVerNum, attr->wMinorVerNum, types, ExtractFileName(libraryPath));
    const std::wstring unitName = name ? std::wstring(name) + L"_TLB.pas" : std::wstring();
    SysFreeString(name);
    if (attr) library->ReleaseTLibAttr(attr);
    library->Release();
    if (!read) return Fail(2, L"cannot read the type library " + libraryPath);

    const std::wstring unitPath = (folder.empty() ? std::wstring() : IncludeTrailingPathDelimiter(folder)) + unitName;
    const std::string bytes = WideToAnsi(text);
    HANDLE f = CreateFileW(unitPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return Fail(3, L"cannot write " + unitPath + L": " + SysErrorMessage(GetLastError()));
    DWORD written = 0;
    const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(f);
    if (!ok) return Fail(3, L"cannot write " + unitPath);
    return 0;
}
