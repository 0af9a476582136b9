// Reading a type library back in the wizards' and project tools' tests.
#pragma once

#include <string>
#include <vector>

namespace tamrel::test {

// A type of a type library as ITypeInfo tells it.
struct TTypeView {
    std::wstring Name;
    int Kind = 0;  // TYPEKIND
    int Flags = 0; // TYPEFLAGS
    std::wstring Guid;
    // Dual interfaces: the base of the interface view; coclasses: the implemented types, each
    // with its impl flags ("IFoo:1").
    std::vector<std::wstring> Impl;
};
// Every type of the library, in order, read through LoadTypeLibEx; every reference is released
// before it answers (a library kept alive would be handed out stale by the next load).
std::vector<TTypeView> ReadTypeLibrary(const std::wstring& path);
// The library's LIBID.
std::wstring LibraryId(const std::wstring& path);

} // namespace tamrel::test
