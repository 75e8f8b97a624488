#!/bin/bash
# A script saved as UTF-8 with a byte-order mark, as Linux editors write it,
# packed by kivpack build (resource mode) and laid out by kivpack disks (disk
# mode): the installer's dialogs show "für" as written, the run completes,
# and the installed file carries the date given to the build.
export TZ=Europe/Berlin
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
FILETIMES=$(kiv_exe filetimes.exe) || exit 1
TITLE="Setup für Grüße"
SRC=$KIV_WORK/src
mkdir -p "$SRC"
{
    printf '\xef\xbb\xbf[Basic Information]\n'
    printf 'HelpFileName=GRUSS.HLP\nCaption=%s\nProductName=Grüße für alle\n' "$TITLE"
    printf 'DefaultTargetDir=C:\\GRUSS\nTotalDisks=1\nDiskSpace=1000\n\n'
    printf '[Disk 1]\nDiskName=Grüße Disk 1\nreadme.txt=Target\\LIESMICH.TXT,Übersicht\n'
} | sed 's/$/\r/' >"$SRC/INSTALL.INI"
printf 'help\r\n' >"$SRC/gruss.hlp"
printf 'Grüße\r\n' >"$SRC/README.TXT"

kiv_case "kivpack reads the UTF-8 script"
"$KIV_PACK" check "$SRC/INSTALL.INI" >"$KIV_WORK/check.out" 2>"$KIV_WORK/check.err"
kiv_expect_eq "$?" 0 "check accepts the script"
kiv_expect_file_has "$KIV_WORK/check.out" "UTF-8 text, packed as code page 1252"
kiv_expect_file_has "$KIV_WORK/check.out" '("Setup für Grüße")'
kiv_expect_file_has "$KIV_WORK/check.err" "INSTALL.INI:1: warning: the script begins with a UTF-8 byte-order mark"

kiv_case "resource mode: the dialogs show the text as written"
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/gruss.exe" --stub "$INSTALLER" --date "2021-03-04 05:06:08" \
    >/dev/null 2>&1 || kiv_die "kivpack build failed"
kiv_set_version gruss.exe win95
kiv_start setup 'C:\gruss.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory"
kiv_expect_contains "$(kiv_out_text 1001)" "install Grüße für alle." "the start dialog names the product as written"
kiv_screenshot utf8-start
kiv_drive press --title "$TITLE" --id 1
kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60 -- press --id 1
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "exit code"
kiv_expect_same_file "$KIV_C/GRUSS/LIESMICH.TXT" "$SRC/README.TXT" "the source found in another letter case is installed"
kiv_run "$FILETIMES" 'C:\GRUSS\LIESMICH.TXT' | tr -d '\r' >"$KIV_WORK/times"
kiv_expect_file_has "$KIV_WORK/times" "written 2021-03-04 05:06:08" "the file carries the date given to kivpack build"

kiv_case "disk mode: the script laid out by kivpack disks"
"$KIV_PACK" disks "$SRC/INSTALL.INI" -o "$KIV_C/set" --stub "$INSTALLER" >/dev/null 2>&1 || kiv_die "kivpack disks failed"
kiv_expect_eq "$(head -c 20 "$KIV_C/set/DISK1/INSTALL.INI")" "[Basic Information]"$'\r' "the copy has no byte-order mark"
kiv_set_version SETUP.EXE win95
kiv_start disks 'C:\set\DISK1\SETUP.EXE'
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory"
kiv_expect_contains "$(kiv_out_text 1001)" "install Grüße für alle." "the start dialog names the product as written"
kiv_drive press --title "$TITLE" --id 2
kiv_wait disks
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"

kiv_end
