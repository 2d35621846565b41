# Sanitizer builds: every target is compiled and linked with the sanitizers
# that TIDELINK_SANITIZE names, as -fsanitize= takes them (empty: none).
set(TIDELINK_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined or thread")
if(TIDELINK_SANITIZE)
    # The first finding ends the run, so no report scrolls past unseen.
    add_compile_options(-fsanitize=${TIDELINK_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${TIDELINK_SANITIZE})
endif()
