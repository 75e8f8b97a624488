#!/bin/bash
# A disk set on real media: `kivpack disks --media` refuses a disk that does
# not fit its floppy; --images makes FAT12 floppy images that mtools reads
# back byte for byte with their labels, and a CD image with the DISKn
# folders under Joliet names, the same bytes for the same --date; the
# version resource of setup.exe and of the uninstaller as exiftool reads it.
# Under Wine: the set as DISK1/ and DISK2/ folders on a fixed drive installs
# without a prompt, with DISK2/ gone dialog 1800 appears, and the floppy
# images' files on a removable drive ask for disk 2 by its name (1700).
source "$(dirname "$0")/lib.sh"
kiv_begin

for tool in mformat mcopy mdir xorriso exiftool; do
    command -v "$tool" >/dev/null || kiv_die "$tool is not installed (mtools, xorriso, libimage-exiftool-perl)"
done
export MTOOLSRC=/dev/null
STUB=$(kiv_exe kivinstall.exe)
UNSTUB=$(kiv_exe kivuninst.exe)
TITLE="Media Test Setup"
pack() { "$KIV_PACK" "$@" --stub "$STUB" --uninstaller-stub "$UNSTUB"; }

# The product: two files that do not compress (SZDD makes them larger), far
# more together than a 1.44 MB floppy holds, and small ones, one of them
# with a long name.
SRC=$KIV_WORK/src
mkdir -p "$SRC"
head -c 700000 /dev/urandom >"$SRC/BIG1.DAT"
head -c 700000 /dev/urandom >"$SRC/BIG2.DAT"
printf 'Read me first.\r\n' >"$SRC/README.TXT"
printf 'Notes for the users of the product.\r\n' >"$SRC/notes-for-users.txt"
printf 'help\r\n' >"$SRC/MEDIA.HLP"

# script FILE TOTALDISKS VERSION: INSTALL.INI-style script; the disk sections
# come from standard input.
script() {
    {
        printf '[Basic Information]\r\nHelpFileName=MEDIA.HLP\r\nCaption=%s\r\nProductName=Media Test\r\n' "$TITLE"
        printf 'ProductVersion=%s\r\nDefaultTargetDir=C:\\MEDIA\r\nTotalDisks=%s\r\nDiskSpace=3000000\r\n' "$3" "$2"
        printf 'UninstallName=Media Test\r\n\r\n'
        cat
    } >"$1"
}
script "$SRC/ONE.INI" 1 1.2.3 <<'EOF'
[Disk 1]
DiskName=Media Test Disk 1
BIG1.DAT=Target
BIG2.DAT=Target
EOF
script "$SRC/INSTALL.INI" 2 '2.0 beta' <<'EOF'
[Disk 1]
DiskName=Media Test: disk 1/2
BIG1.DAT=Target
README.TXT=Target
UNINST.EXE=Target,Uninstaller

[Disk 2]
DiskName=Media Test: disk 2/2
BIG2.DAT=Target
notes-for-users.txt=Target\NOTES.TXT
EOF

# ---------------------------------------------------------------------------
kiv_case "a disk over 1.44 MB is refused, naming the disk and the line"
pack disks "$SRC/ONE.INI" -o "$KIV_WORK/one" --media 1.44m --images >"$KIV_WORK/one.out" 2>"$KIV_WORK/one.err"
kiv_expect_eq "$?" 1 "exit code of the overflowing set"
err=$(cat "$KIV_WORK/one.err")
kiv_expect_contains "$err" "$SRC/ONE.INI:12: [Disk 1]: DISK1 does not fit on a 1.44M disk: its files take " \
    "the error names the script's line, the disk and the medium"
kiv_expect_contains "$err" " of the 1,457,664 free, " "the error gives the floppy's free bytes"
kiv_expect_no_file "$KIV_WORK/one/DISK1.IMG" "no image of a disk that does not fit"
pack disks "$SRC/ONE.INI" -o "$KIV_WORK/one" --media 2.88M >"$KIV_WORK/one.out" 2>&1
kiv_expect_eq "$?" 0 "the same disk fits a 2.88 MB floppy"
kiv_expect_contains "$(cat "$KIV_WORK/one.out")" "  DISK1: 5 files, " "the summary gives the disk's files"
for bad in "--media 1.3M" "--images" "--media 720K --version-number 1.x" "--media 65536 --images"; do
    # shellcheck disable=SC2086
    pack disks "$SRC/ONE.INI" -o "$KIV_WORK/bad" $bad >/dev/null 2>"$KIV_WORK/bad.err"
    kiv_expect_eq "$?" 1 "'$bad' is refused ($(head -1 "$KIV_WORK/bad.err"))"
done
kiv_expect_no_file "$KIV_WORK/bad" "a refused option writes nothing"

# The root directory of a 1.44 MB floppy: 224 entries, one of them the
# label, three of them SETUP.EXE, the script and the help file; a long name
# takes one entry more for each 13 characters. Where kivpack says a disk
# fits, mtools must be able to make its image.
# names COUNT FORMAT: a one-disk script ROOT.INI with COUNT tiny files.
names() {
    local i
    rm -rf "$KIV_WORK/root" && mkdir "$KIV_WORK/root" && cp "$SRC/MEDIA.HLP" "$KIV_WORK/root/"
    for i in $(seq "$1"); do
        # shellcheck disable=SC2059
        printf 'x' >"$KIV_WORK/root/$(printf "$2" "$i")"
    done
    { printf '[Disk 1]\r\nDiskName=Root\r\n'; (cd "$KIV_WORK/root" && ls | grep -v '\.HLP$\|\.INI$' | sed 's/$/=Target\r/'); } |
        script "$KIV_WORK/root/ROOT.INI" 1 1.0
}
for entry in "220 F%03d.TXT 0" "221 F%03d.TXT 1" "73 a-long-file-name-%03d.txt 0" "74 a-long-file-name-%03d.txt 1"; do
    read -r count format expected <<<"$entry"
    names "$count" "$format"
    pack disks "$KIV_WORK/root/ROOT.INI" -o "$KIV_WORK/rootset" --media 1.44M --images >"$KIV_WORK/root.out" 2>&1
    rc=$?
    kiv_expect_eq "$rc" "$expected" "$count files named like $format: exit code ($(grep -v warning "$KIV_WORK/root.out" | tail -1))"
    if [ "$expected" = 0 ]; then
        kiv_expect_eq "$(mdir -b -i "$KIV_WORK/rootset/DISK1.IMG" ::/ | wc -l)" $((count + 3)) \
            "mtools put every file of the fitting disk on the image"
    else
        kiv_expect_contains "$(cat "$KIV_WORK/root.out")" " root directory entries of the 223 free, " \
            "the refusal counts root directory entries"
    fi
    rm -rf "$KIV_WORK/rootset"
done

# ---------------------------------------------------------------------------
kiv_case "two floppy images: labels, names and bytes read back by mtools"
SET=$KIV_C/SET
pack disks "$SRC/INSTALL.INI" -o "$SET" --media 1.44M --images --date '2024-05-06 07:08:10' \
    --company 'Kiv Test Works' --copyright '(c) 2024 Kiv Test Works' >"$KIV_WORK/set.out" 2>&1
kiv_expect_eq "$?" 0 "kivpack disks --images ($(tail -1 "$KIV_WORK/set.out"))"
for d in 1 2; do
    img=$SET/DISK$d.IMG
    kiv_expect_eq "$(stat -c %s "$img" 2>/dev/null)" 1474560 "DISK$d.IMG is a 1.44 MB image"
    listing=$(mdir -i "$img" :: 2>&1)
    kiv_expect_contains "$listing" "Volume in drive : is MEDIA TEST_" "DISK$d.IMG is labelled from its DiskName"
    kiv_expect_contains "$(mdir -b -i "$img" ::/ | sort | tr '\n' ' ')" \
        "$(cd "$SET/DISK$d" && ls | sed 's|^|::/|' | sort | tr '\n' ' ')" "DISK$d.IMG holds the files of DISK$d/"
    kiv_expect_contains "$listing" "2024-05-06   7:08" "the files carry the --date"
    rm -rf "$KIV_WORK/back$d" && mkdir "$KIV_WORK/back$d"
    mcopy -i "$img" '::/*' "$KIV_WORK/back$d/"
    same=yes
    for f in "$SET/DISK$d"/*; do cmp -s "$f" "$KIV_WORK/back$d/$(basename "$f")" || same="no: $f"; done
    kiv_expect_eq "$same" yes "every file of DISK$d.IMG reads back byte for byte"
done
kiv_expect_contains "$(mdir -a -i "$SET/DISK2.IMG" ::)" "notes-for-users.txt" "the long name is kept"
pack disks "$SRC/INSTALL.INI" -o "$KIV_WORK/again" --media 1.44M --images --date '2024-05-06 07:08:10' \
    --company 'Kiv Test Works' --copyright '(c) 2024 Kiv Test Works' >/dev/null 2>&1
for f in DISK1.IMG DISK2.IMG DISK1/SETUP.EXE; do
    kiv_expect_eq "$(cmp "$SET/$f" "$KIV_WORK/again/$f" 2>&1)" "" "$f: the same bytes for the same --date"
done

# ---------------------------------------------------------------------------
kiv_case "the version resource of setup.exe and of the uninstaller"
# field FILE NAME: one field as exiftool reads it.
field() { exiftool -s3 -"$2" "$1" 2>/dev/null; }
S=$SET/DISK1/SETUP.EXE
kiv_expect_eq "$(field "$S" FileDescription)" "Media Test Setup" "FileDescription"
kiv_expect_eq "$(field "$S" ProductName)" "Media Test" "ProductName"
kiv_expect_eq "$(field "$S" ProductVersion)" "2.0 beta" "ProductVersion keeps the script's text"
kiv_expect_eq "$(field "$S" FileVersionNumber)" "0.0.0.0" "a version that is not numeric has 0.0.0.0"
kiv_expect_eq "$(field "$S" CompanyName)" "Kiv Test Works" "CompanyName from --company"
kiv_expect_eq "$(field "$S" LegalCopyright)" "(c) 2024 Kiv Test Works" "LegalCopyright from --copyright"
kiv_expect_eq "$(field "$S" OriginalFileName)" "SETUP.EXE" "OriginalFilename"
"$KIV_PACK" expand "$SET/DISK1/UNINST.EXE" -o "$KIV_WORK/uninst.exe" >/dev/null
kiv_expect_eq "$(field "$KIV_WORK/uninst.exe" FileDescription)" "Media Test Uninstall" "the uninstaller's description"
kiv_expect_eq "$(field "$KIV_WORK/uninst.exe" CompanyName)" "Kiv Test Works" "the uninstaller's company"
pack build "$SRC/ONE.INI" -o "$KIV_WORK/atlas.exe" --version-number 1.2.3.4 --company 'Kiv' >/dev/null 2>&1
kiv_expect_eq "$(field "$KIV_WORK/atlas.exe" FileVersionNumber)" "1.2.3.4" "build: --version-number"
kiv_expect_eq "$(field "$KIV_WORK/atlas.exe" ProductVersion)" "1.2.3" "build: ProductVersion"
kiv_expect_eq "$(field "$KIV_WORK/atlas.exe" OriginalFileName)" "setup.exe" \
    "build: the name the file is known by, whatever the output's name"
pack build "$SRC/ONE.INI" -o "$KIV_WORK/plain.exe" >/dev/null 2>&1
kiv_expect_eq "$(field "$KIV_WORK/plain.exe" ProductVersionNumber)" "1.2.3.0" "build: the script's numeric version"

# ---------------------------------------------------------------------------
kiv_case "a CD image: the DISKn folders under Joliet names"
pack disks "$SRC/INSTALL.INI" -o "$KIV_WORK/cd" --media cd --images --date 2024-05-06 >"$KIV_WORK/cd.out" 2>&1
kiv_expect_eq "$?" 0 "kivpack disks --media CD --images ($(tail -1 "$KIV_WORK/cd.out"))"
ISO=$KIV_WORK/cd/CD.ISO
kiv_expect_eq "$(dd if="$ISO" bs=2048 skip=17 count=1 2>/dev/null | head -c 91 | tail -c 3 | tr -d '\0')" "%/E" \
    "the image has a Joliet volume"
names=$(xorriso -rockridge off -joliet on -indev "$ISO" -find / -type f 2>/dev/null | tr -d "'" | sort | tr '\n' ' ')
kiv_expect_eq "$names" "$(cd "$KIV_WORK/cd" && find DISK1 DISK2 -type f | sed 's|^|/|' | sort | tr '\n' ' ')" \
    "the Joliet names are those of the folders"
xorriso -osirrox on -indev "$ISO" -extract /DISK2/notes-for-users.txt "$KIV_WORK/notes.back" >/dev/null 2>&1
kiv_expect_same_file "$KIV_WORK/notes.back" "$KIV_WORK/cd/DISK2/notes-for-users.txt" "a file reads back from the CD"
kiv_expect_eq "$(xorriso -indev "$ISO" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: //p')" "MEDIA_TEST" \
    "the volume id is the product's name"

# ---------------------------------------------------------------------------
kiv_case "the set as DISK1/ and DISK2/ folders on a fixed drive: no prompt"
T=$KIV_C/MEDIA
kiv_begin_install folders 'C:\SET\DISK1\SETUP.EXE'
kiv_completes folders
kiv_expect_same_file "$T/BIG2.DAT" "$SRC/BIG2.DAT" "the second disk's file comes from DISK2/"
kiv_expect_same_file "$T/NOTES.TXT" "$SRC/notes-for-users.txt" "and so does its long-named file"
kiv_expect_only_files "$T" BIG1.DAT BIG2.DAT NOTES.TXT README.TXT UNINST.EXE

kiv_case "DISK2/ missing: dialog 1800 as before"
rm -rf "$T"
mv "$SET/DISK2" "$SET/OTHER"
kiv_begin_install missing 'C:\SET\DISK1\SETUP.EXE'
kiv_drive wait-dialog --title "$TITLE" --text "Unable to locate BIG2.DAT" -- press --id 2
kiv_wait missing
kiv_expect_no_file "$T/BIG2.DAT" "nothing of the second disk is installed"
mv "$SET/OTHER" "$SET/DISK2"

kiv_case "a DISK2/ of another set beside DISK1/: its file fails the recorded checksum"
cp "$SET/DISK2/BIG2.DAT" "$KIV_WORK/BIG2.KEEP"
head -c 5000 /dev/urandom >"$KIV_WORK/other.dat"
"$KIV_PACK" compress "$KIV_WORK/other.dat" -o "$SET/DISK2/BIG2.DAT" >/dev/null
kiv_begin_install foreign 'C:\SET\DISK1\SETUP.EXE'
kiv_expect_contains "$(kiv_copy_error)" 'Filename: C:\SET\DISK2\BIG2.DAT' "the foreign file is refused, named"
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 2
kiv_wait foreign
kiv_expect_no_file "$T/BIG2.DAT" "the foreign file is not left installed"
cp "$KIV_WORK/BIG2.KEEP" "$SET/DISK2/BIG2.DAT"

# ---------------------------------------------------------------------------
kiv_case "the floppy images' files on a removable drive, swapped: disk 2 asked for by name"
rm -rf "$T"
for d in 1 2; do
    mkdir -p "$KIV_WORK/floppy$d" && mcopy -i "$SET/DISK$d.IMG" '::/*' "$KIV_WORK/floppy$d/"
done
kiv_map_drive a "$KIV_WORK/floppy1" floppy
kiv_begin_install floppy 'A:\SETUP.EXE'
kiv_drive wait-dialog --title "$TITLE" --text "Please insert Media Test: disk 2/2"
kiv_out_has "Please insert Media Test: disk 2/2 or enter another directory where this disk's files can be found."
kiv_map_drive a "$KIV_WORK/floppy2" floppy
kiv_drive press --title "$TITLE" --window-text "Please insert" --id 1
kiv_completes floppy
kiv_expect_same_file "$T/BIG2.DAT" "$SRC/BIG2.DAT" "the second disk's file comes from the swapped disk"
kiv_expect_same_file "$T/BIG1.DAT" "$SRC/BIG1.DAT" "the first disk's file"
kiv_unmap_drive a

kiv_end
