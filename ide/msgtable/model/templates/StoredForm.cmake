# Writes the stored form of TPasSourceModule: its three template engines, each template
# scrambled into its binary value "BDATA" as the template engine stores it (key length, key
# XOR position, text length, text XOR key).
# cmake -DTEMPLATES=<dir> -DOUTPUT=<file> -P StoredForm.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../../../cmake/TemplateScramble.cmake)

set(form "object PasSourceModule: TPasSourceModule\r\n")
set(keys txtPasSource=5A17C3E80B6D4F2911 txtPasMethodInterfaces=3C9E04B7D2618A5F70
         txtPasMethodImplementations=E14B7F0298C35D6A1B)
foreach(entry ${keys})
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 key)
    string(REGEX REPLACE "^txt" "" file "${name}")
    file(READ ${TEMPLATES}/${file}.pas text)
    tamrel_scrambled_block("${key}" "${text}" block)
    string(APPEND form "  object ${name}: TWQMacroText\r\n    BDATA = {\r\n")
    tamrel_hex_lines("      " "${block}" form)
    string(APPEND form "    }\r\n  end\r\n")
endforeach()
string(APPEND form "end\r\n")
file(WRITE ${OUTPUT} "${form}")
