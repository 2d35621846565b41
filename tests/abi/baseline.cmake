# The interface compared with the committed baseline of the architecture
# being built (baselines/<arch>.abi), and the target that rewrites that
# baseline after an intended change (scripts/abi-baseline builds it).
find_program(TIDELINK_ABIDIFF abidiff DOC "libabigail's abidiff (Debian: abigail-tools)")
find_program(TIDELINK_ABIDW abidw DOC "libabigail's abidw (Debian: abigail-tools)")

if(NOT tidelink_arch)
    message(STATUS "No ABI baseline for ${CMAKE_SYSTEM_PROCESSOR}: Abi.MatchesBaseline is not registered.")
    return()
endif()
# The baselines hold glibc's typedefs (int32_t by way of __int32_t); musl's
# headers name the same types directly, which abidiff reports as changes.
if(CMAKE_C_COMPILER MATCHES "musl")
    message(STATUS "No ABI baseline for musl's headers: Abi.MatchesBaseline is not registered.")
    return()
endif()

# A missing abidiff fails the test with its reason rather than the configure
# step, so that the builds whose presets leave the abi label out still work.
set(abigail ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:tidelink_android>
    -DHEADERS=${PROJECT_SOURCE_DIR}/include
    -DBASELINE=${CMAKE_CURRENT_SOURCE_DIR}/baselines/${tidelink_arch}.abi)
add_test(NAME Abi.MatchesBaseline
    COMMAND ${abigail} -DMODE=compare -DABIDW=${TIDELINK_ABIDW} -DABIDIFF=${TIDELINK_ABIDIFF}
            -DCURRENT=${CMAKE_CURRENT_BINARY_DIR}/${tidelink_arch}.abi -P ${CMAKE_CURRENT_SOURCE_DIR}/abigail.cmake)
set_tests_properties(Abi.MatchesBaseline PROPERTIES LABELS abi)

add_custom_target(tidelink_abi_baseline
    COMMAND ${abigail} -DMODE=write -DABIDW=${TIDELINK_ABIDW} -P ${CMAKE_CURRENT_SOURCE_DIR}/abigail.cmake
    DEPENDS tidelink_android
    COMMENT "Writing the ${tidelink_arch} ABI baseline"
    VERBATIM)
