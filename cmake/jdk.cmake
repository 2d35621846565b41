# The JDK the Java binding builds and tests with: the one JAVA_HOME names,
# else the one that owns javac on PATH (through the links Debian's
# alternatives make), else one in the usual folders. Only a JDK with jni.h
# counts. Included, it sets TIDELINK_JDK to that JDK's home ("" for none);
# run as `cmake -P`, it fails where there is none, which is how
# scripts/install-deps asks.
set(tidelink_jdks $ENV{JAVA_HOME})
find_program(tidelink_javac javac NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
if(tidelink_javac)
    file(REAL_PATH ${tidelink_javac} tidelink_javac)
    get_filename_component(tidelink_javac_bin ${tidelink_javac} DIRECTORY)
    get_filename_component(tidelink_javac_home ${tidelink_javac_bin} DIRECTORY)
    list(APPEND tidelink_jdks ${tidelink_javac_home})
endif()
file(GLOB tidelink_jvm_folders LIST_DIRECTORIES true /usr/lib/jvm/*)
list(APPEND tidelink_jdks /usr/lib/jvm/default-java ${tidelink_jvm_folders})

set(TIDELINK_JDK "")
foreach(tidelink_jdk IN LISTS tidelink_jdks)
    if(EXISTS ${tidelink_jdk}/include/jni.h AND EXISTS ${tidelink_jdk}/bin/javac)
        set(TIDELINK_JDK ${tidelink_jdk})
        break()
    endif()
endforeach()
if(CMAKE_SCRIPT_MODE_FILE AND NOT TIDELINK_JDK)
    message(FATAL_ERROR "no JDK with jni.h")
endif()
