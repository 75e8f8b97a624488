#!/usr/bin/env bash
# The tool as vendors get it, by size: the packaged kivpack binary and the
# Debian package (cpack -G DEB of the host build) against Debian's NSIS,
# whose packages nsis (makensis) and nsis-common (its stubs, plug-ins and
# documentation) are fetched with apt-get download in the same run. Also
# kivpack.exe and the ZIP for Windows, when that build exists.
#
#   bench/package.sh        (after ./dev test)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
W=$(mktemp -d /tmp/kiv-bench-package.XXXXXX)
trap 'rm -rf "$W"' EXIT
size() { stat -c %s "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
row() { printf '| %s | %s B | %s | %s B | %s |\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }

(cd "$W" && cpack --config "$root/build/host/CPackConfig.cmake" -G DEB -B "$W/deb" >"$W/cpack.log" 2>&1)
deb=$(ls "$W"/deb/kivinstall_*.deb)
mkdir -p "$W/kiv" && dpkg-deb -x "$deb" "$W/kiv"
(cd "$W" && apt-get download nsis nsis-common >"$W/apt.log" 2>&1)
nsis=$(ls "$W"/nsis_*.deb) common=$(ls "$W"/nsis-common_*.deb)
mkdir -p "$W/nsis" && dpkg-deb -x "$nsis" "$W/nsis"
installed() { dpkg-deb -f "$1" Installed-Size; }

echo "| what | KivInstall | peer | peer's size | ratio |"
echo "|---|---|---|---|---|"
row "build tool, packaged (stripped)" "$(size "$W/kiv/usr/bin/kivpack")" "makensis ($(basename "$nsis"))" \
    "$(size "$W/nsis/usr/bin/makensis")"
row "Debian package (.deb), everything" "$(size "$deb")" "nsis + nsis-common" "$(($(size "$nsis") + $(size "$common")))"
row "installed size (Installed-Size, KiB as bytes)" "$(($(installed "$deb") * 1024))" "nsis + nsis-common" \
    "$((($(installed "$nsis") + $(installed "$common")) * 1024))"
exe=$root/build/kivpack-win32/kivpack.exe
if [ -f "$exe" ]; then
    (cd "$W" && cpack --config "$root/build/kivpack-win32/CPackConfig.cmake" -G ZIP -B "$W/zip" >"$W/zip.log" 2>&1)
    printf '| kivpack.exe, static (no DLLs) | %s B | - | - | - |\n' "$(size "$exe")"
    printf '| ZIP for Windows | %s B | - | - | - |\n' "$(size "$(ls "$W"/zip/*.zip)")"
fi
echo "($(basename "$deb"); peer $(basename "$nsis") and $(basename "$common"))"
