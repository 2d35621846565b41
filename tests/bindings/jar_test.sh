#!/bin/sh
# Runs BindingTest.java on a jar as a user meets it: the jar and Debian's JNA
# alone on the class path, no jna.library.path, no library path.
# Run as: jar_test.sh JAR (the JDK's javac and java: those on PATH, or those
# named by TIDELINK_JAVAC and TIDELINK_JAVA)
set -eu
jar=$(realpath "$1") jna=/usr/share/java/jna.jar
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
# The test uses the JDK's own signal API, which javac always warns about.
"${TIDELINK_JAVAC:-javac}" -nowarn -cp "$jar:$jna" -d "$here" "$(dirname "$0")/BindingTest.java"
env -u LD_LIBRARY_PATH "${TIDELINK_JAVA:-java}" -cp "$jar:$jna:$here" BindingTest
