# cmake -DOBJDUMP=<objdump> -DDLL=<dll> -DNAMES=<name,name...> -P CheckExports.cmake
# Fails the build when the DLL's export name table lacks one of the names exactly as written.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump -p ${DLL} failed (${rc})")
endif()
string(REPLACE "," ";" names "${NAMES}")
foreach(name ${names})
    string(REGEX MATCH "\\][ \t]+${name}\n" found "${dump}")
    if(NOT found)
        message(FATAL_ERROR "${DLL} does not export \"${name}\" under its plain name")
    endif()
endforeach()
