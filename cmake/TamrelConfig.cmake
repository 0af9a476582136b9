# find_package(Tamrel): the run-time library as imported targets.
#   Tamrel::tamrelrt64, Tamrel::tamrelrt64_static   (64-bit installation)
#   Tamrel::tamrelrt,   Tamrel::tamrelrt_static     (32-bit installation)
# Each carries the include root and the C++20 requirement; the static library also its system
# libraries and the TAMREL_STATIC definition.
# Tamrel_RUNTIME_DLLS lists the DLLs of the installation (the library's DLL, the debug library for
# /debug, the compiler's run-time DLLs): a program needs them beside it.
include(${CMAKE_CURRENT_LIST_DIR}/TamrelTargets.cmake)
get_filename_component(_tamrel_prefix ${CMAKE_CURRENT_LIST_DIR}/../../.. ABSOLUTE)
file(GLOB Tamrel_RUNTIME_DLLS ${_tamrel_prefix}/bin/*.dll)
unset(_tamrel_prefix)
