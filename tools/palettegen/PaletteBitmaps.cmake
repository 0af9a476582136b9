# tamrel_palette_bitmaps(<target> SIZE <pixels> NAMES <NAME[:8]>...)
# An object library <target> holding one bitmap resource per name (the class name in upper
# case), drawn by tools/palettegen (built for and run on the build machine): 16 colours, or 256
# for a name given as NAME:8. Link it into the package that registers those classes.
function(tamrel_palette_bitmaps target)
    cmake_parse_arguments(P "" "SIZE" "NAMES" ${ARGN})
    set(generator ${PROJECT_BINARY_DIR}/tools/palettegen/palettegen)
    if(NOT TARGET tamrel_palettegen)
        find_program(TAMREL_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
        add_custom_command(OUTPUT ${generator}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/tools/palettegen
            COMMAND ${TAMREL_HOST_CXX} -std=c++17 -O1 -o ${generator} ${PROJECT_SOURCE_DIR}/tools/palettegen/palettegen.cpp
            DEPENDS ${PROJECT_SOURCE_DIR}/tools/palettegen/palettegen.cpp
            COMMENT "Building the palette bitmap generator for the build machine")
        add_custom_target(tamrel_palettegen DEPENDS ${generator})
    endif()
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
    set(files "")
    set(rc "// Generated: palette bitmaps.\n")
    foreach(entry ${P_NAMES})
        string(REGEX REPLACE ":8$" "" name ${entry})
        list(APPEND files ${dir}/${name}.bmp)
        string(APPEND rc "${name} BITMAP \"${dir}/${name}.bmp\"\n")
    endforeach()
    file(CONFIGURE OUTPUT ${dir}/${target}.rc CONTENT "${rc}")
    add_custom_command(OUTPUT ${files}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${generator} ${dir} ${P_SIZE} ${P_NAMES}
        DEPENDS tamrel_palettegen ${generator}
        COMMENT "Drawing the palette bitmaps of ${target}")
    add_custom_target(${target}_files DEPENDS ${files})
    add_library(${target} OBJECT ${dir}/${target}.rc)
    set_source_files_properties(${dir}/${target}.rc PROPERTIES OBJECT_DEPENDS "${files}")
    add_dependencies(${target} ${target}_files)
endfunction()
