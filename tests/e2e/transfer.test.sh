#!/bin/bash
# The transfer of files through the installer's dialogs, as the system holds
# them afterwards, in a time zone nine hours east of UTC so that local and
# universal time differ.
#
# - resource mode (kivpack build, Windows 95): plain, large (chunked copy)
#   and appended files arrive byte-exact with the resource stamp on all three
#   times; a read-only destination is replaced; HiddenFont and SystemFont give
#   their attributes; a destination ending in "_" installs, and so does a
#   later file whose plain temporary name would be that destination; a
#   temporary name that a directory of the user's takes is passed over;
# - resource mode under Windows 95 and NT 4.0: the temporary file of a large
#   payload, watched while the installer expands it, carries the resource
#   stamp, and is gone afterwards;
# - disk mode (kivpack disks) under Windows 98, NT 4.0 and NT 3.51: the
#   destination carries the stored file's times; the font attributes of each
#   system, reset between runs;
# - failures (dialog 1300 with the system's text, "\nFilename: " and the
#   path): an Append record without its destination (resource mode), then
#   Retry once the file exists, and a path longer than 259 characters;
#   stored files cut short on the copy-at-once and the chunked path (disk
#   mode), and an appended part cut short, which is cut off the user's file
#   again; Retry after each repair, Cancel on the last. No destination is
#   left partly written, no temporary file at all; the same on a full
#   target drive, in both modes.
export TZ=Asia/Tokyo
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
FILETIMES=$(kiv_exe filetimes.exe) || exit 1
TITLE="Transfer Test Setup"
# The date kivpack build writes as the resource stamp, given as --date.
STAMP="2019-07-14 09:30:00"
DATA=$KIV_WORK/data
mkdir -p "$DATA"

# The payload. big.bin does not compress: packed, it is far above the
# 262,144 bytes that are copied at once.
printf 'plain text of the product\r\n%.0s' $(seq 40) >"$DATA/plain.txt"
head -c 409600 /dev/urandom >"$DATA/big.bin"
printf 'replacement\r\n' >"$DATA/old.txt"
printf 'appended line %s\r\n' $(seq 500) >"$DATA/part.txt"
printf 'earlier line\r\n' >"$DATA/log.txt"
printf 'hidden font\r\n' >"$DATA/hid.fon"
printf 'system font\r\n' >"$DATA/sys.fon"
printf 'a file whose name ends in an underscore\r\n' >"$DATA/data.tx_"
printf 'the file beside it\r\n' >"$DATA/data.txt"
seq 1 30000 >"$DATA/cut.txt"
printf 'good\r\n' >"$DATA/good.txt"
"$KIV_PACK" compress "$DATA/big.bin" -o "$DATA/big.szdd" >/dev/null || kiv_die "kivpack compress failed"
BIG_PACKED=$(stat -c %s "$DATA/big.szdd")
[ "$BIG_PACKED" -gt 262144 ] && kiv_pass "the large file is $BIG_PACKED bytes packed (chunked copy)" ||
    kiv_fail "the large file is only $BIG_PACKED bytes packed"

# write_script DIR TARGET: INSTALL.INI and the help file in DIR; the disk
# section's file lines come from standard input.
write_script() {
    {
        printf '[Basic Information]\r\nHelpFileName=TT.HLP\r\nCaption=%s\r\n' "$TITLE"
        printf 'ProductName=TransferTest\r\nDefaultTargetDir=%s\r\nTotalDisks=1\r\n' "$2"
        printf 'DiskSpace=2000000\r\n\r\n[Disk 1]\r\nDiskName=Transfer Disk 1\r\n'
        sed 's/$/\r/'
    } >"$1/INSTALL.INI"
    printf 'help\r\n' >"$1/TT.HLP"
}

# report WINPATH...: filetimes' line for each path into $KIV_WORK/report.
report() { kiv_run "$FILETIMES" "$@" | tr -d '\r' >"$KIV_WORK/report"; }
# times_of WINPATH / attributes_of WINPATH: from the last report.
times_of() { awk -v p="$1" 'index($0, p " ") == 1 { sub(/^.* created /, "created "); sub(/ attributes .*/, ""); print }' "$KIV_WORK/report"; }
attributes_of() { awk -v p="$1" 'index($0, p " ") == 1 { print $NF }' "$KIV_WORK/report"; }
# bits_of WINPATH MASK: the attribute bits of MASK that the file has.
# "missing" when the report has no attributes for it.
bits_of() {
    local a
    a=$(attributes_of "$1")
    case $a in 0x*) printf '0x%X' $((a & $2)) ;; *) echo missing ;; esac
}

# ---------------------------------------------------------------------------
kiv_case "resource mode under Windows 95"
SRC=$KIV_WORK/res
mkdir -p "$SRC"
cp "$DATA/plain.txt" "$SRC/PLAIN.TXT"
cp "$DATA/big.bin" "$SRC/BIG.BIN"
cp "$DATA/old.txt" "$SRC/OLD.TXT"
cp "$DATA/part.txt" "$SRC/PART.TXT"
cp "$DATA/hid.fon" "$SRC/HID.FON"
cp "$DATA/sys.fon" "$SRC/SYS.FON"
cp "$DATA/data.tx_" "$SRC/DATA.TX_"
cp "$DATA/data.txt" "$SRC/DATA.TXT"
write_script "$SRC" 'C:\KIVRES' <<'EOF'
PLAIN.TXT=Target,the plain file
BIG.BIN=Target,the large file
OLD.TXT=Target
PART.TXT=Target\LOG.TXT,the log,Append
HID.FON=Target,,HiddenFont
SYS.FON=Target,,SystemFont
DATA.TX_=Target
DATA.TXT=Target
EOF
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/setup95.exe" --stub "$INSTALLER" --date "$STAMP" >/dev/null ||
    kiv_die "kivpack build failed"
kiv_set_version setup95.exe win95
T=$KIV_C/KIVRES
mkdir -p "$T"
printf 'old copy\r\n' >"$T/OLD.TXT"
chmod 444 "$T/OLD.TXT"
cp "$DATA/log.txt" "$T/LOG.TXT"
report 'C:\KIVRES\OLD.TXT'
kiv_expect_eq "$(bits_of 'C:\KIVRES\OLD.TXT' 1)" 0x1 "the existing OLD.TXT is read-only"
kiv_begin_install res 'C:\setup95.exe'
kiv_completes res
# Times first: reading a file's contents moves its last-access time.
report 'C:\KIVRES\PLAIN.TXT' 'C:\KIVRES\BIG.BIN' 'C:\KIVRES\OLD.TXT' 'C:\KIVRES\LOG.TXT' \
    'C:\KIVRES\HID.FON' 'C:\KIVRES\SYS.FON' 'C:\KIVRES\DATA.TX_' 'C:\KIVRES\DATA.TXT'
for f in PLAIN.TXT BIG.BIN OLD.TXT LOG.TXT HID.FON SYS.FON DATA.TX_ DATA.TXT; do
    kiv_expect_eq "$(times_of "C:\\KIVRES\\$f")" "created $STAMP accessed $STAMP written $STAMP" \
        "$f carries the resource stamp as local time"
done
kiv_expect_eq "$(TZ=UTC date -d "@$(stat -c %Y "$T/PLAIN.TXT")" '+%F %T')" "2019-07-14 00:30:00" \
    "the stamp is stored as universal time"
kiv_expect_eq "$(bits_of 'C:\KIVRES\HID.FON' 7)" 0x2 "HiddenFont: hidden"
kiv_expect_eq "$(bits_of 'C:\KIVRES\SYS.FON' 7)" 0x6 "SystemFont on Windows 95: hidden and system"
kiv_expect_eq "$(bits_of 'C:\KIVRES\PLAIN.TXT' 7)" 0x0 "a file without font flags: no attributes"
kiv_expect_eq "$(bits_of 'C:\KIVRES\OLD.TXT' 7)" 0x0 "the replaced file is no longer read-only"
kiv_expect_same_file "$T/PLAIN.TXT" "$DATA/plain.txt" "the plain file arrives byte-exact"
kiv_expect_same_file "$T/BIG.BIN" "$DATA/big.bin" "the large file arrives intact through the chunked copy"
kiv_expect_same_file "$T/OLD.TXT" "$DATA/old.txt" "the read-only destination is replaced"
cat "$DATA/log.txt" "$DATA/part.txt" >"$DATA/log-appended.txt"
kiv_expect_same_file "$T/LOG.TXT" "$DATA/log-appended.txt" "Append adds to the end of the existing file"
kiv_expect_same_file "$T/DATA.TX_" "$DATA/data.tx_" "a destination ending in \"_\" arrives"
kiv_expect_same_file "$T/DATA.TXT" "$DATA/data.txt" "the file whose plain temporary name is DATA.TX_ arrives"
kiv_expect_only_files "$T" BIG.BIN DATA.TXT DATA.TX_ HID.FON LOG.TXT OLD.TXT PLAIN.TXT SYS.FON
kiv_expect_eq "$(cd "$KIV_WINDIR" && ls -d ./*_ 2>/dev/null)" "" "no temporary file in the Windows directory"

# ---------------------------------------------------------------------------
kiv_case "resource mode: the temporary file while it lives, Windows 95 and NT"
# A watcher lists the temporary file of a large payload (without opening it)
# while the installer expands it: the file carries the resource stamp before
# the destination is written, and is gone afterwards, whether the system
# deletes it as its handle closes (NT) or the installer deletes it by name
# (95).
SRC=$KIV_WORK/live
mkdir -p "$SRC"
# Large enough that the file lives for a good part of a second even on a
# fast machine: the watcher polls, and a busy machine may not run it for a
# few tens of milliseconds at a time.
head -c 25165824 /dev/urandom >"$SRC/HUGE.BIN"
cp "$DATA/plain.txt" "$SRC/PLAIN.TXT"
write_script "$SRC" 'C:\KIVLIVE' <<'EOF'
HUGE.BIN=Target,the huge file
PLAIN.TXT=Target
EOF
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/setuplive.exe" --stub "$INSTALLER" --date "$STAMP" >/dev/null ||
    kiv_die "kivpack build failed"
T=$KIV_C/KIVLIVE
for version in win95 nt40; do
    rm -rf "$T"
    cp "$KIV_C/setuplive.exe" "$KIV_C/live$version.exe"
    kiv_set_version "live$version.exe" "$version"
    kiv_start "watch$version" "$FILETIMES" --watch 'C:\KIVLIVE\HUGE.BI_' 50
    sleep 1
    kiv_begin_install "live$version" "C:\\live$version.exe"
    kiv_completes "live$version"
    kiv_wait "watch$version"
    kiv_expect_eq "$KIV_RC" 0 "$version: the watcher saw the temporary file"
    # The expansion reads the file, which moves its last-access time.
    seen=$(tr -d '\r' <"$KIV_ART/watch$version.out" | sed 's/ accessed [-0-9]* [:0-9]* / /')
    kiv_expect_contains "$seen" "HUGE.BI_ created $STAMP written $STAMP" \
        "$version: the temporary file carries the resource stamp while it exists"
    kiv_expect_only_files "$T" HUGE.BIN PLAIN.TXT
    report 'C:\KIVLIVE\HUGE.BIN' 'C:\KIVLIVE\PLAIN.TXT'
    for f in HUGE.BIN PLAIN.TXT; do
        kiv_expect_eq "$(times_of "C:\\KIVLIVE\\$f")" "created $STAMP accessed $STAMP written $STAMP" \
            "$version: $f carries the resource stamp"
    done
    kiv_expect_same_file "$T/HUGE.BIN" "$SRC/HUGE.BIN" "$version: the huge file arrives intact"
done

# ---------------------------------------------------------------------------
kiv_case "resource mode: a temporary name that is taken is passed over"
# MAIN.DL_, MAIN.DLL's first temporary name, is a source name of the script
# and a directory of the user's: the temporary file takes the next name, and
# the directory stays as it was.
SRC=$KIV_WORK/tmpname
mkdir -p "$SRC"
cp "$DATA/plain.txt" "$SRC/MAIN.DL_"
write_script "$SRC" 'C:\KIVTMP' <<'EOF'
MAIN.DL_=Target\MAIN.DLL
EOF
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/setuptmp.exe" --stub "$INSTALLER" >/dev/null ||
    kiv_die "kivpack build failed"
T=$KIV_C/KIVTMP
mkdir -p "$T/MAIN.DL_"
printf 'the user'"'"'s\r\n' >"$T/MAIN.DL_/NOTES.TXT"
kiv_begin_install tmpname 'C:\setuptmp.exe'
kiv_completes tmpname
kiv_expect_same_file "$T/MAIN.DLL" "$DATA/plain.txt" "MAIN.DLL arrives"
kiv_expect_file_has "$T/MAIN.DL_/NOTES.TXT" "the user's" "the directory named MAIN.DL_ keeps its file"
kiv_expect_only_files "$T" MAIN.DLL MAIN.DL_

# ---------------------------------------------------------------------------
kiv_case "disk mode: stored file times, font attributes per system"
SRC=$KIV_WORK/disk
mkdir -p "$SRC"
cp "$DATA/plain.txt" "$SRC/PLAIN.TXT"
cp "$DATA/hid.fon" "$SRC/HID.FON"
cp "$DATA/sys.fon" "$SRC/SYS.FON"
write_script "$SRC" 'C:\KIVDISK' <<'EOF'
PLAIN.TXT=Target
HID.FON=Target,,HiddenFont
SYS.FON=Target,,SystemFont
EOF
"$KIV_PACK" disks "$SRC/INSTALL.INI" -o "$KIV_C/SET" --stub "$INSTALLER" >/dev/null || kiv_die "kivpack disks failed"
D=$KIV_C/SET/DISK1
T=$KIV_C/KIVDISK
# Per system: the stored files' date (reading a file moves its last-access
# time, so every run gets its own), the attribute bits of HID.FON and
# SYS.FON (hidden 0x2, system 0x4), each reset by the next run.
for system in "win98 2001-05-06T07:08:09 0x2 0x2" "nt40 2002-06-07T08:09:10 0x2 0x2" \
    "nt351 1999-12-31T23:59:58 0x0 0x0"; do
    read -r version date hidden sys <<<"$system"
    touch -d "$date" "$D/PLAIN.TXT" "$D/HID.FON" "$D/SYS.FON"
    report 'C:\SET\DISK1\PLAIN.TXT'
    stored=$(times_of 'C:\SET\DISK1\PLAIN.TXT')
    kiv_expect_contains "$stored" "accessed ${date/T/ } written ${date/T/ }" "$version: the stored file's times"
    cp "$D/SETUP.EXE" "$D/SETUP$version.EXE"
    kiv_set_version "SETUP$version.EXE" "$version"
    kiv_begin_install "$version" "C:\\SET\\DISK1\\SETUP$version.EXE"
    kiv_completes "$version"
    report 'C:\KIVDISK\PLAIN.TXT' 'C:\KIVDISK\HID.FON' 'C:\KIVDISK\SYS.FON'
    kiv_expect_eq "$(times_of 'C:\KIVDISK\PLAIN.TXT')" "$stored" "$version: the destination has the stored file's times"
    kiv_expect_eq "$(bits_of 'C:\KIVDISK\HID.FON' 7)" "$hidden" "$version: HiddenFont attributes"
    kiv_expect_eq "$(bits_of 'C:\KIVDISK\SYS.FON' 7)" "$sys" "$version: SystemFont attributes"
done
kiv_expect_same_file "$T/PLAIN.TXT" "$DATA/plain.txt" "the disk file arrives expanded"
kiv_expect_only_files "$T" HID.FON PLAIN.TXT SYS.FON

# ---------------------------------------------------------------------------
kiv_case "resource mode: an Append record without its destination, a path too long"
SRC=$KIV_WORK/miss
mkdir -p "$SRC"
cp "$DATA/good.txt" "$SRC/FIRST.TXT"
cp "$DATA/part.txt" "$SRC/ADD.TXT"
cp "$DATA/good.txt" "$SRC/LONG.TXT"
# C:\KIVMISS\ and 250 characters: two more than a path holds.
LONG=$(printf 'L%.0s' $(seq 246)).TXT
write_script "$SRC" 'C:\KIVMISS' <<EOF
FIRST.TXT=Target
ADD.TXT=Target\\MISSING.LOG,the log,Append
LONG.TXT=Target\\$LONG
EOF
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/setupmiss.exe" --stub "$INSTALLER" >/dev/null ||
    kiv_die "kivpack build failed"
T=$KIV_C/KIVMISS
kiv_begin_install miss 'C:\setupmiss.exe'
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 2)\\nFilename: C:\\KIVMISS\\MISSING.LOG" \
    "dialog 1300: the system's text and the destination"
kiv_screenshot append-missing
kiv_expect_only_files "$T" FIRST.TXT
cp "$DATA/log.txt" "$T/MISSING.LOG"
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 1
kiv_drive wait-gone --title "$TITLE" --text "MISSING.LOG"
LONG_PATH="C:\\KIVMISS\\$LONG"
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 206)\\nFilename: ${LONG_PATH:0:259}" \
    "a path over 259 characters: dialog 1300 with error 206 and the path as far as it fits"
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 2
kiv_wait miss
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
kiv_expect_same_file "$T/MISSING.LOG" "$DATA/log-appended.txt" "Retry appends once the destination exists"
kiv_expect_only_files "$T" FIRST.TXT MISSING.LOG

# ---------------------------------------------------------------------------
kiv_case "disk mode: stored files cut short"
SRC=$KIV_C/SRCCUT
mkdir -p "$SRC"
cp "$INSTALLER" "$SRC/kivinstall.exe"
write_script "$SRC" 'C:\KIVCUT' <<'EOF'
GOOD.TXT=Target
CUT.TX_=Target\CUT.TXT
LOGPART.TX_=Target\LOG.TXT,,Append
CUTBIG.BI_=Target\CUTBIG.BIN
EOF
"$KIV_PACK" compress "$DATA/good.txt" -o "$SRC/GOOD.TXT" >/dev/null &&
    "$KIV_PACK" compress "$DATA/cut.txt" -o "$DATA/cut.szdd" >/dev/null || kiv_die "kivpack compress failed"
# Half of cut.szdd expands to several chunks before the stream ends.
head -c $(( $(stat -c %s "$DATA/cut.szdd") / 2 )) "$DATA/cut.szdd" >"$SRC/CUT.TX_"
cp "$SRC/CUT.TX_" "$SRC/LOGPART.TX_"
head -c 300000 "$DATA/big.szdd" >"$SRC/CUTBIG.BI_"
T=$KIV_C/KIVCUT
mkdir -p "$T"
# A file of the user's that an appended part extends, read-only.
cp "$DATA/log.txt" "$T/LOG.TXT"
chmod 444 "$T/LOG.TXT"
INVALID=$(kiv_system_message 13)
kiv_begin_install cut 'C:\SRCCUT\kivinstall.exe'
kiv_expect_eq "$(kiv_copy_error)" "$INVALID\\nFilename: C:\\SRCCUT\\CUT.TX_" \
    "copy at once: dialog 1300 with the system's text and the source"
kiv_expect_only_files "$T" GOOD.TXT LOG.TXT
cp "$DATA/cut.szdd" "$SRC/CUT.TX_"
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 1
kiv_drive wait-gone --title "$TITLE" --text "CUT.TX_"
kiv_expect_eq "$(kiv_copy_error)" "$INVALID\\nFilename: C:\\SRCCUT\\LOGPART.TX_" \
    "an appended part: dialog 1300 with the system's text and the source"
kiv_expect_same_file "$T/LOG.TXT" "$DATA/log.txt" "the failed part is cut off the file it was appended to"
report 'C:\KIVCUT\LOG.TXT'
kiv_expect_eq "$(bits_of 'C:\KIVCUT\LOG.TXT' 1)" 0x1 "the file keeps its read-only attribute"
cp "$DATA/cut.szdd" "$SRC/LOGPART.TX_"
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 1
kiv_drive wait-gone --title "$TITLE" --text "LOGPART.TX_"
kiv_expect_eq "$(kiv_copy_error)" "$INVALID\\nFilename: C:\\SRCCUT\\CUTBIG.BI_" \
    "chunked copy: dialog 1300 with the system's text and the source"
kiv_expect_only_files "$T" CUT.TXT GOOD.TXT LOG.TXT
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 2
kiv_wait cut
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
kiv_expect_same_file "$T/CUT.TXT" "$DATA/cut.txt" "Retry after the repair installs the file"
cat "$DATA/log.txt" "$DATA/cut.txt" >"$DATA/log-cut.txt"
kiv_expect_same_file "$T/LOG.TXT" "$DATA/log-cut.txt" "Retry after the repair appends the part once"
kiv_expect_same_file "$T/GOOD.TXT" "$DATA/good.txt" "the file before the failures stays"
kiv_expect_only_files "$T" CUT.TXT GOOD.TXT LOG.TXT

# ---------------------------------------------------------------------------
kiv_case "a full target drive"
kiv_tmpfs_drive X 256k hd
FULL=$KIV_TMPFS
DISKFULL=$(kiv_system_message 112)
# Resource mode: the packed file does not fit as the temporary file.
SRC=$KIV_WORK/full
mkdir -p "$SRC"
cp "$DATA/good.txt" "$SRC/GOOD.TXT"
cp "$DATA/big.bin" "$SRC/BIG.BIN"
write_script "$SRC" 'X:\RES' <<'EOF'
GOOD.TXT=Target
BIG.BIN=Target
EOF
sed -i 's/^DiskSpace=.*/DiskSpace=1000\r/' "$SRC/INSTALL.INI"
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/setupfull.exe" --stub "$INSTALLER" >/dev/null ||
    kiv_die "kivpack build failed"
kiv_begin_install fullres 'C:\setupfull.exe'
kiv_expect_eq "$(kiv_copy_error)" "$DISKFULL\\nFilename: X:\\RES\\BIG.BI_" \
    "resource mode: dialog 1300 with the system's text and the temporary file"
kiv_expect_only_files "$FULL/RES" GOOD.TXT
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 2
kiv_wait fullres
kiv_expect_same_file "$FULL/RES/GOOD.TXT" "$DATA/good.txt" "the file before the failure stays"
kiv_expect_only_files "$FULL/RES" GOOD.TXT
rm -rf "${FULL:?}/RES"
# Disk mode: the expanded file does not fit.
SRC=$KIV_C/SRCFULL
mkdir -p "$SRC"
cp "$INSTALLER" "$SRC/kivinstall.exe"
cp "$DATA/big.szdd" "$SRC/BIG.BIN"
write_script "$SRC" 'X:\DISK' <<'EOF'
BIG.BIN=Target
EOF
sed -i 's/^DiskSpace=.*/DiskSpace=1000\r/' "$SRC/INSTALL.INI"
kiv_begin_install fulldisk 'C:\SRCFULL\kivinstall.exe'
kiv_expect_eq "$(kiv_copy_error)" "$DISKFULL\\nFilename: X:\\DISK\\BIG.BIN" \
    "disk mode: dialog 1300 with the system's text and the destination"
kiv_expect_only_files "$FULL/DISK"
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 2
kiv_wait fulldisk
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
kiv_expect_only_files "$FULL/DISK"

kiv_end
