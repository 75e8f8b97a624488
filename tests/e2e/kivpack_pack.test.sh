# kivpack check, build, list, extract and disks on a product of two disks and
# twenty files: the verdicts a vendor sees, a packed installer whose listing
# matches the script and whose extraction gives back every file byte for
# byte, and Wine's own resource calls reading every payload of it.
set -u

kivpack="${KIV_HOST_DIR:-}/kivpack"
probe="${KIV_WIN32_DIR:-}/e2e/resource_probe.exe"
stub="${KIV_WIN32_DIR:-}/kivinstall.exe"
for f in "$kivpack" "$stub"; do
    [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done

work=$(mktemp -d /tmp/kiv-pack.XXXXXX)
cleanup() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
ok() { echo "ok: $*"; }

# verdict NAME EXPECTED-EXIT EXPECTED-STDERR-LINE -- ARGS: kivpack's exit code
# and the first line other than a warning that it writes to stderr.
verdict() {
    local name=$1 code=$2 line=$3
    shift 4
    "$kivpack" "$@" >"$name.out" 2>"$name.err"
    local rc=$?
    local first
    first=$(grep -v ': warning: ' "$name.err" | head -n 1)
    if [ "$rc" -ne "$code" ]; then
        fail "$name: exit code $rc, expected $code ($first)"
    elif [ -n "$line" ] && [ "$first" != "$line" ]; then
        fail "$name: stderr '$first', expected '$line'"
    else
        ok "$name"
    fi
}

# --- check: the installer's verdicts, word for word -----------------------
basic='[Basic Information]
HelpFileName=P.HLP
Caption=Pack Test
ProductName=PackTest
DefaultTargetDir=C:\PACKTEST
DiskSpace=1000'
printf '%s\n' "$basic" >missing.ini
verdict missing-key 1 'missing.ini:1: [Basic Information] TotalDisks=: The "TotalDisks=" line is missing from the "[Basic Information]" section of INSTALL.INI. (dialog 1600)' -- check missing.ini
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\nA.TXT=Temp\n' "$basic" >badline.ini
verdict bad-line 1 "badline.ini:10: [Disk 1] A.TXT=Temp: The above line from $work/badline.ini contains an error; installation will be aborted. (dialog 1100)" -- check badline.ini
printf '%s\nTotalDisks=33\n' "$basic" >disks33.ini
verdict too-many-disks 1 'disks33.ini:7: You cannot have more than 32 installation disks. (dialog 2500)' -- check disks33.ini
printf '%s\nTotalDisks=1\nWindowsVersion=4.10\n[Disk 1]\nDiskName=D\n' "$basic" >winver.ini
verdict windows-too-old 1 'winver.ini:8: PackTest requires Windows version 4.1 or later. You cannot install it under Windows 4.0. (dialog 2800)' -- check winver.ini
verdict windows-98-ok 0 '' -- check winver.ini --windows 4.10 --no-files
verdict no-script 1 "nothere.ini: Unable to open $work/nothere.ini (dialog 1900)" -- check nothere.ini
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\nE.TXT=Target,,EGA\n' "$basic" >ega.ini
"$kivpack" check ega.ini --no-files --display ega >ega.out 2>&1 && grep -q '"D" 1 file' ega.out && ok "check counts the files kept for EGA" ||
    fail "check --display ega: $(cat ega.out)"
"$kivpack" check ega.ini --no-files >vga.out 2>&1 && grep -q '"D" 0 files' vga.out && ok "check drops EGA files on VGA" ||
    fail "check on VGA: $(cat vga.out)"
verdict usage 2 '' -- check
verdict unknown-display 2 '' -- check ega.ini --display cga

# The verdicts quote the installer's own templates: each format kivpack fills
# must stand in kivinstall.rc (where a double quote is written twice).
rc="${KIV_SOURCE_DIR:-$(dirname "$0")/../..}/src/resources/kivinstall.rc"
while IFS= read -r text; do
    grep -qF "\"${text//\"/\"\"}\"" "$rc" || fail "kivinstall.rc does not hold the text '$text'"
done <<'TEXTS'
The above line from %s contains an error; installation will be aborted.
The "%s=" line is missing from the "[%s]" section of INSTALL.INI.
Unable to open %s
Out of memory; installation will be aborted.
You cannot have more than %u installation disks.
%s requires Windows version %u.%u or later. You cannot install it under Windows %u.%u.
TEXTS
# --- build, list, extract: a product of two disks and twenty files -------
mkdir -p product/DISK1 product/DISK2
{
    printf '%s\nTotalDisks=2\n' "$basic"
    printf '[Disk 1]\nDiskName=First disk\n'
    for i in $(seq 1 10); do printf 'F%02d.DAT=Target\\F%02d.DAT,File %d\n' "$i" "$i" "$i"; done
    printf '[Disk 2]\nDiskName=Second disk\n'
    for i in $(seq 11 18); do printf 'F%02d.DAT=Target\\F%02d.DAT,,VGA\n' "$i" "$i"; done
    printf 'PART1=Target\\JOINED.DAT,,Append\nPART2=Target\\JOINED.DAT,,Append\n'
} >product/INSTALL.INI
echo "help" >product/P.HLP
for i in $(seq 1 10); do head -c $((i * 3000)) /dev/urandom >product/DISK1/F$(printf %02d "$i").DAT; done
for i in $(seq 11 18); do seq 1 $((i * 500)) >product/DISK2/F$i.DAT; done
printf 'first part\n' >product/DISK2/PART1
printf 'second part\n' >product/DISK2/PART2

cp product/INSTALL.INI product/INSTALL.GOOD
printf 'F19.DAT=Target\n' >>product/INSTALL.INI
"$kivpack" build product/INSTALL.INI -o never.exe --stub "$stub" >/dev/null 2>missing.err
if [ $? -eq 1 ] && grep -q "F19.DAT=Target: the source file 'F19.DAT'" missing.err && [ ! -e never.exe ]; then
    ok "a missing source file names its line and writes nothing"
else
    fail "missing source file: $(cat missing.err)"
fi
mv product/INSTALL.GOOD product/INSTALL.INI

if "$kivpack" build product/INSTALL.INI -o setup.exe --stub "$stub" >build.out 2>&1; then
    ok "build: $(cat build.out)"
else
    fail "build: $(cat build.out)"
fi
"$kivpack" list setup.exe >list.out 2>&1 || fail "list: $(cat list.out)"
[ "$(grep -c ' \[Disk [12]\] ' list.out)" -eq 20 ] && ok "list shows all 20 file lines" || fail "list: $(cat list.out)"
grep -q '^12000 .* install script INSTALL.INI$' list.out && grep -q '^12001 .* help file P.HLP$' list.out &&
    grep -q '^12021 .* \[Disk 2\] PART2 -> Target\\JOINED.DAT$' list.out && ok "list names script, help file and ids" ||
    fail "list content: $(cat list.out)"
# Every payload's CRC-32 is recorded: an appended part's is that of its own bytes.
crc() { python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$1"; }
[ "$(grep -cE '^[0-9]+ +[0-9]+ +[0-9]+ +[0-9a-f]{8}  ' list.out)" -eq 22 ] &&
    grep -q "^12001 .* $(crc product/P.HLP)  help file" list.out &&
    grep -q "^12004 .* $(crc product/DISK1/F03.DAT)  \[Disk 1\] F03.DAT" list.out &&
    grep -q "^12021 .* $(crc product/DISK2/PART2)  \[Disk 2\] PART2" list.out &&
    ok "list shows the recorded CRC-32 of all 22 payloads" || fail "list CRCs: $(cat list.out)"

"$kivpack" extract setup.exe -d out >extract.out 2>&1 || fail "extract: $(cat extract.out)"
cmp -s out/INSTALL.INI product/INSTALL.INI && cmp -s out/HELP.HLP product/P.HLP || fail "script or help file differ"
same=0
for i in $(seq 1 10); do cmp -s "out/Target/F$(printf %02d "$i").DAT" "product/DISK1/F$(printf %02d "$i").DAT" && same=$((same + 1)); done
for i in $(seq 11 18); do cmp -s "out/Target/F$i.DAT" "product/DISK2/F$i.DAT" && same=$((same + 1)); done
[ "$same" -eq 18 ] && ok "extract reproduces every file byte for byte" || fail "only $same of 18 files came back intact"
[ "$(cat out/Target/JOINED.DAT)" = "$(printf 'first part\nsecond part')" ] && ok "appended parts are joined" ||
    fail "JOINED.DAT: $(cat out/Target/JOINED.DAT)"

# The fonts-only picture and the program icon: refused when they are not a
# bitmap or an icon, and readable by the system when they are.
verdict bad-bitmap 1 'product/INSTALL.INI: not a bitmap file' -- build product/INSTALL.INI -o bad.exe --stub "$stub" --bitmap product/INSTALL.INI
verdict bad-icon 1 'product/INSTALL.INI: not an icon file' -- build product/INSTALL.INI -o bad.exe --stub "$stub" --icon product/INSTALL.INI
[ -e bad.exe ] && fail "a refused picture still left bad.exe"
picture=ok
if command -v convert >/dev/null; then
    convert -size 40x48 xc:blue bmp3:picture.bmp
    cp "${rc%/kivinstall.rc}/kivinstall.ico" program.ico
    "$kivpack" build product/INSTALL.INI -o pictured.exe --stub "$stub" --bitmap picture.bmp --icon program.ico \
        >/dev/null 2>pictured.err || fail "build with --bitmap and --icon: $(cat pictured.err)"
else
    picture=""
fi

# A payload name that would leave the extraction directory is refused.
mkdir escape
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\nA.TXT=Target\\..\\..\\A.TXT\n' "$basic" >escape/INSTALL.INI
echo x >escape/A.TXT
echo h >escape/P.HLP
"$kivpack" build escape/INSTALL.INI -o escape.exe --stub "$stub" >/dev/null 2>&1 || fail "build of the escaping script"
"$kivpack" extract escape.exe -d escape-out >/dev/null 2>escape.err
if [ $? -eq 1 ] && grep -q "climbs out of its directory" escape.err && [ ! -e A.TXT ]; then
    ok "extract refuses a name that would leave its directory"
else
    fail "escaping name: $(cat escape.err)"
fi

# A damaged installer is refused with a message, not a crash.
head -c 3000 setup.exe >cut.exe
verdict truncated-installer 1 '' -- list cut.exe
grep -q . truncated-installer.err || fail "no message for a truncated installer"

# --- disks: a disk-mode set ----------------------------------------------
"$kivpack" disks product/INSTALL.INI -o set --stub "$stub" >disks.out 2>&1 || fail "disks: $(cat disks.out)"
[ -f set/DISK1/SETUP.EXE ] && cmp -s set/DISK1/INSTALL.INI product/INSTALL.INI && [ -f set/DISK1/P.HLP ] &&
    [ "$(ls set/DISK1 | wc -l)" -eq 13 ] && [ "$(ls set/DISK2 | wc -l)" -eq 10 ] && ok "disks lays out both disks" ||
    fail "disk set: $(ls -R set)"
"$kivpack" expand set/DISK2/F11.DAT -o f11.out >/dev/null 2>&1 && cmp -s f11.out product/DISK2/F11.DAT &&
    ok "disk files are compressed copies" || fail "set/DISK2/F11.DAT does not expand to its source"

# --- Wine's resource calls read every payload ------------------------------
if command -v wine >/dev/null && [ -f "$probe" ]; then
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$work/prefix"
    wineboot -i >/dev/null 2>&1
    wineserver -p >/dev/null 2>&1 </dev/null
    wine "$probe" setup.exe >probe.out 2>&1 || fail "resource_probe: $(tail -3 probe.out)"
    found=$(tr -d '\r' <probe.out | grep -c '^res 256 ')
    [ "$found" -eq 22 ] && ok "Wine finds all 22 payload resources" || fail "Wine finds $found payload resources"
    if [ -n "$picture" ]; then
        wine "$probe" --image pictured.exe bitmap:500 icon:3000 >pictured.out 2>&1
        tr -d '\r' <pictured.out | grep -q '^bitmap 500 40 48$' && tr -d '\r' <pictured.out | grep -q '^icon 3000 ok$' &&
            ok "the system loads the packed bitmap and icon" || fail "bitmap or icon: $(tail -3 pictured.out)"
    fi
    for id in 12000 12011 12021; do
        size=$(tr -d '\r' <probe.out | awk -v id="$id" '$1 == "res" && $2 == 256 && $3 == id {print $5}')
        want=$(awk -v id="$id" '$1 == id {print $2}' list.out)
        [ -n "$size" ] && [ "$size" = "$want" ] || fail "resource $id: Wine sees ${size:-nothing}, kivpack wrote $want"
    done
else
    echo "note: wine or resource_probe.exe missing: the Wine check did not run"
    [ -n "${CI:-}" ] && fail "the Wine check must run in CI"
fi

if [ "$failures" -eq 0 ]; then echo "kivpack_pack: all checks passed"; else echo "kivpack_pack: $failures checks failed"; fi
[ "$failures" -eq 0 ]
