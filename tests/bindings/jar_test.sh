#!/bin/sh
# Runs BindingTest.java's JUnit 5 cases, with Debian's console launcher, on a
# jar as a user meets it: the jar alone on the class path, no library path;
# Debian's JNA beside it serves the test's own signals, not the binding.
# Run as: jar_test.sh JAR [JAVA JNA_JAR] (by default the JDK's java and javac
# named by TIDELINK_JAVA and TIDELINK_JAVAC, or those on PATH, and Debian's
# JNA); the launcher is TIDELINK_JUNIT_CONSOLE, else Debian's junit5's.
set -eu
jar=$(realpath "$1") java=${2:-${TIDELINK_JAVA:-java}} jna=${3:-/usr/share/java/jna.jar}
junit=${TIDELINK_JUNIT_CONSOLE:-/usr/share/java/junit-platform-console-standalone.jar}
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
# The test uses the JDK's own signal API, which javac always warns about.
"${TIDELINK_JAVAC:-javac}" -nowarn -cp "$jar:$jna:$junit" -d "$here" "$(dirname "$0")/BindingTest.java"
# JDK 24 and later warn of the binding's System.load unless native access is
# allowed, as the binding's users are told to.
env -u LD_LIBRARY_PATH "$java" --enable-native-access=ALL-UNNAMED -jar "$junit" --disable-banner --disable-ansi-colors \
    --details=tree --fail-if-no-tests --class-path "$jar:$jna:$here" --select-class BindingTest
