// The checks the project tools make of a project's type library, before loading it and of the
// names a new class would take. The environment's tools library and importer (our stand-ins,
// tools/devenv) make them too: a static library of its own, which links no run-time library.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace tamrel {

// Whether the file is a whole type library as far as its directory tells: the system's loader
// may stop the process on a library cut short instead of failing, so one is never handed to it.
bool WholeTypeLibraryFile(const std::wstring& path);

// Loads the library file for reading, unregistered, once WholeTypeLibraryFile has let it pass;
// false (Library nil) when it did not or the load failed.
bool LoadWholeTypeLibrary(const std::wstring& path, ITypeLib** library);

// Whether the library holds the name, as a type or a member. Pascal, which the library is
// imported into, does not tell names apart by case, and neither does the system's look-up; Wine's
// does, so the types' own names are compared here as well.
bool TypeLibraryHoldsName(ITypeLib* library, const std::wstring& name);

// Of the names a new class gives the library (the class, I<Class>, and I<Class>Events with
// events), the first that the library holds already (TypeLibraryHoldsName); empty when none is.
std::wstring TakenClassName(ITypeLib* library, const std::wstring& className, bool events);

} // namespace tamrel
