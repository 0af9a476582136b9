# The service programs of the end-to-end tests: one source, built without a stored form
# (test_service) and with one carrying a start token (test_service_stored).
set(TEST_SERVICE_DIR ${CMAKE_CURRENT_LIST_DIR})
add_executable(test_service ${TEST_SERVICE_DIR}/TestService.cpp)
target_link_libraries(test_service PRIVATE ${TAMREL_RT} tamrel_service_internal)
target_link_options(test_service PRIVATE -municode)
add_executable(test_service_stored ${TEST_SERVICE_DIR}/TestService.cpp ${TEST_SERVICE_DIR}/TestServiceStored.rc)
target_link_libraries(test_service_stored PRIVATE ${TAMREL_RT}_static tamrel_service_internal)
target_link_options(test_service_stored PRIVATE -municode)
set_source_files_properties(${TEST_SERVICE_DIR}/TestServiceStored.rc PROPERTIES
    OBJECT_DEPENDS ${TEST_SERVICE_DIR}/TestServiceStored.txt)

# The test service alone in a folder of its own, without the debug library beside it (and
# without the compiler's run-time DLLs, which it does not need).
add_executable(test_service_alone ${TEST_SERVICE_DIR}/TestService.cpp)
target_link_libraries(test_service_alone PRIVATE ${TAMREL_RT}_static tamrel_service_internal)
target_link_options(test_service_alone PRIVATE -municode -static)
set_target_properties(test_service_alone PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/alone)

# End-to-end tests: they install and start real services in the prefix's service manager, so
# they run one at a time with every other test that starts services.
file(GLOB SERVICE_E2E_SOURCES CONFIGURE_DEPENDS ${TEST_SERVICE_DIR}/../e2e/*_test.cpp)
add_executable(service_e2e_tests ${SERVICE_E2E_SOURCES})
target_link_libraries(service_e2e_tests PRIVATE ${TAMREL_RT}_static tamrel_testsupport gtest_main)
add_dependencies(service_e2e_tests test_service test_service_stored test_service_alone)
tamrel_add_test(NAME service_e2e COMMAND service_e2e_tests LOCK TIMEOUT 1200)
