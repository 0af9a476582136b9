# cmake -DUSE=subdir|package -DSOURCE_DIR=<checkout> -DBUILD_DIR=<this tree's build>
#       -DTOOLCHAIN=<toolchain file> -DWORK_DIR=<scratch> -DSERVICE_SOURCE=<program.cpp>
#       [-DCOM_SERVICE_SOURCE=<program.cpp> -DCOM_SERVICE_IDL=<library.idl>] -P UseAsPackage.cmake
# Builds the outside project of consumer/ into WORK_DIR/<USE>/build, with the checkout added as a
# subdirectory, or with the library installed from BUILD_DIR into WORK_DIR/package/prefix and
# found as a package, under the same toolchain as BUILD_DIR.
cmake_minimum_required(VERSION 3.25)
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc STREQUAL "0")
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}${err}")
    endif()
endfunction()

set(consumer ${WORK_DIR}/${USE})
file(REMOVE_RECURSE ${consumer})
set(args -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${consumer}/build -G Ninja
         -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release
         -DTAMREL_USE=${USE} -DSERVICE_SOURCE=${SERVICE_SOURCE}
         -DCOM_SERVICE_SOURCE=${COM_SERVICE_SOURCE} -DCOM_SERVICE_IDL=${COM_SERVICE_IDL})
if(USE STREQUAL "subdir")
    list(APPEND args -DTAMREL_SOURCE_DIR=${SOURCE_DIR})
else()
    set(prefix ${consumer}/prefix)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
    list(APPEND args -DCMAKE_PREFIX_PATH=${prefix})
endif()
message(STATUS "configuring the outside project (${USE})")
run(${CMAKE_COMMAND} ${args})
message(STATUS "building the outside project (${USE})")
set(jobs $ENV{JOBS})
if(NOT jobs)
    set(jobs 2)
endif()
run(${CMAKE_COMMAND} --build ${consumer}/build -j ${jobs})

