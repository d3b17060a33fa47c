# Shared compile settings, applied per target so no directory-wide flags leak into third-party code.

function(korvex_configure_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
    # Lets a statically linked program leave out what it does not call (see KORVEX_STATIC_CLI).
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
    if(KORVEX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(KORVEX_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all)
    endif()
endfunction()
