# The first settings a portable copy finds beside the executable: the two tool-change blocks, so that it
# starts without an error, and the shipped korvex.INI, so that its first start shows the same values as an
# installed one's (which copies the same three files from share/korvex/). They are copied only when absent:
# the files beside the executable are the user's saved settings, and a rebuild must never replace them.
#
#   korvex_install_default_macros(<target>)   after add_executable(<target> ...)
#
# Run as a script (cmake -P), this file copies SOURCE to DESTINATION unless DESTINATION exists.

if(CMAKE_SCRIPT_MODE_FILE)
    if(NOT EXISTS "${DESTINATION}")
        file(COPY_FILE "${SOURCE}" "${DESTINATION}")
    endif()
    return()
endif()

set(KORVEX_DEFAULT_MACROS_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(korvex_install_default_macros target)
    foreach(source IN ITEMS resources/TxMacroBefore.txt resources/TxMacroAfter.txt resources/install/korvex.INI)
        get_filename_component(name ${source} NAME)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/${source}
                    -DDESTINATION=$<TARGET_FILE_DIR:${target}>/${name} -P ${KORVEX_DEFAULT_MACROS_SCRIPT}
            VERBATIM)
    endforeach()
endfunction()

# The Readme with the warranty conditions beside the executable, where the About box says it is. Unlike the
# blocks it is ours, not the user's: it follows every change of its source.
function(korvex_copy_readme target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/resources/install/Readme.txt
                $<TARGET_FILE_DIR:${target}>/Readme.txt
        VERBATIM)
endfunction()
