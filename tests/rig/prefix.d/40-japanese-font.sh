# A Japanese font for the dialogs: IPAGothic (Debian's fonts-ipafont-gothic)
# linked behind the faces that dialogs and list views use, as a Japanese
# Windows links its own, so that the Shift-JIS titles of saves (kana, kanji,
# the long dash of Western titles) show as text and not as boxes. Sourced by
# kova_prefix_ensure with WINEPREFIX exported, for the tests' prefix and the
# demo's and tour's.
kova_japanese_font_setup() {
    local font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
    if [ ! -f "$font" ]; then
        echo "rig: no $font (package fonts-ipafont-gothic): Japanese titles show as boxes" >&2
        return 0
    fi
    ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/ipag.ttf"
    local face
    for face in "Tahoma" "Microsoft Sans Serif"; do
        DISPLAY= wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$face" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f </dev/null >/dev/null 2>&1
    done
    # The dialogs' "MS Sans Serif" is drawn as Tahoma, as Windows draws it
    # since Windows 2000, so that it has the link too.
    DISPLAY= wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v "MS Sans Serif" /d Tahoma /f </dev/null >/dev/null 2>&1
}
kova_japanese_font_setup
