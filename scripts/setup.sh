#!/bin/sh
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent and quiet: when every package is present and 32-bit programs
# run, it does nothing. Where it cannot go on, it says in one line what is
# missing and what to do, and exits with status 1.
#
# A mirror in the middle of a sync is an ordinary state of the world: one of
# its lists (often the i386 list of the security suite) then fails to fetch.
# That is a warning, not the end. Without that list apt may also refuse the
# install (it wants security versions of amd64 libraries whose i386 twins it
# cannot see), so a failed install is tried once more with the system's own
# release as the target release, which needs only the release's main lists.
#
# The compression libraries that shipped code links (all but zlib) are built
# by our build from Debian's source packages: set-up adds the release's source
# index to apt's sources and unpacks the packages into build/third_party,
# once; the file <package>.source beside each names the version and folder.
#
# Some kernels have their 32-bit emulation switched off (ia32_emulation=off):
# the 32-bit Wine loader then cannot start at all. On such a machine the
# 32-bit programs run through Debian's user-mode emulator (qemu-user from the
# release's backports; the release's own one is too old to run Wine), which
# is registered with the kernel as the interpreter of 32-bit x86 programs.
#
# The files that set-up adds to apt's sources (kova-*.sources) name the
# release's own Debian archive, as apt's sources already name it (in either
# format) or as apt reports its mirrors; set-up writes none without one, and
# removes one again that apt cannot read.
#
# KOVA_OS_RELEASE, KOVA_APT_SOURCES, KOVA_APT_LIST, KOVA_BINFMT,
# KOVA_THIRD_PARTY and KOVA_SUDO let the set-up's test point the script at
# files and commands of its own.
set -eu

PACKAGES="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686 \
cmake ninja-build wine wine32:i386 xvfb xdotool x11-utils imagemagick googletest cppcheck zip unzip \
genisoimage libz-mingw-w64-dev mame-tools fonts-ipafont-gothic"
# apt-get source's unpacker, and the tools that make the decoders' test data.
PACKAGES="$PACKAGES dpkg-dev xz-utils flac zstd"
# Debian's source packages of the libraries the build compiles itself
# (cmake/KovaThirdParty.cmake).
SOURCE_PACKAGES="xz-utils flac libzstd"

OS_RELEASE=${KOVA_OS_RELEASE:-/etc/os-release}
APT_SOURCES=${KOVA_APT_SOURCES:-/etc/apt/sources.list.d}
APT_LIST=${KOVA_APT_LIST:-/etc/apt/sources.list}
BINFMT=${KOVA_BINFMT:-/proc/sys/fs/binfmt_misc}
THIRD_PARTY=${KOVA_THIRD_PARTY:-$(cd "$(dirname "$0")/.." && pwd)/build/third_party}
EMULATOR=/usr/bin/qemu-i386
# The kernel's pattern for a 32-bit x86 ELF program (binfmt_misc reads the
# \x escapes itself); F opens the interpreter now, so it works in any mount
# namespace later.
BINFMT_RULE=':kova-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$EMULATOR"':F'
# Ours among apt's sources: the backports suite, for the emulator, and the
# release's source index, for the libraries the build compiles.
BACKPORTS_SOURCES="$APT_SOURCES/kova-backports.sources"
SOURCE_INDEX="$APT_SOURCES/kova-source.sources"

export DEBIAN_FRONTEND=noninteractive
codename=$(sed -n 's/^VERSION_CODENAME=//p' "$OS_RELEASE" 2>/dev/null | tr -d '"')

log=$(mktemp)
fetching=""
trap 'rm -f "$log"; [ -z "$fetching" ] || rm -rf "$fetching"' EXIT

die() {
    echo "setup: $*" >&2
    exit 1
}

# Root, or sudo to become it; without either set-up can still find that
# nothing needs doing.
SUDO=""
as_root=yes
if [ "$(id -u)" -ne 0 ]; then
    SUDO=${KOVA_SUDO:-sudo}
    command -v "$SUDO" >/dev/null 2>&1 || as_root=no
fi

# need_root <what set-up is about to do>
need_root() {
    [ "$as_root" = yes ] || die "set-up needs root or sudo to $1; run it as root or as a user with sudo"
}

# The packages of the arguments that are not installed, blank-separated; an
# installed qemu-user older than $qemu_wanted counts as not installed.
qemu_wanted=""
missing_packages() {
    for p; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            printf ' %s' "$p"
        elif [ "$p" = qemu-user ] && [ -n "$qemu_wanted" ] &&
            dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user)" lt "$qemu_wanted"; then
            printf ' %s' "$p"
        fi
    done
}

apt_update() {
    if ! $SUDO apt-get update -qq >"$log" 2>&1; then
        # apt names each list it could not fetch on a "Failed to fetch <url>"
        # line; the part from "dists/" on says which suite, component and
        # architecture.
        lists=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sed 's|^.*/\(dists/\)|\1|' |
            tr '\n' ' ' | sed 's/ $//')
        echo "setup: warning: apt-get update could not fetch ${lists:-the package lists}; going on with the lists at hand" >&2
    fi
}

apt_install() {
    $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

# install_packages [-t <release>] <package> ...: installs the missing ones;
# a failed install is tried once more with the system's own release as the
# target release; exits naming what could not be installed.
install_packages() {
    target=""
    if [ "$1" = -t ]; then
        target="-t $2 "
        shift 2
    fi
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    need_root "install$missing (or have root run: apt-get install --no-install-recommends $target$(echo "$missing" | sed 's/^ //'))"
    echo "setup: installing$missing" >&2
    apt_update
    # shellcheck disable=SC2086 # the package names and options are words
    if ! apt_install $target$missing; then
        if [ -z "$target" ] && [ -n "$codename" ]; then
            echo "setup: the install failed; trying once more with $codename as the target release" >&2
            target="-t $codename "
            # shellcheck disable=SC2086
            apt_install $target$missing || true
        fi
        still=$(missing_packages "$@")
        if [ -n "$still" ]; then
            sed 's/^/setup: apt-get: /' "$log" | tail -n 5 >&2
            echo "setup: could not install:$still; to try again: ${SUDO:+$SUDO }apt-get update; ${SUDO:+$SUDO }apt-get install --no-install-recommends $target$(echo "$still" | sed 's/^ //')" >&2
            exit 1
        fi
    fi
}

# release_uri: the address of the release's own Debian archive, from the
# first of: a paragraph of a *.sources file (not ours) whose Types hold deb
# and whose Suites hold the release; a one-line "deb [options] <uri>
# <release> ..." entry of sources.list or a *.list file; the mirrors that apt
# reports for the release.
release_uri() {
    {
        for f in "$APT_SOURCES"/*.sources; do
            case ${f##*/} in kova-*) continue ;; esac
            if [ -f "$f" ]; then
                awk -v release="$codename" '
                    BEGIN { RS = ""; FS = "\n" }
                    {
                        split("", field); key = ""
                        for (i = 1; i <= NF; i++) {
                            if ($i ~ /^#/) continue
                            if ($i ~ /^[ \t]/) { field[key] = field[key] " " $i; continue }
                            key = tolower($i); sub(/:.*/, "", key)
                            value = $i; sub(/^[^:]*:/, "", value); field[key] = value
                        }
                        if (field["enabled"] ~ /^[ \t]*[Nn]o/) next
                        if ((" " field["types"] " ") !~ /[ \t]deb[ \t]/) next
                        if ((" " field["suites"] " ") !~ ("[ \t]" release "[ \t]")) next
                        if (split(field["uris"], uri, " ") > 0) { print uri[1]; exit }
                    }' "$f"
            fi
        done
        cat "$APT_LIST" "$APT_SOURCES"/*.list 2>/dev/null | sed 's/#.*//; s/\[[^]]*\]//' |
            awk -v release="$codename" '$1 == "deb" && $3 == release { print $2; exit }'
        # " 500 http://deb.debian.org/debian bookworm/main amd64 Packages"
        apt-cache policy 2>/dev/null |
            awk -v release="$codename" '$1 ~ /^[0-9]+$/ && $2 ~ /:\/\// && index($3, release "/") == 1 { print $2; exit }'
    } | head -n 1
}

# add_source <file> <type> <suite> [<what to say>]: a sources file of ours for the release's
# own archive, unless there is one; stops, writing nothing, when no archive
# is found, and removes the file again when apt cannot read it.
add_source() {
    if [ -e "$1" ]; then
        return 0
    fi
    uri=$(release_uri)
    [ -n "$uri" ] || die "found no Debian archive for $codename in apt's sources ($APT_SOURCES/*.sources, $APT_LIST, $APT_SOURCES/*.list) nor among the mirrors apt reports; add the release's Debian mirror to apt's sources and run set-up again"
    need_root "add $1 to apt's sources"
    [ -z "${4:-}" ] || echo "setup: $4" >&2
    if ! printf 'Types: %s\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$2" "$uri" "$3" | $SUDO tee "$1" >/dev/null 2>"$log"; then
        $SUDO rm -f "$1"
        die "could not write $1 ($(head -n 1 "$log")); nothing of apt's sources has changed"
    fi
    if ! apt-cache policy >"$log" 2>&1; then
        $SUDO rm -f "$1"
        die "apt cannot read its sources with $1 among them ($(grep '^E:' "$log" | head -n 1)); removed it again; mend apt's sources (apt-cache policy shows the fault) and run set-up again"
    fi
}

# A file of ours that names no archive (an older set-up wrote such files)
# keeps apt from reading any of its sources: it goes first.
for f in "$BACKPORTS_SOURCES" "$SOURCE_INDEX"; do
    if [ -e "$f" ] && ! grep -q '^URIs: *[^ ]' "$f"; then
        need_root "remove $f, which apt cannot read"
        echo "setup: removing $f, which names no archive" >&2
        $SUDO rm -f "$f"
    fi
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_root "add the i386 architecture (dpkg --add-architecture i386)"
    $SUDO dpkg --add-architecture i386 || die "dpkg could not add the i386 architecture; run: dpkg --add-architecture i386"
fi
# shellcheck disable=SC2086
install_packages $PACKAGES

# The source packages not yet unpacked into $THIRD_PARTY, blank-separated.
missing_sources() {
    for p in $SOURCE_PACKAGES; do
        folder=$(sed -n 's/^Directory: //p' "$THIRD_PARTY/$p.source" 2>/dev/null || true)
        if [ -z "$folder" ] || [ ! -d "$THIRD_PARTY/$folder" ]; then
            printf ' %s' "$p"
        fi
    done
}

# Each package is fetched and unpacked beside its place (apt checks the
# files against the release's signed index) and moved in whole; its
# .source file, written last, says that it is there.
fetch=$(missing_sources)
if [ -n "$fetch" ]; then
    [ -n "$codename" ] || die "the sources of$fetch are missing, and the release has no name to find its source index by"
    need_root "fetch the sources of$fetch (it adds $SOURCE_INDEX to apt's sources)"
    add_source "$SOURCE_INDEX" deb-src "$codename"
    echo "setup: fetching the sources of$fetch from $codename" >&2
    apt_update
    fetching=$(mkdir -p "$THIRD_PARTY" && mktemp -d "$THIRD_PARTY/.fetch.XXXXXX") ||
        die "could not make a folder in $THIRD_PARTY to fetch into; is the build tree writable?"
    for p in $fetch; do
        if ! (cd "$fetching" && apt-get source -qq "$p/$codename") >"$log" 2>&1; then
            sed 's/^/setup: apt-get: /' "$log" | grep -v ': W: ' | tail -n 3 >&2
            die "could not fetch the source package $p of $codename; to try again: ${SUDO:+$SUDO }apt-get update; (cd $THIRD_PARTY && apt-get source $p/$codename)"
        fi
        dsc=$(find "$fetching" -maxdepth 1 -name "${p}_*.dsc" | head -n 1)
        folder=$(find "$fetching" -mindepth 1 -maxdepth 1 -type d -name "$p-*" | head -n 1)
        [ -n "$dsc" ] && [ -n "$folder" ] || die "apt-get source $p left no unpacked folder in $fetching"
        version=${dsc##*/"$p"_}
        folder=${folder##*/}
        rm -rf "${THIRD_PARTY:?}/$folder"
        mv "$fetching/$folder" "$THIRD_PARTY/$folder" &&
            printf 'Package: %s\nVersion: %s\nDirectory: %s\n' "$p" "${version%.dsc}" "$folder" >"$THIRD_PARTY/$p.source" ||
            die "could not move $folder into $THIRD_PARTY; is the build tree writable?"
    done
    rm -rf "$fetching"
    fetching=""
fi

# Does the 32-bit Wine loader start? (It fails at once with "Exec format
# error" where the kernel runs no 32-bit programs.)
wine_runs() {
    wine --version >/dev/null 2>&1
}

# Wine that starts without the emulator needs nothing more; once the
# emulator is registered, what goes with it is kept installed as well.
if wine_runs && [ ! -e "$BINFMT/kova-i386" ]; then
    exit 0
fi

[ -n "$codename" ] || die "32-bit programs do not run on this kernel, and the release has no name to find its backports by"
# The backports suite from the same place as the release itself; apt takes
# nothing from it unless asked for by name.
add_source "$BACKPORTS_SOURCES" deb "$codename-backports" \
    "32-bit programs do not run on this kernel; adding $codename-backports for its user-mode emulator"

# The backports' qemu-user, also where the release's own is installed.
backports_version() {
    apt-cache madison "$1" 2>/dev/null |
        awk -F'|' -v suite=" $codename-backports/" 'index($3, suite) { gsub(/[ \t]/, "", $2); print $2; exit }'
}
if [ -z "$(missing_packages qemu-user)" ]; then
    qemu_wanted=$(backports_version qemu-user)
    if [ -z "$qemu_wanted" ]; then
        apt_update
        qemu_wanted=$(backports_version qemu-user)
    fi
fi
# wine64 brings the 64-bit wineserver, which Wine's scripts then prefer: it
# runs on the real processor, faster, and reads its clients' memory where
# they have it (under the emulator the server's view of another process's
# modules came back empty).
install_packages -t "$codename-backports" qemu-user wine64

if [ ! -e "$BINFMT/register" ]; then
    need_root "mount binfmt_misc at $BINFMT"
    if ! $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT" >"$log" 2>&1; then
        die "this machine may not mount binfmt_misc at $BINFMT ($(head -n 1 "$log")), so the user-mode emulator cannot be registered for 32-bit programs; run set-up where that is allowed (on the host, or in a container allowed to mount it)"
    fi
fi
if [ ! -e "$BINFMT/kova-i386" ]; then
    need_root "register $EMULATOR for 32-bit programs"
    if ! printf '%s' "$BINFMT_RULE" | $SUDO tee "$BINFMT/register" >/dev/null 2>"$log"; then
        die "the kernel refused to register $EMULATOR for 32-bit programs ($(head -n 1 "$log")); run set-up where that is allowed"
    fi
fi
if ! wine_runs; then
    die "32-bit programs do not run on this kernel, not even through $EMULATOR"
fi
