# The layers of the run-time library, the deliverables made of them, the layer check and the
# installed CMake package.
#
# Headers are included from the root of the tree ("host/Classes.h",
# "runtime/service/Tamrel_NTService.h"), in this tree and after installation alike. That one root
# reaches every header, so it is the layer check, not the include path, that holds a target to the
# headers of the targets it links.

set(TAMREL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/tamrel)
set(TAMREL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tamrel)

# Where the compiler's C++ run-time (libstdc++, libgcc, winpthread) lives. In the 64-bit build it is
# linked into the run-time DLL and into every image that links either deliverable (-static in their
# interface): a program over the DLL loads that one DLL and none of the compiler's, and each DLL
# loaded costs every service start about half a millisecond under Wine. Every image has a copy of
# its own, which stays sound there: 64-bit code unwinds through the system's table-based exception
# dispatch, which walks the frames of every image whichever copy threw, and every copy allocates
# from the one msvcrt heap. So a library exception thrown in the DLL is caught by type in the
# program, and a string made on one side is freed on the other. What each copy keeps to itself: the
# exception being handled (a function of the DLL cannot see the one a catch of the program holds: it
# takes an exception_ptr), the count of std::uncaught_exceptions, the standard streams and the
# global locale, thread ids (a std::thread is joined in the image that made it).
# The 32-bit compiler unwinds with DWARF-2 tables that each copy of libgcc registers in a list of
# its own: an exception thrown in one image could not be caught in another. The 32-bit build keeps
# the compiler's run-time DLLs, one copy shared by every image.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAMREL_STATIC_CXX_RUNTIME ON)
else()
    set(TAMREL_STATIC_CXX_RUNTIME OFF)
endif()

# tamrel_add_layer(<name> SOURCES <unit.cpp>... HEADERS <header>... [INTERNAL_HEADERS <header>...]
#                  [DEPENDS <layer>...] [SHARES <target>...] [LIBRARIES <system library>...]
#                  [EXPORTS <fragment>...])
# Declares a layer of the run-time library in the CMakeLists.txt of its folder (paths relative to
# that folder). The units are compiled twice: tamrel_<name> for the static library (TAMREL_STATIC:
# TAMREL_API is empty) and tamrel_<name>_dll for the DLL (TAMREL_BUILD_DLL: TAMREL_API exports).
# Both link the layers of DEPENDS and nothing else. INTERNAL_HEADERS (hooks for tests) may be
# included by the layer's own units and by targets that link tamrel_<name>_internal; they are not
# installed. SHARES names header-only targets (tamrel_add_shared_headers) that the layer's headers
# include: linked by the layer and provided by the deliverables. EXPORTS names the fragments of
# fixed-name exports (cmake/Tamrel.cmake, tamrel_fixed_exports).
#
# tamrel_add_layer(<name> ADDIN SOURCES <unit.cpp>... HEADERS <header>... [INTERNAL_HEADERS <header>...]
#                  [DEPENDS <layer>...] [LINKS <target>...] [LIBRARIES <system library>...]
#                  [DEFINITIONS <definition>...])
# The flavour of the development-environment add-ins (ide/): their units are compiled once, into
# the static library tamrel_<name> that the add-in DLLs take whole (tamrel_add_addin) and the tests
# link. An add-in stands on the run-time DLL, never on the static library, so that it shares one
# class registry with the environment: LINKS names it with the other targets the layer needs (the
# environment's DLL, the tools library). DEPENDS names add-in layers. DEFINITIONS are the units'
# own (the export macro of the add-in that carries them). Internal headers as above.
function(tamrel_add_layer name)
    cmake_parse_arguments(L "ADDIN" ""
                          "SOURCES;HEADERS;INTERNAL_HEADERS;DEPENDS;SHARES;LINKS;LIBRARIES;EXPORTS;DEFINITIONS" ${ARGN})
    set(target tamrel_${name})
    set(own ${target})
    if(L_INTERNAL_HEADERS)
        add_library(${target}_internal INTERFACE)
        target_include_directories(${target}_internal INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
        _tamrel_own_headers(${target}_internal ${L_INTERNAL_HEADERS})
        list(APPEND own ${target}_internal)
    endif()
    _tamrel_own_headers(${target} ${L_HEADERS})

    if(L_ADDIN)
        add_library(${target} STATIC ${L_SOURCES} ${L_HEADERS} ${L_INTERNAL_HEADERS})
        target_compile_definitions(${target} PRIVATE ${L_DEFINITIONS})
        target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
        target_compile_features(${target} PUBLIC cxx_std_20)
        list(TRANSFORM L_DEPENDS PREPEND tamrel_)
        target_link_libraries(${target} PUBLIC ${L_DEPENDS} ${L_LINKS} ${L_LIBRARIES})
        set_target_properties(${target} PROPERTIES TAMREL_OWN "${own}")
        if(L_INTERNAL_HEADERS)
            target_link_libraries(${target}_internal INTERFACE ${target})
        endif()
        return()
    endif()

    foreach(flavour static dll)
        if(flavour STREQUAL "static")
            set(t ${target})
            set(define TAMREL_STATIC)
            set(suffix "")
        else()
            set(t ${target}_dll)
            set(define TAMREL_BUILD_DLL)
            set(suffix _dll)
        endif()
        add_library(${t} OBJECT ${L_SOURCES} ${L_HEADERS} ${L_INTERNAL_HEADERS})
        target_compile_definitions(${t} PRIVATE ${define})
        target_include_directories(${t} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
        target_compile_features(${t} PUBLIC cxx_std_20)
        foreach(dep ${L_DEPENDS})
            target_link_libraries(${t} PUBLIC tamrel_${dep}${suffix})
        endforeach()
        target_link_libraries(${t} PUBLIC ${L_SHARES})
        set_target_properties(${t} PROPERTIES TAMREL_OWN "${own}" TAMREL_PROVIDES ${target})
    endforeach()
    # The DLL flavour has the same units and links as the static one: checked once.
    set_target_properties(${target}_dll PROPERTIES TAMREL_LAYER_CHECK_SKIP ON)

    set(exports "")
    foreach(fragment ${L_EXPORTS})
        list(APPEND exports ${CMAKE_CURRENT_SOURCE_DIR}/${fragment})
    endforeach()
    list(TRANSFORM L_HEADERS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_target_properties(${target} PROPERTIES TAMREL_SYSTEM_LIBRARIES "${L_LIBRARIES}"
                                               TAMREL_FIXED_EXPORTS "${exports}" TAMREL_SHARES "${L_SHARES}"
                                               TAMREL_HEADERS "${L_HEADERS}")
endfunction()

# tamrel_add_addin(<name> [LAYERS <add-in layer>...] [SOURCES <file>...] [RESOURCES <target>...]
#                  [LINKS <target>...] [LIBRARIES <system library>...] [EXPORTS <fragment>...])
# An add-in DLL under its fixed file name: the units of its LAYERS taken whole (an add-in's
# entries and registrations are called by the environment, not by the add-in's own code), its own
# SOURCES and the resource scripts of RESOURCES (tamrel_add_resources). It links its layers, the
# targets of LINKS (which a program or add-in that links the DLL links too) and the system
# libraries of LIBRARIES. EXPORTS names fragments of fixed-name exports (tamrel_fixed_exports).
function(tamrel_add_addin name)
    cmake_parse_arguments(A "" "" "LAYERS;SOURCES;RESOURCES;LINKS;LIBRARIES;EXPORTS" ${ARGN})
    set(objects "")
    set(provides "")
    foreach(layer ${A_LAYERS})
        list(APPEND objects $<TARGET_OBJECTS:tamrel_${layer}>)
        list(APPEND provides tamrel_${layer})
    endforeach()
    foreach(resources ${A_RESOURCES})
        list(APPEND objects $<TARGET_OBJECTS:${resources}>)
    endforeach()
    add_library(${name} SHARED ${A_SOURCES} ${objects})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${provides} ${A_LIBRARIES} PUBLIC ${A_LINKS})
    set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
    if(provides)
        set_target_properties(${name} PROPERTIES TAMREL_PROVIDES "${provides}")
    endif()
    if(A_EXPORTS)
        list(TRANSFORM A_EXPORTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
        tamrel_fixed_exports(${name} ${A_EXPORTS})
    endif()
endfunction()

# tamrel_add_shared_headers(<target> <header>...)
# Header-only code that a layer shares with targets outside the library (the debug library, which
# is self-contained): an interface target that owns the headers, which are installed with the
# public ones.
function(tamrel_add_shared_headers target)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
    _tamrel_own_headers(${target} ${ARGN})
    set(headers ${ARGN})
    list(TRANSFORM headers PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_target_properties(${target} PROPERTIES TAMREL_HEADERS "${headers}")
endfunction()

# tamrel_declare_headers(<target> <header>...)
# Makes <target> the owner of headers that are not a layer's (shared test helpers): the layer
# check then asks that a unit including one links <target>.
function(tamrel_declare_headers target)
    _tamrel_own_headers(${target} ${ARGN})
endfunction()

function(_tamrel_own_headers owner)
    foreach(header ${ARGN})
        cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
        file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${header})
        set_property(GLOBAL APPEND PROPERTY TAMREL_HEADER_OWNERS "${rel}|${owner}")
    endforeach()
endfunction()

# System libraries that no service start calls: the deliverables bind them when one of their
# functions is first called (delay-loaded imports), not when the program is loaded. Loading a
# library costs a service start time whether or not it is used; a layer that names one of these in
# its LIBRARIES needs nothing else. A library a new unit uses only off the start path joins the
# list with its name. Not for libraries with data exports (a delay-loaded import binds functions
# only) or static-only ones (uuid).
set(TAMREL_DELAY_LOADED mpr netapi32 wtsapi32 userenv ole32 oleaut32 comctl32 comdlg32 msimg32 shell32 version)

# The delay-load import library of system library <lib>, made at configure time from the
# toolchain's own import library (its functions become a module definition that dlltool turns into
# delay-load stubs; the 32-bit names keep their @N and import the plain name, as the system exports
# them). Sets <out> to the library's path.
function(_tamrel_delay_import_library lib out)
    set(path ${PROJECT_BINARY_DIR}/delayimp/libtamrel_${lib}_delay.a)
    if(NOT EXISTS ${path})
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${lib}.a
                        OUTPUT_VARIABLE import OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT EXISTS "${import}")
            message(FATAL_ERROR "No import library for ${lib} to delay-load")
        endif()
        execute_process(COMMAND ${CMAKE_NM} --defined-only ${import} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${CMAKE_NM} cannot read ${import}")
        endif()
        string(REGEX MATCHALL "[^\n]* T [^\n]*" lines "${symbols}")
        set(names "")
        foreach(line ${lines})
            string(REGEX REPLACE "^.* T " "" name "${line}")
            if(CMAKE_SIZEOF_VOID_P EQUAL 4)
                string(REGEX REPLACE "^_" "" name "${name}")
            endif()
            list(APPEND names "${name}")
        endforeach()
        list(REMOVE_DUPLICATES names)
        list(JOIN names "\n" exports)
        file(WRITE ${PROJECT_BINARY_DIR}/delayimp/${lib}.def "LIBRARY ${lib}.dll\nEXPORTS\n${exports}\n")
        set(kill "")
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(kill --kill-at)
        endif()
        execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill} --input-def ${PROJECT_BINARY_DIR}/delayimp/${lib}.def
                                --dllname ${lib}.dll --output-delaylib ${path}
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${CMAKE_DLLTOOL} cannot make the delay-load library of ${lib}")
        endif()
    endif()
    set(${out} ${path} PARENT_SCOPE)
endfunction()

# tamrel_add_runtime(<name> LAYERS <layer>...)
# The deliverables: <name> as a DLL and <name>_static as a static library, each made of the
# layers' units, with the include root, the C++20 requirement and (static library) the system
# libraries in their interface. Tamrel::<name> and Tamrel::<name>_static name them as the
# installed package does.
function(tamrel_add_runtime name)
    cmake_parse_arguments(R "" "" "LAYERS" ${ARGN})
    set(dll_objects "")
    set(static_objects "")
    set(libraries "")
    set(exports "")
    set(provides "")
    set(headers "")
    foreach(layer ${R_LAYERS})
        list(APPEND dll_objects $<TARGET_OBJECTS:tamrel_${layer}_dll>)
        list(APPEND static_objects $<TARGET_OBJECTS:tamrel_${layer}>)
        get_target_property(libs tamrel_${layer} TAMREL_SYSTEM_LIBRARIES)
        get_target_property(fragments tamrel_${layer} TAMREL_FIXED_EXPORTS)
        get_target_property(shares tamrel_${layer} TAMREL_SHARES)
        list(APPEND libraries ${libs})
        list(APPEND exports ${fragments})
        list(APPEND provides tamrel_${layer} ${shares})
        foreach(owner tamrel_${layer} ${shares})
            get_target_property(own_headers ${owner} TAMREL_HEADERS)
            list(APPEND headers ${own_headers})
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES libraries)
    list(REMOVE_DUPLICATES headers)
    # The delay-loaded ones, for the DLL and for the programs that link the static library.
    set(dll_libraries "")
    set(static_libraries "")
    foreach(lib ${libraries})
        if(lib IN_LIST TAMREL_DELAY_LOADED)
            _tamrel_delay_import_library(${lib} delayed)
            get_filename_component(file ${delayed} NAME)
            list(APPEND dll_libraries ${delayed})
            list(APPEND static_libraries "$<BUILD_INTERFACE:${delayed}>"
                                         "$<INSTALL_INTERFACE:$<INSTALL_PREFIX>/${CMAKE_INSTALL_LIBDIR}/${file}>")
            set_property(GLOBAL APPEND PROPERTY TAMREL_DELAY_LIBRARIES ${delayed})
        else()
            list(APPEND dll_libraries ${lib})
            list(APPEND static_libraries ${lib})
        endif()
    endforeach()

    add_library(${name} SHARED ${dll_objects})
    target_link_libraries(${name} PRIVATE ${dll_libraries})
    # Sections at page-aligned file offsets: Wine maps such a section from the file and reads only
    # the pages a program touches; a section at the linker's default 512-byte alignment cannot be
    # mapped, and Wine reads all of it into fresh memory at every load (about 2 ms of every service
    # start for this DLL).
    target_link_options(${name} PRIVATE -Wl,--file-alignment=0x1000)
    set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
    if(exports)
        tamrel_fixed_exports(${name} ${exports})
    endif()
    tamrel_split_debug_info(${name})

    add_library(${name}_static STATIC ${static_objects})
    target_link_libraries(${name}_static PUBLIC ${static_libraries})
    target_compile_definitions(${name}_static INTERFACE TAMREL_STATIC)

    if(TAMREL_STATIC_CXX_RUNTIME)
        target_link_options(${name} PRIVATE -static)
        target_link_options(${name} INTERFACE -static)
        target_link_options(${name}_static INTERFACE -static)
    endif()

    # The layers' public headers (not their internal ones) and the headers they share: installed
    # with both, from the root of the tree (include/tamrel/host/Classes.h). The include root comes
    # with the file set. The units were checked in their layers.
    foreach(t ${name} ${name}_static)
        target_sources(${t} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${headers})
        target_compile_features(${t} INTERFACE cxx_std_20)
        set_target_properties(${t} PROPERTIES TAMREL_PROVIDES "${provides}" TAMREL_LAYER_CHECK_SKIP ON)
        add_library(Tamrel::${t} ALIAS ${t})
    endforeach()
    set_property(GLOBAL APPEND PROPERTY TAMREL_RUNTIME_TARGETS ${name} ${name}_static)
endfunction()

# The package: cmake --install puts the DLL, its import library, the static library, the debug
# library, the public headers and TamrelConfig.cmake under the prefix; find_package(Tamrel) then
# gives the same Tamrel:: targets as add_subdirectory of the checkout.
function(tamrel_install_package)
    get_property(targets GLOBAL PROPERTY TAMREL_RUNTIME_TARGETS)
    install(TARGETS ${targets} EXPORT TamrelTargets
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            FILE_SET HEADERS DESTINATION ${TAMREL_INSTALL_INCLUDEDIR})
    install(TARGETS ${TAMREL_DBG} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # The delay-load import libraries the static library links, and the DLL's debug information.
    get_property(delayed GLOBAL PROPERTY TAMREL_DELAY_LIBRARIES)
    if(delayed)
        list(REMOVE_DUPLICATES delayed)
        install(FILES ${delayed} DESTINATION ${CMAKE_INSTALL_LIBDIR})
    endif()
    foreach(t ${targets})
        get_target_property(type ${t} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
            install(FILES $<TARGET_FILE:${t}>.debug DESTINATION ${CMAKE_INSTALL_BINDIR} OPTIONAL)
        endif()
    endforeach()
    # The compiler's run-time DLLs that the library's DLL needs beside the program, where it does.
    set(mingw_dlls "")
    if(NOT TAMREL_STATIC_CXX_RUNTIME)
        get_property(mingw_dlls GLOBAL PROPERTY TAMREL_MINGW_RUNTIME_DLLS)
        install(FILES ${mingw_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
    install(EXPORT TamrelTargets NAMESPACE Tamrel:: DESTINATION ${TAMREL_INSTALL_CMAKEDIR})
    # What a program over the installed DLL needs beside it, by name: the library's DLL, the debug
    # library for /debug runs, and the compiler's run-time DLLs where they are needed.
    set(TAMREL_PACKAGE_DLLS ${TAMREL_RT}.dll ${TAMREL_DBG}.dll)
    foreach(dll ${mingw_dlls})
        get_filename_component(dll ${dll} NAME)
        list(APPEND TAMREL_PACKAGE_DLLS ${dll})
    endforeach()
    include(CMakePackageConfigHelpers)
    configure_package_config_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/TamrelConfig.cmake.in
                                  ${PROJECT_BINARY_DIR}/TamrelConfig.cmake
                                  INSTALL_DESTINATION ${TAMREL_INSTALL_CMAKEDIR}
                                  PATH_VARS CMAKE_INSTALL_BINDIR)
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/TamrelConfigVersion.cmake
                                     COMPATIBILITY SameMajorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/TamrelConfig.cmake ${PROJECT_BINARY_DIR}/TamrelConfigVersion.cmake
            DESTINATION ${TAMREL_INSTALL_CMAKEDIR})
endfunction()

# ---------------------------------------------------------------------------------------------
# The layer check. At configure time every target of the project is written to a manifest with
# the headers it may include: its own, and those of every target it links (through the links of
# those targets too, as CMake passes usage requirements on). At build time
# cmake/CheckLayers.cmake reads the quoted includes of every unit and fails the build on a header
# that belongs to a target outside that set.

function(_tamrel_targets_under dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        _tamrel_targets_under(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The owners of headers that <target> may include.
function(_tamrel_allowed_owners target out)
    get_target_property(own ${target} TAMREL_OWN)
    if(NOT own)
        set(own ${target})
    endif()
    set(allowed ${own})
    get_target_property(links ${target} LINK_LIBRARIES)
    set(seen "")
    while(links)
        list(POP_FRONT links item)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(item MATCHES "\\$<" OR NOT TARGET ${item} OR item IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${item})
        get_target_property(aliased ${item} ALIASED_TARGET)
        if(aliased)
            set(item ${aliased})
        endif()
        get_target_property(provides ${item} TAMREL_PROVIDES)
        if(NOT provides)
            set(provides ${item})
        endif()
        list(APPEND allowed ${provides})
        get_target_property(more ${item} INTERFACE_LINK_LIBRARIES)
        if(more)
            list(APPEND links ${more})
        endif()
    endwhile()
    list(REMOVE_DUPLICATES allowed)
    set(${out} ${allowed} PARENT_SCOPE)
endfunction()

function(tamrel_add_layer_check)
    set(manifest ${PROJECT_BINARY_DIR}/tamrel_layers.txt)
    set(lines "")
    set(files "")
    get_property(owners GLOBAL PROPERTY TAMREL_HEADER_OWNERS)
    foreach(entry ${owners})
        string(APPEND lines "H|${entry}\n")
        string(REGEX REPLACE "\\|.*" "" header "${entry}")
        list(APPEND files ${PROJECT_SOURCE_DIR}/${header})
    endforeach()
    _tamrel_targets_under(${PROJECT_SOURCE_DIR} targets)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        get_target_property(skip ${target} TAMREL_LAYER_CHECK_SKIP)
        get_target_property(dir ${target} SOURCE_DIR)
        get_target_property(sources ${target} SOURCES)
        if(skip OR type STREQUAL "UTILITY" OR NOT sources)
            continue()
        endif()
        cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${dir} NORMALIZE inside)
        if(NOT inside)
            continue()
        endif()
        _tamrel_allowed_owners(${target} allowed)
        string(REPLACE ";" "," allowed "${allowed}")
        foreach(source ${sources})
            if(source MATCHES "\\$<" OR NOT source MATCHES "\\.(c|cc|cpp|h|hpp|rc)$")
                continue()
            endif()
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} NORMALIZE)
            cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${source} NORMALIZE in_tree)
            if(in_tree)
                string(APPEND lines "S|${target}|${allowed}|${source}\n")
                list(APPEND files ${source})
            endif()
        endforeach()
    endforeach()
    file(CONFIGURE OUTPUT ${manifest} CONTENT "${lines}")
    list(REMOVE_DUPLICATES files)
    set(stamp ${PROJECT_BINARY_DIR}/tamrel_layers.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DMANIFEST=${manifest}
                -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckLayers.cmake
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${manifest} ${files} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckLayers.cmake
        COMMENT "Checking the includes of every unit against the layers its target links"
        VERBATIM)
    add_custom_target(tamrel_layer_check ALL DEPENDS ${stamp})
endfunction()
