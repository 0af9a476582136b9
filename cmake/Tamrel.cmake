# Helpers shared by the project's CMake files.

# The compiler's own run-time DLLs sit beside our programs so that Wine (and a user) finds them.
function(tamrel_copy_mingw_runtime)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(EXISTS "${path}")
            # Without their debug sections: the toolchain ships them unstripped (libstdc++ alone is
            # over 20 MB), and every service start would pay for loading them.
            file(MAKE_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
            execute_process(COMMAND ${CMAKE_STRIP} --strip-debug "${path}"
                                    -o "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll}"
                            RESULT_VARIABLE stripped)
            if(NOT stripped EQUAL 0)
                file(COPY "${path}" DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
            endif()
            set_property(GLOBAL APPEND PROPERTY TAMREL_MINGW_RUNTIME_DLLS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll})
        endif()
    endforeach()
endfunction()

# tamrel_split_debug_info(<target>)
# Moves the debug information of a DLL into <file>.debug beside it, which the DLL names (a GNU
# debug link) for the debugger. Wine reads every section of a DLL it loads, debug sections
# included: the run-time DLL with its debug information took about 16 ms longer to load, at every
# start of every service.
function(tamrel_split_debug_info target)
    if(NOT CMAKE_OBJCOPY)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
        COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
                $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

# tamrel_add_test(NAME <name> COMMAND <target> [ARGS ...] [TIMEOUT s] [LOCK] [DESKTOP]
#                 [RESOURCES name...] [LABELS ...])
# Registers a ctest entry run under the cross-compiling emulator. LOCK marks tests that start
# services: Wine's service manager serialises starts, so these never run side by side. DESKTOP
# marks tests that show windows on the shared display: keys and clicks given as a person gives
# them go to the window in front, and a window of another test program brought to the front
# would take them, so these never run side by side either. RESOURCES names further locks (a
# registry key that several programs write).
function(tamrel_add_test)
    cmake_parse_arguments(T "LOCK;DESKTOP" "NAME;COMMAND;TIMEOUT" "ARGS;LABELS;ENVIRONMENT;RESOURCES" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} ${T_ARGS}
             WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
    set(locks ${T_RESOURCES})
    if(T_LOCK)
        list(APPEND locks wine_services)
    endif()
    if(T_DESKTOP)
        list(APPEND locks desktop)
    endif()
    if(locks)
        set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${locks}")
    endif()
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
    if(T_ENVIRONMENT)
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
endfunction()

# tamrel_fixed_exports(<dll target> <fragment>...)
# Exported C functions whose names callers rely on. Each area lists its own in a fragment
# (runtime/<area>/*.exports: one line "Name ArgumentBytes" per stdcall function); the 32-bit DLL
# would otherwise export a stdcall function only as "Name@ArgumentBytes". The fragments become
# one .def file for the DLL, and every build checks the DLL's export table with objdump.
function(tamrel_fixed_exports target)
    set(lines "EXPORTS\n")
    set(names "")
    foreach(fragment ${ARGN})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${fragment})
        file(STRINGS ${fragment} entries REGEX "^[A-Za-z_]")
        foreach(entry ${entries})
            string(REGEX MATCHALL "[^ \t]+" parts "${entry}")
            list(GET parts 0 name)
            list(GET parts 1 bytes)
            if(CMAKE_SIZEOF_VOID_P EQUAL 4)
                string(APPEND lines "    ${name} = ${name}@${bytes}\n")
            else()
                string(APPEND lines "    ${name}\n")
            endif()
            list(APPEND names ${name})
        endforeach()
    endforeach()
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}_fixed_exports.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "${lines}")
    target_sources(${target} PRIVATE ${def})
    string(REPLACE ";" "," names "${names}")
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:${target}> -DNAMES=${names}
                -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckExports.cmake
        VERBATIM)
endfunction()

# tamrel_add_fuzz_program(NAME <fuzz_name> SOURCE <fuzz target> SEEDS <dir> [LIBS ...])
# A fuzz target of the native project (tests/native) built for Windows with the plain driver and
# run by ctest under Wine: its seed inputs, then 100,000 inputs mutated from them with a fixed
# seed.
function(tamrel_add_fuzz_program)
    cmake_parse_arguments(F "" "NAME;SOURCE;SEEDS" "LIBS" ${ARGN})
    add_executable(${F_NAME} ${F_SOURCE} ${PROJECT_SOURCE_DIR}/tests/support/FuzzDriver.cpp)
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
    file(COPY ${F_SEEDS}/ DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/fuzz-seeds/${F_NAME})
    tamrel_add_test(NAME ${F_NAME} COMMAND ${F_NAME} ARGS -seed=1 -runs=100000 fuzz-seeds/${F_NAME} TIMEOUT 600)
endfunction()

# tamrel_add_typelib(<target> IDL <file.idl> NAME <base>)
# Compiles a type library of ours with widl: <base>.tlb (the library), <base>.h (the C++
# declarations) and the GUID definitions. <target> is an object library of the GUID definitions
# that puts <base>.h on the include path; its property TAMREL_TYPELIB names the .tlb.
function(tamrel_add_typelib target)
    cmake_parse_arguments(L "" "IDL;NAME" "" ${ARGN})
    find_program(TAMREL_WIDL NAMES ${TAMREL_WIDL_PREFIX}widl x86_64-w64-mingw32-widl i686-w64-mingw32-widl widl
                 REQUIRED)
    # widl resolves importlib("stdole2.tlb") against the one the Wine packages install, in the
    # Windows-side library folder of Wine under a system prefix; -DTAMREL_STDOLE2_DIR=<folder>
    # names another.
    set(wine_folders "")
    foreach(lib lib/x86_64-linux-gnu lib/i386-linux-gnu lib64 lib)
        list(APPEND wine_folders ${lib}/wine/x86_64-windows ${lib}/wine/i386-windows)
    endforeach()
    find_path(TAMREL_STDOLE2_DIR stdole2.tlb PATHS ${CMAKE_SYSTEM_PREFIX_PATH} PATH_SUFFIXES ${wine_folders}
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH DOC "The folder of Wine's stdole2.tlb, which widl reads")
    if(NOT TAMREL_STDOLE2_DIR)
        message(FATAL_ERROR "No stdole2.tlb for widl: install Wine (scripts/setup) or set TAMREL_STDOLE2_DIR to "
                            "the folder that holds one")
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(arch --win64)
    else()
        set(arch --win32)
    endif()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/typelib)
    get_filename_component(idl ${L_IDL} ABSOLUTE)
    # Our idl/ folder, beside this file: a project that adds the checkout calls this too.
    set(idl_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/idl)
    set(common ${arch} -I${idl_dir} -L${TAMREL_STDOLE2_DIR})
    add_custom_command(
        OUTPUT ${out}/${L_NAME}.tlb ${out}/${L_NAME}.h ${out}/${L_NAME}_i.c
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${TAMREL_WIDL} ${common} -t -o ${out}/${L_NAME}.tlb ${idl}
        COMMAND ${TAMREL_WIDL} ${common} -h -o ${out}/${L_NAME}.h ${idl}
        COMMAND ${TAMREL_WIDL} ${common} -u -o ${out}/${L_NAME}_i.c ${idl}
        DEPENDS ${idl} ${idl_dir}/oaidl.idl
        VERBATIM)
    add_library(${target} OBJECT ${out}/${L_NAME}_i.c ${out}/${L_NAME}.h)
    target_include_directories(${target} PUBLIC ${out})
    set_target_properties(${target} PROPERTIES TAMREL_TYPELIB ${out}/${L_NAME}.tlb)
endfunction()

# tamrel_embed_typelib(<program> <typelib target>)
# Links the type library's GUIDs into the program and carries the library as resource "TYPELIB" 1.
function(tamrel_embed_typelib target typelib)
    get_target_property(tlb ${typelib} TAMREL_TYPELIB)
    tamrel_add_resources(${target}_typelib TYPELIB ${tlb} DEPENDS ${typelib})
    target_link_libraries(${target} PRIVATE ${typelib} ${target}_typelib)
endfunction()

# tamrel_add_resources(<target> [BITMAPS <dir> <name>...] [FORMS <dir> <class>...]
#                      [RCDATA <name> <file>...] [TYPELIB <file>] [DEPENDS <target>...])
# An object library <target> of one resource script that the build writes: BITMAPS the bitmaps
# <dir>/<name>.bmp as resources <name>; FORMS the stored forms <dir>/<class>.txt as RCDATA named
# after the class in upper case, where the host looks a form up; RCDATA pairs of a resource name
# and a file; TYPELIB a type library as resource "TYPELIB" 1. Relative paths are taken from the
# calling folder. The script is compiled again when one of its files changes; DEPENDS names the
# targets that make them. The module that carries the resources links <target> or takes its
# $<TARGET_OBJECTS> (resources do not come out of an archive).
function(tamrel_add_resources target)
    cmake_parse_arguments(R "" "TYPELIB" "BITMAPS;FORMS;RCDATA;DEPENDS" ${ARGN})
    set(script "// Generated: the resources of ${target}.\n")
    set(files "")
    if(R_BITMAPS)
        list(POP_FRONT R_BITMAPS dir)
        foreach(name ${R_BITMAPS})
            _tamrel_resource(${name} BITMAP ${dir}/${name}.bmp)
        endforeach()
    endif()
    if(R_FORMS)
        list(POP_FRONT R_FORMS dir)
        foreach(class ${R_FORMS})
            string(TOUPPER ${class} name)
            _tamrel_resource(${name} RCDATA ${dir}/${class}.txt)
        endforeach()
    endif()
    while(R_RCDATA)
        list(POP_FRONT R_RCDATA name file)
        _tamrel_resource(${name} RCDATA ${file})
    endwhile()
    if(R_TYPELIB)
        _tamrel_resource(1 TYPELIB ${R_TYPELIB})
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    file(CONFIGURE OUTPUT ${rc} CONTENT "${script}" @ONLY)
    add_library(${target} OBJECT ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${files}")
    if(R_DEPENDS)
        add_dependencies(${target} ${R_DEPENDS})
    endif()
endfunction()

# One line of the script tamrel_add_resources writes, and its file among those it depends on.
macro(_tamrel_resource name type file)
    set(_tamrel_path "${file}")
    cmake_path(ABSOLUTE_PATH _tamrel_path BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
    list(APPEND files ${_tamrel_path})
    string(APPEND script "${name} ${type} \"${_tamrel_path}\"\n")
endmacro()
