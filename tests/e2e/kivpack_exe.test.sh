# kivpack.exe, the build tool for Windows, under Wine: from the ZIP that
# `cpack -G ZIP` makes of its build, with no --stub and no variables, given
# Windows paths and a CRLF script, its build, disks, helpfile and
# uninstaller outputs are byte for byte those of the Linux kivpack; on a
# console it shows its UTF-8 messages as such and draws its progress bar.
source "$(dirname "$0")/lib.sh"
kiv_begin
EXE_BUILD=${KIV_KIVPACK_WIN32_DIR:-$KIV_SOURCE_DIR/build/kivpack-win32}
[ -f "$EXE_BUILD/kivpack.exe" ] || kiv_die "kivpack.exe is not built (cmake --build --preset kivpack-win32)"
unset KIVPACK_STUB KIVPACK_UNINSTALLER SOURCE_DATE_EPOCH
W=$KIV_WORK/exe
mkdir -p "$W"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
DATE="2023-11-12 13:14"

kiv_case "the ZIP for Windows vendors"
(cd "$W" && cpack --config "$EXE_BUILD/CPackConfig.cmake" -G ZIP -B "$W/zip" >"$KIV_ART/cpack.log" 2>&1) ||
    kiv_fail "cpack -G ZIP: $(tail -3 "$KIV_ART/cpack.log")"
ZIP=$(ls "$W"/zip/kivinstall-*-win32.zip 2>/dev/null | head -1)
[ -n "$ZIP" ] || kiv_die "cpack -G ZIP wrote no kivinstall-<version>-win32.zip"
kiv_pass "cpack -G ZIP wrote $(basename "$ZIP") ($(stat -c %s "$ZIP") bytes)"
top=$(basename "$ZIP" .zip)
(cd "$W" && unzip -q "$ZIP") || kiv_fail "unzip $ZIP"
for f in bin/kivpack.exe share/kivinstall/kivinstall.exe share/kivinstall/kivuninst.exe \
    share/doc/kivinstall/README.md share/doc/kivinstall/script-reference.md \
    share/doc/kivinstall/examples/demo/INSTALL.INI lib/cmake/KivInstall/KivInstallConfig.cmake; do
    kiv_expect_file "$W/$top/$f"
done
KIVPACK_EXE=$W/$top/bin/kivpack.exe
imports=$(i686-w64-mingw32-objdump -p "$KIVPACK_EXE" 2>/dev/null | sed -n 's/.*DLL Name: //p' | tr 'A-Z\n' 'a-z ')
[[ $imports == *libstdc* || $imports == *libgcc* || $imports == *winpthread* ]] &&
    kiv_fail "kivpack.exe needs runtime DLLs: $imports" || kiv_pass "kivpack.exe imports only $imports"

kiv_case "the same outputs as the Linux kivpack"
P=$W/product
mkdir -p "$P"
cp "$KIV_SOURCE_DIR/examples/demo/README.TXT" "$KIV_HOST_DIR/demo/DEMO.HLP" "$P/"
cp "$KIV_WIN32_DIR/demo/KIVDEMO.exe" "$P/KIVDEMO.EXE"
sed 's/$/\r/' "$KIV_SOURCE_DIR/examples/demo/INSTALL.INI" >"$P/INSTALL.INI"
grep -q $'\r$' "$P/INSTALL.INI" || kiv_fail "the script has no CRLF lines"
version=$(kiv_run "$KIVPACK_EXE" --version | tr -d '\r')
kiv_expect_contains "$version" "installer stub: $("$KIV_PACK" --version | sed -n 's/^kivpack //p') ($(winpath "$W/$top")\\share\\kivinstall\\kivinstall.exe)" \
    "kivpack.exe finds the stubs of the ZIP's layout"
same() { # WHAT LINUX-OUTPUT WINDOWS-OUTPUT
    if [ -d "$2" ] && diff -r "$2" "$3" >"$KIV_ART/diff.txt" 2>&1 || cmp -s "$2" "$3"; then
        kiv_pass "$1: the same bytes"
    else
        kiv_fail "$1: kivpack.exe's output differs from kivpack's"
    fi
}
"$KIV_PACK" build "$P/INSTALL.INI" -o "$W/linux.exe" --date "$DATE" >/dev/null 2>&1 || kiv_fail "kivpack build"
kiv_run "$KIVPACK_EXE" build "$(winpath "$P/INSTALL.INI")" -o "$(winpath "$W/windows.exe")" --date "$DATE" >/dev/null
kiv_expect_eq $? 0 "kivpack.exe build's exit code"
same "build" "$W/linux.exe" "$W/windows.exe"
"$KIV_PACK" disks "$P/INSTALL.INI" -o "$W/linux-set" >/dev/null 2>&1 || kiv_fail "kivpack disks"
kiv_run "$KIVPACK_EXE" disks "$(winpath "$P")\\INSTALL.INI" -o "$(winpath "$W")\\windows-set" >/dev/null
same "disks" "$W/linux-set" "$W/windows-set"
"$KIV_PACK" helpfile "$KIV_SOURCE_DIR/examples/demo/demo-help.txt" -o "$W/linux.hlp" || kiv_fail "kivpack helpfile"
kiv_run "$KIVPACK_EXE" helpfile "$(winpath "$KIV_SOURCE_DIR/examples/demo/demo-help.txt")" -o "$(winpath "$W/windows.hlp")" >/dev/null
same "helpfile" "$W/linux.hlp" "$W/windows.hlp"
"$KIV_PACK" uninstaller "$P/INSTALL.INI" -o "$W/linux-uninst.exe" >/dev/null || kiv_fail "kivpack uninstaller"
kiv_run "$KIVPACK_EXE" uninstaller "$(winpath "$P/INSTALL.INI")" -o "$(winpath "$W/windows-uninst.exe")" >/dev/null
same "uninstaller" "$W/linux-uninst.exe" "$W/windows-uninst.exe"
ls -a "$W" "$P" | grep -q '\.kivpack-' && kiv_fail "a temporary file was left behind"
# Images need mtools and xorriso, which kivpack.exe does not start.
kiv_run "$KIVPACK_EXE" disks "$(winpath "$P")\\INSTALL.INI" -o "$(winpath "$W")\\images" --media 1.44M --images >/dev/null
kiv_expect_eq $? 1 "kivpack.exe refuses --images"
kiv_expect_file_has "$KIV_ART/suite.log" "--images: kivpack.exe makes no images" "and says why"
kiv_expect_no_file "$W/images" "before it writes anything"

kiv_case "the stubs beside kivpack.exe"
mkdir -p "$W/flat"
cp "$KIVPACK_EXE" "$W/$top/share/kivinstall/"*.exe "$W/flat/"
out=$(kiv_run "$W/flat/kivpack.exe" --version | tr -d '\r')
kiv_expect_contains "$out" "($(winpath "$W/flat")\\kivuninst.exe)" "kivpack.exe finds the stubs beside itself"

kiv_case "the console"
printf '[Basic Information]\r\nHelpFileName=P.HLP\r\nCaption=Größe Setup\r\nProductName=Größe\r\nDefaultTargetDir=C:\\G\r\nTotalDisks=1\r\nDiskSpace=1\r\n[Disk 1]\r\nDiskName=D\r\nA.TXT=Temp,Größe\r\n' >"$W/bad.ini"
# On a terminal Wine gives the program a console; its text is what the
# terminal receives, cursor movements aside.
console() { # TYPESCRIPT COMMAND...
    local ts=$1
    shift
    (cd "$W" && timeout 120 script -q -e -c "$(printf '%q ' wine "$@")" "$ts.raw" >/dev/null 2>&1)
    sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' "$ts.raw" | tr -d '\r' >"$ts"
}
console "$W/check.ts" "$KIVPACK_EXE" check bad.ini
tr -d '\n' <"$W/check.ts" | grep -qF "[Disk 1] A.TXT=Temp,Größe: The above line from" &&
    kiv_pass "the console shows the script's UTF-8 text as it is" ||
    kiv_fail "the console shows: $(grep -a 'A.TXT' "$W/check.ts" | head -1)"
# The bar waits for a second of work, which a fast machine may not need:
# the wait is set to none.
seq 1 1500000 >"$W/big.bin"
KIVPACK_PROGRESS_DELAY=0 console "$W/compress.ts" "$KIVPACK_EXE" compress big.bin
kiv_expect_file "$W/big.bin.szdd"
grep -aqE 'big\.bin +\[#+\.*\] +[0-9]+%' "$W/compress.ts" && kiv_pass "kivpack.exe draws its progress bar on a console" ||
    kiv_fail "no progress bar on the console: $(head -c 300 "$W/compress.ts")"
KIVPACK_PROGRESS_DELAY=0 kiv_run "$KIVPACK_EXE" compress big.bin -o "$(winpath "$W/quiet.szdd")" >"$W/quiet.out" 2>&1
grep -q '%' "$W/quiet.out" && kiv_fail "a progress bar was drawn off a console"
kiv_end
