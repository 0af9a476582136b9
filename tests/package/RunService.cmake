# cmake -DWINE=<wine64> -DPROGRAM=<service program> -DSERVICE=<service name>
#       [-DCLIENT=<script.js> -DCLIENT_PRINTS=<text> -DPROGID=<ProgID>] -P RunService.cmake
# Drives a service program as the README tells a user to: /install, /start:<name>, /stop:<name>,
# /uninstall. Each command must end with status 0, and after each the service manager must show,
# within a deadline, the state the command brings: installed and stopped, running, stopped, gone.
# A COM service is started by its client instead: the script runs under Wine's cscript, must end
# with status 0 and print CLIENT_PRINTS, and the service must then be running; PROGID must be
# registered from /install to /uninstall.
# A leftover service of the same name is removed first; a failure removes the service again.
cmake_minimum_required(VERSION 3.25)

function(service_state out)
    execute_process(COMMAND ${WINE} sc query ${SERVICE} OUTPUT_VARIABLE text ERROR_QUIET RESULT_VARIABLE rc)
    if(text MATCHES "STATE +: +[0-9]+ +([A-Z_]+)")
        set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
    else()
        set(${out} GONE PARENT_SCOPE)
    endif()
endfunction()

function(wait_state want)
    string(TIMESTAMP start "%s")
    while(TRUE)
        service_state(state)
        if(state STREQUAL want)
            return()
        endif()
        string(TIMESTAMP now "%s")
        math(EXPR waited "${now} - ${start}")
        if(waited GREATER 60)
            cleanup()
            message(FATAL_ERROR "${SERVICE} is ${state} after 60 s; expected ${want}")
        endif()
        execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.25)
    endwhile()
endfunction()

function(cleanup)
    service_state(state)
    if(NOT state STREQUAL "GONE")
        execute_process(COMMAND ${WINE} ${PROGRAM} /uninstall TIMEOUT 120 OUTPUT_QUIET ERROR_QUIET)
    endif()
endfunction()

function(run_command argument want)
    message(STATUS "${PROGRAM} ${argument}")
    execute_process(COMMAND ${WINE} ${PROGRAM} ${argument} TIMEOUT 120 RESULT_VARIABLE rc
                    OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc STREQUAL "0")
        cleanup()
        message(FATAL_ERROR "${argument} ended with status ${rc}\n${out}${err}")
    endif()
    wait_state(${want})
endfunction()

function(expect_progid want)
    execute_process(COMMAND ${WINE} reg query "HKCR\\${PROGID}" OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0)
        set(state registered)
    else()
        set(state missing)
    endif()
    if(NOT state STREQUAL want)
        cleanup()
        message(FATAL_ERROR "the ProgID ${PROGID} is ${state}; expected ${want}")
    endif()
endfunction()

function(run_client)
    # Wine's programs take Windows paths: the script through the drive that maps the root.
    string(REPLACE "/" "\\" script "Z:${CLIENT}")
    message(STATUS "cscript //nologo ${script}")
    execute_process(COMMAND ${WINE} cscript //nologo ${script} TIMEOUT 120 RESULT_VARIABLE rc
                    OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(FIND "${out}" "${CLIENT_PRINTS}" at)
    if(NOT rc STREQUAL "0" OR at EQUAL -1)
        cleanup()
        message(FATAL_ERROR "the client ended with status ${rc}; expected 0 and \"${CLIENT_PRINTS}\"\n${out}${err}")
    endif()
    wait_state(RUNNING)
endfunction()

cleanup()
wait_state(GONE)
run_command(/install STOPPED)
if(CLIENT)
    expect_progid(registered)
    run_client()
else()
    run_command(/start:${SERVICE} RUNNING)
endif()
run_command(/stop:${SERVICE} STOPPED)
run_command(/uninstall GONE)
if(CLIENT)
    expect_progid(missing)
endif()
