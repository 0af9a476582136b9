# Probe programs of the version tests and the event-log writer: the tests run them as children
# (under a chosen Windows version, or with Wine's event-log channels on) and read what they print.
foreach(probe winver_probe eventlog_probe)
    add_executable(${probe} ${CMAKE_CURRENT_LIST_DIR}/${probe}.cpp)
    target_link_libraries(${probe} PRIVATE ${TAMREL_RT}_static)
    if(TARGET service_tests)
        add_dependencies(service_tests ${probe})
    endif()
endforeach()
