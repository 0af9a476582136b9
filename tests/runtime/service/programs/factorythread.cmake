# The factory thread's create/release cycles, run in processes of their own.
add_executable(factorythread_probe ${CMAKE_CURRENT_LIST_DIR}/factorythread_probe.cpp)
target_link_libraries(factorythread_probe PRIVATE ${TAMREL_RT}_static)
target_link_options(factorythread_probe PRIVATE -municode)
if(TARGET service_tests)
    add_dependencies(service_tests factorythread_probe)
endif()
