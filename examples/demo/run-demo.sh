#!/usr/bin/env bash
# The main job: pack the demo product into one installer with kivpack and
# install it under Wine.
#
#   run-demo.sh                 headless: on a virtual display, the driver
#                               presses Begin and Yes as a person would; the
#                               installed files are listed and a screenshot of
#                               the running demo program is saved
#   run-demo.sh --interactive   on your own display, in build/demo/prefix
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build/demo
rm -rf "$out/product" "$out/setup.exe" && mkdir -p "$out/product"
cp examples/demo/INSTALL.INI examples/demo/README.TXT examples/demo/DEMO.HLP "$out/product/"
cp build/win32/demo/KIVDEMO.exe "$out/product/KIVDEMO.EXE"
./build/host/kivpack check "$out/product/INSTALL.INI"
./build/host/kivpack build "$out/product/INSTALL.INI" -o "$out/setup.exe" --stub build/win32/kivinstall.exe

if [ "${1:-}" = --interactive ]; then
    export WINEPREFIX=$out/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i
    echo "run-demo: starting $out/setup.exe on $DISPLAY (Wine prefix $WINEPREFIX)"
    exec wine "$out/setup.exe"
fi

export KIV_SOURCE_DIR=$root KIV_HOST_DIR=$root/build/host KIV_WIN32_DIR=$root/build/win32
source tests/e2e/lib.sh
kiv_begin
kiv_case "install the demo product"
kiv_start setup --limit 120 "$out/setup.exe"
kiv_drive --timeout 60 wait-dialog --title "KivDemo Setup" --window-text "Enter the directory" \
    -- expect --id 1701 'C:\KIVDEMO' -- press --text "&Begin"
kiv_drive --timeout 60 wait-dialog --title "KivDemo Setup" --window-text "successfully completed" \
    -- expect --id 1001 "start KivDemo now" -- press --text "&Yes"
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "the installer's exit code"
kiv_case "the installed product runs"
kiv_drive --timeout 30 wait-dialog --title "KivDemo 1.0"
kiv_screenshot kivdemo-running
cp "$KIV_ART/kivdemo-running.png" "$out/kivdemo-running.png" 2>/dev/null || true
kiv_expect_file "$KIV_C/KIVDEMO/KIVDEMO.EXE"
kiv_expect_file "$KIV_C/KIVDEMO/DOCS/README.TXT"
kiv_expect_file "$KIV_C/KIVDEMO/UNINST.EXE"
echo "run-demo: installed files:"
(cd "$KIV_C" && find KIVDEMO -type f -printf '  C:\\%p  %s bytes\n' | tr / '\\')
echo "run-demo: KIVDEMO.INI: $(tr '\r\n' '  ' <"$KIV_WINDIR/KIVDEMO.INI" 2>/dev/null)"
echo "run-demo: screenshot of the running demo: $out/kivdemo-running.png"
kiv_drive close --title "KivDemo 1.0" -- wait-gone --title "KivDemo 1.0"
kiv_end
