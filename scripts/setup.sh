#!/bin/sh
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent and quiet: when every package is present and 32-bit programs
# run, it does nothing.
#
# A mirror in the middle of a sync is an ordinary state of the world: one of
# its lists (often the i386 list of the security suite) then fails to fetch.
# That is a warning, not the end. Without that list apt may also refuse the
# install (it wants security versions of amd64 libraries whose i386 twins it
# cannot see), so a failed install is tried once more with the system's own
# release as the target release, which needs only the release's main lists.
#
# Some kernels have their 32-bit emulation switched off (ia32_emulation=off):
# the 32-bit Wine loader then cannot start at all. On such a machine the
# 32-bit programs run through Debian's user-mode emulator (qemu-user from the
# release's backports; the release's own one is too old to run Wine), which
# is registered with the kernel as the interpreter of 32-bit x86 programs.
#
# KOVA_OS_RELEASE, KOVA_APT_SOURCES and KOVA_BINFMT let the set-up's test
# point the script at files of its own.
set -eu

PACKAGES="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686 \
cmake ninja-build wine wine32:i386 xvfb xdotool x11-utils imagemagick googletest cppcheck zip unzip \
genisoimage libz-mingw-w64-dev mame-tools fonts-ipafont-gothic"

OS_RELEASE=${KOVA_OS_RELEASE:-/etc/os-release}
APT_SOURCES=${KOVA_APT_SOURCES:-/etc/apt/sources.list.d}
BINFMT=${KOVA_BINFMT:-/proc/sys/fs/binfmt_misc}
EMULATOR=/usr/bin/qemu-i386
# The kernel's pattern for a 32-bit x86 ELF program (binfmt_misc reads the
# \x escapes itself); F opens the interpreter now, so it works in any mount
# namespace later.
BINFMT_RULE=':kova-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$EMULATOR"':F'

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
codename=$(sed -n 's/^VERSION_CODENAME=//p' "$OS_RELEASE" 2>/dev/null | tr -d '"')

log=$(mktemp)
trap 'rm -f "$log"' EXIT

# The packages of the arguments that are not installed, blank-separated.
missing_packages() {
    for p; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
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

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
# shellcheck disable=SC2086
install_packages $PACKAGES

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

if [ -z "$codename" ]; then
    echo "setup: 32-bit programs do not run on this kernel, and the release has no name to find its backports by" >&2
    exit 1
fi
backports="$APT_SOURCES/kova-backports.sources"
if [ ! -e "$backports" ]; then
    # The backports suite from the same place as the release itself; apt
    # takes nothing from it unless asked for by name.
    uri=$(sed -n 's/^URIs: *//p' "$APT_SOURCES/debian.sources" 2>/dev/null | grep -v security | head -n 1)
    [ -n "$uri" ] || uri=$(awk -v c="$codename" '$1 == "deb" && $3 == c { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
    echo "setup: 32-bit programs do not run on this kernel; adding $codename-backports for its user-mode emulator" >&2
    printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$codename" | $SUDO tee "$backports" >/dev/null
fi
# wine64 brings the 64-bit wineserver, which Wine's scripts then prefer: it
# runs on the real processor, faster, and reads its clients' memory where
# they have it (under the emulator the server's view of another process's
# modules came back empty).
install_packages -t "$codename-backports" qemu-user wine64

if [ ! -e "$BINFMT/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT"
fi
if [ ! -e "$BINFMT/kova-i386" ]; then
    printf '%s' "$BINFMT_RULE" | $SUDO tee "$BINFMT/register" >/dev/null
fi
if ! wine_runs; then
    echo "setup: 32-bit programs do not run on this kernel, not even through $EMULATOR" >&2
    exit 1
fi
