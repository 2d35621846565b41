# apt-get for a foreign Debian architecture that installs nothing: sourced by
# the fetch-target-* scripts. The package lists are kept per architecture
# and release in build/target-apt/<arch>-<release>, shared by those scripts.

# target_apt ARCH: sets TARGET_APT (apt-get with that architecture's lists
# and cache and an empty status file, so the machine's own package set-up is
# left as it is) and TARGET_SUITE, the Debian release it reads, and brings
# the lists up to date once a day. The release is this machine's, but for
# riscv64, which Debian builds from Debian 13 on: there Debian 13's, from
# the mirror this machine's own comes from. Holds a lock on the lists until
# the calling script ends.
target_apt() {
    local arch=$1 release work mirror
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    TARGET_SUITE=$release
    [ "$arch" != riscv64 ] || [ "$release" != bookworm ] || TARGET_SUITE=trixie
    work=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/target-apt/$arch-$TARGET_SUITE
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/sources.list.d"
    exec 9>"$work/lock"
    flock 9
    TARGET_APT=(apt-get -q -o "APT::Architecture=$arch" -o "APT::Architectures::=$arch"
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "Dir::State::status=/dev/null")
    if [ "$TARGET_SUITE" != "$release" ]; then
        # shellcheck disable=SC2016 # apt's own placeholders
        mirror=$(apt-get indextargets --format '$(SITE) $(RELEASE)' | awk -v r="$release" '$2 == r {print $1; exit}')
        echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $TARGET_SUITE main" \
            >"$work/sources.list"
        TARGET_APT+=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=$work/sources.list.d")
    fi
    # An index that fails (a mirror in mid-sync) matters only if the packages
    # are then not found, so update's status waits for the download's; a
    # failed update is tried again on the next run.
    if [ -z "$(find "$work/updated" -mmin -1440 2>/dev/null)" ]; then
        if "${TARGET_APT[@]}" update >"$work/update.log" 2>&1; then
            touch "$work/updated"
        fi
    fi
    TARGET_APT_LOG=$work/update.log
}
