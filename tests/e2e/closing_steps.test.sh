#!/bin/bash
# The closing steps of a whole installation, as the system holds them
# afterwards, under an emulated Windows 95, Windows NT 4.0 and Windows NT 3.51
# (the Program Manager shell). One prefix; each system is a differently named
# copy of the installer with its own Wine version, its own product (caption,
# directories, group, font, uninstall name) and its own disk-mode source
# directory, so that the three leave separate traces.
#
# Per system:
# - exit list: three running copies of the product (running_copy.exe) wait
#   before the installation: one matched by class alone, one by the second
#   title prefix of its line in another case (it also holds a payload file
#   open without sharing, so the copy fails unless it was closed first), and
#   one whose title holds its line's prefix only further on, which stays open;
# - delete list: two old files and one file that the same run installs are
#   gone afterwards, the other payload files are there;
# - settings: Version, Directory and FirstTime in the product's INI file in
#   the Windows directory;
# - group: Wine's shell carries out the PROGMAN commands with Start Menu
#   shortcuts; the items of the running platform are there, the others not;
# - fonts: a TrueType font registered under the Fonts key of the system (new
#   shell) or made into a .FOT and written to WIN.INI [fonts] (NT 3.51);
# - uninstall entry: after a second installation into the same directory
#   under another name exactly one entry names its uninstaller (an entry of
#   another product naming it in upper case is gone, an unrelated one stays);
#   the Program Manager shell gets none. The second run also deletes the
#   group of the version it replaces, and only that one.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
COPY_EXE=$(kiv_exe running_copy.exe) || exit 1
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$FONT" ] || kiv_die "$FONT is missing (Debian package fonts-dejavu-core)"

PROGRAMS="$KIV_C/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
FONTS95='HKLM\Software\Microsoft\Windows\CurrentVersion\Fonts'
FONTSNT='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
mkdir -p "$KIV_C/e2e"
cp "$COPY_EXE" "$KIV_C/e2e/"

# write_script TAG VERSION GROUP UNINSTALL [OLDGROUP]: the install script of
# system TAG's product in its source directory C:\SRCTAG.
write_script() {
    local tag=$1 version=$2 group=$3 uninstall=$4 oldgroup=${5:-}
    {
        printf '[Basic Information]\r\n'
        printf 'HelpFileName=TOOL.HLP\r\nCaption=Tool Setup %s\r\nProductName=Tool %s\r\n' "$tag" "$tag"
        printf 'ProductVersion=%s\r\nProduct.INI=KIV%s.INI\r\nUninstallName=%s\r\n' "$version" "$tag" "$uninstall"
        printf 'DefaultTargetDir=C:\\KIV%s\r\nTotalDisks=1\r\nDiskSpace=900000\r\n\r\n' "$tag"
        printf '[fonts]\r\nKiv Sans %s (TrueType)=KIVS%s.TTF\r\n\r\n' "$tag" "$tag"
        printf '[Exit List]\r\nKivCopyA%s=\r\nKivCopyB%s=Other,tool\r\nKivCopyC%s=Tool\r\n\r\n' "$tag" "$tag" "$tag"
        printf '[Delete List]\r\nFile1=Target\\OLD.DLL\r\nFile2=Windows\\KIVOLD%s.INI\r\nFile3=Target\\TEMP.TXT\r\n\r\n' "$tag"
        printf '[Program Manager Group]\r\nGroupName=%s\r\n' "$group"
        printf 'README.TXT=Read Me\r\nTOOL95.EXE=Tool for 95,Win95\r\nTOOLNT.EXE=Tool for NT,WinNT\r\n'
        printf 'TOOL31.EXE=Tool for 3.1,Win31\r\n\r\n'
        [ -n "$oldgroup" ] && printf '[Old Program Manager Groups]\r\n1.0=Kiv Ancient\r\n2.0=%s\r\n\r\n' "$oldgroup"
        printf '[Disk 1]\r\nDiskName=Tool Disk 1\r\n'
        printf 'README.TXT=Target,Read me\r\nTOOL95.EXE=Target\r\nTOOLNT.EXE=Target\r\nTOOL31.EXE=Target\r\n'
        printf 'TEMP.TXT=Target\r\nKIVS%s.TTF=Fonts,Font\r\n' "$tag"
    } >"$KIV_C/SRC$tag/INSTALL.INI"
}

# prepare TAG VERSION: the source directory C:\SRCTAG with the installer as
# setupTAG.exe, seen as Windows VERSION, and the files of the product; the
# target directory with an old file of the delete list; the old file of the
# delete list in the Windows directory.
prepare() {
    local tag=$1 dir=$KIV_C/SRC$1
    mkdir -p "$dir" "$KIV_C/KIV$tag"
    cp "$INSTALLER" "$dir/setup$tag.exe"
    cp "$FONT" "$dir/KIVS$tag.TTF"
    printf 'help\r\n' >"$dir/TOOL.HLP"
    printf 'The readme of %s\r\n' "$tag" >"$dir/README.TXT"
    for f in TOOL95.EXE TOOLNT.EXE TOOL31.EXE TEMP.TXT; do echo "$f" >"$dir/$f"; done
    touch "$KIV_C/KIV$tag/OLD.DLL" "$KIV_WINDIR/KIVOLD$tag.INI"
    kiv_set_version "setup$tag.exe" "$2"
}

# install TAG: one run from the start dialog (new or earlier copy) through
# the completion dialog; any other dialog on the way fails the check.
install() {
    local tag=$1 title="Tool Setup $1"
    kiv_start "setup$tag" "C:\\SRC$tag\\setup$tag.exe"
    if ! kiv_drive wait-dialog --title "$title" --text Begin -- press --id 1 -- \
        wait-dialog --title "$title" --text "successfully completed" --timeout 60 -- press --id 1; then
        kiv_drive_rc dump
        kiv_drive_rc press --title "$title" --text Cancel --timeout 2
        kiv_wait "setup$tag"
        return 1
    fi
    kiv_wait "setup$tag"
    kiv_expect_eq "$KIV_RC" 0 "installer exit code"
}

# start_copies TAG: the running copies of system TAG's product; the one
# matched by title holds README.TXT in the target directory.
start_copies() {
    local tag=$1 log=C:\\e2e\\copies$1.log
    kiv_start "copyA$tag" --limit 600 'C:\e2e\running_copy.exe' "KivCopyA$tag" "Anything at all" "$log"
    kiv_start "copyB$tag" --limit 600 'C:\e2e\running_copy.exe' "KivCopyB$tag" "TOOL - readme" "$log" \
        "C:\\KIV$tag\\README.TXT"
    kiv_start "copyC$tag" --limit 600 'C:\e2e\running_copy.exe' "KivCopyC$tag" "My Tool" "$log"
    for _ in $(seq 100); do
        [ "$(grep -c '^ready' "$KIV_C/e2e/copies$tag.log" 2>/dev/null)" = 3 ] && return 0
        sleep 0.2
    done
    kiv_die "$tag: the running copies did not start"
}

check_exit_list() {
    local tag=$1 log=$KIV_C/e2e/copies$1.log
    kiv_expect_file_has "$log" "closed KivCopyA$tag Anything at all" "copy matched by class closed"
    kiv_expect_file_has "$log" "closed KivCopyB$tag TOOL - readme" "copy matched by a title prefix closed"
    if grep -q "^closed KivCopyC$tag" "$log"; then
        kiv_fail "the copy whose title holds the prefix only further on was closed"
    else
        kiv_drive wait-dialog --class "KivCopyC$tag" --timeout 2 &&
            kiv_pass "the copy whose title holds the prefix further on still runs"
    fi
}

check_files() {
    local tag=$1 target=$KIV_C/KIV$1
    kiv_expect_eq "$(tr -d '\r' <"$target/README.TXT")" "The readme of $tag" "README.TXT installed over the held file"
    for f in TOOL95.EXE TOOLNT.EXE TOOL31.EXE; do kiv_expect_file "$target/$f"; done
    kiv_expect_no_file "$target/OLD.DLL" "delete list: Target\\OLD.DLL gone"
    kiv_expect_no_file "$KIV_WINDIR/KIVOLD$tag.INI" "delete list: Windows\\KIVOLD$tag.INI gone"
    kiv_expect_no_file "$target/TEMP.TXT" "delete list: TEMP.TXT installed and deleted"
}

check_settings() {  # TAG VERSION FIRSTTIME
    local ini=$KIV_WINDIR/KIV$1.INI
    kiv_expect_eq "$(kiv_ini_get "$ini" Settings Version)" "$2" "settings: Version"
    kiv_expect_eq "$(kiv_ini_get "$ini" Settings Directory)" "C:\\KIV$1" "settings: Directory"
    kiv_expect_eq "$(kiv_ini_get "$ini" Settings FirstTime)" "$3" "settings: FirstTime"
}

check_group() {  # GROUP ITEM-OF-THIS-PLATFORM ITEM-OF-ANOTHER...
    local group=$PROGRAMS/$1 present=$2
    shift 2
    kiv_expect_file "$group/Read Me.lnk" "group '${group##*/}' holds Read Me"
    kiv_expect_file "$group/$present.lnk" "group '${group##*/}' holds $present"
    for absent in "$@"; do
        kiv_expect_no_file "$group/$absent.lnk" "group lacks '$absent' (another platform)"
    done
}

check_registry_font() {  # TAG KEY
    kiv_expect_eq "$(kiv_reg_get "$2" "Kiv Sans $1 (TrueType)")" "KIVS$1.TTF" "font value under ${2#HKLM\\}"
    kiv_expect_file "$KIV_WINDIR/Fonts/KIVS$1.TTF" "font file in the fonts directory"
}

# The group of an old version that no run replaces.
ANCIENT=$PROGRAMS/"Kiv Ancient"
mkdir -p "$ANCIENT"
touch "$ANCIENT/Old item.lnk"

for system in "95 win95" "NT4 nt40"; do
    set -- $system
    tag=$1
    lower=$(echo "$tag" | tr '[:upper:]' '[:lower:]')
    kiv_case "$2: first installation"
    prepare "$tag" "$2"
    # The registry of Windows 95 holds the family's Fonts key; the 32-bit
    # view of Wine's lacks it.
    [ "$tag" = 95 ] && kiv_reg add "$FONTS95" /f >/dev/null
    write_script "$tag" 2.0 "Kiv Tool $tag 2.0" "Kiv Tool $tag"
    kiv_reg add "$UNINSTALL\\Other $tag" /v UninstallString /d "C:\\KIV$tag\\UNINST.EXE" /f >/dev/null
    kiv_reg add "$UNINSTALL\\Unrelated $tag" /v UninstallString /d 'C:\ELSEWHERE\uninst.exe' /f >/dev/null
    start_copies "$tag"
    install "$tag" || continue
    check_exit_list "$tag"
    check_files "$tag"
    check_settings "$tag" 2.0 1
    if [ "$tag" = 95 ]; then
        check_group "Kiv Tool $tag 2.0" "Tool for 95" "Tool for NT" "Tool for 3.1"
        check_registry_font "$tag" "$FONTS95"
    else
        check_group "Kiv Tool $tag 2.0" "Tool for NT" "Tool for 95" "Tool for 3.1"
        check_registry_font "$tag" "$FONTSNT"
    fi
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Kiv Tool $tag" UninstallString)" "c:\\kiv$lower\\uninst.exe" \
        "UninstallString in lower case"
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Kiv Tool $tag" DisplayName)" "Kiv Tool $tag" "DisplayName"

    # The second installation goes over the first (the start dialog names
    # the earlier copy), with a new version and another uninstall name; its
    # script names the group of version 2.0 among the old groups.
    kiv_case "$2: second installation over the first"
    sed -i '/^FirstTime=/d' "$KIV_WINDIR/KIV$tag.INI"
    write_script "$tag" 2.1 "Kiv Tool $tag" "Kiv Tool $tag Renamed" "Kiv Tool $tag 2.0"
    install "$tag" || continue
    check_settings "$tag" 2.1 1
    entries=$(kiv_reg query "$UNINSTALL" /s | awk -v want="c:\\\\kiv$lower\\\\uninst.exe" '
        /^HKEY_/ { key = $0; sub(/.*\\/, "", key) }
        /^    UninstallString    REG_SZ    / { v = $0; sub(/^    UninstallString    REG_SZ    /, "", v)
            if (tolower(v) == want) printf "%s;", key }')
    kiv_expect_eq "$entries" "Kiv Tool $tag Renamed;" "exactly one uninstall entry names the uninstaller"
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Unrelated $tag" UninstallString)" 'C:\ELSEWHERE\uninst.exe' \
        "an unrelated uninstall entry stays"
    kiv_expect_no_file "$PROGRAMS/Kiv Tool $tag 2.0" "the group of the replaced version is deleted"
    kiv_expect_file "$PROGRAMS/Kiv Tool $tag/Read Me.lnk" "the new group holds its items"
done
kiv_expect_file "$ANCIENT/Old item.lnk" "the group of a version that no run replaced stays"

kiv_case "nt351: the Program Manager shell"
prepare 351 nt351
write_script 351 2.0 "Kiv Tool 351" "Kiv Tool 351"
start_copies 351
if install 351; then
    check_exit_list 351
    check_files 351
    check_settings 351 2.0 1
    check_group "Kiv Tool 351" "Tool for NT" "Tool for 95" "Tool for 3.1"
    # The fonts directory is the system directory, for a 32-bit program in
    # this prefix syswow64.
    sysdir=$KIV_WINDIR/syswow64
    [ -d "$sysdir" ] || sysdir=$KIV_WINDIR/system32
    kiv_expect_file "$sysdir/KIVS351.TTF" "font file in the system directory"
    kiv_expect_file_has "$sysdir/KIVS351.FOT" "KIVS351.TTF" ".FOT made, naming the TrueType file"
    kiv_expect_eq "$(kiv_win_ini fonts "Kiv Sans 351 (TrueType)")" KIVS351.FOT "WIN.INI [fonts] names the .FOT"
    kiv_expect_eq "$(kiv_reg_get "$FONTSNT" "Kiv Sans 351 (TrueType)")" "" "no registry font value"
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Kiv Tool 351" UninstallString)" "" "no uninstall entry"
fi

kiv_end
