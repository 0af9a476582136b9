// Security objects made by the system itself, as references for the centers' tests.
#pragma once

#include "host/Classes.h"
#include "host/Handles.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel::test {

// A SID the system made from its string form.
struct TStringSid {
    explicit TStringSid(const wchar_t* text) {
        PSID sid = nullptr;
        if (!ConvertStringSidToSidW(text, &sid)) RaiseLastOSError();
        Mem.Reset(sid);
    }
    PSID Get() const { return Mem.Get(); }
    LPWSTR Name() const { return static_cast<LPWSTR>(Mem.Get()); }
    TLocalMem Mem;
};

// A self-relative descriptor made by the system from SDDL text.
struct TSddl {
    explicit TSddl(const wchar_t* text) {
        ULONG len = 0;
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &sd, &len))
            RaiseLastOSError();
        Mem.Reset(sd);
        Size = len;
    }
    PSECURITY_DESCRIPTOR Get() const { return Mem.Get(); }
    std::vector<BYTE> Bytes() const {
        auto p = static_cast<const BYTE*>(Mem.Get());
        return {p, p + Size};
    }
    TLocalMem Mem;
    uint32_t Size = 0;
};

// The string form of a SID as the system writes it.
inline std::wstring SidText(const void* sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(const_cast<void*>(sid), &text)) return L"<invalid>";
    TLocalMem owner(text);
    return text;
}

// The root of a form-text round trip: a data module named Holder that owns the centers.
inline TOwnedPtr<TDataModule> NewHolder() {
    TOwnedPtr<TDataModule> root(Create<TDataModule>(nullptr));
    root->SetName(L"Holder");
    return root;
}

// A new holder read from Text. The form written from it again is Text, word for word.
inline TOwnedPtr<TDataModule> ReadBack(const std::wstring& text) {
    TOwnedPtr<TDataModule> copy(Create<TDataModule>(nullptr));
    ReadComponentFromText(copy.get(), text);
    if (ComponentToText(copy.get()) != text) throw Exception(L"The form read back writes another text");
    return copy;
}

// The component of that name and class in a holder read back; nil when there is none.
template <class T> T* Part(TComponent& holder, const wchar_t* name) {
    return dynamic_cast<T*>(holder.FindComponent(name));
}

} // namespace tamrel::test
