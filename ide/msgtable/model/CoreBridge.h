// Between the portable format code and the host types: UTF-16 texts, the system code page for
// ANSI message texts, and the portable readers' errors raised as the host's exceptions.
// Internal to the model library.
#pragma once

#include "host/SysUtils.h"
#include "ide/msgtable/model/core/Bytes.h"
#include "ide/msgtable/model/core/ResourceId.h"
#include "ide/msgtable/model/EvLog_Common.h"

#include <string>
#include <utility>

namespace tamrel::evlog {

inline std::u16string ToU16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }
inline std::wstring ToWide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

// ANSI message texts in the system's code page.
std::u16string SystemAnsiToUtf16(std::string_view text);

msgcore::ResourceId ToCoreId(const TResIdText& id);
void AssignCoreId(TResIdText& id, const msgcore::ResourceId& source);

// Runs F; a format error of the portable code leaves as E with the same text.
template <class E = Exception, class F> decltype(auto) CoreCall(F&& f) {
    try {
        return std::forward<F>(f)();
    } catch (const msgcore::FormatError& e) {
        throw E(Utf8ToWide(e.what()));
    }
}

} // namespace tamrel::evlog
