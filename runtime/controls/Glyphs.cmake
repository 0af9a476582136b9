# The glyph bitmaps of the controls, drawn by tools/build/glyphgen, and the stored forms of the
# library's dialogs: resources of the run-time library, loaded from its own module. A program
# that compiles the library in gets them through the static library's interface.
get_target_property(glyphgen tamrel_glyphgen TAMREL_TOOL)
set(TAMREL_GLYPH_DIR ${PROJECT_BINARY_DIR}/glyphs)
set(TAMREL_GLYPH_NAMES
    RKBM_CHECK_ON RKBM_CHECK_OFF RKBM_CHECK_GRAY RKBM_CHECK_ON_DISABLED RKBM_CHECK_OFF_DISABLED
    RKBM_RADIO_ON RKBM_RADIO_OFF RKBM_RADIO_ON_DISABLED RKBM_RADIO_OFF_DISABLED
    SID_USER SID_GROUP SID_WORLD SID_OWNER SID_DIALUP SID_NETWORK SID_BATCH SID_INTERACTIVE SID_SERVICE
    SID_ANONYMOUS SID_BUILTIN SID_AUTHENTICATED SID_SYSTEM SID_ADMIN SID_GUEST SID_DOMAIN_ADMINS
    SID_DOMAIN_USERS SID_DOMAIN_GUESTS SID_ADMINS SID_USERS SID_GUESTS SID_POWER_USERS SID_BACKUP
    SID_REPLICATOR SID_SOURCE_COMPUTER SID_SOURCE_DOMAIN)
list(TRANSFORM TAMREL_GLYPH_NAMES REPLACE "(.+)" "${TAMREL_GLYPH_DIR}/\\1.bmp" OUTPUT_VARIABLE glyph_files)
add_custom_command(OUTPUT ${glyph_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAMREL_GLYPH_DIR}
    COMMAND ${glyphgen} ${TAMREL_GLYPH_DIR}
    DEPENDS tamrel_glyphgen ${glyphgen}
    COMMENT "Drawing the glyph bitmaps"
    VERBATIM)
add_custom_target(tamrel_glyph_files DEPENDS ${glyph_files})

tamrel_add_resources(tamrel_glyphs
    BITMAPS ${TAMREL_GLYPH_DIR} ${TAMREL_GLYPH_NAMES}
    FORMS forms TRkExplicitAccessEditorForm TRkSecurityDescriptorEditorForm
    DEPENDS tamrel_glyph_files)
