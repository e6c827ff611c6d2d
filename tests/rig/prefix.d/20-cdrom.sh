# A CD-ROM drive E: whose raw device is a small ISO 9660 image, for the tests
# of the drive-reading CD plugin. Sourced by kova_prefix_ensure with
# WINEPREFIX exported; the rig restarts the Wine server afterwards, which is
# when the drive type in the registry takes effect.
#
#   $WINEPREFIX/kova-disc/files/    what the disc holds (also E:'s folder)
#   $WINEPREFIX/kova-disc/kova.iso  the image, E:'s raw device "\\.\E:"
#
# The tests read the image file beside the device to compare sectors byte
# for byte, so its content only has to be stable while the prefix lives.
kova_cdrom_setup() {
    local disc="$WINEPREFIX/kova-disc"
    rm -rf "$disc"
    mkdir -p "$disc/files"
    printf 'KOVA test disc\r\n' > "$disc/files/README.TXT"
    # Some 110 KB of numbered lines: every sector of the file differs.
    seq 1 20000 > "$disc/files/NUMBERS.TXT"
    genisoimage -quiet -V KOVA_TEST -o "$disc/kova.iso" "$disc/files"

    local devices="$WINEPREFIX/dosdevices"
    rm -f "$devices/e:" "$devices/e::"
    # Relative links, so that a copied prefix keeps its own disc.
    ln -s ../kova-disc/files "$devices/e:"
    ln -s ../kova-disc/kova.iso "$devices/e::"
    DISPLAY= wine reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f </dev/null >/dev/null 2>&1
}
kova_cdrom_setup
