#include "tests/ide/wizards/TypeLibraryTestSupport.h"

#include "host/Interfaced.h"

#include <gtest/gtest.h>

#include <oleauto.h>

namespace tamrel::test {

namespace {

std::wstring TypeName(ITypeInfo* info) {
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    std::wstring result = name ? name : L"?";
    SysFreeString(name);
    return result;
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Text(const VARIANT* value) {
    if (!value) return L"-";
    VARIANT text;
    VariantInit(&text);
    std::wstring result = L"?";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR)))
        result = std::to_wstring(value->vt) + L":" + text.bstrVal;
    VariantClear(&text);
    return result;
}

std::wstring TypeText(ITypeInfo* info, const TYPEDESC& t) {
    switch (t.vt) {
    case VT_PTR:
        return TypeText(info, *t.lptdesc) + L"*";
    case VT_SAFEARRAY:
        return L"SAFEARRAY(" + TypeText(info, *t.lptdesc) + L")";
    case VT_CARRAY: {
        std::wstring bounds;
        for (USHORT d = 0; d < t.lpadesc->cDims; ++d) bounds += L"[" + std::to_wstring(t.lpadesc->rgbounds[d].cElements) + L"]";
        return TypeText(info, t.lpadesc->tdescElem) + bounds;
    }
    case VT_USERDEFINED: {
        TComPtr<ITypeInfo> ref;
        if (FAILED(info->GetRefTypeInfo(t.hreftype, ref.Put()))) return L"?";
        return TypeName(ref.Get());
    }
    default:
        return L"vt" + std::to_wstring(t.vt);
    }
}

std::wstring ElemText(ITypeInfo* info, const ELEMDESC& e) {
    std::wstring text = TypeText(info, e.tdesc) + L" flags=" + std::to_wstring(e.paramdesc.wParamFlags);
    if ((e.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) && e.paramdesc.pparamdescex)
        text += L" default=" + Text(&e.paramdesc.pparamdescex->varDefaultValue);
    return text;
}

std::wstring Documentation(ITypeInfo* info, MEMBERID id) {
    BSTR doc = nullptr;
    DWORD context = 0;
    info->GetDocumentation(id, nullptr, &doc, &context, nullptr);
    std::wstring text = L" doc=\"" + std::wstring(doc ? doc : L"") + L"\" context=" + std::to_wstring(context);
    SysFreeString(doc);
    return text;
}

void DescribeType(ITypeInfo* info, const std::wstring& name, std::vector<std::wstring>& lines) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return lines.push_back(name + L" ?");
    const TYPEATTR a = *attr;
    lines.push_back(name + L" kind=" + std::to_wstring(a.typekind) + L" " + GuidText(a.guid) + L" flags=" +
                    std::to_wstring(a.wTypeFlags) + L" version=" + std::to_wstring(a.wMajorVerNum) + L"." +
                    std::to_wstring(a.wMinorVerNum) + Documentation(info, MEMBERID_NIL));
    if (a.typekind == TKIND_ALIAS) lines.push_back(name + L" alias " + TypeText(info, attr->tdescAlias));
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < a.cImplTypes; ++i) {
        HREFTYPE href = 0;
        TComPtr<ITypeInfo> ref;
        int flags = 0;
        info->GetRefTypeOfImplType(i, &href);
        info->GetRefTypeInfo(href, ref.Put());
        info->GetImplTypeFlags(i, &flags);
        lines.push_back(name + L" implements " + (ref ? TypeName(ref.Get()) : std::wstring(L"?")) + L":" +
                        std::to_wstring(flags));
    }
    for (UINT i = 0; i < a.cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) {
            lines.push_back(name + L" function ?");
            continue;
        }
        // A dispinterface the system lays out lists the functions of IUnknown and IDispatch (their
        // member ids 0x60000000 to 0x60010003); one that widl writes does not.
        if (a.typekind == TKIND_DISPATCH && !(a.wTypeFlags & TYPEFLAG_FDUAL) && f->memid >= 0x60000000 &&
            f->memid < 0x60020000) {
            info->ReleaseFuncDesc(f);
            continue;
        }
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(f->memid, names, 16, &count);
        std::wstring line = name + L" function " + std::to_wstring(f->memid) + L" " + (count ? names[0] : L"?") +
                            L" kind=" + std::to_wstring(f->funckind) + L" invoke=" + std::to_wstring(f->invkind) +
                            L" returns " + ElemText(info, f->elemdescFunc) + L" (";
        for (SHORT p = 0; p < f->cParams; ++p) {
            const UINT n = static_cast<UINT>(p) + 1;
            line += (p ? L", " : L"") + std::wstring(n < count ? names[n] : L"-") + L": " +
                    ElemText(info, f->lprgelemdescParam[p]);
        }
        line += L") optional=" + std::to_wstring(f->cParamsOpt) + Documentation(info, f->memid);
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
        info->ReleaseFuncDesc(f);
        lines.push_back(line);
    }
    for (UINT i = 0; i < a.cVars; ++i) {
        VARDESC* v = nullptr;
        if (FAILED(info->GetVarDesc(i, &v))) {
            lines.push_back(name + L" variable ?");
            continue;
        }
        BSTR varName = nullptr;
        info->GetDocumentation(v->memid, &varName, nullptr, nullptr, nullptr);
        lines.push_back(name + L" variable " + std::to_wstring(v->memid) + L" " + (varName ? varName : L"?") +
                        L" kind=" + std::to_wstring(v->varkind) + L" " + ElemText(info, v->elemdescVar) + L" value=" +
                        (v->varkind == VAR_CONST ? Text(v->lpvarValue) : std::wstring(L"-")) +
                        Documentation(info, v->memid));
        SysFreeString(varName);
        info->ReleaseVarDesc(v);
    }
}

} // namespace

std::vector<std::wstring> DescribeTypeLibrary(const std::wstring& path) {
    std::vector<std::wstring> lines;
    TComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()));
    if (!library) return lines;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TComPtr<ITypeInfo> info;
        library->GetTypeInfo(i, info.Put());
        const std::wstring name = TypeName(info.Get());
        DescribeType(info.Get(), name, lines);
        // A dual interface is told by both its views.
        HREFTYPE href = 0;
        TComPtr<ITypeInfo> view;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) &&
            SUCCEEDED(info->GetRefTypeInfo(href, view.Put())))
            DescribeType(view.Get(), name + L"(interface)", lines);
    }
    return lines;
}

std::vector<TTypeView> ReadTypeLibrary(const std::wstring& path) {
    std::vector<TTypeView> types;
    TComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()));
    if (!library) return types;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TComPtr<ITypeInfo> info;
        library->GetTypeInfo(i, info.Put());
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        TTypeView view;
        view.Kind = attr->typekind;
        view.Flags = attr->wTypeFlags;
        view.Guid = GuidText(attr->guid);
        const UINT impl = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        view.Name = TypeName(info.Get());
        const bool dual = view.Kind == TKIND_DISPATCH && (view.Flags & TYPEFLAG_FDUAL);
        TComPtr<ITypeInfo> source = info;
        if (dual) {
            HREFTYPE href = 0;
            info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href);
            info->GetRefTypeInfo(href, source.Put());
        }
        const UINT count = view.Kind == TKIND_DISPATCH && !dual ? 0u : impl;
        for (UINT k = 0; source && k < count; ++k) {
            HREFTYPE href = 0;
            TComPtr<ITypeInfo> ref;
            int flags = 0;
            source->GetRefTypeOfImplType(k, &href);
            source->GetRefTypeInfo(href, ref.Put());
            source->GetImplTypeFlags(k, &flags);
            view.Impl.push_back((ref ? TypeName(ref.Get()) : std::wstring(L"?")) + L":" +
                                std::to_wstring(flags));
        }
        types.push_back(view);
    }
    return types;
}

std::wstring LibraryId(const std::wstring& path) {
    TComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put())) || !library) return {};
    TLIBATTR* attr = nullptr;
    library->GetLibAttr(&attr);
    const std::wstring id = GuidText(attr->guid);
    library->ReleaseTLibAttr(attr);
    return id;
}

} // namespace tamrel::test
