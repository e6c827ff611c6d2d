# A Japanese font for the dialogs: IPAGothic (Debian's fonts-ipafont-gothic)
# linked behind the face the dialogs are drawn in, as a Western Windows with
# Japanese fonts installed links its own, so that the Shift-JIS titles of
# saves (kana, kanji, full-width forms) show as text and not as boxes while
# Latin text keeps its face. Sourced by kova_prefix_ensure with WINEPREFIX
# exported, for the tests' prefix and the demo's and tour's.
#
# The prefix has none of the Windows faces the dialogs ask for ("MS Sans
# Serif", "MS Shell Dlg", Tahoma): Wine draws them all in DejaVu Sans, so the
# link sits behind that face. A link keyed by a face the prefix does not have
# would make Wine draw that face wholly in the linked font, Latin text too
# (backslashes as yen signs), so no link names a missing face and no
# substitute renames the dialogs' faces.
kova_japanese_font_setup() {
    local font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
    if [ ! -f "$font" ]; then
        echo "rig: no $font (package fonts-ipafont-gothic): Japanese titles show as boxes" >&2
        return 0
    fi
    ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/ipag.ttf"
    DISPLAY= wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "DejaVu Sans" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f </dev/null >/dev/null 2>&1
}
kova_japanese_font_setup
