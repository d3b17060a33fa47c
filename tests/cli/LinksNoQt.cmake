# The command-line converter starts without Qt: no library it loads at start-up, directly or through another,
# may be a Qt library. Run as: cmake -DPROGRAM=<korvex-cli> -P LinksNoQt.cmake
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ldd ${PROGRAM} failed")
endif()
string(REGEX MATCHALL "[^\n\t ]*(Qt|icu)[^\n\t ]*" qt "${libraries}")
if(qt)
    message(FATAL_ERROR "${PROGRAM} loads ${qt}")
endif()
message(STATUS "${PROGRAM} loads no Qt library")
