#!/bin/sh
# The set-up's decisions, without a network: scripts/setup.sh runs with
# stand-ins for apt-get, dpkg-query, dpkg and sudo first on PATH. Each row
# says how apt-get behaves, which packages are missing, and what must
# happen: the apt-get commands run (in order), the exit status, and a text
# the set-up must print.
#   usage: setup_test.sh <repository top folder>
set -u
top=$1
fails=0
passed=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# apt-get: logs its words; "update" fails as a mirror mid-sync does when
# FAKE_UPDATE=fail; each install takes the next word of FAKE_INSTALLS
# (ok or fail), and an ok install removes its packages from the missing list.
cat > "$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >> "$FAKE_DIR/calls"
case "$1" in
update)
    if [ "$FAKE_UPDATE" = fail ]; then
        echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
        exit 100
    fi
    exit 0 ;;
install)
    n=$(($(cat "$FAKE_DIR/installs" 2>/dev/null || echo 0) + 1))
    echo $n > "$FAKE_DIR/installs"
    outcome=$(echo "$FAKE_INSTALLS" | cut -d' ' -f$n)
    if [ "$outcome" != ok ]; then
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
    fi
    for w in "$@"; do
        grep -vx -- "$w" "$FAKE_DIR/missing" > "$FAKE_DIR/missing.new"
        mv "$FAKE_DIR/missing.new" "$FAKE_DIR/missing"
        rm -f "$FAKE_DIR/version-$w"
    done ;;
source)
    # apt-get source -qq <package>/<release>: its .dsc and its unpacked folder
    if [ "$FAKE_SOURCE" = fail ]; then
        echo "E: Unable to find a source package for $3"
        exit 100
    fi
    p=${3%/*}
    : > "${p}_1.0-1.dsc"
    mkdir "$p-1.0" ;;
esac
STUB
cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
# dpkg-query -W -f=... <package>
for p; do :; done
grep -qx -- "$p" "$FAKE_DIR/missing" && exit 1
case "$2" in
*Version*) cat "$FAKE_DIR/version-$p" 2>/dev/null || echo "1:9.2.2+ds-1~bpo12+1" ;;
*) printf 'install ok installed' ;;
esac
STUB
cat > "$work/bin/dpkg" <<'STUB'
#!/bin/sh
case "$1" in
--print-foreign-architectures) echo i386 ;;
--compare-versions) exec /usr/bin/dpkg "$@" ;;
*) echo "dpkg $*" >> "$FAKE_DIR/calls" ;;
esac
STUB
# wine: starts with FAKE_WINE=runs, never with never, and with no32 only
# once the emulator's rule reached the (fake) kernel.
cat > "$work/bin/wine" <<'STUB'
#!/bin/sh
[ "$FAKE_WINE" = runs ] && exit 0
[ "$FAKE_WINE" = never ] && exit 126
grep -q '^:kova-i386:M::' "$KOVA_BINFMT/register" 2>/dev/null
STUB
cat > "$work/bin/mount" <<'STUB'
#!/bin/sh
echo "mount $*" >> "$FAKE_DIR/calls"
if [ -e "$FAKE_DIR/mount-refused" ]; then
    echo "mount: $KOVA_BINFMT: permission denied."
    exit 32
fi
: > "$KOVA_BINFMT/register"
STUB
# apt-cache: "policy" fails as apt does on a sources file it cannot read
# (where the row left the file apt-refuses), else lists the mirrors of the
# row's file policy; "madison" offers qemu-user from the backports.
cat > "$work/bin/apt-cache" <<'STUB'
#!/bin/sh
case "$1" in
policy)
    if [ -e "$FAKE_DIR/apt-refuses" ]; then
        echo "E: Malformed entry 1 in sources file $KOVA_APT_SOURCES/kova-backports.sources (URI)"
        echo "E: The list of sources could not be read."
        exit 100
    fi
    [ ! -e "$FAKE_DIR/policy" ] || cat "$FAKE_DIR/policy" ;;
madison)
    echo " qemu-user | 1:9.2.2+ds-1~bpo12+1 | http://release.invalid/debian bookworm-backports/main amd64 Packages" ;;
esac
STUB
printf '#!/bin/sh\necho "${FAKE_UID:-0}"\n' > "$work/bin/id"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin/"*
printf 'ID=debian\nVERSION_CODENAME="bookworm"\n' > "$work/os-release"

update="apt-get update -qq"
install="apt-get install -y -qq --no-install-recommends wine wine32:i386"
retry="apt-get install -y -qq --no-install-recommends -t bookworm wine wine32:i386"

# row: name | FAKE_UPDATE | FAKE_INSTALLS | missing | expected calls (";") | status |
#      expected text [| FAKE_WINE | binfmt mounted (yes, no, or registered: the emulator's rule in)
#      | the machine's oddities, blank-separated:
#        nosources      no debian.sources
#        list-options   one-line sources.list entries with options
#        apt-mirrors    apt reports the release's mirror (apt-cache policy)
#        apt-refuses    apt cannot read its sources once ours is among them
#        broken-ours    a kova-backports.sources with an empty URIs line
#        qemu-release   the release's own qemu-user installed
#        user-nosudo    not root, and no sudo
#        mount-refused  mounting binfmt_misc is refused
#        fetch          no third-party sources unpacked yet
#        fetch-fails    the same, and apt-get source fails]
row() {
    name=$1
    extras=" ${10:-} "
    FAKE_DIR="$work/$name"
    mkdir -p "$FAKE_DIR/sources" "$FAKE_DIR/binfmt" "$FAKE_DIR/third_party"
    : > "$FAKE_DIR/calls"
    printf '%s\n' $4 > "$FAKE_DIR/missing"
    case $extras in *" nosources "*) ;; *)
        printf 'Types: deb\nURIs: http://release.invalid/debian-security\nSuites: bookworm-security\n\n# the release\nTypes: deb deb-src\nURIs: http://release.invalid/debian\nSuites: bookworm bookworm-updates\nComponents: main\n' \
            > "$FAKE_DIR/sources/debian.sources" ;;
    esac
    case $extras in *" list-options "*)
        printf '# deb http://old.invalid/debian bookworm main\ndeb [arch=amd64] http://list.invalid/debian-security bookworm-security main\ndeb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://list.invalid/debian bookworm main\n' \
            > "$FAKE_DIR/sources.list" ;;
    esac
    case $extras in *" apt-mirrors "*)
        printf 'Package files:\n 100 /var/lib/dpkg/status\n 500 http://mirror.invalid/debian bookworm-updates/main amd64 Packages\n 500 http://mirror.invalid/debian bookworm/main amd64 Packages\n' \
            > "$FAKE_DIR/policy" ;;
    esac
    case $extras in *" apt-refuses "*) : > "$FAKE_DIR/apt-refuses" ;; esac
    case $extras in *" broken-ours "*)
        printf 'Types: deb\nURIs: \nSuites: bookworm-backports\n' > "$FAKE_DIR/sources/kova-backports.sources" ;;
    esac
    case $extras in *" qemu-release "*) echo "1:7.2+dfsg-7+deb12u18" > "$FAKE_DIR/version-qemu-user" ;; esac
    case $extras in *" mount-refused "*) : > "$FAKE_DIR/mount-refused" ;; esac
    case $extras in *" fetch"*) ;; *)
        for p in xz-utils flac libzstd; do
            mkdir -p "$FAKE_DIR/third_party/$p-0.9"
            printf 'Package: %s\nVersion: 0.9-1\nDirectory: %s-0.9\n' $p $p > "$FAKE_DIR/third_party/$p.source"
        done ;;
    esac
    uid=0 sudo="$work/bin/sudo"
    case $extras in *" user-nosudo "*) uid=1000 sudo="$work/no-such-sudo" ;; esac
    source=ok
    case $extras in *" fetch-fails "*) source=fail ;; esac
    [ "${9:-yes}" != no ] && : > "$FAKE_DIR/binfmt/register"
    [ "${9:-yes}" = registered ] && : > "$FAKE_DIR/binfmt/kova-i386"
    FAKE_DIR=$FAKE_DIR FAKE_UPDATE=$2 FAKE_INSTALLS=$3 FAKE_WINE=${8:-runs} FAKE_UID=$uid FAKE_SOURCE=$source \
        KOVA_OS_RELEASE="$work/os-release" KOVA_APT_SOURCES="$FAKE_DIR/sources" KOVA_APT_LIST="$FAKE_DIR/sources.list" \
        KOVA_BINFMT="$FAKE_DIR/binfmt" KOVA_THIRD_PARTY="$FAKE_DIR/third_party" KOVA_SUDO="$sudo" \
        PATH="$work/bin:$PATH" sh "$top/scripts/setup.sh" > "$FAKE_DIR/out" 2>&1
    status=$?
    calls=$(paste -sd';' "$FAKE_DIR/calls")
    ok=1
    if [ "$calls" != "$5" ]; then
        printf 'row %s: commands\n  were:     %s\n  expected: %s\n' "$name" "$calls" "$5"; ok=0
    fi
    if [ "$status" != "$6" ]; then
        printf 'row %s: exit status %s, expected %s\n' "$name" "$status" "$6"; ok=0
    fi
    # An empty expected text means the set-up says nothing at all; where it
    # stops, its last line says why.
    if { [ -n "$7" ] && [ "$6" = 0 ] && ! grep -qF -- "$7" "$FAKE_DIR/out"; } ||
        { [ -n "$7" ] && [ "$6" != 0 ] && ! tail -n 1 "$FAKE_DIR/out" | grep -qF -- "$7"; } ||
        { [ -z "$7" ] && [ -s "$FAKE_DIR/out" ]; }; then
        printf 'row %s: output lacks "%s"; it was:\n' "$name" "$7"; sed 's/^/  | /' "$FAKE_DIR/out"; ok=0
    fi
    if [ $ok = 1 ]; then passed=$((passed + 1)); else fails=$((fails + 1)); fi
}

row everything-present ok "" "" "" 0 ""
row plain-install ok "ok" "wine wine32:i386" "$update;$install" 0 "setup: installing wine wine32:i386"
row update-out-of-step fail "ok" "wine wine32:i386" "$update;$install" 0 \
    "setup: warning: apt-get update could not fetch dists/bookworm-security/main/binary-i386/Packages.xz; going on with the lists at hand"
row second-install-resolves fail "fail ok" "wine wine32:i386" "$update;$install;$retry" 0 \
    "trying once more with bookworm as the target release"
row both-installs-fail fail "fail fail" "wine wine32:i386" "$update;$install;$retry" 1 \
    "apt-get install --no-install-recommends -t bookworm wine wine32:i386"
row both-fail-named ok "fail fail" "wine32:i386" "$update;apt-get install -y -qq --no-install-recommends wine32:i386;apt-get install -y -qq --no-install-recommends -t bookworm wine32:i386" 1 \
    "setup: could not install: wine32:i386;"
row no-sudo ok "ok" "wine wine32:i386" "" 1 \
    "setup: set-up needs root or sudo to install wine wine32:i386 (or have root run: apt-get install --no-install-recommends wine wine32:i386)" \
    runs yes "user-nosudo"
row nothing-to-do-without-sudo ok "" "" "" 0 "" runs yes "user-nosudo"

# The third-party sources: fetched from the release's source index once,
# each package moved in whole with its record.
sources="$update;apt-get source -qq xz-utils/bookworm;apt-get source -qq flac/bookworm;apt-get source -qq libzstd/bookworm"
row fetch-sources ok "" "" "$sources" 0 "setup: fetching the sources of xz-utils flac libzstd from bookworm" \
    runs yes "fetch"
row fetch-fails ok "" "" "$update;apt-get source -qq xz-utils/bookworm" 1 \
    "setup: could not fetch the source package xz-utils of bookworm; to try again: apt-get update; (cd $work/fetch-fails/third_party && apt-get source xz-utils/bookworm)" \
    runs yes "fetch-fails"
row fetch-out-of-step fail "" "" "$sources" 0 "setup: warning: apt-get update could not fetch" runs yes "fetch"

# A kernel without 32-bit programs: the emulator comes from the backports of
# the release's own place and is registered for 32-bit x86 programs.
emulator="apt-get update -qq;apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user wine64"
row no-32-bit ok "ok" "qemu-user wine64" "$emulator" 0 "adding bookworm-backports for its user-mode emulator" no32
row binfmt-unmounted ok "ok" "qemu-user wine64" "$emulator;mount -t binfmt_misc binfmt_misc $work/binfmt-unmounted/binfmt" 0 \
    "setup: installing qemu-user" no32 no
row emulator-registered-earlier ok "ok" "wine64" \
    "apt-get update -qq;apt-get install -y -qq --no-install-recommends -t bookworm-backports wine64" 0 \
    "setup: installing wine64" runs registered
row emulator-not-enough ok "ok" "" "" 1 "not even through /usr/bin/qemu-i386" never
row emulator-uninstallable fail "fail" "qemu-user wine64" "$emulator" 1 \
    "apt-get install --no-install-recommends -t bookworm-backports qemu-user wine64" no32
row release-qemu-installed ok "ok" "wine64" "$emulator" 0 "setup: installing qemu-user wine64" no32 yes "qemu-release"
row one-line-options ok "ok" "qemu-user wine64" "$emulator" 0 "adding bookworm-backports" no32 yes "nosources list-options"
row apt-mirrors ok "ok" "qemu-user wine64" "$emulator" 0 "adding bookworm-backports" no32 yes "nosources apt-mirrors"
row no-sources-found ok "ok" "qemu-user wine64" "" 1 \
    "setup: found no Debian archive for bookworm in apt's sources" no32 yes "nosources"
row apt-refuses ok "ok" "qemu-user wine64" "" 1 "removed it again" no32 yes "apt-refuses"
row broken-file-of-ours ok "ok" "qemu-user wine64" "$emulator" 0 "which names no archive" no32 yes "broken-ours"
row mount-refused ok "ok" "qemu-user wine64" "$emulator;mount -t binfmt_misc binfmt_misc $work/mount-refused/binfmt" 1 \
    "setup: this machine may not mount binfmt_misc at $work/mount-refused/binfmt (mount: $work/mount-refused/binfmt: permission denied.)" \
    no32 no "mount-refused"

# What the rows left for apt, the kernel and the build.
expect_file() {
    if ! grep -qxF -- "$2" "$1" 2>/dev/null; then
        printf '%s lacks the line "%s"; it holds:\n' "$1" "$2"; sed 's/^/  | /' "$1" 2>/dev/null; fails=$((fails + 1))
    else passed=$((passed + 1)); fi
}
expect_none() {
    for f in "$@"; do
        if [ -e "$f" ]; then
            printf '%s should not be there\n' "$f"; fails=$((fails + 1)); return
        fi
    done
    passed=$((passed + 1))
}
expect_file "$work/no-32-bit/sources/kova-backports.sources" "URIs: http://release.invalid/debian"
expect_file "$work/no-32-bit/sources/kova-backports.sources" "Suites: bookworm-backports"
expect_file "$work/one-line-options/sources/kova-backports.sources" "URIs: http://list.invalid/debian"
expect_file "$work/apt-mirrors/sources/kova-backports.sources" "URIs: http://mirror.invalid/debian"
expect_file "$work/broken-file-of-ours/sources/kova-backports.sources" "URIs: http://release.invalid/debian"
expect_none "$work/no-sources-found/sources/kova-backports.sources" "$work/apt-refuses/sources/kova-backports.sources"
expect_file "$work/no-32-bit/binfmt/register" \
    ':kova-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F'
expect_file "$work/fetch-sources/sources/kova-source.sources" "Types: deb-src"
expect_file "$work/fetch-sources/sources/kova-source.sources" "URIs: http://release.invalid/debian"
expect_file "$work/fetch-sources/sources/kova-source.sources" "Suites: bookworm"
expect_file "$work/fetch-sources/third_party/flac.source" "Version: 1.0-1"
expect_file "$work/fetch-sources/third_party/flac.source" "Directory: flac-1.0"
expect_none "$work/fetch-sources/third_party/.fetch."* "$work/fetch-fails/third_party/.fetch."* \
    "$work/fetch-fails/third_party/xz-utils.source"
for p in xz-utils flac libzstd; do
    if [ ! -d "$work/fetch-sources/third_party/$p-1.0" ]; then
        echo "fetch-sources: $p-1.0 is not in third_party"; fails=$((fails + 1))
    fi
done

echo "$passed passed, $fails failed"
[ $fails = 0 ]
