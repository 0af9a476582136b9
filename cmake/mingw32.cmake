# Cross-compiling for 32-bit Windows with mingw-w64 (posix thread model).
# This tree is compiled and linked only: the build machines cannot run 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAMREL_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMREL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMREL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMREL_TRIPLET}-windres)
set(CMAKE_STRIP ${TAMREL_TRIPLET}-strip)
set(CMAKE_FIND_ROOT_PATH /usr/${TAMREL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
