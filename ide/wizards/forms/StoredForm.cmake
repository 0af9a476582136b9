# Writes the stored form of a wizard module from its skeleton: a line "@TEMPLATE <Name> <Key>@"
# becomes the binary value of a template engine, the template <TEMPLATES>/<Name>.pas scrambled as
# the engine stores it (key length, key XOR position, text length, text XOR key); a line
# "@ICON <Name>@" becomes the bytes of a 32 x 32, 16-colour icon (766 bytes) made from the
# palette bitmap <ICONS>/<Name>.bmp. Both keep the placeholder's indent, 32 bytes a line.
# cmake -DFORM=<skeleton> -DTEMPLATES=<dir> -DICONS=<dir> -DOUTPUT=<file> -P StoredForm.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/TemplateScramble.cmake)

function(scrambled_template name key out)
    file(READ ${TEMPLATES}/${name}.pas text)
    tamrel_scrambled_block("${key}" "${text}" block)
    set(${out} "${block}" PARENT_SCOPE)
endfunction()

# The icon: directory and entry, then the bitmap's header (height doubled for the mask), palette
# and pixels, then an AND mask that keeps every pixel.
function(icon_bytes name out)
    file(READ ${ICONS}/${name}.bmp bmp HEX)
    string(LENGTH "${bmp}" length)
    if(NOT length EQUAL 1260)
        message(FATAL_ERROR "${ICONS}/${name}.bmp is not a 32 x 32 16-colour bitmap")
    endif()
    string(TOUPPER "${bmp}" bmp)
    set(icon "0000010001002020100001000400E802000016000000")
    string(SUBSTRING "${bmp}" 28 16 head)        # size, width
    string(SUBSTRING "${bmp}" 52 16 planes)      # planes, bit count, compression
    string(SUBSTRING "${bmp}" 76 1184 rest)      # resolution, colours, palette, pixels
    string(APPEND icon "${head}40000000${planes}80020000${rest}")
    string(REPEAT "00" 128 mask)
    string(APPEND icon "${mask}")
    set(${out} "${icon}" PARENT_SCOPE)
endfunction()

file(STRINGS ${FORM} lines)
set(form "")
foreach(line IN LISTS lines)
    if(line MATCHES "^( *)@TEMPLATE ([A-Za-z]+) ([0-9A-F]+)@$")
        set(indent "${CMAKE_MATCH_1}")
        scrambled_template(${CMAKE_MATCH_2} ${CMAKE_MATCH_3} block)
        tamrel_hex_lines("${indent}" "${block}" form)
    elseif(line MATCHES "^( *)@ICON ([A-Za-z]+)@$")
        set(indent "${CMAKE_MATCH_1}")
        icon_bytes(${CMAKE_MATCH_2} icon)
        tamrel_hex_lines("${indent}" "${icon}" form)
    else()
        string(APPEND form "${line}\r\n")
    endif()
endforeach()
file(WRITE ${OUTPUT} "${form}")
