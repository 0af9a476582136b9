# tamrel_palette_bitmaps(<target> SIZE <pixels> NAMES <NAME[:8]>...)
# An object library <target> holding one bitmap resource per name (the class name in upper
# case), drawn by palettegen: 16 colours, or 256 for a name given as NAME:8. Link it into the
# package that registers those classes.
function(tamrel_palette_bitmaps target)
    cmake_parse_arguments(P "" "SIZE" "NAMES" ${ARGN})
    get_target_property(palettegen tamrel_palettegen TAMREL_TOOL)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
    set(names "")
    set(files "")
    foreach(entry ${P_NAMES})
        string(REGEX REPLACE ":8$" "" name ${entry})
        list(APPEND names ${name})
        list(APPEND files ${dir}/${name}.bmp)
    endforeach()
    add_custom_command(OUTPUT ${files}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${palettegen} ${dir} ${P_SIZE} ${P_NAMES}
        DEPENDS tamrel_palettegen ${palettegen}
        COMMENT "Drawing the palette bitmaps of ${target}"
        VERBATIM)
    add_custom_target(${target}_files DEPENDS ${files})
    tamrel_add_resources(${target} BITMAPS ${dir} ${names} DEPENDS ${target}_files)
endfunction()
