# The command-line converter starts without Qt: no library it loads at start-up, directly or through another,
# may be a Qt library. Built with KORVEX_STATIC_CLI it must load none at all, since its start-up time rests on
# that. Run as: cmake -DPROGRAM=<korvex-cli> -DSTATIC=ON|OFF -P LinksNoQt.cmake
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries ERROR_VARIABLE errors RESULT_VARIABLE status)
if("${libraries}${errors}" MATCHES "not a dynamic executable|statically linked")
    message(STATUS "${PROGRAM} is statically linked and loads no library")
    return()
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ldd ${PROGRAM} failed")
endif()
if(STATIC)
    message(FATAL_ERROR "${PROGRAM} should be statically linked but loads:\n${libraries}")
endif()
string(REGEX MATCHALL "[^\n\t ]*(Qt|icu)[^\n\t ]*" qt "${libraries}")
if(qt)
    message(FATAL_ERROR "${PROGRAM} loads ${qt}")
endif()
message(STATUS "${PROGRAM} loads no Qt library")
