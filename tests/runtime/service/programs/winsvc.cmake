# Programs and test entries of the service-control layer and the debug library.

# Both link the compiler's run-time statically so that a copy runs from any directory.
add_executable(winsvc_probe ${CMAKE_CURRENT_LIST_DIR}/winsvc_probe.cpp)
target_link_libraries(winsvc_probe PRIVATE ${TAMREL_RT}_static tamrel_service_internal)
target_link_options(winsvc_probe PRIVATE -municode -static)

add_executable(winsvc_tinysvc ${CMAKE_CURRENT_LIST_DIR}/winsvc_tinysvc.cpp)
target_link_libraries(winsvc_tinysvc PRIVATE ${TAMREL_RT}_static)
target_link_options(winsvc_tinysvc PRIVATE -municode -static)

# Test copies of the debug library, built from its source under the fixed file name, each in a
# directory of its own beside a copy of the probe (the loader looks beside the program):
#   nooptional   lacks the optional DebugChangeServiceConfig2
#   nosendvalue  lacks SendValue, in the middle of the binding order
#   nofirst      lacks the first export, DebugRegisterServiceCtrlHandlerW
#   nolib        no library at all
set(WINSVC_VARIANTS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/winsvc)
tamreldbg_add_library(winsvc_dbg_nooptional OUTPUT_DIR ${WINSVC_VARIANTS}/nooptional VARIANT no-optional
                      OMIT DebugChangeServiceConfig2 DebugRegisterServiceCtrlHandlerExW)
tamreldbg_add_library(winsvc_dbg_nosendvalue OUTPUT_DIR ${WINSVC_VARIANTS}/nosendvalue VARIANT no-SendValue
                      OMIT SendValue)
tamreldbg_add_library(winsvc_dbg_nofirst OUTPUT_DIR ${WINSVC_VARIANTS}/nofirst VARIANT no-first
                      OMIT DebugRegisterServiceCtrlHandlerW)
foreach(variant nooptional nosendvalue nofirst nolib)
    add_custom_command(TARGET winsvc_probe POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${WINSVC_VARIANTS}/${variant}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:winsvc_probe> ${WINSVC_VARIANTS}/${variant}/)
endforeach()

if(TARGET service_tests)
    add_dependencies(service_tests winsvc_probe winsvc_tinysvc ${TAMREL_DBG} winsvc_dbg_nooptional
                     winsvc_dbg_nosendvalue winsvc_dbg_nofirst)
    # The tests that start services under Wine's manager: serialised, and skipped in the
    # unserialised "service" entry.
    tamrel_add_test(NAME winsvc_scm COMMAND service_tests ARGS --gtest_filter=WinSvcScm.* LOCK
                    ENVIRONMENT TAMREL_LOCKED_TESTS=1)
endif()
