#!/bin/bash
# Files that are not the run's own survive it, under an emulated Windows 95
# (temporary files deleted by name) and Windows XP (deleted by the system as
# they close). The Windows directory holds the user's INSTALL.INI,
# INSTALL.IN_, T.HLP, T.HL_, UNINST.INI and UNINST.IN_, the target directory
# the user's README.TX_ beside the README.TXT that the product installs:
# - Cancel in the first dialog, while the installer's own help file sits
#   under another name beside the user's T.HLP;
# - a whole installation, whose script is read from its own file and not
#   from the user's INSTALL.INI;
# - the product's uninstaller answered with No;
# after each, every file of the user's is there with its bytes, and nothing
# of the run's is left in the Windows directory.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
TITLE="Own Files Setup"
SRC=$KIV_WORK/product
mkdir -p "$SRC"
printf 'readme of the product\r\n' >"$SRC/README.TXT"
printf 'the help file of the product\r\n' >"$SRC/T.HLP"
{
    printf '[Basic Information]\nHelpFileName=T.HLP\nCaption=%s\nProductName=Own Files\n' "$TITLE"
    printf 'UninstallName=Own Files\nDefaultTargetDir=C:\\OWN\nTotalDisks=1\nDiskSpace=1000\n\n'
    printf '[Disk 1]\nDiskName=Own Files Disk 1\nREADME.TXT=Target\nUNINST.EXE=Target,Uninstaller\n'
} | sed 's/$/\r/' >"$SRC/INSTALL.INI"
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$KIV_C/setup.exe" --stub "$INSTALLER" >"$KIV_ART/build.out" 2>&1 ||
    kiv_die "kivpack build: $(cat "$KIV_ART/build.out")"

USER_FILES="INSTALL.INI INSTALL.IN_ T.HLP T.HL_ UNINST.INI UNINST.IN_"
# The user's files: each its own text. The two scripts would be read as
# scripts (and fail) if the programs took them for their own.
place_user_files() {
    local name
    for name in $USER_FILES; do printf '[Basic Information]\r\nCaption=the user'"'"'s %s\r\n' "$name" >"$KIV_WINDIR/$name"; done
    mkdir -p "$KIV_C/OWN"
    printf 'the user'"'"'s own notes\r\n' >"$KIV_C/OWN/README.TX_"
}

# user_files_intact WHEN: every file of the user's has its bytes, and the
# Windows directory holds the names it held before the run.
user_files_intact() {
    local name
    for name in $USER_FILES; do
        kiv_expect_file_has "$KIV_WINDIR/$name" "the user's $name" "$1: the user's $name is intact"
    done
    kiv_expect_file_has "$KIV_C/OWN/README.TX_" "the user's own notes" "$1: the user's README.TX_ is intact"
    ls "$KIV_WINDIR" >"$KIV_WORK/after"
    kiv_expect_eq "$(diff "$KIV_WORK/before" "$KIV_WORK/after" | grep '^[<>]' | tr '\n' ' ')" "" \
        "$1: nothing of the run's is left in the Windows directory"
}

for version in win95 winxp; do
    kiv_set_version setup.exe "$version"
    kiv_set_version uninst.exe "$version"
    rm -rf "$KIV_C/OWN"
    place_user_files
    ls "$KIV_WINDIR" >"$KIV_WORK/before"

    kiv_case "$version: Cancel in the first dialog"
    kiv_start setup "$KIV_C/setup.exe"
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory"
    kiv_expect_same_file "$KIV_WINDIR/T01.HLP" "$SRC/T.HLP" "the installer's help file takes the name T01.HLP"
    kiv_drive press --title "$TITLE" --id 2
    kiv_wait setup
    kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
    user_files_intact "$version, Cancel"

    kiv_case "$version: an installation"
    kiv_begin_install setup "$KIV_C/setup.exe"
    kiv_completes setup
    kiv_expect_same_file "$KIV_C/OWN/README.TXT" "$SRC/README.TXT" "README.TXT is installed"
    kiv_expect_file "$KIV_C/OWN/UNINST.EXE" "the uninstaller is installed"
    user_files_intact "$version, installation"

    kiv_case "$version: the uninstaller, answered with No"
    kiv_start uninst 'C:\OWN\UNINST.EXE'
    kiv_drive wait-dialog --title "$TITLE" --text "Are you sure you want to remove Own Files" --timeout 30 -- press --id 2
    kiv_wait uninst
    kiv_expect_eq "$KIV_RC" 0 "the uninstaller's exit code after No"
    kiv_expect_file "$KIV_C/OWN/README.TXT" "No removes nothing"
    user_files_intact "$version, uninstaller's No"
done

kiv_end
