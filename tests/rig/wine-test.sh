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
wine "$@"
status=$?
if [ "$status" -eq 139 ]; then
    echo "rig: Wine itself crashed (SIGSEGV) as the program ended; running it once more" >&2
    wine "$@"
    status=$?
fi
exit "$status"
