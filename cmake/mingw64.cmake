# Cross-compiling for 64-bit Windows with mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAMREL_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMREL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMREL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMREL_TRIPLET}-windres)
set(CMAKE_STRIP ${TAMREL_TRIPLET}-strip)
set(CMAKE_FIND_ROOT_PATH /usr/${TAMREL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run under Wine; ctest prefixes every test command with this. The Wine packages keep
# wine64 off PATH, in /usr/lib/wine; -DTAMREL_WINE64=<path> names another.
find_program(TAMREL_WINE64 wine64 HINTS /usr/lib/wine DOC "wine64, which runs the tests")
if(TAMREL_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMREL_WINE64})
endif()
