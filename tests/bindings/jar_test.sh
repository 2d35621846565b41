#!/bin/sh
# Runs BindingTest.java on a jar as a user meets it: the jar and Debian's JNA
# alone on the class path, no jna.library.path, no library path.
# Run as: jar_test.sh JAR [JAVA JNA_JAR] (by default this machine's java and JNA).
set -eu
jar=$(realpath "$1") java=${2:-java} jna=${3:-/usr/share/java/jna.jar}
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
# The test uses the JDK's own signal API, which javac always warns about.
javac -nowarn -cp "$jar:$jna" -d "$here" "$(dirname "$0")/BindingTest.java"
env -u LD_LIBRARY_PATH "$java" -cp "$jar:$jna:$here" BindingTest
