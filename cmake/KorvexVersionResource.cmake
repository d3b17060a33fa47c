# The version resource of our executables: resources/version.rc becomes, at build time, a version block in
# the published layout inside the ELF section .korvex.version, where the version reader finds it.

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/../tools ${PROJECT_BINARY_DIR}/tools)

set(KORVEX_VERSION_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../resources/version.rc)
cmake_path(NORMAL_PATH KORVEX_VERSION_SCRIPT)

# Gives <target> the version block. The block is generated per target in the caller's folder, so the rule
# lives beside the target that compiles it.
function(korvex_embed_version_resource target)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_resource.cpp)
    add_custom_command(
        OUTPUT ${source}
        COMMAND korvex-versiongen ${KORVEX_VERSION_SCRIPT} ${source}
        DEPENDS korvex-versiongen ${KORVEX_VERSION_SCRIPT}
        COMMENT "Generating the version resource of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${source})
endfunction()
