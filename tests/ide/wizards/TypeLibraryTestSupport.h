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
// Everything the library tells of each type, one line per type and per member, each line
// beginning with the type's name: kind, GUID, flags, version and help string of the type; its
// bases or implemented types; an alias's type; each function with its kind, return type,
// parameters (names, types, flags, default values) and help string; each variable or constant
// with its type, value and help string. Referenced types are named.
std::vector<std::wstring> DescribeTypeLibrary(const std::wstring& path);

} // namespace tamrel::test
