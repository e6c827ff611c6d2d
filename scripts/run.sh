#!/usr/bin/env bash
# The main job: builds everything, assembles the demo program directory in
# build/demo and starts the configurator there.
#
# With an X display (DISPLAY set) the configurator opens on it for you.
# Without one, or with --tour, a scripted tour runs on a private Xvfb:
# splash, main dialog, a plugin's about box, Save and the other steps of
# tools/tour; its pictures and the emulator stand-in's transcript are left
# in build/tour.
. "$(dirname "$0")/prelude.sh"

TOUR=0
if [ "${1:-}" = "--tour" ] || [ -z "${DISPLAY:-}" ]; then
    TOUR=1
fi

kova_build
# The prefix first: assembling the demo runs a program of the build in it.
kova_prefix wine-demo
cmake --build --preset mingw-i686 --target demo >/dev/null
# The demo appears to Windows programs as C:\KOVA, where a user would put
# it, so that its paths (and the tour's pictures) show no build folder.
ln -sfn "$ROOT/build/demo" "$WINEPREFIX/drive_c/KOVA"

if [ "$TOUR" = 0 ]; then
    kova_wine_start
    # On a desktop with a window manager, let it manage Wine's windows.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
    cd "$WINEPREFIX/drive_c/KOVA"
    wine 'C:\KOVA\KOVACFG.exe'
    exit 0
fi

kova_display_start
kova_wine_start
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
rm -rf build/tour
mkdir -p build/tour
status=0
wine build/bin/KOVATOUR.exe 'C:\KOVA' "$ROOT/build/tour" || status=$?
if [ -f build/demo/STANDIN.LOG ]; then
    cp build/demo/STANDIN.LOG build/tour/STANDIN.LOG
fi
echo "run: pictures of the tour and the stand-in's transcript are in build/tour:"
ls build/tour
exit $status
