#!/bin/bash
# The completion dialog in front of the group window that the shell opens a
# moment after the group is created, on both shells: Windows 95 (the new
# shell, 2203 with Yes and No) and Windows NT 3.51 (Program Manager, 2201
# with OK). Once the shell's folder window for the group is up and settled,
# the completion dialog is the foreground window and the first of the
# screen's windows, both in the window system's order and in the display's
# stacking (what a person sees, also in the screenshot). A user who then
# activates the group window by hand keeps it in front.
source "$(dirname "$0")/lib.sh"
kiv_begin

command -v xwininfo >/dev/null || kiv_die "xwininfo is missing (Debian package x11-utils)"

# first_window: the caption of the first window of the driver's last listing.
first_window() { sed -n 's/^window .* title "\(.*\)"$/\1/p' "$KIV_OUT" | head -1; }
# foreground_window: the caption of the window the listing marks foreground.
foreground_window() { sed -n 's/^window .* foreground .* title "\(.*\)"$/\1/p' "$KIV_OUT" | head -1; }
# top_on_screen: the name of the first window in the display's stacking
# below the Wine desktop, leaving out the input-method windows.
top_on_screen() {
    xwininfo -root -tree -display "$DISPLAY" 2>/dev/null |
        sed -n 's/^ \{8\}0x[0-9a-f]* "\(.*\)": (.*$/\1/p' | grep -v '^Default IME$' | head -1
}

# check_front TAG CAPTION GROUP: the group window has opened; once it has
# settled, CAPTION is in front of it in every sense.
check_front() {
    local tag=$1 caption=$2 group=$3
    kiv_drive --timeout 30 wait-dialog --title "$group" ||
        { kiv_fail "$tag: the shell opened no window for the group $group"; return; }
    sleep 2
    kiv_drive dump
    kiv_expect_eq "$(foreground_window)" "$caption" "$tag: the completion dialog is the foreground window"
    kiv_expect_eq "$(first_window)" "$caption" "$tag: the completion dialog is the first window in the z-order"
    kiv_out_has "title \"$group\"" "$tag: the group window is open"
    kiv_expect_eq "$(top_on_screen)" "$caption" "$tag: the completion dialog is the top window on the screen"
    kiv_screenshot "$tag-front"
}

# product DIR TAG GROUP RUNLINES...: a disk-mode product in DIR with a group
# of one item and these [Run] lines.
product() {
    local dir=$1 tag=$2 group=$3
    shift 3
    kiv_disk_source "$dir" FRONT.HLP || kiv_die "cannot lay out $dir"
    printf 'the front test\r\n' >"$dir/README.TXT"
    {
        printf '[Basic Information]\nHelpFileName=FRONT.HLP\nCaption=Front Setup %s\n' "$tag"
        printf 'ProductName=Front %s\nDefaultTargetDir=C:\\FRONT%s\nTotalDisks=1\nDiskSpace=100\n\n' "$tag" "$tag"
        printf '[Program Manager Group]\nGroupName=%s\nREADME.TXT=Front Read Me\n\n[Run]\n' "$group"
        printf '%s\n' "$@"
        printf '\n[Disk 1]\nDiskName=Front Disk 1\nREADME.TXT=Target\n'
    } | sed 's/$/\r/' >"$dir/INSTALL.INI"
}

kiv_case "Windows 95: 2203 in front of the group's folder window"
SRC=$KIV_C/SRC95
product "$SRC" 95 "Kiv Front 95" File=README.TXT Buttons=Yes/No "Message=Read it now?" "Name=Front Read Me"
mv "$SRC/kivinstall.exe" "$SRC/front95.exe"
kiv_set_version front95.exe win95
kiv_start s95 "$SRC/front95.exe"
kiv_drive wait-dialog --title "Front Setup 95" --text "Enter the directory" -- press --id 1 -- \
    wait-dialog --title "Front Setup 95" --text "successfully completed" --timeout 60
kiv_out_has 'text "&Yes"' "2203 is shown"
check_front w95 "Front Setup 95" "Kiv Front 95"

kiv_case "Windows 95: the group window activated by hand stays in front"
kiv_drive key --title "Kiv Front 95" TAB
sleep 1.5
kiv_drive dump
kiv_expect_eq "$(foreground_window)" "Kiv Front 95" "the group window keeps the activation the user gave it"
kiv_expect_eq "$(first_window)" "Kiv Front 95" "the group window stays first in the z-order"
kiv_drive press --title "Front Setup 95" --id 2
kiv_wait s95
kiv_expect_eq "$KIV_RC" 0 "exit code after No"

kiv_case "Windows NT 3.51: 2201 in front of the group window"
SRC=$KIV_C/SRC351
product "$SRC" 351 "Kiv Front 351"
mv "$SRC/kivinstall.exe" "$SRC/front351.exe"
kiv_set_version front351.exe nt351
kiv_start s351 "$SRC/front351.exe"
kiv_drive wait-dialog --title "Front Setup 351" --text "Enter the directory" -- press --id 1 -- \
    wait-dialog --title "Front Setup 351" --text "successfully completed" --timeout 60
kiv_out_has 'text "OK"' "2201 is shown"
check_front nt351 "Front Setup 351" "Kiv Front 351"
kiv_drive press --title "Front Setup 351" --id 1
kiv_wait s351
kiv_expect_eq "$KIV_RC" 0 "exit code after OK"

kiv_end
