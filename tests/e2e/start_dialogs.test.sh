#!/bin/bash
# The first dialog of a run in disk mode, chosen by what the product's INI
# file in the Windows directory says: a new installation (2400), an earlier
# copy named by the new or the old product name by its version (2401, also
# found through OldProduct.INI), an upgrade in place (2402) that checks no
# directory and no free space, and its refusal (2700) for a version outside
# the range, for a copy without a directory and for no copy at all.
source "$(dirname "$0")/lib.sh"
kiv_begin

TITLE="Kiv Demo Setup"
SRC=$KIV_C/setup

kiv_disk_source "$SRC" KIVDEMO.HLP || kiv_die "cannot lay out $SRC"
printf 'readme of the demo\r\n' >"$SRC/README.TXT"

# write_script KEY=VALUE...: INSTALL.INI with these extra [Basic Information]
# lines and one disk that installs README.TXT.
write_script() {
    {
        printf '[Basic Information]\n'
        printf 'HelpFileName=KIVDEMO.HLP\nCaption=%s\nProductName=Kiv Demo\n' "$TITLE"
        printf 'DefaultTargetDir=C:\\KIVDEMO\\\nTotalDisks=1\nDiskSpace=1000000\n'
        printf '%s\n' "$@"
        printf '\n[Disk 1]\nDiskName=Kiv Demo Disk 1\nREADME.TXT=Target\n'
    } | sed 's/$/\r/' >"$SRC/INSTALL.INI"
}

# write_settings FILE KEY=VALUE...: a product INI file in the Windows directory.
write_settings() {
    local file=$1
    shift
    { printf '[Settings]\n'; printf '%s\n' "$@"; } | sed 's/$/\r/' >"$KIV_WINDIR/$file"
}

start_setup() {
    kiv_start setup "$SRC/kivinstall.exe"
}

# cancel_and_end: Cancel in the dialog on screen; the run ends with 0.
cancel_and_end() {
    kiv_drive press --title "$TITLE" --id 2
    kiv_wait setup
    kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
}

# finish_install: the run goes on to the completion dialog, whose OK ends it.
finish_install() {
    kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60 -- press --id 1
    kiv_wait setup
    kiv_expect_eq "$KIV_RC" 0 "exit code after the installation"
}

kiv_case "a new installation"
write_script ProductVersion=2.0 Product.INI=KIVDEMO.INI "ViewButtonText=&Read me"
start_setup
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory where you want to install Kiv Demo."
kiv_expect_eq "$(kiv_out_text 1701)" 'C:\KIVDEMO' "the field holds DefaultTargetDir without its backslash"
kiv_expect_eq "$(kiv_out_text 1003)" '&Read me' "ViewButtonText names button 1003"
kiv_out_has 'text "&Begin"'
kiv_screenshot new-installation
cancel_and_end
kiv_expect_no_file "$KIV_C/KIVDEMO" "Cancel creates nothing"

kiv_case "an earlier copy of a newer version than the old product's"
write_settings KIVDEMO.INI 'Directory=C:\OLDDEMO' Version=2.5
write_script ProductVersion=3.0 Product.INI=KIVDEMO.INI "OldProductName=Kiv Classic" OldProductVersion=2.0
start_setup
kiv_drive wait-dialog --title "$TITLE" --text "previously installed"
kiv_out_has 'Kiv Demo 2.5 was previously installed in C:\OLDDEMO.\n\nIf you do not wish to overwrite this copy'
kiv_expect_eq "$(kiv_out_text 1701)" 'C:\OLDDEMO' "the field holds the earlier copy's directory"
kiv_screenshot earlier-copy
kiv_drive press --title "$TITLE" --id 1
finish_install
kiv_expect_file "$KIV_C/OLDDEMO/README.TXT" "Begin installs over the earlier copy"

kiv_case "an earlier copy of the old product, found through OldProduct.INI"
rm -f "$KIV_WINDIR/KIVNEW.INI"
write_settings KIVOLD.INI 'Directory=D:\CLASSIC' Version=1.5
write_script ProductVersion=3.0 Product.INI=KIVNEW.INI OldProduct.INI=KIVOLD.INI "OldProductName=Kiv Classic" \
    OldProductVersion=2.0
start_setup
kiv_drive wait-dialog --title "$TITLE" --text "previously installed"
kiv_out_has 'Kiv Classic 1.5 was previously installed in D:\CLASSIC.'
kiv_expect_eq "$(kiv_out_text 1701)" 'D:\CLASSIC' "the field holds the old product's directory"
cancel_and_end

kiv_case "an upgrade in place checks neither directory nor free space"
# The installed copy sits on a drive of 256K; the script needs 977K, which
# the target dialog would refuse.
kiv_tmpfs_drive E 256k
mkdir -p "$KIV_TMPFS/UPGDEMO"
write_settings KIVUPG.INI 'Directory=E:\UPGDEMO' Version=2.10
write_script ProductVersion=2.9 VersionToPatch=2.0 Product.INI=KIVUPG.INI "ViewButtonText=&Read me"
start_setup
kiv_drive wait-dialog --title "$TITLE" --text "currently installed"
kiv_out_has 'Kiv Demo 2.10 is currently installed in E:\UPGDEMO.\n\nClick Begin to upgrade this copy'
kiv_expect_eq "$(kiv_out_text 1003)" '&Read me' "ViewButtonText names button 1003 of 2402"
kiv_screenshot upgrade
kiv_drive press --title "$TITLE" --id 1
finish_install
kiv_expect_file "$KIV_TMPFS/UPGDEMO/README.TXT" "the upgrade installs into the installed copy's directory"

kiv_case "an upgrade of a version outside the range is refused"
for installed in 1.9 3.0; do
    write_settings KIVUPG.INI 'Directory=C:\UPGDEMO' "Version=$installed"
    start_setup
    kiv_drive wait-dialog --title "$TITLE" --text "Unable to find an installed copy"
    kiv_out_has 'Unable to find an installed copy of Kiv Demo 2.0 to upgrade.'
    if grep -q 'id 1 class "Button"' "$KIV_OUT"; then kiv_fail "2700 offers a way on (installed $installed)"
    else kiv_pass "2700 offers only Cancel and Help (installed $installed)"; fi
    [ "$installed" = 1.9 ] && kiv_screenshot upgrade-refused
    cancel_and_end
done
kiv_expect_no_file "$KIV_C/UPGDEMO/README.TXT" "a refused upgrade installs nothing"

kiv_case "an upgrade without an installed directory is refused"
write_settings KIVUPG.INI Version=2.5
start_setup
kiv_drive wait-dialog --title "$TITLE" --text "Unable to find an installed copy"
cancel_and_end
rm -f "$KIV_WINDIR/KIVUPG.INI"
start_setup
kiv_drive wait-dialog --title "$TITLE" --text "Unable to find an installed copy"
kiv_pass "no product INI file at all gives 2700"
cancel_and_end

kiv_end
