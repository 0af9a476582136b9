# Helpers shared by the project's CMake files.

# The compiler's own run-time DLLs sit beside our programs so that Wine (and a user) finds them.
function(tamrel_copy_mingw_runtime)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(EXISTS "${path}")
            file(COPY "${path}" DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
        endif()
    endforeach()
endfunction()

# tamrel_add_test(NAME <name> COMMAND <target> [ARGS ...] [TIMEOUT s] [LOCK] [LABELS ...])
# Registers a ctest entry run under the cross-compiling emulator. LOCK marks tests that start
# services: Wine's service manager serialises starts, so these never run side by side.
function(tamrel_add_test)
    cmake_parse_arguments(T "LOCK" "NAME;COMMAND;TIMEOUT" "ARGS;LABELS;ENVIRONMENT" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} ${T_ARGS}
             WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
    if(T_LOCK)
        set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK wine_services)
    endif()
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
    if(T_ENVIRONMENT)
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
endfunction()
