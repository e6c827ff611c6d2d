# Wine and X for the tests and the demo; sourced by scripts/test.sh and
# scripts/run.sh. Nothing here touches ~/.wine: every prefix lives in the
# build tree.
#
#   kova_prefix_ensure <prefix>   create or refresh a 32-bit prefix, set up by
#                                 tests/rig/prefix.d/* (*.reg imported, *.sh
#                                 sourced); rebuilt when those files change
#   kova_display_start            start a private Xvfb and export DISPLAY
#   kova_wine_start               persistent wineserver + boot, outside any
#                                 pipe that ctest reads
#   kova_session_stop             stop what the two above started

KOVA_RIG_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
KOVA_XVFB_PID=""

export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installer prompts while a prefix is created.
export WINEDLLOVERRIDES="mscoree=;mshtml="
# Where the kernel runs no 32-bit programs, scripts/setup.sh registered the
# user-mode emulator for them; tests that depend on the real processor's
# exceptions ask for this (EmulatedCpu in tests/support).
if [ -e /proc/sys/fs/binfmt_misc/kova-i386 ] && ! grep -qx disabled /proc/sys/fs/binfmt_misc/kova-i386; then
    export KOVA_EMULATED_CPU=1
fi

kova_prefix_stamp() {
    cat "$KOVA_RIG_DIR"/session.sh "$KOVA_RIG_DIR"/prefix.d/* 2>/dev/null | md5sum | cut -d' ' -f1
}

kova_prefix_ensure() {
    export WINEPREFIX="$1"
    local stamp
    stamp=$(kova_prefix_stamp)
    if [ -f "$WINEPREFIX/.kova-stamp" ] && [ "$(cat "$WINEPREFIX/.kova-stamp")" = "$stamp" ]; then
        return 0
    fi
    echo "rig: creating Wine prefix $WINEPREFIX" >&2
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # No display while booting the prefix: nothing needs one yet.
    DISPLAY= wine wineboot -i </dev/null >/dev/null 2>&1
    local f
    for f in "$KOVA_RIG_DIR"/prefix.d/*; do
        case "$f" in
            *.reg) DISPLAY= wine regedit /S "$(winepath -w "$f" 2>/dev/null)" </dev/null >/dev/null 2>&1 ;;
            *.sh)  . "$f" ;;
        esac
    done
    # Let the server write the registry out before the prefix is used.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    echo "$stamp" > "$WINEPREFIX/.kova-stamp"
}

kova_display_start() {
    local out
    out=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out" >/dev/null 2>&1 &
    KOVA_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$out" ] && break
        sleep 0.05
    done
    if [ ! -s "$out" ]; then
        echo "rig: Xvfb did not start" >&2
        rm -f "$out"
        return 1
    fi
    export DISPLAY=":$(head -n1 "$out")"
    rm -f "$out"
}

kova_wine_start() {
    # A server of this prefix left running by an earlier run (one that could
    # not stop it, as when Wine was reinstalled meanwhile) refuses a second:
    # it is asked to end first.
    if ! wineserver -p </dev/null >/dev/null 2>&1; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        if ! wineserver -p </dev/null >/dev/null 2>&1; then
            echo "rig: no Wine server starts for $WINEPREFIX" >&2
            return 1
        fi
    fi
    if ! wine wineboot </dev/null >/dev/null 2>&1; then
        echo "rig: Wine does not boot in $WINEPREFIX" >&2
        return 1
    fi
}

kova_session_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -n "$KOVA_XVFB_PID" ]; then
        kill "$KOVA_XVFB_PID" >/dev/null 2>&1 || true
        wait "$KOVA_XVFB_PID" 2>/dev/null || true
        KOVA_XVFB_PID=""
    fi
}
