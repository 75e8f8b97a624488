# kivpack as a vendor meets it: the line and the reason behind each verdict,
# warnings for what the installer would read past, scripts saved as UTF-8,
# sources in any letter case, reproducible builds, the script reference's
# examples, and the corpus of scripts keeping its dialog ids.
set -u

src="${KIV_SOURCE_DIR:-$(dirname "$0")/../..}"
kivpack="${KIV_HOST_DIR:-}/kivpack"
stub="${KIV_WIN32_DIR:-}/kivinstall.exe"
for f in "$kivpack" "$stub"; do
    [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done
work=$(mktemp -d /tmp/kiv-lint.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
# run NAME ARGS...: kivpack's exit code in $rc, its output in NAME.out/.err.
run() {
    local name=$1
    shift
    before=$failures
    "$kivpack" "$@" >"$name.out" 2>"$name.err"
    rc=$?
}
# expect NAME CODE LINE...: the exit code, and each LINE standing whole in
# the command's stderr.
expect() {
    local name=$1 code=$2 line
    shift 2
    [ "$rc" -eq "$code" ] || fail "$name: exit code $rc, expected $code: $(cat "$name.err")"
    for line in "$@"; do
        grep -qxF -- "$line" "$name.err" || fail "$name: no line '$line' in: $(cat "$name.err")"
    done
    [ "$failures" -eq "$before" ] && ok "$name"
}

basic='[Basic Information]
HelpFileName=HARBOR.HLP
Caption=HarborLog Setup
ProductName=HarborLog
DefaultTargetDir=C:\HARBOR
DiskSpace=5000'

# --- the vendor's two-disk product: valid, but losing content ---------------
printf '%s\n' "$basic" 'UninstalName=HarborLog' 'TotalDisks=1' '' \
    '[Target Subdirectories]' 'Subdirectory1=DATA' 'Subdirectry2=LOGS' '' \
    '[Program Manager Groups]' 'GroupName=HarborLog' '' \
    '[fonts]' 'HARBOR.TTF=HarborLog Sans (TrueType)' '' \
    '[Run]' 'File=HARBOR.EXE' 'Buttons=Yes/No' 'Message=Start HarborLog?' 'Name=HarborLog' '' \
    '[Disk 1]' 'DiskName=HarborLog Disk 1' 'README.TXT=Target' '' \
    '[Disk 2]' 'DiskName=HarborLog Disk 2' 'HARBOR.EXE=Target' 'CHARTS.DAT=Target' 'HARBOR.TTF=Fonts' >vendor.ini
run vendor check --no-files vendor.ini
expect vendor 0 \
    "vendor.ini:7: warning: the key 'UninstalName' of [Basic Information] is never read; did you mean UninstallName?" \
    "vendor.ini:12: warning: the key 'Subdirectry2' of [Target Subdirectories] is never read; keys here are Subdirectory1, Subdirectory2, ...; did you mean Subdirectory2?" \
    "vendor.ini:14: warning: the section [Program Manager Groups] is never read by the installer; did you mean [Program Manager Group]?" \
    "vendor.ini:18: warning: this font line looks reversed: the key is the font's name and the value its file; did you mean HarborLog Sans (TrueType)=HARBOR.TTF?" \
    "vendor.ini:18: warning: the font file 'HARBOR.TTF' is installed by no file line of the disk sections" \
    "vendor.ini:21: warning: the program 'HARBOR.EXE' is installed by no file line of the disk sections" \
    "vendor.ini:30: warning: [Disk 2] lies beyond TotalDisks=1: its 3 files are never installed"
[ "$(grep -c '^vendor.ini:[0-9]*: warning:' vendor.err)" -eq 7 ] || fail "vendor: $(wc -l <vendor.err) warnings, expected 7"
grep -q 'no group; makes 1 subdirectory; starts HARBOR.EXE; writes no uninstall entry (no UninstallName)\.$' vendor.out ||
    fail "vendor: the summary does not tell of the group and the uninstall entry: $(cat vendor.out)"
run vendor-strict check --no-files vendor.ini --strict
expect vendor-strict 1
run vendor-build build vendor.ini --strict -o never.exe --stub "$stub"
expect vendor-build 1 "vendor.ini: not packed: --strict makes the warnings above errors"
[ -e never.exe ] && fail "vendor-build: an output was written"
# The same product put right: no warning, and the summary names the entry.
sed -e 's/UninstalName/UninstallName/; s/Subdirectry2/Subdirectory2/; s/Groups\]/Group]/' \
    -e 's/^HARBOR.TTF=HarborLog.*/HarborLog Sans (TrueType)=HARBOR.TTF/; s/TotalDisks=1/TotalDisks=2/' vendor.ini >fixed.ini
run fixed check --no-files fixed.ini --strict
expect fixed 0
grep -q '^fixed.ini:[0-9]*: warning:' fixed.err && fail "fixed: warnings remain: $(cat fixed.err)"
grep -q '2 disks: "HarborLog Disk 1" 1 file, "HarborLog Disk 2" 3 files (4 in all); 1 font; 0 group items in "HarborLog"; makes 2 subdirectories; starts HARBOR.EXE; writes the uninstall entry "HarborLog"\.$' fixed.out ||
    fail "fixed: summary $(cat fixed.out)"

# A disk whose key names overflow the list the loader reads: the warning
# names the first file line the loader never sees (the 316th).
tail -c +3 "$src/tests/fuzz/corpus/loader/key-list-overflow.ini" >overflow.ini
run overflow check --no-files overflow.ini
expect overflow 0 "overflow.ini:324: warning: the key names of [Disk 1] overflow the 4,096 bytes the installer reads them into: this line and the ones after it are never read"
grep -q '"Last" 315 files' overflow.out && [ "$(sed -n 324p overflow.ini | tr -d "\r")" = "FILE0315.DA_=Target" ] ||
    fail "overflow: the loader's count and the warned line disagree: $(cat overflow.out)"

# --- faults: the installer's verdict first, then the line and the reason -----
printf '[Basic Informaton]\nHelpFileName=A.HLP\n' >typo.ini
run typo check typo.ini
expect typo 1 \
    'typo.ini:1: [Basic Information] HelpFileName=: The "HelpFileName=" line is missing from the "[Basic Information]" section of INSTALL.INI. (dialog 1600)' \
    'typo.ini:1: the script has no [Basic Information] section; [Basic Informaton] is not read: did you mean [Basic Information]?'
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\nMAP.DAT=Traget\n' "$basic" >keyword.ini
run keyword check keyword.ini
expect keyword 1 \
    "keyword.ini:10: [Disk 1] MAP.DAT=Traget: The above line from $work/keyword.ini contains an error; installation will be aborted. (dialog 1100)" \
    "keyword.ini:10: unknown directory keyword 'Traget' (Target, Windows, System, System32 or Fonts); did you mean Target?"
printf '%s\nTotalDisks=1\n[Run]\nFile=MAP.DAT\nButtons=Yes/Nope\n[Disk 1]\nDiskName=D\nMAP.DAT=Target\n' "$basic" >buttons.ini
run buttons check buttons.ini
expect buttons 1 "buttons.ini:10: Buttons must be OK/Cancel or Yes/No; did you mean Yes/No?"
printf '%s\nTotalDisk=1\n[Disk 1]\nDiskName=D\n' "$basic" >total.ini
run total check total.ini
expect total 1 "total.ini:7: [Basic Information] has no 'TotalDisks=' line; 'TotalDisk' on this line is not read: did you mean TotalDisks?"
printf '%s\nTotalDisks=2\n[Disk 1]\nDiskName=D\n[Disk2]\nDiskName=E\n' "$basic" >disk2.ini
run disk2 check disk2.ini
expect disk2 1 \
    "disk2.ini:10: the script has no [Disk 2] section, which TotalDisks=2 at line 7 asks for; [Disk2] is not read: did you mean [Disk 2]?" \
    "disk2.ini:10: warning: the section [Disk2] is never read by the installer; did you mean [Disk 2]?"
printf '%s\nTotalDisks=1\n[Program Manager Group]\nGroupName=G\nMAP.EXE=Map,Win95,Win98\n[Disk 1]\nDiskName=D\nMAP.EXE=Target,,,HidenFont,VGA\n' "$basic" >words.ini
run words check --no-files words.ini
expect words 0 \
    "words.ini:10: warning: the platform word 'Win98' is not one the installer knows, and is ignored; did you mean Win95?" \
    "words.ini:13: warning: the flag 'HidenFont' is not one the installer knows, and is ignored; did you mean HiddenFont?"
[ "$(grep -c '^words.ini:[0-9]*: warning:' words.err)" -eq 2 ] || fail "words: $(cat words.err)"
# Disks are copied in number order, whatever the order of their sections:
# here the part to append comes before the file it extends.
printf '%s\nTotalDisks=2\n[Disk 2]\nDiskName=E\nPART1.DAT=Target\\DATA.BIN\n[Disk 1]\nDiskName=D\nPART2.DAT=Target\\DATA.BIN,,Append\nLOG.TXT=Target,Log,Append\n' "$basic" >append.ini
run append check --no-files append.ini
expect append 0 "append.ini:13: warning: this Append line comes before the line that installs its destination (line 10): the file is not there yet when it is appended to"
[ "$(grep -c '^append.ini:[0-9]*: warning:' append.err)" -eq 1 ] || fail "append: $(cat append.err)"

# Keys read past because of another key's value.
printf '%s\nFontsOnly=1\nWindowsVersion=4\nTotalDisks=1\nVGADiskSpace=5\n[Run]\nButtons=Yes/No\n[Disk 1]\nDiskName=D\n' "$basic" >skipped.ini
run skipped check --no-files skipped.ini
expect skipped 0 \
    "skipped.ini:5: warning: DefaultTargetDir is never read: FontsOnly (line 7) makes this a fonts-only installation" \
    "skipped.ini:8: warning: WindowsVersion=4 has no point, so it asks for no version; write it as MAJOR.MINOR, such as 4.0" \
    "skipped.ini:10: warning: VGADiskSpace is never read: DiskSpace (line 6) is given for every display" \
    "skipped.ini:12: warning: Buttons is never read: [Run] names no program to start"
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\nA.TXT=Target\n=Target\nB.TXT=Target\n' "$basic" >nameless.ini
run nameless check --no-files nameless.ini
expect nameless 0 "nameless.ini:11: warning: this line has no name before its '=', which ends the list of [Disk 1]: the lines after it are never read"
grep -q '"D" 1 file ' nameless.out || fail "nameless: the loader read past the nameless line: $(cat nameless.out)"
printf '%s\nTotalDisks=1\n[Delete List]\nFile1=Target\\SUB\\OLD.DLL\n[Disk 1]\nDiskName=D\n' "$basic" >delete.ini
run delete check delete.ini
expect delete 1 "delete.ini:9: unknown directory keyword 'Target\\SUB' (Target, Windows, System, System32 or Fonts); the delete list names files directly in one of these directories, not below them"
run build-fault build keyword.ini -o never.exe --stub "$stub"
expect build-fault 1 "keyword.ini:10: unknown directory keyword 'Traget' (Target, Windows, System, System32 or Fonts); did you mean Target?"
[ -e never.exe ] && fail "build-fault: an output was written"

# A name longer than the installer's tables hold is the loader's fault; the
# reason names the part of the line at fault.
long=$(printf 'L%.0s' $(seq 256))
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\n%s=Target\n' "$basic" "$long" >long.ini
run long check long.ini
expect long 1 "long.ini:10: the source name 'LLLLLLLLLLLLLLLLLLLL...' is 256 characters; a name or text in the installer's tables holds at most 255"
grep -q '^long.ini:10: \[Disk 1\] L*=Ta: The above line .*(dialog 1100)$' long.err || fail "long: verdict $(cat long.err)"

# Every part of a line that goes into the installer's tables is held to 255
# characters, each named by what it is.
# (A value is cut at 259 characters first, so a delete-list name or a
# description never gets that long.)
tables=("[fonts]|Sans=$long|font file" "[VGA Fonts]|$long=A.FON|font name" "[Exit List]|$long=|window class"
    "[Target Subdirectories]|Subdirectory1=$long|directory name" "[Old Program Manager Groups]|1.0=$long|group name"
    "[Program Manager Group]|GroupName=G\nA.EXE=$long|item's title")
for t in "${tables[@]}"; do
    IFS='|' read -r header body what <<<"$t"
    printf '%s\nTotalDisks=1\n%s\n%b\n' "$basic" "$header" "$body" >table.ini
    printf '[Disk 1]\nDiskName=D\n' >>table.ini
    "$kivpack" check --no-files table.ini >table.out 2>&1
    grep -q "^table.ini:[0-9]*: the $what 'LLLLLLLLLLLLLLLLLLLL...' is 256 characters; a name or text in the installer's tables holds at most 255$" table.out ||
        fail "the 255-character limit in $header: $(cut -c1-300 table.out)"
done
ok "a name or text over 255 characters is named in each of ${#tables[@]} sections"

# Directories below Target as Windows names them: in any case, with either
# slash, along a subdirectory's path; only the one nothing makes is an error.
printf '%s\n' "$basic" 'TotalDisks=1' '[Target Subdirectories]' 'Subdirectory1=Data\Deep' '[Disk 1]' 'DiskName=D' \
    'A.TXT=Target\DATA\A.TXT' 'B.TXT=Target\data/deep/B.TXT' 'C.TXT=Target\.\Data.\C.TXT' 'D.TXT=Target\X\..\DATA\D.TXT' \
    'E.TXT=Target\Data\Other\E.TXT' 'F.TXT=Windows\HELP\F.TXT' >subdirs.ini
run subdirs check --no-files subdirs.ini
expect subdirs 1 "subdirs.ini:16: [Disk 1] E.TXT=Target\\Data\\Other\\E.TXT: the directory Data\\Other below Target is made by no [Target Subdirectories] line, and the installer makes no directory for a file: the installation stops at this file; add Subdirectory2=Data\\Other to [Target Subdirectories]"
[ "$(wc -l <subdirs.err)" -eq 1 ] && [ ! -s subdirs.out ] || fail "subdirs: $(cat subdirs.out subdirs.err)"

# The bytes: appended parts add to their file, the system directories count,
# the files of another display do not, and past 2 GB the figure cannot be
# written (a sparse file keeps this quick).
mkdir -p bytes
cp "${KIV_HOST_DIR:-}/demo/DEMO.HLP" bytes/HARBOR.HLP
for f in PART1:3000 PART2:2000 SYS:500 EGA:9000; do head -c "${f#*:}" /dev/zero >"bytes/${f%:*}.DAT"; done
printf '%s\n' '[Basic Information]' 'HelpFileName=HARBOR.HLP' 'Caption=Bytes Setup' 'ProductName=Bytes' \
    'DefaultTargetDir=C:\BYTES' 'TotalDisks=1' 'DiskSpace=5500' '' '[Disk 1]' 'DiskName=D' 'PART1.DAT=Target\DATA.BIN' \
    'PART2.DAT=Target\DATA.BIN,,Append' 'SYS.DAT=System32\BYTES.DLL' 'EGA.DAT=Target,,EGA' >bytes/INSTALL.INI
# DiskSpace holds for every display, so the EGA figure counts on VGA too.
[ "$("$kivpack" check --print-diskspace --display vga bytes/INSTALL.INI)" = 5500 ] || fail "bytes: VGA figure"
run bytes check --display vga bytes/INSTALL.INI
expect bytes 0 "bytes/INSTALL.INI:7: warning: DiskSpace=5500 is less than the 14,500 bytes this script installs on an EGA display (5,500 on a VGA display, 5,500 on an 8514 display): the installer compares DiskSpace with the free space of the target drive, so it may start on a drive too small for the files, and the progress bar, whose 100% it is, is full long before the end; write DiskSpace=14500"
truncate -s 3000000000 bytes/EGA.DAT
run huge check bytes/INSTALL.INI
grep -q "write DiskSpace=2147483647, and split the product over installers of less$" huge.err &&
    [ "$("$kivpack" check --print-diskspace bytes/INSTALL.INI)" = 3000005500 ] && ok "a figure past DiskSpace's range" ||
    fail "huge: $(cat huge.err)"
# A number past DiskSpace's 32 bits: wrapped to a positive figure it is a
# warning naming the figure the installer reads, wrapped below 1 a fault.
sed 's/^DiskSpace=5500$/DiskSpace=5000000000/' bytes/INSTALL.INI >bytes/WRAPS.INI
run wraps check bytes/WRAPS.INI
expect wraps 0 "bytes/WRAPS.INI:7: warning: DiskSpace=5000000000 is more than DiskSpace can hold (2,147,483,647): the installer reads it as 705,032,704, the figure it compares with the free space of the target drive and that fills the progress bar; the files come to more than DiskSpace can hold (2,147,483,647): write DiskSpace=2147483647, and split the product over installers of less"
sed 's/^DiskSpace=5500$/DiskSpace=3000000000/' bytes/INSTALL.INI >bytes/NEGATIVE.INI
run negative check bytes/NEGATIVE.INI
expect negative 1 "bytes/NEGATIVE.INI:7: DiskSpace must be a number of bytes from 1 to 2147483647; '3000000000' is more, and the installer reads it as -1294967296"
run space-alone check --print-diskspace --no-files bytes/INSTALL.INI
expect space-alone 2 "kivpack check: --print-diskspace needs the source files; leave out --no-files"

# --- what the loader accepts and the installation does not survive --------
# Each line of this product breaks its installation or harms the system.
mkdir -p harm
cp "${KIV_HOST_DIR:-}/demo/DEMO.HLP" harm/HARBOR.HLP
head -c 412000 /dev/zero >harm/HARBOR.EXE
for f in LOG.TXT CHARTS.DAT V1.TXT V3.TXT; do printf '%s\r\n' "$f" >harm/$f; done
printf '%s\n' '[Basic Information]' 'HelpFileName=HARBOR.HLP' 'Caption=HarborLog Setup' 'ProductName=HarborLog' \
    'Product.INI=SYSTEM.INI' 'DefaultTargetDir=C:\HARBOR' 'TotalDisks=1' 'DiskSpace=1000' '' \
    '[Target Subdirectories]' 'Subdirectory1=DATA' 'Subdirectory2=..\SIBLING' '' \
    '[Delete List]' 'File1=Windows\x/../../VICTIM.INI' '' \
    '[Program Manager Group]' 'GroupName=StartUp' 'HARBOR.EXE=HarborLog' '' \
    '[Run]' 'File=HARBOR.EXE /first-arg' 'Buttons=Yes/No' 'Message=Start HarborLog?' 'Name=HarborLog' '' \
    '[Disk 1]' 'DiskName=HarborLog Disk 1' 'HARBOR.EXE=Target' 'LOG.TXT=Target\LOGS\LOG.TXT' \
    'CHARTS.DAT=Target\DATA\CHARTS.DAT' 'V1.TXT=Target\..\VICTIM1.TXT' 'V3.TXT=Target\a/../../VICTIM3.TXT' \
    'ZEBRA.BIN=Target' >harm/INSTALL.INI
damage=(
    "harm/INSTALL.INI:5: warning: Product.INI=SYSTEM.INI names SYSTEM.INI, a file of Windows: the installer writes the product's [Settings] (Directory, Version, FirstTime) into it, and takes what it finds there for an earlier copy of the product; name a file of the product's own"
    "harm/INSTALL.INI:12: warning: Subdirectory2=..\\SIBLING climbs out of the target directory with '..': the installer makes a directory outside it; name one below the target directory"
    "harm/INSTALL.INI:15: warning: File1=Windows\\x/../../VICTIM.INI climbs out of the Windows directory with '..': the installer deletes a file outside it, which may be no file of the product's; name a file directly in Windows"
    "harm/INSTALL.INI:18: warning: GroupName=StartUp names the group StartUp, which Windows and other programs share: the installer deletes it, with every other program's items in it, before it makes its own; name a group of the product's own, such as HarborLog"
    "harm/INSTALL.INI:32: warning: the destination Target\\..\\VICTIM1.TXT climbs out of the target directory with '..': the file is written outside it, over whatever file of that name is there; name a place below Target"
    "harm/INSTALL.INI:33: warning: the destination Target\\a/../../VICTIM3.TXT climbs out of the target directory with '..': the file is written outside it, over whatever file of that name is there; name a place below Target")
subdir="harm/INSTALL.INI:30: [Disk 1] LOG.TXT=Target\\LOGS\\LOG.TXT: the directory LOGS below Target is made by no [Target Subdirectories] line, and the installer makes no directory for a file: the installation stops at this file; add Subdirectory3=LOGS to [Target Subdirectories]"
run harm check harm/INSTALL.INI
expect harm 1 "$subdir" "${damage[@]}" \
    "harm/INSTALL.INI:34: [Disk 1] ZEBRA.BIN=Target: the source file 'ZEBRA.BIN' is in none of the folders searched: $work/harm/DISK1/ and $work/harm/"
# With a source missing the bytes are not known, and DiskSpace is left alone.
[ "$(grep -c warning: harm.err)" -eq 6 ] && ! grep -q 'installed by no file line\|valid on' harm.err harm.out ||
    fail "harm: the program with an argument, or a summary: $(cat harm.out harm.err)"
run harm-alone check --no-files --strict harm/INSTALL.INI
expect harm-alone 1 "$subdir" "${damage[@]}"
[ "$(wc -l <harm-alone.err)" -eq 7 ] || fail "harm-alone: without files, a source or DiskSpace is named: $(cat harm-alone.err)"
run harm-build build harm/INSTALL.INI -o harm.exe --stub "$stub"
expect harm-build 1 "$subdir"
[ -e harm.exe ] && fail "harm-build: an output was written"
run harm-space check --print-diskspace harm/INSTALL.INI
[ "$rc" -eq 1 ] && [ ! -s harm-space.out ] && ok "--print-diskspace prints nothing for a script with errors" ||
    fail "harm-space: $rc $(cat harm-space.out)"

# Mended as the messages say, it checks clean, and DiskSpace is the figure.
rm harm/V1.TXT harm/V3.TXT
sed -i -e 's/^Product.INI=.*/Product.INI=HARBOR.INI/; s/^Subdirectory2=.*/Subdirectory2=LOGS/; /VICTIM/d' \
    -e 's/^GroupName=.*/GroupName=HarborLog/; /^ZEBRA/d' harm/INSTALL.INI
run mended-space check --print-diskspace harm/INSTALL.INI
bytes=$(($(stat -c %s harm/HARBOR.EXE harm/LOG.TXT harm/CHARTS.DAT | paste -sd+)))
[ "$rc" -eq 0 ] && [ "$(cat mended-space.out)" = "$bytes" ] && [ ! -s mended-space.err ] &&
    ok "--print-diskspace prints the $bytes bytes of the files alone" || fail "mended-space: $(cat mended-space.out mended-space.err)"
run mended-build build --strict harm/INSTALL.INI -o harm.exe --stub "$stub"
expect mended-build 1 "harm/INSTALL.INI:8: warning: DiskSpace=1000 is less than the $(sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$bytes") bytes this script installs: the installer compares DiskSpace with the free space of the target drive, so it may start on a drive too small for the files, and the progress bar, whose 100% it is, is full long before the end; write DiskSpace=$bytes"
sed -i "s/^DiskSpace=.*/DiskSpace=$bytes/" harm/INSTALL.INI
run mended check --strict harm/INSTALL.INI
expect mended 0
[ ! -s mended.err ] && grep -q 'valid on a VGA display.*starts HARBOR.EXE /first-arg;' mended.out || fail "mended: $(cat mended.out mended.err)"

# Names the shell, the Windows directory and the launch take as paths.
printf '%s\n' '[Basic Information]' 'HelpFileName=HARBOR.HLP,WIN.INI' 'Caption=Names Setup' 'ProductName=Names' \
    'DefaultTargetDir=C:\NAMES' 'TotalDisks=1' 'DiskSpace=1000' '' \
    '[Program Manager Group]' 'GroupName=Tools\..\..\Desktop' 'APP.EXE=App' '' \
    '[Old Program Manager Groups]' '1.0=Main' '2.0=Names 2' '' \
    '[Run]' 'File=BIN\APP.EXE -x' 'Win95File="My App.exe" /y' 'WinNTFile=My App.exe' 'Buttons=OK/Cancel' \
    'Message=Start?' 'Name=App' '' \
    '[Disk 1]' 'DiskName=D' 'APP.EXE=Windows' 'MYAPP.EXE=Target\My App.exe' >names.ini
run names check --no-files names.ini
expect names 0 \
    "names.ini:2: warning: the help file is put in the Windows directory as WIN.INI while the installer runs, and deleted when it ends: the system's own WIN.INI is replaced and deleted; give the installed help file a name of its own" \
    "names.ini:10: warning: GroupName=Tools\\..\\..\\Desktop holds '..', which the shell takes as the folder above: the installer deletes the group it names, which may be another program's or a folder of the system; name the group without '..'" \
    "names.ini:14: warning: the old group 1.0=Main names the group Main, which Windows and other programs share: when this installation replaces version 1.0, the installer deletes it, with every other program's items in it, before it makes its own; name a group of the product's own, such as Names" \
    "names.ini:18: warning: the program 'BIN\\APP.EXE' is started from the target directory, where no file line puts it: line 27 installs Windows\\APP.EXE"
[ "$(grep -c warning: names.err)" -eq 4 ] ||
    fail "names: a program with quotes or blanks is taken for another: $(cat names.err)"

# Display classes: each key against the bytes of its class, and a disk
# without a file of a class, where the copying of that class stops.
mkdir -p classes
cp harm/HARBOR.HLP classes/
for f in ALL:1000 EGA:5000 VGA:3000 EGA2:200 LAST:700; do head -c "${f#*:}" /dev/zero >"classes/${f%:*}.DAT"; done
printf '%s\n' '[Basic Information]' 'HelpFileName=HARBOR.HLP' 'Caption=Classes Setup' 'ProductName=Classes' \
    'DefaultTargetDir=C:\CLASSES' 'TotalDisks=3' 'EGADiskSpace=6900' 'VGADiskSpace=3999' '8514DiskSpace=1000' '' \
    '[Disk 1]' 'DiskName=One' 'ALL.DAT=Target' 'EGA.DAT=Target,,EGA' 'VGA.DAT=Target,,VGA' '' \
    '[Disk 2]' 'DiskName=Two' 'EGA2.DAT=Target,,EGA' '' '[Disk 3]' 'DiskName=Three' 'LAST.DAT=Target' >classes/INSTALL.INI
run classes check classes/INSTALL.INI --display 8514
expect classes 0 \
    "classes/INSTALL.INI:8: warning: VGADiskSpace=3999 is less than the 4,000 bytes this script installs on a VGA display: the installer compares VGADiskSpace with the free space of the target drive, so it may start on a drive too small for the files, and the progress bar, whose 100% it is, is full long before the end; write VGADiskSpace=4000" \
    "classes/INSTALL.INI:17: warning: [Disk 2] has no file for a VGA or an 8514 display, and the installer stops copying at the first disk without one: on VGA or 8514, 1 file of the later disks is never installed; put a file for VGA or 8514 on this disk, or move the later disks' files for it onto an earlier one"
[ "$(grep -c warning: classes.err)" -eq 2 ] && grep -q '^classes/INSTALL.INI: valid on an 8514 display' classes.out ||
    fail "classes: $(cat classes.out classes.err)"
figures=
for display in "" ega vga 8514; do
    figures+="$("$kivpack" check --print-diskspace classes/INSTALL.INI ${display:+--display $display}) "
done
[ "$figures" = "6900 6900 4000 1000 " ] && ok "--print-diskspace: the largest class, or the one named" || fail "classes: figures $figures"

# --- text: a byte-order mark, UTF-8 and a character code page 1252 lacks -----
printf '%s\nTotalDisks=1\n[Disk 1]\nDiskName=D\n' "$basic" >plain.ini
{ printf '\xef\xbb\xbf'; cat plain.ini; } >bom.ini
run bom check --no-files bom.ini
expect bom 0 "bom.ini:1: warning: the script begins with a UTF-8 byte-order mark; it is dropped where the script is packed (the installer would take it as part of the first line)"
sed 's/^Caption=.*/Caption=Setup für HarborLog/' plain.ini >utf8.ini
run utf8 check --no-files utf8.ini
expect utf8 0
grep -qx 'utf8.ini: UTF-8 text, packed as code page 1252' utf8.out || fail "utf8: check does not say it converts: $(cat utf8.out)"
grep -q '("Setup für HarborLog")' utf8.out || fail "utf8: summary $(cat utf8.out)"
printf 'help\r\n' >HARBOR.HLP
"$kivpack" build utf8.ini -o utf8.exe --stub "$stub" >/dev/null 2>&1 && "$kivpack" extract utf8.exe -d utf8x >/dev/null 2>&1 ||
    fail "utf8: build and extract"
packed=$(find utf8x -maxdepth 1 -iname '*.ini' | head -1)
[ -n "$packed" ] && grep -q $'^Caption=Setup f\xfcr HarborLog$' "$packed" && ok "utf8: the packed script is code page 1252" ||
    fail "utf8: packed script '$packed': $(ls utf8x)"
"$kivpack" disks bom.ini -o bomset --stub "$stub" >/dev/null 2>&1 || fail "bom: disks failed"
cmp -s bomset/DISK1/INSTALL.INI plain.ini && ok "disks writes the script without its mark" || fail "bom: disks copy differs"
sed 's/^ProductName=.*/ProductName=Гавань/' plain.ini >cyrillic.ini
run cyrillic build cyrillic.ini -o never.exe --stub "$stub"
expect cyrillic 1 "cyrillic.ini:4: the character 'Г' (U+0413) has no byte in code page 1252; the installer's text is code page 1252"
[ -e never.exe ] && fail "cyrillic: an output was written"

# --- sources: any letter case, every folder named, case twins refused --------
mkdir -p DISK2
printf 'readme\r\n' >readme.txt
printf 'program\r\n' >DISK2/harbor.exe
printf 'charts\r\n' >CHARTS.DAT
printf 'font\r\n' >DISK2/Harbor.Ttf
run mixed build fixed.ini -o mixed.exe --stub "$stub" --date 2024-05-06
expect mixed 0
"$kivpack" extract mixed.exe -d mixedx >/dev/null 2>&1 && cmp -s mixedx/Target/CHARTS.DAT CHARTS.DAT &&
    cmp -s mixedx/Target/README.TXT readme.txt && cmp -s mixedx/Target/HARBOR.EXE DISK2/harbor.exe &&
    ok "sources of any case, beside the script when DISK2/ lacks them, are packed" ||
    fail "mixed: extracted files differ: $(ls -R mixedx)"
printf 'twin\r\n' >DISK2/HARBOR.EXE
run twins build fixed.ini -o never.exe --stub "$stub"
twins=$(grep -c "^fixed.ini:32: \[Disk 2\] HARBOR.EXE=Target: '\(HARBOR.EXE\|harbor.exe\)' and '\(HARBOR.EXE\|harbor.exe\)' in $work/DISK2/ differ only in letter case, which Windows cannot tell apart; keep one of them$" twins.err)
expect twins 1
[ "$twins" -eq 1 ] || fail "twins: $(cat twins.err)"
rm DISK2/HARBOR.EXE CHARTS.DAT
run missing disks fixed.ini -o set --stub "$stub"
expect missing 1 "fixed.ini:33: [Disk 2] CHARTS.DAT=Target: the source file 'CHARTS.DAT' is in none of the folders searched: $work/DISK2/ and $work/"

# --- the resource stamp and reproducible builds ------------------------------
printf 'charts\r\n' >CHARTS.DAT
SOURCE_DATE_EPOCH=1700000000 "$kivpack" build fixed.ini -o one.exe --stub "$stub" >/dev/null 2>&1
sleep 1
SOURCE_DATE_EPOCH=1700000000 "$kivpack" build fixed.ini -o two.exe --stub "$stub" >/dev/null 2>&1
[ -s one.exe ] && cmp -s one.exe two.exe && ok "two builds with one SOURCE_DATE_EPOCH are the same bytes" || fail "builds differ"
"$kivpack" build fixed.ini -o three.exe --stub "$stub" --date "2023-11-14 22:13:20" >/dev/null 2>&1
cmp -s one.exe three.exe && ok "--date gives the stamp of that moment's SOURCE_DATE_EPOCH" ||
    fail "--date and SOURCE_DATE_EPOCH of one moment differ"
cmp -s one.exe mixed.exe && fail "builds of two dates are the same bytes"
# 2023-11-14 22:13:20: DOS date 22382, time 45482 (seconds halved);
# 2024-05-06: 22694. Strings are UTF-16 in the image.
utf16() { printf '%s' "$1" | iconv -t UTF-16LE | od -An -tx1 | tr -d ' \n'; }
hex=$(od -An -tx1 one.exe | tr -d ' \n')
other=$(od -An -tx1 mixed.exe | tr -d ' \n')
[[ $hex == *"$(utf16 22382)"* && $hex == *"$(utf16 45482)"* && $other == *"$(utf16 22694)"* &&
    $other != *"$(utf16 22382)"* ]] &&
    ok "strings 8001 and 8002 hold the build's DOS date and time" || fail "the stamp strings are not in the image"
run bad-date build fixed.ini -o never.exe --stub "$stub" --date 1979-12-31
expect bad-date 1 "kivpack build: --date '1979-12-31': a file date must lie in the years 1980 to 2107"

# --- expand: a file that is not SZDD ----------------------------------------
printf 'not compressed\n' >notes.txt
cp notes.txt notes.orig
run expand expand notes.txt
expect expand 0
cmp -s notes.txt notes.orig && grep -qx 'notes.txt: not compressed; left as it is' expand.out &&
    ok "expand leaves a plain file as it is" || fail "expand of a plain file: $(cat expand.out expand.err)"

# --- the script reference: every example checks clean ------------------------
awk -v dir="$work" '/^```ini$/ { n++; on = 1; next } /^```$/ { on = 0; next } on { print > (dir "/example" n ".ini") }' \
    "$src/docs/script-reference.md"
examples=$(find . -maxdepth 1 -name 'example*.ini' | wc -l)
[ "$examples" -ge 5 ] || fail "the script reference has $examples examples"
# The examples come without their files.
for f in example*.ini; do
    "$kivpack" check --strict --no-files "$f" >"$f.out" 2>&1 && ! grep -q "^$f:[0-9]*: warning:" "$f.out" || fail "$f: $(cat "$f.out")"
done
ok "$examples examples of the script reference check clean"

# --- the demo, with the files its build makes: no warning, DiskSpace enough -
mkdir -p demo
cp "$src/examples/demo/INSTALL.INI" "$src/examples/demo/README.TXT" demo/
cp "${KIV_HOST_DIR:-}/demo/DEMO.HLP" demo/
cp "${KIV_WIN32_DIR:-}/demo/KIVDEMO.exe" demo/KIVDEMO.EXE
"$kivpack" check --strict demo/INSTALL.INI >demo.out 2>&1 && ! grep -q warning demo.out &&
    ok "the demo checks clean" || fail "demo: $(cat demo.out)"
need=$("$kivpack" check --print-diskspace demo/INSTALL.INI 2>&1)
given=$(sed -n 's/^DiskSpace=\([0-9]*\).*/\1/p' demo/INSTALL.INI)
uninst=$(stat -c %s "${KIV_WIN32_DIR:-}/kivuninst.exe")
[[ $need =~ ^[0-9]+$ ]] && [ "$need" -gt $(($(stat -c %s demo/KIVDEMO.EXE demo/README.TXT | paste -sd+) + uninst)) ] &&
    [ "$need" -le "$given" ] && ok "the demo installs $need bytes, its generated uninstaller counted; DiskSpace=$given" ||
    fail "demo: --print-diskspace gives '$need' for DiskSpace=$given"

# --- the corpus gives the dialog ids it gave before --------------------------
# Recorded from kivpack check before it gave reasons and warnings; 0 is a
# valid script. Scripts of the loader's corpus begin with two bytes of
# environment.
corpus="basic-crlf 1600 basic-lf 1600 before-section-only 1600 before-section 1600 blanks 1600 comments 1600
control-chars 1600 cp1252 1600 cr-only 1600 ctrlz 1600 duplicates 1600 empty-keys 1600 empty 1600 headers 1600
install-like 0 ints 1600 key-list-4096 1600 keys-with-spaces 1600 long-lines 1600 many-keys 1600
many-sections 1600 mixed-eol 1600 no-final-newline-header 1600 no-final-newline 1600 noequals 1600
nul-bytes 1600 only-blanks 1600 quotes 1600 tabs 1600 utf16be 1600 utf16le 1600
loader/bad-buttons 1100 loader/bad-delete 1100 loader/bad-disk-line 1100 loader/bad-help 1100
loader/bad-space 1100 loader/fonts-only 1600 loader/full 0 loader/key-list-overflow 0 loader/minimal 0
loader/missing-caption 1600 loader/resource-mode 2800 loader/table-limits 0 loader/too-many-disks 2500
loader/too-old 2800"
scripts=0
while read -r name id; do
    [ -n "$name" ] || continue
    if [[ $name == loader/* ]]; then
        file=${name#loader/}.ini
        tail -c +3 "$src/tests/fuzz/corpus/loader/$file" >"$file"
    else
        file=$src/tests/e2e/profile_corpus/$name.ini
    fi
    "$kivpack" check --no-files "$file" >corpus.out 2>&1
    code=$?
    got=$(sed -n 's/.*(dialog \([0-9]*\))$/\1/p' corpus.out)
    [ "${got:-0}" = "$id" ] || fail "corpus $name: dialog ${got:-none}, expected $id"
    [ "$code" -eq $((id ? 1 : 0)) ] || fail "corpus $name: exit code $code for dialog $id"
    scripts=$((scripts + 1))
done < <(xargs -n 2 <<<"$corpus")
[ "$scripts" -eq 45 ] && ok "the corpus' $scripts scripts keep their dialog ids" || fail "read $scripts corpus scripts"

[ "$failures" -eq 0 ] && echo "all checks passed" || echo "$failures checks failed"
[ "$failures" -eq 0 ]
