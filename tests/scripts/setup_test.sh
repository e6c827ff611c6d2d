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
    done ;;
esac
STUB
cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
# dpkg-query -W -f=... <package>
for p; do :; done
grep -qx -- "$p" "$FAKE_DIR/missing" && exit 1
printf 'install ok installed'
STUB
cat > "$work/bin/dpkg" <<'STUB'
#!/bin/sh
case "$1" in
--print-foreign-architectures) echo i386 ;;
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
: > "$KOVA_BINFMT/register"
STUB
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin/"*
printf 'ID=debian\nVERSION_CODENAME="bookworm"\n' > "$work/os-release"

update="apt-get update -qq"
install="apt-get install -y -qq --no-install-recommends wine wine32:i386"
retry="apt-get install -y -qq --no-install-recommends -t bookworm wine wine32:i386"

# row: name | FAKE_UPDATE | FAKE_INSTALLS | missing | expected calls (";") | status |
#      expected text [| FAKE_WINE | binfmt mounted (yes, no, or registered: the emulator's rule in)]
row() {
    name=$1
    FAKE_DIR="$work/$name"
    mkdir -p "$FAKE_DIR/sources" "$FAKE_DIR/binfmt"
    : > "$FAKE_DIR/calls"
    printf '%s\n' $4 > "$FAKE_DIR/missing"
    printf 'Types: deb\nURIs: http://release.invalid/debian\nSuites: bookworm\n\nURIs: http://release.invalid/debian-security\n' \
        > "$FAKE_DIR/sources/debian.sources"
    [ "${9:-yes}" != no ] && : > "$FAKE_DIR/binfmt/register"
    [ "${9:-yes}" = registered ] && : > "$FAKE_DIR/binfmt/kova-i386"
    FAKE_DIR=$FAKE_DIR FAKE_UPDATE=$2 FAKE_INSTALLS=$3 FAKE_WINE=${8:-runs} KOVA_OS_RELEASE="$work/os-release" \
        KOVA_APT_SOURCES="$FAKE_DIR/sources" KOVA_BINFMT="$FAKE_DIR/binfmt" \
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
    # An empty expected text means the set-up says nothing at all.
    if { [ -n "$7" ] && ! grep -qF -- "$7" "$FAKE_DIR/out"; } || { [ -z "$7" ] && [ -s "$FAKE_DIR/out" ]; }; then
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
# What the emulator rows left for apt and for the kernel.
expect_file() {
    if ! grep -qxF -- "$2" "$1"; then
        printf '%s lacks the line "%s"; it holds:\n' "$1" "$2"; sed 's/^/  | /' "$1"; fails=$((fails + 1))
    else passed=$((passed + 1)); fi
}
expect_file "$work/no-32-bit/sources/kova-backports.sources" "URIs: http://release.invalid/debian"
expect_file "$work/no-32-bit/sources/kova-backports.sources" "Suites: bookworm-backports"
expect_file "$work/no-32-bit/binfmt/register" \
    ':kova-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F'

echo "$passed passed, $fails failed"
[ $fails = 0 ]
