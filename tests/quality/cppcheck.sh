#!/bin/sh
# Static analysis of the product code: every source under the folders that
# make the shipped binaries, as the MinGW-w64 i686 build sees it. Any
# finding fails. A finding that is wrong is silenced where it is reported,
# with "// cppcheck-suppress <id>" and a comment saying why.
#   tests/quality/cppcheck.sh <source dir> [cppcheck program]
set -eu
cd "$1"
CPPCHECK=${2:-cppcheck}

dirs=""
for d in contract common plugins configurator; do
    [ -d "$d" ] && dirs="$dirs $d"
done
# Every folder with a header of its own is on the include path, as each
# target's include directories put it; the system's headers are not read
# (the windows library below tells cppcheck what it needs of them).
includes=$(find $dirs -name '*.h' -printf '-I%h\n' | sort -u)

# The one configuration that is built: 32-bit Windows through MinGW-w64,
# with the definitions of kova_flags (cmake/KovaWarnings.cmake).
exec "$CPPCHECK" --quiet --error-exitcode=1 \
    --enable=warning,style,performance,portability --inline-suppr \
    --std=c++17 --platform=win32A --library=windows \
    -D_WIN32 -D__MINGW32__ -D__i386__ -D__GNUC__ \
    -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -DNOMINMAX \
    --template='{file}:{line}: {severity} ({id}): {message}' \
    $includes $dirs
