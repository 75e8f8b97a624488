# kivpack try as a vendor runs it: the demo under 95, xp and 10 (two at a
# time) with its report and pictures; a disk set whose second disk lost a
# file; a product that needs a newer Windows; and a PATH without Wine.
# kivpack try makes its own prefixes and displays through the harness that
# the other suites use; this suite only packs products and reads what try
# reports. Its templates live in a cache of the suite's own.
set -u
source_dir=${KIV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
host=${KIV_HOST_DIR:-$source_dir/build/host}
win32=${KIV_WIN32_DIR:-$source_dir/build/win32}
command -v wine >/dev/null 2>&1 || { echo "skipped: wine is not installed"; exit 77; }
kivpack=$host/kivpack
for f in "$kivpack" "$win32/kivinstall.exe" "$win32/e2e/kivdriver.exe" "$win32/demo/KIVDEMO.exe"; do
    [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done
art=$host/e2e-artifacts/try
rm -rf "$art" && mkdir -p "$art"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The templates stay between runs of the suite, as a vendor's do.
export XDG_CACHE_HOME=${KIV_TRY_CACHE:-$host/e2e-cache}
mkdir -p -m 700 "$XDG_CACHE_HOME"
failures=0
ok() { echo "  ok: $1"; }
fail() { echo "  FAIL: $1" >&2; failures=$((failures + 1)); }
# expect_in FILE TEXT WHAT
expect_in() { grep -q -F -- "$2" "$1" && ok "$3" || fail "$3: no '$2' in $1"; }
# block FILE WINDOWS: the report's part for one version.
block() { awk -v w="\"windows\": \"$2\"" 'index($0, "\"windows\": ") { on = index($0, w) > 0 } on' "$1"; }

product=$work/demo
mkdir -p "$product"
cp "$source_dir/examples/demo/INSTALL.INI" "$source_dir/examples/demo/README.TXT" "$host/demo/DEMO.HLP" "$product/"
cp "$win32/demo/KIVDEMO.exe" "$product/KIVDEMO.EXE"
"$kivpack" build "$product/INSTALL.INI" -o "$work/setup.exe" >"$art/build.log" 2>&1 || { echo "FAIL: build"; exit 1; }

echo "== the demo under 95, xp and 10"
"$kivpack" try "$work/setup.exe" --windows 95,xp,10 --jobs 2 --report "$art/demo.json" --shots "$art/shots" \
    >"$art/demo.out" 2>"$art/demo.err"
rc=$?
cat "$art/demo.out"
[ "$rc" -eq 0 ] && ok "exit code 0" || fail "exit code $rc: $(cat "$art/demo.err")"
expect_in "$art/demo.json" '"product": "KivDemo"' "the report names the product"
for w in 95 xp 10; do
    block "$art/demo.json" "$w" >"$work/$w.json"
    expect_in "$work/$w.json" '"completed": true' "$w: completed"
    for f in 'KIVDEMO\\KIVDEMO.EXE' 'KIVDEMO\\DOCS\\README.TXT' 'KIVDEMO\\UNINST.EXE'; do
        grep -q -i -F "\"path\": \"C:\\\\$f\", \"size\": " "$work/$w.json" &&
            grep -i -F "\"path\": \"C:\\\\$f\"" "$work/$w.json" | grep -q '"matches": true' &&
            ok "$w: $f installed with the packed bytes" || fail "$w: $f with matching bytes"
    done
    grep -q -i -F '"group": {"name": "KivDemo", "items": [{"name": "KivDemo", "target": "C:\\KIVDEMO\\KIVDEMO.EXE"}' \
        "$work/$w.json" && ok "$w: the group and its item's target" || fail "$w: the group and its item's target"
    grep -q -i '"settings": {"path": "C:\\\\windows\\\\KIVDEMO.INI"' "$work/$w.json" &&
        ok "$w: the settings file" || fail "$w: the settings file"
    grep -q -F 'CurrentVersion\\Uninstall\\KivDemo 1.0", "value": "UninstallString"' "$work/$w.json" &&
        ok "$w: the uninstall entry" || fail "$w: the uninstall entry"
    expect_in "$work/$w.json" '{"id": 2400, "phase": "install", "caption": "KivDemo Setup", "text": "Enter the directory where you want to install KivDemo."}' \
        "$w: the start dialog, named by its template"
    expect_in "$work/$w.json" '{"id": 2203, "phase": "install"' "$w: the question to start the product"
    expect_in "$work/$w.json" '"phase": "uninstall", "caption": "KivDemo Setup", "text": "Are you sure you want to remove KivDemo' \
        "$w: the uninstaller's question"
    expect_in "$work/$w.json" '"uninstall": {"ran": true' "$w: the removal ran"
    grep -q '"expected": false' "$work/$w.json" && fail "$w: unexpected leftovers: $(grep '"expected": false' "$work/$w.json")"
    ls "$art/shots/$w"-0[1-9]-2400.png >/dev/null 2>&1 && ok "$w: a picture of the start dialog" || fail "$w: no picture of dialog 2400"
done
[ "$(file -b "$art/shots/contact-sheet.png" 2>/dev/null | cut -d, -f1)" = "PNG image data" ] &&
    ok "the contact sheet" || fail "no contact sheet in $art/shots"
grep -E -q '^95 +completed +[0-9]+ +[0-9]+ +1 +0/0 ' "$art/demo.out" && ok "the table's row for 95" ||
    fail "the table's row for 95"

echo "== a disk set whose second disk lost a file"
disks=$work/disks
mkdir -p "$disks/product"
cp "$product"/* "$disks/product/"
sed -e 's/^TotalDisks=1/TotalDisks=2/' -e 's/^README.TXT=.*//' "$product/INSTALL.INI" >"$disks/product/INSTALL.INI"
printf '\r\n[Disk 2]\r\nDiskName=KivDemo Disk 2\r\nREADME.TXT=Target\\DOCS\\README.TXT,Readme\r\n' >>"$disks/product/INSTALL.INI"
"$kivpack" disks "$disks/product/INSTALL.INI" -o "$disks/set" >"$art/disks.log" 2>&1 || fail "disks: $(cat "$art/disks.log")"
rm -f "$disks/set/DISK2/README.TXT"
"$kivpack" try "$disks/set" --windows 10 --report "$art/disks.json" >"$art/disks.out" 2>"$art/disks.err"
rc=$?
cat "$art/disks.out"
[ "$rc" -eq 1 ] && ok "exit code 1" || fail "exit code $rc"
grep -q "Unable to locate.*README.TXT" "$art/disks.out" && ok "the table names \"Unable to locate\" and README.TXT" ||
    fail "no \"Unable to locate ... README.TXT\" in the table"
grep -q '"id": 1700' "$art/disks.json" && ok "disk 2 was asked for, and given" || fail "no dialog 1700 (insert disk 2)"
grep -q '"failure": "KivDemo Setup: Unable to locate .*README.TXT' "$art/disks.json" && ok "the report's failure" ||
    fail "the report's failure: $(grep '"failure"' "$art/disks.json")"

echo "== a product that needs Windows 6.0"
newer=$work/newer
mkdir -p "$newer"
cp "$product"/* "$newer/"
sed '/^TotalDisks=/a WindowsVersion=6.0' "$product/INSTALL.INI" >"$newer/INSTALL.INI"
"$kivpack" try "$newer/INSTALL.INI" --windows 10,95 --no-uninstall --report "$art/newer.json" \
    >"$art/newer.out" 2>"$art/newer.err"
rc=$?
cat "$art/newer.out"
[ "$rc" -eq 1 ] && ok "exit code 1" || fail "exit code $rc"
block "$art/newer.json" 10 | grep -q '"completed": true' && ok "10 completes" || fail "10 did not complete"
block "$art/newer.json" 95 | grep -q '"failure": "KivDemo Setup: KivDemo requires Windows version 6.0 or later. You cannot install it under Windows 4.0."' &&
    ok "95 fails with dialog 2800's text" || fail "95: $(block "$art/newer.json" 95 | grep '"failure"')"
block "$art/newer.json" 95 | grep -q '{"id": 2800' && ok "95: dialog 2800" || fail "95: no dialog 2800"
block "$art/newer.json" 95 | grep -q '"files": \[$' && ! block "$art/newer.json" 95 | grep -q '"path": "C:' &&
    ok "95: nothing installed" || fail "95 installed files"

echo "== no Wine on the PATH"
mkdir -p "$work/bin"
for tool in bash timeout flock iconv cmp; do ln -s "$(command -v $tool)" "$work/bin/$tool"; done
PATH=$work/bin "$kivpack" try "$work/setup.exe" --shots "$work/no-shots" >"$art/nowine.out" 2>"$art/nowine.err"
rc=$?
[ "$rc" -eq 3 ] && ok "exit code 3" || fail "exit code $rc"
expect_in "$art/nowine.err" "wine, wineserver, Xvfb, import, montage not found on PATH" "names what is missing"
expect_in "$art/nowine.err" "sudo dpkg --add-architecture i386" "the i386 architecture step"
expect_in "$art/nowine.err" "apt-get install --no-install-recommends wine wine32:i386 wine64 xvfb xauth imagemagick fonts-wine" \
    "the Debian packages"
[ -e "$work/no-shots" ] && fail "a run that cannot start made its shots folder"
"$kivpack" try "$work/setup.exe" --windows 95,3.11 >"$art/usage.out" 2>&1
[ $? -eq 2 ] && grep -q "unknown Windows version '3.11'" "$art/usage.out" && ok "an unknown version is a usage error" ||
    fail "--windows 95,3.11: $(head -1 "$art/usage.out")"

[ "$failures" -eq 0 ] && { echo "try: all checks passed"; exit 0; }
echo "try: $failures failed"
exit 1
