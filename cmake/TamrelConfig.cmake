# find_package(Tamrel): the run-time library as imported targets.
#   Tamrel::tamrelrt64, Tamrel::tamrelrt64_static   (64-bit installation)
#   Tamrel::tamrelrt,   Tamrel::tamrelrt_static     (32-bit installation)
# Each carries the include root, the C++20 requirement and (static library) the system libraries
# and the TAMREL_STATIC definition. The DLL needs the compiler's run-time DLLs of the
# installation's bin folder beside the program, and tamreldbg64.dll / tamreldbg.dll for /debug.
include(${CMAKE_CURRENT_LIST_DIR}/TamrelTargets.cmake)
