# What scripts/test.sh, scripts/run.sh and the benchmark scripts share:
# sourced first, it moves to the repository's top folder (ROOT) and offers
#   kova_build [target ...]       install what is missing, configure the
#                                 preset, build everything (or the targets)
#   kova_prefix <prefix>          the Wine prefix build/<prefix> (made or
#                                 refreshed by tests/rig/session.sh), and
#                                 what the session starts stopped when the
#                                 script ends
#   kova_session <prefix> [display]
#                                 kova_prefix, with "display" a private
#                                 Xvfb, and the Wine server
#   kova_machine                  one "# machine: ..." line for a report
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd)

kova_build() {
    scripts/setup.sh
    cmake --preset mingw-i686 >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build --preset mingw-i686 --target "$@"
    else
        cmake --build --preset mingw-i686
    fi
}

kova_prefix() {
    . tests/rig/session.sh
    kova_prefix_ensure "$ROOT/build/$1"
    trap kova_session_stop EXIT
}

kova_session() {
    kova_prefix "$1"
    if [ "${2:-}" = display ]; then
        kova_display_start
    fi
    kova_wine_start
}

kova_machine() {
    echo "# machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(wine --version)"
}
