# Preprocesses the header as a foreign-function parser's user does (its own
# stand-ins for the standard headers) and checks that what is left is plain C
# declarations: with TIDELINK_DECLARATIONS_ONLY, and as a compiler that is
# neither GCC nor Clang sees it.
# Run as: cmake -DCC=<compiler> -DHEADER_DIR=<include dir> -DWORK=<dir> -P plain_declarations.cmake
file(MAKE_DIRECTORY ${WORK}/stubs)
file(WRITE ${WORK}/stubs/stddef.h "")
file(WRITE ${WORK}/stubs/stdint.h "")

set(functions udpCreate udpBind udpGetEndPoint udpLastError udpSendTo udpRecvFrom udpRecvPoll
    udpClose udpPlatform udpPlatformErrorString udpGetHighPrecisionTime)

function(preprocess name)
    execute_process(COMMAND ${CC} -E -P -nostdinc -I${WORK}/stubs -I${HEADER_DIR} ${ARGN} ${HEADER_DIR}/tidelink.h
        OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${name}: the preprocessor failed:\n${errors}")
    endif()
    foreach(function IN LISTS functions)
        if(NOT text MATCHES "[ *]${function}\\(")
            message(FATAL_ERROR "${name}: ${function} is not declared in:\n${text}")
        endif()
    endforeach()
    set(${name} "${text}" PARENT_SCOPE)
endfunction()

preprocess(declarations -DTIDELINK_DECLARATIONS_ONLY)
foreach(word __attribute__ _Static_assert static_assert sizeof offsetof TIDELINK_)
    if(declarations MATCHES "${word}")
        message(FATAL_ERROR "TIDELINK_DECLARATIONS_ONLY left '${word}' in:\n${declarations}")
    endif()
endforeach()

preprocess(other_compiler -U__GNUC__ -U__clang__)
if(other_compiler MATCHES "__attribute__")
    message(FATAL_ERROR "a compiler that is not GCC or Clang is handed __attribute__:\n${other_compiler}")
endif()
message(STATUS "plain declarations:\n${declarations}")
