#!/bin/sh
# Runs BindingTest.java on a jar as a user meets it: the jar alone on the
# class path, no library path; Debian's JNA beside it serves the test's own
# signals, not the binding.
# Run as: jar_test.sh JAR
set -eu
jar=$(realpath "$1") jna=/usr/share/java/jna.jar
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
# The test uses the JDK's own signal API, which javac always warns about.
javac -nowarn -cp "$jar:$jna" -d "$here" "$(dirname "$0")/BindingTest.java"
env -u LD_LIBRARY_PATH java -cp "$jar:$jna:$here" BindingTest
