#!/bin/bash
# kivpack build and disks at scale: the same bytes for -j 1 and -j 4, files
# that cross the compressor's blocks coming back byte for byte; a product
# whose every byte compressed at best is still past the limit of one
# installer refused before a byte is read; one of 1.2 GB (sparse files)
# that compresses below the limit packed; one just past the limit refused,
# with the remedy, once compression shows it; and one just under it packed
# into an installer that starts under Wine as Windows XP and 10.
source "$(dirname "$0")/lib.sh"
kiv_begin

KIVPACK=$KIV_HOST_DIR/kivpack
LIMIT=1073741824
P=$KIV_WORK/product

# product DIR FILE...: a script installing FILE... of DIR into Target.
product() {
    local dir=$1 f
    shift
    mkdir -p "$dir"
    {
        printf '[Basic Information]\r\nHelpFileName=P.HLP\r\nCaption=Scale Setup\r\nProductName=Scale\r\n'
        printf 'DefaultTargetDir=C:\\SCALE\r\nTotalDisks=1\r\nDiskSpace=1000\r\n[Disk 1]\r\nDiskName=Scale\r\n'
        for f; do printf '%s=Target\r\n' "$f"; done
    } >"$dir/INSTALL.INI"
    echo help >"$dir/P.HLP"
}
# leftovers DIR: kivpack's temporaries left in DIR (none is the answer).
leftovers() { find "$1" -maxdepth 1 -name '.kivpack-*' | wc -l; }

kiv_case "the same bytes whatever the threads"
product "$P" TEXT.TXT BIN.DAT EMPTY.DAT RUNS.DAT SMALL.TXT
for i in $(seq 1 40000); do echo "line $i of the text, with words that come back: $((i % 97))"; done >"$P/TEXT.TXT"
head -c 3500000 /dev/urandom >"$P/BIN.DAT"
: >"$P/EMPTY.DAT"
{ head -c 1048570 /dev/zero; printf 'abcdefghijklmnopqrstuvwxyz'; head -c 1048576 /dev/zero; } >"$P/RUNS.DAT"
echo small >"$P/SMALL.TXT"
for j in 1 4; do
    "$KIVPACK" build "$P/INSTALL.INI" -o "$KIV_WORK/j$j.exe" -j "$j" --date 2024-01-02 >/dev/null 2>&1
    kiv_expect_eq $? 0 "build -j $j"
    "$KIVPACK" disks "$P/INSTALL.INI" -o "$KIV_WORK/set$j" -j "$j" >/dev/null 2>&1
    kiv_expect_eq $? 0 "disks -j $j"
done
kiv_expect_same_file "$KIV_WORK/j1.exe" "$KIV_WORK/j4.exe" "build: the same installer for -j 1 and -j 4"
if diff -r "$KIV_WORK/set1" "$KIV_WORK/set4" >/dev/null; then kiv_pass "disks: the same set for -j 1 and -j 4"
else kiv_fail "disks: the sets of -j 1 and -j 4 differ"; fi
"$KIVPACK" extract "$KIV_WORK/j4.exe" -d "$KIV_WORK/out" >/dev/null 2>&1
kiv_expect_eq $? 0 "extract"
for f in TEXT.TXT BIN.DAT EMPTY.DAT RUNS.DAT SMALL.TXT; do
    kiv_expect_same_file "$KIV_WORK/out/Target/$f" "$P/$f" "$f extracted from the installer"
    rm -f "$KIV_WORK/expanded"
    "$KIVPACK" expand "$KIV_WORK/set1/DISK1/$f" -o "$KIV_WORK/expanded" >/dev/null 2>&1
    kiv_expect_same_file "$KIV_WORK/expanded" "$P/$f" "$f expanded from the disk set"
done
"$KIVPACK" build "$P/INSTALL.INI" -o "$KIV_WORK/bad.exe" -j 0 >/dev/null 2>&1
kiv_expect_eq $? 2 "-j 0 is a usage error"
kiv_expect_eq "$(leftovers "$KIV_WORK")" 0 "no temporaries left beside the outputs"
rm -rf "$P" "$KIV_WORK"/set* "$KIV_WORK/out"

kiv_case "refused before any work: even the best compression is too much"
# Three sparse files of 3.5 GB: at best a ninth of that, more than 1 GiB.
# With the generated uninstaller, whose table of installed files would read
# them all: it is made only for a product that can fit.
product "$P" A.DAT B.DAT C.DAT UNINST.EXE
for f in A B C; do truncate -s 3500000000 "$P/$f.DAT"; touch -a -d 2001-01-01 "$P/$f.DAT"; done
before=$(stat -c %X "$P/A.DAT")
"$KIVPACK" build "$P/INSTALL.INI" -o "$KIV_WORK/huge.exe" >"$KIV_WORK/huge.out" 2>&1
kiv_expect_eq $? 1 "build of 10.5 GB of zeros"
kiv_expect_file_has "$KIV_WORK/huge.out" "too large for one installer: its 4 files of 10,500,000,000 bytes make an image of at least"
kiv_expect_file_has "$KIV_WORK/huge.out" "Lay the product out on disks with 'kivpack disks', or pack fewer files in each installer."
kiv_expect_no_file "$KIV_WORK/huge.exe"
kiv_expect_eq "$(leftovers "$KIV_WORK")" 0 "no temporary was made"
"$KIVPACK" check "$P/INSTALL.INI" >"$KIV_WORK/check.out" 2>&1
kiv_expect_file_has "$KIV_WORK/check.out" "warning: 'kivpack build' would refuse it: too large for one installer"
"$KIVPACK" check "$P/INSTALL.INI" --strict >/dev/null 2>&1
kiv_expect_eq $? 1 "check --strict fails on it"
# The sources were not read: reading one now moves its access time (the
# file system keeps them), refusing and checking it did not.
kiv_expect_eq "$(stat -c %X "$P/B.DAT")" "$before" "no file was read for the refusal or the check"
head -c 1 "$P/B.DAT" >/dev/null
kiv_expect_ne "$(stat -c %X "$P/B.DAT")" "$before" "reading a file moves its access time"
rm -rf "$P"

kiv_case "gigabytes that compress below the limit"
# 1.2 GB of zeros, past 2^30 bytes in all, compress to about 140 MB (the
# bench packs 3 GB).
product "$P" Z1.DAT Z2.DAT
truncate -s 600000000 "$P/Z1.DAT"
truncate -s 600000001 "$P/Z2.DAT"
"$KIVPACK" build "$P/INSTALL.INI" -o "$KIV_WORK/zeros.exe" >"$KIV_WORK/zeros.out" 2>&1
kiv_expect_eq $? 0 "build of 1.2 GB: $(tail -1 "$KIV_WORK/zeros.out")"
"$KIVPACK" list "$KIV_WORK/zeros.exe" >"$KIV_WORK/zeros.list" 2>&1
kiv_expect_file_has "$KIV_WORK/zeros.list" "600000001"
rm -rf "$P" "$KIV_WORK/zeros.exe"

kiv_case "just past the limit, and just under it"
# Random bytes grow by an eighth: 64 MiB makes 75,497,486 bytes. Fourteen
# of them (hard links of one file) leave 16 MB under 1 GiB; a fifteenth
# file of 20 MB passes it.
product "$P" $(for i in $(seq -w 1 14); do echo "R$i.DAT"; done) OVER.DAT
head -c 67108864 /dev/urandom >"$P/R01.DAT"
for i in $(seq -w 2 14); do ln "$P/R01.DAT" "$P/R$i.DAT"; done
head -c 20000000 /dev/urandom >"$P/OVER.DAT"
"$KIVPACK" build "$P/INSTALL.INI" -o "$KIV_WORK/over.exe" >"$KIV_WORK/over.out" 2>&1
kiv_expect_eq $? 1 "build just past the limit"
kiv_expect_file_has "$KIV_WORK/over.out" "too large for one installer: its 15 files of 959,524,096 bytes make an image of more than"
kiv_expect_file_has "$KIV_WORK/over.out" "Lay the product out on disks with 'kivpack disks', or pack fewer files in each installer."
kiv_expect_no_file "$KIV_WORK/over.exe"
kiv_expect_eq "$(leftovers "$KIV_WORK")" 0 "no temporaries left after the refusal"

product "$P" $(for i in $(seq -w 1 14); do echo "R$i.DAT"; done)
"$KIVPACK" build "$P/INSTALL.INI" -o "$KIV_C/under.exe" >"$KIV_WORK/under.out" 2>&1
kiv_expect_eq $? 0 "build just under the limit: $(tail -1 "$KIV_WORK/under.out")"
size=$(stat -c %s "$KIV_C/under.exe" 2>/dev/null || echo 0)
if [ "$size" -gt $((LIMIT - 20000000)) ] && [ "$size" -le "$LIMIT" ]; then kiv_pass "its image is just under 1 GiB ($size bytes)"
else kiv_fail "the image has $size bytes"; fi
rm -rf "$P"
for version in winxp win10; do
    kiv_set_version under.exe "$version"
    kiv_start "under-$version" "$KIV_C/under.exe"
    kiv_drive --timeout 60 wait-dialog --title "Scale Setup" -- close --title "Scale Setup" -- \
        wait-gone --title "Scale Setup" && kiv_pass "it starts under Wine as $version"
    kiv_wait "under-$version"
done
rm -f "$KIV_C/under.exe"
kiv_end
