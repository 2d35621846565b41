#!/usr/bin/env bash
# Runs README.md's install recipes as written, each from an empty folder outside the tree,
# against DIST's artifacts: readme_recipes.sh DIST [RECIPE...] (none named: every recipe).
# A recipe is the fenced blocks whose info string says recipe=NAME, in order:
# a block with file=PATH is written to that file, any other runs in bash.
# Placeholders: <dist>, <version>, <arch>. A recipe with needs=COMMAND is
# skipped, and named, where COMMAND is not on PATH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
dist=$(realpath "${1:?usage: readme_recipes.sh DIST [RECIPE...]}")
shift
version=$(cmake -P "$root/cmake/version.cmake")
arch=$("$root/cmake/architectures" machine | awk -v m="$(uname -m)" '$2 == m {print $1; exit}')
[ -n "$arch" ] || { echo "no archive for $(uname -m)" >&2; exit 1; }

scripts=$(mktemp -d)
trap 'rm -rf "$scripts"' EXIT
# Each recipe as one script, scripts/NAME.sh; its needs in scripts/NAME.needs.
awk -v out="$scripts" -v dist="$dist" -v version="$version" -v arch="$arch" '
    function fill(line) {
        gsub(/<dist>/, dist, line); gsub(/<version>/, version, line); gsub(/<arch>/, arch, line)
        return line
    }
    !block && /^```[a-z]* .*recipe=/ {
        block = 1; name = ""; file = ""; needs = ""
        for (i = 2; i <= NF; i++) {
            split($i, pair, "=")
            if (pair[1] == "recipe") name = pair[2]
            else if (pair[1] == "file") file = pair[2]
            else if (pair[1] == "needs") needs = pair[2]
        }
        script = out "/" name ".sh"
        if (needs != "") print needs >> (out "/" name ".needs")
        if (file ~ /\//) printf "mkdir -p \"$(dirname %s)\"\n", file >> script
        if (file != "") printf "cat >%s <<'"'"'END_OF_FILE'"'"'\n", file >> script
        next
    }
    block && /^```$/ {
        block = 0
        if (file != "") print "END_OF_FILE" >> script
        next
    }
    block {
        line = fill($0)
        if (file == "" && match(line, /<[a-z-]+>/)) {
            print "README.md:" NR ": no value for " substr(line, RSTART, RLENGTH) > "/dev/stderr"
            failed = 1
        }
        print line >> script
    }
    END { exit failed }
' "$root/README.md"

recipes=("$@")
if ((${#recipes[@]} == 0)); then
    for script in "$scripts"/*.sh; do
        recipes+=("$(basename "$script" .sh)")
    done
fi
((${#recipes[@]})) || { echo "no recipes in README.md" >&2; exit 1; }

failed=()
for recipe in "${recipes[@]}"; do
    [ -f "$scripts/$recipe.sh" ] || { echo "no recipe '$recipe' in README.md" >&2; exit 2; }
    missing=""
    for command in $(cat "$scripts/$recipe.needs" 2>/dev/null); do
        command -v "$command" >/dev/null || missing+=" $command"
    done
    if [ -n "$missing" ]; then
        echo "== recipe $recipe: not run, no$missing here"
        continue
    fi
    echo "== recipe $recipe"
    work=$(mktemp -d)
    # The C recipes build my_host.c: the consumer program, with its checks.
    cp "$here/consumer.c" "$work/my_host.c"
    cp "$root/tests/check.h" "$work/"
    # A NuGet package cache and a Maven home of its own, so that a rebuilt
    # package of the same version is the one used. Where Maven's central
    # repository is out of reach, Debian's copy of its plugins serves.
    mkdir -p "$work/.home/.m2"
    [ ! -d /usr/share/maven-repo ] || cat >"$work/.home/.m2/settings.xml" <<'SETTINGS'
<settings>
  <mirrors>
    <mirror><id>debian</id><mirrorOf>*</mirrorOf><url>file:///usr/share/maven-repo</url></mirror>
  </mirrors>
</settings>
SETTINGS
    if (cd "$work" && NUGET_PACKAGES=$work/.nuget-packages MAVEN_OPTS="-Duser.home=$work/.home" \
        bash -euo pipefail -x "$scripts/$recipe.sh"); then
        rm -rf "$work"
    else
        echo "recipe $recipe failed; its folder: $work" >&2
        failed+=("$recipe")
    fi
done
((${#failed[@]} == 0)) || { echo "failed recipes: ${failed[*]}" >&2; exit 1; }
echo "README recipes: ok"
