# tamrel_stored_form(<output> SKELETON <form.txt> TEMPLATES <dir> [ICONS <dir> DEPENDS <target>...])
# The stored form <output> written by formgen from its skeleton: the templates of <dir>
# scrambled into their engines, the icons drawn from the bitmaps of ICONS (which the targets of
# DEPENDS make). A target that carries the form depends on <output>.
function(tamrel_stored_form output)
    cmake_parse_arguments(F "" "SKELETON;TEMPLATES;ICONS" "DEPENDS" ${ARGN})
    get_target_property(formgen tamrel_formgen TAMREL_TOOL)
    file(GLOB templates CONFIGURE_DEPENDS ${F_TEMPLATES}/*.pas)
    get_filename_component(dir ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${formgen} ${F_SKELETON} ${output} ${F_TEMPLATES} ${F_ICONS}
        DEPENDS ${F_SKELETON} ${templates} tamrel_formgen ${formgen} ${F_DEPENDS}
        COMMENT "Writing the stored form ${output}"
        VERBATIM)
endfunction()
