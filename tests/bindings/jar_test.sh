#!/bin/sh
# Runs BindingTest.java on a jar as a user meets it: the jar alone on the
# class path, no library path; Debian's JNA beside it serves the test's own
# signals, not the binding.
# Run as: jar_test.sh JAR [JAVA JNA_JAR] (by default the JDK's java and javac
# named by TIDELINK_JAVA and TIDELINK_JAVAC, or those on PATH, and Debian's JNA).
set -eu
jar=$(realpath "$1") java=${2:-${TIDELINK_JAVA:-java}} jna=${3:-/usr/share/java/jna.jar}
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
# The test uses the JDK's own signal API, which javac always warns about.
"${TIDELINK_JAVAC:-javac}" -nowarn -cp "$jar:$jna" -d "$here" "$(dirname "$0")/BindingTest.java"
# JDK 24 and later warn of the binding's System.load unless native access is
# allowed, as the binding's users are told to.
env -u LD_LIBRARY_PATH "$java" --enable-native-access=ALL-UNNAMED -cp "$jar:$jna:$here" BindingTest
