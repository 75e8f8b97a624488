#!/bin/bash
# The checks of the target-directory dialog in disk mode, one fault after
# another in one dialog, each reported by its own dialog while the target
# dialog stays open: an empty field disables Begin; a missing drive (1000);
# directories that cannot be created (1400: below a file, an invalid name, a
# directory where creation is denied); the disk files' own directory spelt
# as the installer's (2302); too little free space on a small drive (1500) after a
# target with trailing backslashes and a bare drive.
# Last a drive with more free space than 32 bits of K can count, which is not
# refused. A second run: the folder browser opens at the field's directory,
# and a relative path with letters outside ASCII goes below the directory
# the installer started in.
source "$(dirname "$0")/lib.sh"
kiv_begin

TITLE="Kiv Demo Setup"
SRC=$KIV_C/setup

kiv_disk_source "$SRC" KIVDEMO.HLP || kiv_die "cannot lay out $SRC"
printf 'readme of the demo\r\n' >"$SRC/README.TXT"
sed 's/$/\r/' >"$SRC/INSTALL.INI" <<EOF
[Basic Information]
HelpFileName=KIVDEMO.HLP
Caption=$TITLE
ProductName=Kiv Demo
DefaultTargetDir=C:\\KIVDEMO
TotalDisks=1
DiskSpace=1000000

[Target Subdirectories]
Subdirectory1=DATA
Subdirectory2=DATA\\MORE

[Disk 1]
DiskName=Kiv Demo Disk 1
README.TXT=Target
EOF

# The small drive: 256K, which the free-space rule counts as 512K (the free
# sectors are rounded to units of 1024 before the sector size is applied).
kiv_tmpfs_drive E 256k
SMALL=$KIV_TMPFS
# A drive on which creating a directory is denied even to root.
LOCKED=$KIV_WORK/lockroot
mkdir -p "$LOCKED/locked"
kiv_map_drive H "$LOCKED"
chattr +i "$LOCKED/locked" 2>/dev/null && HAVE_LOCK=1 || HAVE_LOCK=0

# try TEXT DIALOGTEXT: types TEXT into the field, presses Begin and waits for
# the message dialog holding DIALOGTEXT; its listing is in $KIV_OUT.
try() {
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 "$1" -- \
        press --id 1 -- wait-dialog --title "$TITLE" --text "$2"
}

# dismiss: OK in the message dialog on screen; the target dialog is back.
dismiss() {
    kiv_drive wait-dialog --title "$TITLE" --text "$1" -- press --id 1 -- \
        wait-gone --title "$TITLE" --text "$1"
}

# field: the field's text as the target dialog shows it now.
field() {
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" >/dev/null && kiv_out_text 1701
}

begin_state() {
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" >/dev/null
    sed -n 's/^  control .* id 1 class "Button" .* visible \(enabled\|disabled\) .*/\1/p' "$KIV_OUT" | head -1
}

# The installer's current directory is the disk files' directory, C:\setup.
cd "$SRC" || kiv_die "no $SRC"
kiv_start setup "$SRC/kivinstall.exe"
cd - >/dev/null || true

kiv_case "an empty field disables Begin"
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 ""
kiv_expect_eq "$(begin_state)" disabled "Begin with an empty field"
kiv_drive type --title "$TITLE" --id 1701 'C:\x'
kiv_expect_eq "$(begin_state)" enabled "Begin once the field holds text"

kiv_case "a drive that does not exist"
try 'q:\nowhere' "Drive Q does not exist"
kiv_out_has 'Drive Q does not exist; please enter another drive and directory.'
kiv_screenshot bad-drive
dismiss "Drive Q does not exist"

kiv_case "directories that cannot be created"
try 'C:\setup\README.TXT\sub' "Unable to create"
kiv_out_has 'Unable to create C:\setup\README.TXT\sub'
dismiss "Unable to create"
try 'C:\bad|name' "Unable to create"
kiv_out_has 'Unable to create C:\bad|name'
dismiss "Unable to create"
if [ "$HAVE_LOCK" = 1 ]; then
    try 'H:\locked\new' "Unable to create"
    kiv_out_has 'Unable to create H:\locked\new' "a denied creation is not taken for a directory"
    dismiss "Unable to create"
    chattr -i "$LOCKED/locked"
else
    kiv_pass "skipped the denied creation: chattr +i is not available here"
fi

kiv_case "the disk files' own directory"
try 'C:\setup' "is being used for installation disks"
kiv_out_has 'C:\setup is being used for installation disks; please enter a different directory.'
kiv_screenshot disk-directory
dismiss "is being used for installation disks"

kiv_case "too little free space"
try 'E:\KIVDEMO\\\' "free disk space"
kiv_out_has 'Drive E has only 512K of free disk space; 977K is needed to install Kiv Demo.'
kiv_screenshot disk-full
dismiss "free disk space"
kiv_expect_eq "$(field)" 'E:\KIVDEMO' "trailing backslashes are removed from the field"
[ -d "$SMALL/KIVDEMO/DATA/MORE" ] && kiv_pass "the directory and its subdirectories were made before the space check" ||
    kiv_fail "no E:\\KIVDEMO\\DATA\\MORE"
kiv_expect_no_file "$SMALL/KIVDEMO/README.TXT" "nothing is copied to a drive that is too small"
try 'e:' "free disk space"
kiv_out_has 'Drive E has only'
dismiss "free disk space"
kiv_expect_eq "$(field)" 'E:\' "a bare drive becomes that drive's current directory, a root keeping its backslash"

kiv_case "a drive with more free space than 32 bits of K"
# 4 TB free: 2^33 free sectors, which a 32-bit count wraps to 0.
kiv_tmpfs_drive G 4T
BIG=$KIV_TMPFS
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 'g:\big\\' -- press --id 1
kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60
if grep -q 'id 2 class "Button"' "$KIV_OUT"; then kiv_fail "2201 has a Cancel button"; else kiv_pass "2201 has no Cancel"; fi
kiv_out_has 'text "&Help"'
kiv_screenshot completed
kiv_drive press --title "$TITLE" --id 1
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "exit code"
kiv_expect_file "$BIG/big/README.TXT" "installed on the 4 TB drive, typed in lower case"
if [ -d "$BIG/big/DATA/MORE" ]; then kiv_pass "the subdirectories are below the target"; else kiv_fail "no G:\\big\\DATA\\MORE"; fi

kiv_case "the folder browser opens at the field's directory"
mkdir -p "$KIV_C/chosen/folder"
cd "$SRC" || kiv_die "no $SRC"
kiv_start relative "$SRC/kivinstall.exe"
cd - >/dev/null || true
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 'C:\chosen\folder' -- \
    press --id 2403 -- wait-dialog --text "Select the directory where you wish to install Kiv Demo."
kiv_screenshot browser
kiv_drive wait-dialog --text "Select the directory where you wish to install" -- press --text OK -- \
    wait-gone --text "Select the directory where you wish to install"
kiv_expect_eq "$(field)" 'C:\chosen\folder' "the folder chosen fills the field"
kiv_expect_no_file "$KIV_C/chosen/folder/DATA" "choosing a folder checks and creates nothing"

kiv_case "a relative directory with letters outside ASCII, installed"
# The first Begin of this run: the current directory is still the one the
# installer started in. The name reaches the field in the ANSI set, as the
# system reports directories to the installer; no conversion may alter it.
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 --set 'rel\Müller\\' -- \
    press --id 1 -- wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60 -- press --id 1
kiv_wait relative
kiv_expect_eq "$KIV_RC" 0 "exit code"
kiv_expect_file "$SRC/rel/Müller/README.TXT" "the file is below the current directory, its name intact"
if [ -d "$SRC/rel/Müller/DATA/MORE" ]; then kiv_pass "the subdirectories are below the target"
else kiv_fail "no rel\\Müller\\DATA\\MORE"; fi
if [ -e "$SRC/rel/Müller/rel" ]; then kiv_fail "subdirectories were made relative to the target again"
else kiv_pass "no second relative level"; fi

kiv_end
