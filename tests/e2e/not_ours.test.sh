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
# Then two products aimed at one folder (Windows XP): the second one's
# directory check names the first, whose uninstaller it would replace;
# Cancel there changes nothing, Continue installs. An earlier copy of the
# same product is not warned about, nor is a file named uninst.exe that is
# no uninstaller of ours (random bytes, an uninstaller cut short).
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
    kiv_expect_same_file "$KIV_WINDIR/01~T.HLP" "$SRC/T.HLP" "the installer's help file takes the name 01~T.HLP"
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

# product NAME FILE: setupNAME.exe, which installs FILE and an uninstaller
# into C:\SHARED.
product() {
    local dir=$KIV_WORK/$1
    mkdir -p "$dir"
    printf '%s of %s\r\n' "$2" "$1" >"$dir/$2"
    {
        printf '[Basic Information]\nHelpFileName=T.HLP\nCaption=%s Setup\nProductName=%s\n' "$1" "$1"
        printf 'UninstallName=%s\nDefaultTargetDir=C:\\SHARED\nTotalDisks=1\nDiskSpace=1000\n\n' "$1"
        printf '[Disk 1]\nDiskName=%s Disk 1\n%s=Target\nUNINST.EXE=Target,Uninstaller\n' "$1" "$2"
    } | sed 's/$/\r/' >"$dir/INSTALL.INI"
    cp "$SRC/T.HLP" "$dir/"
    "$KIV_PACK" build "$dir/INSTALL.INI" -o "$KIV_C/setup$1.exe" --stub "$INSTALLER" >"$KIV_ART/build$1.out" 2>&1 ||
        kiv_die "kivpack build $1: $(cat "$KIV_ART/build$1.out")"
    kiv_set_version "setup$1.exe" winxp
}
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
product Alpha ALPHA.TXT
product Beta BETA.TXT

kiv_case "a second product aimed at the first one's folder"
TITLE="Alpha Setup"
kiv_begin_install alpha "$KIV_C/setupAlpha.exe"
kiv_completes alpha
cp "$KIV_C/SHARED/UNINST.EXE" "$KIV_WORK/alpha-uninst.exe"
# The same product again: Begin leads straight to the completion dialog.
kiv_begin_install alpha "$KIV_C/setupAlpha.exe"
kiv_completes alpha
TITLE="Beta Setup"
kiv_begin_install beta "$KIV_C/setupBeta.exe"
kiv_drive wait-dialog --title "$TITLE" --text "Beta in C:\SHARED replaces the uninstaller of Alpha, which could then not be removed." --timeout 30 -- press --id 2 -- \
    wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 2
kiv_wait beta
kiv_expect_eq "$KIV_RC" 0 "Cancel there, then in the directory dialog, ends the run"
kiv_expect_same_file "$KIV_C/SHARED/UNINST.EXE" "$KIV_WORK/alpha-uninst.exe" "Alpha's uninstaller is untouched"
kiv_expect_no_file "$KIV_C/SHARED/BETA.TXT" "nothing of Beta is installed"
kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Alpha" UninstallString)" 'c:\shared\uninst.exe' "Alpha's entry stays"
kiv_expect_rc 1 kiv_reg_get "$UNINSTALL\\Beta" UninstallString
kiv_begin_install beta "$KIV_C/setupBeta.exe"
kiv_drive wait-dialog --title "$TITLE" --text "replaces the uninstaller of Alpha" --timeout 30 -- press --id 1
kiv_completes beta
kiv_expect_file "$KIV_C/SHARED/BETA.TXT" "Continue installs Beta there"

kiv_case "files named uninst.exe that are no uninstaller of ours"
mkdir -p "$KIV_C/JUNK" "$KIV_C/CUT"
head -c 30000 /dev/urandom >"$KIV_C/JUNK/UNINST.EXE"
head -c 8192 "$KIV_WORK/alpha-uninst.exe" >"$KIV_C/CUT/UNINST.EXE"
for dir in JUNK CUT; do
    kiv_start beta "$KIV_C/setupBeta.exe"
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 "C:\\$dir" -- press --id 1
    kiv_completes beta
    kiv_expect_file "$KIV_C/$dir/BETA.TXT" "C:\\$dir: installed without a question"
done

kiv_end
