# apt-get for a foreign Debian architecture that installs nothing: sourced by
# the fetch-target-* scripts. The architecture's package lists are kept per
# architecture in build/target-apt/<arch>, shared by those scripts.

# target_apt ARCH [SUITE]: sets TARGET_APT (apt-get with that architecture's
# lists and cache and an empty status file, so the machine's own package
# set-up is left as it is; with SUITE, that release's packages, from the
# mirror this machine's own release comes from) and brings the lists up to
# date once a day. Holds a lock on the lists until the calling script ends.
target_apt() {
    local arch=$1 suite=${2:-} work
    work=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/target-apt/$arch${suite:+-$suite}
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/sources.list.d"
    exec 9>"$work/lock"
    flock 9
    TARGET_APT=(apt-get -q -o "APT::Architecture=$arch" -o "APT::Architectures::=$arch"
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "Dir::State::status=/dev/null")
    if [ -n "$suite" ]; then
        local release mirror
        release=$(. /etc/os-release && echo "$VERSION_CODENAME")
        # shellcheck disable=SC2016 # apt's own placeholders
        mirror=$(apt-get indextargets --format '$(SITE) $(RELEASE)' | awk -v r="$release" '$2 == r {print $1; exit}')
        echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" >"$work/sources.list"
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
