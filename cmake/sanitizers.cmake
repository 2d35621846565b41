# Sanitizer builds: every target is compiled and linked with the sanitizers
# that TIDELINK_SANITIZE names, as -fsanitize= takes them (empty: none). The
# fuzzer's build adds libFuzzer's coverage instrumentation to the same set.
set(TIDELINK_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined or thread")
set(tidelink_instrument ${TIDELINK_SANITIZE})
if(TIDELINK_BUILD_FUZZER)
    list(APPEND tidelink_instrument fuzzer-no-link)
endif()
if(tidelink_instrument)
    list(JOIN tidelink_instrument "," tidelink_instrument)
    # The first finding ends the run, so no report scrolls past unseen.
    add_compile_options(-fsanitize=${tidelink_instrument} -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${tidelink_instrument})
endif()
