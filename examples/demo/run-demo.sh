#!/usr/bin/env bash
# The main job: pack the demo product into one installer with kivpack and
# install it under Wine.
#
#   run-demo.sh                 headless: on a virtual display, the driver
#                               presses Begin and Yes as a person would; the
#                               installed files are listed, and a screenshot
#                               of each step (start dialog, progress dialog,
#                               completion question, running demo program)
#                               and a contact sheet of them are saved under
#                               build/demo/
#   run-demo.sh --interactive   on your own display, in build/demo/prefix
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build/demo
rm -rf "$out/product" "$out/setup.exe" && mkdir -p "$out/product"
cp examples/demo/INSTALL.INI examples/demo/README.TXT build/host/demo/DEMO.HLP "$out/product/"
cp build/win32/demo/KIVDEMO.exe "$out/product/KIVDEMO.EXE"
./build/host/kivpack check --strict "$out/product/INSTALL.INI"
./build/host/kivpack build --strict "$out/product/INSTALL.INI" -o "$out/setup.exe" --stub build/win32/kivinstall.exe

if [ "${1:-}" = --interactive ]; then
    export WINEPREFIX=$out/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i
    echo "run-demo: starting $out/setup.exe on $DISPLAY (Wine prefix $WINEPREFIX)"
    exec wine "$out/setup.exe"
fi

export KIV_SOURCE_DIR=$root KIV_HOST_DIR=$root/build/host KIV_WIN32_DIR=$root/build/win32
source tests/e2e/lib.sh
kiv_begin
# shot NAME: a screenshot of the whole screen as build/demo/NAME.png.
SHOTS=()
shot() {
    kiv_screenshot "$1"
    cp "$KIV_ART/$1.png" "$out/$1.png" && SHOTS+=("$out/$1.png")
}
rm -f "$out"/[0-9]-*.png "$out/contact-sheet.png" "$out/kivdemo-running.png"

kiv_case "install the demo product"
kiv_start setup --limit 120 "$out/setup.exe"
kiv_drive --timeout 60 wait-dialog --title "KivDemo Setup" --window-text "Enter the directory" \
    -- expect --id 1701 'C:\KIVDEMO'
shot 1-start
# The installer is held while it writes the program file, for the progress
# dialog to be seen: two small files take only milliseconds.
pid=$(sed -n 's/^window .* pid \([0-9]*\) .*/\1/p' "$KIV_OUT" | head -1)
if [ -n "$pid" ] && kiv_drive_rc --timeout 60 press --title "KivDemo Setup" --text "&Begin" -- \
    wait-file 'C:\KIVDEMO\KIVDEMO.EXE' -- suspend --pid "$pid"; then
    sleep 0.5
    shot 2-progress
    kiv_drive resume --pid "$pid"
else
    kiv_fail "the progress dialog could not be held for its screenshot"
fi
kiv_drive --timeout 60 wait-dialog --title "KivDemo Setup" --window-text "successfully completed" \
    -- expect --id 1001 "start KivDemo now"
# The shell opens the group's folder window a moment after the group is
# made; the question stays in front of it.
kiv_drive_rc --timeout 20 wait-dialog --title "KivDemo" >/dev/null && sleep 1.5
shot 3-completion
kiv_drive press --title "KivDemo Setup" --text "&Yes"
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "the installer's exit code"
kiv_case "the installed product runs"
kiv_drive --timeout 30 wait-dialog --title "KivDemo 1.0" -- sleep 1 -- dump
kiv_expect_eq "$(sed -n 's/^window .* title "\(.*\)"$/\1/p' "$KIV_OUT" | head -1)" "KivDemo 1.0" \
    "the running demo program is the window in front"
shot 4-kivdemo-running
cp "$out/4-kivdemo-running.png" "$out/kivdemo-running.png" 2>/dev/null || true
kiv_expect_file "$KIV_C/KIVDEMO/KIVDEMO.EXE"
kiv_expect_file "$KIV_C/KIVDEMO/DOCS/README.TXT"
kiv_expect_file "$KIV_C/KIVDEMO/UNINST.EXE"
echo "run-demo: installed files:"
(cd "$KIV_C" && find KIVDEMO -type f -printf '  C:\\%p  %s bytes\n' | tr / '\\')
echo "run-demo: KIVDEMO.INI: $(tr '\r\n' '  ' <"$KIV_WINDIR/KIVDEMO.INI" 2>/dev/null)"
kiv_drive close --title "KivDemo 1.0" -- wait-gone --title "KivDemo 1.0"
if [ ${#SHOTS[@]} -gt 0 ] && montage "${SHOTS[@]}" -tile 2x -geometry 400x300+6+6 -background '#d0d0d0' \
    "$out/contact-sheet.png" 2>>"$KIV_ART/suite.log"; then
    SHOTS+=("$out/contact-sheet.png")
else
    kiv_fail "no contact sheet (ImageMagick's montage)"
fi
echo "run-demo: screenshots:"
printf '  %s\n' "${SHOTS[@]}"
kiv_end
