# The library's binary interface as libabigail reads it from the debug
# information: the exported functions, their parameter and result types, and
# every type those reach. The record behind a handle, defined in src/, stays
# opaque, as hosts see it.
#   cmake -DMODE=compare -DABIDW=... -DABIDIFF=... -DLIBRARY=... -DHEADERS=... -DBASELINE=... -DCURRENT=... -P abigail.cmake
#   cmake -DMODE=write   -DABIDW=...               -DLIBRARY=... -DHEADERS=... -DBASELINE=... -P abigail.cmake
# compare writes the library's description to CURRENT, for a look beside the
# baseline, then compares the library with the baseline.
cmake_minimum_required(VERSION 3.25)

foreach(required MODE ABIDW LIBRARY HEADERS BASELINE)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "abigail.cmake needs -D${required}=...")
    endif()
endforeach()
if(NOT ABIDW OR (MODE STREQUAL "compare" AND NOT ABIDIFF))
    message(FATAL_ERROR "abidw or abidiff not found: install Debian's abigail-tools")
endif()

# Written with the public header's folder as the only one whose types are
# public, so the record behind a handle becomes a bare declaration, which
# abidiff matches with any definition of the same name. No paths, source
# lines, NEEDED entries or parameter names go into the file, and type ids are
# hashes: a baseline changes only when the interface does, whichever compiler
# built the library.
function(describe file)
    execute_process(COMMAND ${ABIDW} --headers-dir ${HEADERS} --drop-private-types
            --exported-interfaces-only --no-corpus-path --no-comp-dir-path --no-show-locs
            --short-locs --no-elf-needed --no-parameter-names --type-id-style hash
            --out-file ${file} ${LIBRARY}
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "abidw failed (${result}) on ${LIBRARY}")
    endif()
    # Without debug information abidw still writes the symbols, but no types,
    # and abidiff then finds nothing to compare. (From libabigail 2.3 on it
    # lists the undefined symbols too, some with declarations.)
    file(STRINGS ${file} symbols REGEX "<elf-symbol .*is-defined='yes'")
    file(READ ${file} description)
    list(LENGTH symbols symbol_count)
    set(declaration_count 0)
    foreach(symbol IN LISTS symbols)
        string(REGEX MATCH "name='([^']*)'" name "${symbol}")
        string(FIND "${description}" "elf-symbol-id='${CMAKE_MATCH_1}'" at)
        if(NOT at EQUAL -1)
            math(EXPR declaration_count "${declaration_count} + 1")
        endif()
    endforeach()
    if(symbol_count EQUAL 0 OR NOT symbol_count EQUAL declaration_count)
        file(REMOVE ${file})
        message(FATAL_ERROR "${LIBRARY} exports ${symbol_count} functions and has debug "
            "information for ${declaration_count}: build it with -g (RelWithDebInfo)")
    endif()
endfunction()

if(MODE STREQUAL "write")
    describe(${BASELINE})
    message(STATUS "wrote ${BASELINE}")
elseif(MODE STREQUAL "compare")
    if(NOT EXISTS ${BASELINE})
        message(FATAL_ERROR "no baseline ${BASELINE}: write it with scripts/abi-baseline")
    endif()
    describe(${CURRENT})
    # The library's own types are read in full: the fixed-width integer types
    # come from the C library's headers, and abidiff ignores changes to types
    # from outside a headers folder it is given. It also counts some changes
    # as harmless and lets them pass, a parameter turned from int32_t to
    # uint32_t among them; a host's declaration would be wrong all the same,
    # so --harmless reports, and fails, those too.
    execute_process(COMMAND ${ABIDIFF} --no-default-suppression --harmless
            --suppressions ${CMAKE_CURRENT_LIST_DIR}/opaque_handle.suppr
            --exported-interfaces-only ${BASELINE} ${LIBRARY}
        OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE result)
    if(report)
        message("${report}")
    endif()
    # abidiff's status is a bit set: 1 error, 2 usage, 4 a change, 8 an incompatible one.
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "abidiff answered ${result}: the interface differs from "
            "${BASELINE} (the library's is in ${CURRENT}), or could not be read. For an "
            "intended change, run scripts/abi-baseline, commit the new baselines and raise "
            "the minor version (docs/abi.md, 'Changing the interface').")
    endif()
    message(STATUS "the interface matches ${BASELINE}")
else()
    message(FATAL_ERROR "unknown MODE '${MODE}'")
endif()
