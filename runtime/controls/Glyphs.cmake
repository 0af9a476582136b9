# The glyph bitmaps of the controls and the stored forms of the dialogs: drawn by tools/glyphgen (built for and run on the build
# machine), linked into the run-time library as bitmap resources and loaded from its own module.
# A program that compiles the library in gets them through the static library's interface.
find_program(TAMREL_HOST_CXX NAMES c++ g++ clang++ REQUIRED)

set(TAMREL_GLYPH_DIR ${PROJECT_BINARY_DIR}/glyphs)
set(TAMREL_GLYPHGEN ${PROJECT_BINARY_DIR}/tools/glyphgen/glyphgen)
set(TAMREL_GLYPH_NAMES
    RKBM_CHECK_ON RKBM_CHECK_OFF RKBM_CHECK_GRAY RKBM_CHECK_ON_DISABLED RKBM_CHECK_OFF_DISABLED
    RKBM_RADIO_ON RKBM_RADIO_OFF RKBM_RADIO_ON_DISABLED RKBM_RADIO_OFF_DISABLED
    SID_USER SID_GROUP SID_WORLD SID_OWNER SID_DIALUP SID_NETWORK SID_BATCH SID_INTERACTIVE SID_SERVICE
    SID_ANONYMOUS SID_BUILTIN SID_AUTHENTICATED SID_SYSTEM SID_ADMIN SID_GUEST SID_DOMAIN_ADMINS
    SID_DOMAIN_USERS SID_DOMAIN_GUESTS SID_ADMINS SID_USERS SID_GUESTS SID_POWER_USERS SID_BACKUP
    SID_REPLICATOR SID_SOURCE_COMPUTER SID_SOURCE_DOMAIN)

set(glyph_files "")
set(glyph_rc "// Generated: the glyph bitmaps of the controls.\n")
foreach(name ${TAMREL_GLYPH_NAMES})
    list(APPEND glyph_files ${TAMREL_GLYPH_DIR}/${name}.bmp)
    string(APPEND glyph_rc "${name} BITMAP \"${TAMREL_GLYPH_DIR}/${name}.bmp\"\n")
endforeach()
file(CONFIGURE OUTPUT ${TAMREL_GLYPH_DIR}/Tamrel_Glyphs.rc CONTENT "${glyph_rc}")

add_custom_command(OUTPUT ${TAMREL_GLYPHGEN}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/tools/glyphgen
    COMMAND ${TAMREL_HOST_CXX} -std=c++17 -O1 -o ${TAMREL_GLYPHGEN} ${PROJECT_SOURCE_DIR}/tools/glyphgen/glyphgen.cpp
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/glyphgen/glyphgen.cpp
    COMMENT "Building the glyph generator for the build machine")
add_custom_command(OUTPUT ${glyph_files}
    COMMAND ${TAMREL_GLYPHGEN} ${TAMREL_GLYPH_DIR}
    DEPENDS ${TAMREL_GLYPHGEN}
    COMMENT "Drawing the glyph bitmaps")
add_custom_target(tamrel_glyph_files DEPENDS ${glyph_files})

# The stored forms of the library's dialogs, one RCDATA per form class.
set(TAMREL_FORM_CLASSES TRkExplicitAccessEditorForm TRkSecurityDescriptorEditorForm)
set(form_files "")
set(forms_rc "// Generated: the stored forms of the library's dialogs.\n")
foreach(form ${TAMREL_FORM_CLASSES})
    set(file ${CMAKE_CURRENT_SOURCE_DIR}/forms/${form}.txt)
    list(APPEND form_files ${file})
    string(TOUPPER ${form} resource)
    string(APPEND forms_rc "${resource} RCDATA \"${file}\"\n")
endforeach()
file(CONFIGURE OUTPUT ${TAMREL_GLYPH_DIR}/Tamrel_Forms.rc CONTENT "${forms_rc}")

add_library(tamrel_glyphs OBJECT ${TAMREL_GLYPH_DIR}/Tamrel_Glyphs.rc ${TAMREL_GLYPH_DIR}/Tamrel_Forms.rc)
set_source_files_properties(${TAMREL_GLYPH_DIR}/Tamrel_Forms.rc PROPERTIES OBJECT_DEPENDS "${form_files}")
add_dependencies(tamrel_glyphs tamrel_glyph_files)
set_source_files_properties(${TAMREL_GLYPH_DIR}/Tamrel_Glyphs.rc PROPERTIES OBJECT_DEPENDS "${glyph_files}")
