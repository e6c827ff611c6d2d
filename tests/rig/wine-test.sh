#!/bin/sh
# Runs one test program under Wine for CTest.
#
# Wine 8 now and then crashes itself (SIGSEGV in its Unix-side loader, exit
# status 139) when a program ends while one of its threads is still
# starting. GoogleTest starts such a thread in every test program (the
# watcher of the main thread's exit), so a fast test program that has
# passed may be reported as a crash: about 3 runs in 1000 on two busy
# cores. A Windows program that crashes ends differently (a status from
# the exception code, 5 for an access violation), so only status 139 is
# taken for Wine's own crash, said on the output and run once more.
#
# On a kernel without 32-bit programs Wine runs through the user-mode
# emulator (scripts/setup.sh), where the same race at the end now and then
# leaves a program that has finished all its tests hanging instead. When
# GoogleTest's closing line is out and the program has not ended 30 s
# later, it is stopped and its verdict taken from that output, said on the
# output too. A program that hangs before its closing line is left to
# CTest's timeout.
out=$(mktemp)
trap 'rm -f "$out"' EXIT

run() {
    wine "$@" > "$out" 2>&1 &
    pid=$!
    tail -f --pid=$pid -n +1 "$out" 2>/dev/null &
    tailer=$!
    waited=0
    while kill -0 $pid 2>/dev/null; do
        if grep -q '^\[==========\] .* ran\.' "$out"; then
            waited=$((waited + 1))
            if [ $waited -ge 300 ]; then
                kill -9 $pid 2>/dev/null
                wait $pid 2>/dev/null
                wait $tailer 2>/dev/null
                echo "rig: the program finished its tests but did not end in 30 s; stopped, verdict from its output" >&2
                if grep -q '^\[  FAILED  \]' "$out" || ! grep -q '^\[  PASSED  \]' "$out"; then
                    status=1
                else
                    status=0
                fi
                return
            fi
        fi
        sleep 0.1
    done
    wait $pid
    status=$?
    wait $tailer 2>/dev/null
}

run "$@"
if [ "$status" -eq 139 ]; then
    echo "rig: Wine itself crashed (SIGSEGV) as the program ended; running it once more" >&2
    run "$@"
fi
exit "$status"
