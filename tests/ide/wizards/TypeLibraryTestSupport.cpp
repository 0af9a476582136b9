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

} // namespace

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
