# Shared compile settings, applied per target so no directory-wide flags leak into third-party code.

# Debian's hardening (what `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives): for the package
# build (`make package`); the test and sanitizer builds keep their flags.
option(KORVEX_HARDENING "Build with Debian's hardening flags (PIE, bindnow, relro, fortify, stack protector)" OFF)
set(KORVEX_HARDENING_COMPILE_OPTIONS -fPIE -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection
                                     -Wformat -Werror=format-security)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
    list(APPEND KORVEX_HARDENING_COMPILE_OPTIONS -fcf-protection)
endif()
# korvex-cli links as static PIE with its own options; bindnow and relro apply to it as well.
set(KORVEX_HARDENING_LINK_OPTIONS -Wl,-z,relro -Wl,-z,now)

function(korvex_configure_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
    # Lets a statically linked program leave out what it does not call (see KORVEX_STATIC_CLI).
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
    if(KORVEX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(KORVEX_HARDENING AND NOT KORVEX_SANITIZE)
        target_compile_options(${target} PRIVATE ${KORVEX_HARDENING_COMPILE_OPTIONS})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            target_link_options(${target} PRIVATE ${KORVEX_HARDENING_LINK_OPTIONS})
        endif()
    endif()
    if(KORVEX_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all)
    endif()
endfunction()
