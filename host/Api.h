// TAMREL_API marks the classes, functions and data that the run-time DLL exports.
//
// The library's build compiles every unit twice: once for the DLL with TAMREL_BUILD_DLL (the
// marked names are exported) and once for the static library with TAMREL_STATIC (the mark is
// empty). A program that links the static library defines TAMREL_STATIC too (the CMake targets
// Tamrel::tamrelrt64_static and Tamrel::tamrelrt_static do it for their users); any other
// program imports the marked names from the DLL.
//
// Header-only code (templates, inline functions, classes whose members are all inline) is not
// marked: every image compiles its own copy. Exceptions thrown across the DLL boundary are
// caught by type name, so an exception class with inline members only needs no mark either.
#pragma once

#if defined(TAMREL_STATIC)
#define TAMREL_API
#elif defined(TAMREL_BUILD_DLL)
#define TAMREL_API __declspec(dllexport)
#else
#define TAMREL_API __declspec(dllimport)
#endif
