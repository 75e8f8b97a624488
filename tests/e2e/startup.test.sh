#!/bin/bash
# Start-up and the faults of the install script, through the real dialogs.
#
# Disk mode (the installer and INSTALL.INI in C:\KIVD): a missing script
# (1900, Retry reads again until the start dialog 2400 comes), a missing key
# (1600, with and without a Caption), a faulty line (1100), too many disks
# (2500) and a Windows too old for the script (2800 under Windows 95; Windows
# 98 is accepted). Resource mode (setup.exe packed by kivpack, broken copies
# with another script resource): a directory in the script's place passed over,
# a fault, and a window's close box. A second start, in both modes, raises
# the first installer's deepest dialog and leaves its files alone. Every dialog is checked for its texts and
# its place on the screen; F1 and Help ask the help viewer for the installed
# help file, except in 1900, which has no help; every run ends with exit code
# 0 and leaves neither the extracted script nor the help file behind.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
FIXTURE=$(kiv_exe kivfixture.exe) || exit 1
PE_WRITE=$KIV_HOST_DIR/pe_write_tool
[ -x "$PE_WRITE" ] || kiv_die "$PE_WRITE is not built (cmake --build --preset host)"
# Not a help file: the viewer answers Help with its error, which names the file.
HELP_SOURCE=$KIV_WORK/NOTHELP.HLP
printf 'not a help file\r\n' >"$HELP_SOURCE"
DISK=$KIV_C/KIVD
mkdir -p "$DISK"
cp "$INSTALLER" "$DISK/kivinstall.exe"
cp "$HELP_SOURCE" "$DISK/DEMO.HLP"
SETUP=$DISK/kivinstall.exe

BASIC=("HelpFileName=DEMO.HLP" "Caption=Demo Setup" "ProductName=Demo" 'DefaultTargetDir=C:\DEMO'
       "TotalDisks=1" "DiskSpace=1000")

# script FILE EDIT...: a valid script with one empty disk, edited: "-KEY"
# drops KEY from [Basic Information], "KEY=VALUE" sets it there, "+LINE"
# appends LINE at the end. Lines end in CR LF.
script() {
    local file=$1 edit i found
    shift
    local -a basic=("${BASIC[@]}") rest=("[Disk 1]" "DiskName=Demo Disk 1")
    for edit; do
        case $edit in
            +*) rest+=("${edit#+}") ;;
            -*) for i in "${!basic[@]}"; do [ "${basic[$i]%%=*}" = "${edit#-}" ] && unset 'basic[i]'; done ;;
            *)  found=
                for i in "${!basic[@]}"; do
                    [ "${basic[$i]%%=*}" = "${edit%%=*}" ] && basic[i]=$edit && found=1
                done
                [ -n "$found" ] || basic+=("$edit") ;;
        esac
    done
    printf '%s\r\n' "[Basic Information]" "${basic[@]}" "" "${rest[@]}" >"$file"
}

# The text of control ID in the driver's last output (the state words never
# hold a quote, so the text is what follows the first ' text "').
ctl() { sed -n "s/^  control [^ ]* id $1 class \"[^\"]*\"[^\"]* text \"\\(.*\\)\"\$/\\1/p" "$KIV_OUT" | head -1; }
# no_ctl ID WHAT: the last dialog has no control ID.
no_ctl() {
    if grep -q "^  control [^ ]* id $1 class " "$KIV_OUT"; then kiv_fail "$2"; else kiv_pass "$2"; fi
}
handle() { sed -n 's/^window \(0x[0-9a-f]*\) .*/\1/p' "$KIV_OUT" | head -1; }

# expect_ctls WHAT ID TEXT [ID TEXT]...: the controls of the last dialog.
expect_ctls() {
    local what=$1
    shift
    while [ $# -ge 2 ]; do
        kiv_expect_eq "$(ctl "$1")" "$2" "$what: control $1"
        shift 2
    done
}

# placed WHAT [owned]: the dialog is centred on the screen; without an owner
# its top is a quarter of the free height from the top of the screen.
placed() {
    local left top right bottom sw sh
    read -r left top right bottom <<<"$(kiv_out_rect)"
    read -r sw sh <<<"$(kiv_out_screen)"
    if [ -z "$left" ] || [ -z "$sw" ]; then
        kiv_fail "$1: the driver printed no rectangle or screen"
        return 1
    fi
    if [ "${2:-}" = owned ]; then
        kiv_expect_eq "$left" "$(((sw - (right - left)) / 2))" "$1: centred on the screen"
    else
        kiv_expect_eq "$left,$top" "$(((sw - (right - left)) / 2)),$(((sh - (bottom - top)) / 4))" \
            "$1: centred, a quarter of the free height from the top"
    fi
}

# dialog SHOT TITLE TEXT: waits for the installer's dialog TITLE holding
# TEXT, checks its place and saves a screenshot SHOT.
dialog() {
    kiv_drive --timeout 30 wait-dialog --title "$2" --text "$3" || return 1
    placed "$1"
    kiv_screenshot "$1"
}

# ended TAG WHAT: the run TAG ended with exit code 0.
ended() {
    kiv_wait "$1" && kiv_expect_eq "$KIV_RC" 0 "$2: exit code"
}

# help_asked WHAT: the help viewer was asked for the installed help file:
# Wine's viewer names it in a message box (the file is no real help file),
# which is confirmed; the installer goes on afterwards.
help_asked() {
    kiv_drive --timeout 20 wait-dialog --text "$1" -- press --text OK -- wait-gone --text "$1" ||
        return 1
    kiv_pass "the help viewer was asked for $1"
}

# second_start WHAT TEXT EXE: with another program's window above the running
# installer, a second installer EXE ends at once with exit code 0 and raises
# the first's dialog that holds TEXT; the first shows no second dialog.
second_start() {
    local count
    kiv_start fixture "$FIXTURE" dialog
    kiv_drive wait-dialog --title "Kiv Fixture" -- dump
    kiv_expect_eq "$(sed -n 's/^window .* title "\(.*\)"$/\1/p' "$KIV_OUT" | head -1)" "Kiv Fixture" \
        "$1: another window is on top"
    count=$(grep -c '^window .* title "Demo Setup"$' "$KIV_OUT")
    kiv_start second --limit 30 "$3"
    ended second "$1: the second start"
    kiv_drive dump
    kiv_expect_eq "$(sed -n 's/^window .* title "\(.*\)"$/\1/p' "$KIV_OUT" | head -1)" "Demo Setup" \
        "$1: the running installer's dialog is raised"
    grep -q "^window .* foreground .* title \"Demo Setup\"\$" "$KIV_OUT" && kiv_pass "$1: it has the focus" ||
        kiv_fail "$1: the raised dialog is the foreground window"
    awk '/^window/ { n++ } n == 1' "$KIV_OUT" | grep -qF " text \"$2\"" &&
        kiv_pass "$1: the topmost window is the deepest dialog" ||
        kiv_fail "$1: the topmost window is the dialog with \"$2\""
    kiv_expect_eq "$(grep -c '^window .* title "Demo Setup"$' "$KIV_OUT")" "$count" "$1: no second dialog"
    kiv_drive close --title "Kiv Fixture" -- wait-gone --title "Kiv Fixture"
    kiv_wait fixture
}

MISSING='line is missing from the'
ABOVE='The above line from'

kiv_case "1900: no script; Retry reads it again"
kiv_start d1900 "$SETUP"
dialog 1900 Install "Unable to open"
expect_ctls 1900 1001 'Unable to open C:\KIVD\INSTALL.INI' 1 "&Retry" 2 Cancel
no_ctl 1002 "1900 has no Help button"
first=$(handle)
kiv_drive key --handle "$first" F1 -- sleep 2.5 -- dump
kiv_expect_eq "$(grep -c '^window ' "$KIV_OUT")" 1 "F1 in 1900 opens nothing"
kiv_drive press --handle "$first" --id 1 -- wait-gone --handle "$first" -- \
    wait-dialog --title Install --text "Unable to open"
kiv_expect_ne "$(handle)" "$first" "Retry without a script shows 1900 again"
script "$DISK/INSTALL.INI"
kiv_drive press --title Install --id 1
dialog 2400 "Demo Setup" "Enter the directory"
expect_ctls 2400 1001 "Enter the directory where you want to install Demo." 1701 'C:\DEMO'
kiv_expect_file "$KIV_WINDIR/DEMO.HLP" "the help file is in the Windows directory during the run"
kiv_drive press --title "Demo Setup" --text Cancel
ended d1900 "cancelled start dialog"
kiv_expect_no_file "$KIV_WINDIR/DEMO.HLP" "the help file is gone after the run"
kiv_expect_file "$DISK/INSTALL.INI" "a disk-mode script stays where it is"

kiv_case "1600: no Caption, title Install; Help"
script "$DISK/INSTALL.INI" -Caption
kiv_start d1600a "$SETUP"
dialog 1600-caption Install "$MISSING"
expect_ctls 1600 1001 'The "Caption=" line is missing from the "[Basic Information]" section of INSTALL.INI.' \
    2 Cancel 1002 "&Help"
no_ctl 1 "1600 has no OK or Retry button"
kiv_drive press --title Install --id 1002
help_asked 'C:\windows\DEMO.HLP'
kiv_drive press --title Install --text Cancel -- wait-gone --title Install
ended d1600a "1600"
kiv_expect_no_file "$KIV_WINDIR/DEMO.HLP" "the help file is gone after the viewer had it"

kiv_case "1600 names key and section; F1"
script "$DISK/INSTALL.INI" TotalDisks=2 "+[Disk 2]" "+A.TXT=Target"
kiv_start d1600b "$SETUP"
dialog 1600-disk "Demo Setup" "$MISSING"
expect_ctls 1600 1001 'The "DiskName=" line is missing from the "[Disk 2]" section of INSTALL.INI.'
kiv_drive key --title "Demo Setup" F1
help_asked 'C:\windows\DEMO.HLP'
kiv_drive wait-dialog --title "Demo Setup" --text "$MISSING" --timeout 2 &&
    kiv_pass "F1 leaves the dialog open"
kiv_drive key --title "Demo Setup" ESC -- wait-gone --title "Demo Setup"
ended d1600b "1600 closed with Escape"

kiv_case "1100: section, line and script path; a second start"
script "$DISK/INSTALL.INI" "+R&D.TXT=Temp"
kiv_start d1100 "$SETUP"
dialog 1100 "Demo Setup" "$ABOVE"
expect_ctls 1100 1101 "[Disk 1]" 1102 "R&D.TXT=Temp" \
    1001 'The above line from C:\KIVD\INSTALL.INI contains an error; installation will be aborted.'
second_start "over 1100" "$(ctl 1001)" "$SETUP"
kiv_expect_file "$DISK/INSTALL.INI" "the second start leaves the first's script"
kiv_expect_file "$KIV_WINDIR/DEMO.HLP" "the second start leaves the first's help file"
kiv_drive press --title "Demo Setup" --text Cancel
ended d1100 "1100"

kiv_case "2500: more than 32 disks"
script "$DISK/INSTALL.INI" TotalDisks=33
kiv_start d2500 "$SETUP"
dialog 2500 "Demo Setup" "installation disks"
expect_ctls 2500 1001 "You cannot have more than 32 installation disks."
kiv_drive press --title "Demo Setup" --text Cancel
ended d2500 "2500"

kiv_case "2800: Windows 95 is older than the script's 4.10"
script "$DISK/INSTALL.INI" WindowsVersion=4.10
kiv_set_version kivinstall.exe win95
kiv_start d2800 "$SETUP"
dialog 2800 "Demo Setup" "requires Windows"
expect_ctls 2800 1001 "Demo requires Windows version 4.1 or later. You cannot install it under Windows 4.0."
kiv_drive press --title "Demo Setup" --text Cancel
ended d2800 "2800"
kiv_set_version kivinstall.exe win98
kiv_start d2800ok "$SETUP"
kiv_drive --timeout 30 wait-dialog --title "Demo Setup" --text "Enter the directory" &&
    kiv_pass "Windows 98 (4.10) is accepted"
kiv_drive press --title "Demo Setup" --text Cancel
ended d2800ok "start dialog under Windows 98"

# Resource mode: the script goes to C:\windows\INSTALL.INI, the help file
# (resource 12001) to C:\windows\KIVSTART.HLP.
PRODUCT=$KIV_WORK/product
mkdir -p "$PRODUCT"
BASIC[0]="HelpFileName=DEMO.HLP,KIVSTART.HLP"
script "$PRODUCT/INSTALL.INI"
cp "$HELP_SOURCE" "$PRODUCT/DEMO.HLP"
"$KIV_PACK" build "$PRODUCT/INSTALL.INI" -o "$KIV_C/setup.exe" --stub "$INSTALLER" >>"$KIV_ART/suite.log" 2>&1 ||
    kiv_die "kivpack build failed (see $KIV_ART/suite.log)"
# broken NAME EDIT...: setup.exe with the edited script as its resource 12000.
broken() {
    local name=$1
    shift
    script "$KIV_WORK/$name.ini" "$@"
    "$KIV_PACK" compress "$KIV_WORK/$name.ini" -o "$KIV_WORK/$name.ini_" >>"$KIV_ART/suite.log" 2>&1 &&
        "$PE_WRITE" "$KIV_C/setup.exe" "$KIV_C/$name.exe" --payload 12000 "$KIV_WORK/$name.ini_" \
            >>"$KIV_ART/suite.log" 2>&1 || kiv_die "cannot make $name.exe"
}
broken nokey -ProductName
broken badline DiskSpace=-5
SCRIPT_X=$KIV_WINDIR/INSTALL.INI
HELP_X=$KIV_WINDIR/KIVSTART.HLP

kiv_case "resource mode: a directory in the script's place is passed over"
mkdir "$SCRIPT_X"  # a directory of that name: the script takes the next free name
kiv_start r1900 "$KIV_C/setup.exe"
dialog 2400-resource "Demo Setup" "Enter the directory"
start_dialog=$(handle)
kiv_expect_file "$HELP_X" "the help file is extracted under its installed name"
kiv_expect_no_file "$KIV_WINDIR/01~INSTALL.INI" "the extracted script is gone once it is read"
[ -d "$SCRIPT_X" ] && kiv_pass "the directory named INSTALL.INI stays" || kiv_fail "the directory named INSTALL.INI is gone"
rmdir "$SCRIPT_X"

kiv_case "resource mode: a second start raises the deepest dialog"
kiv_drive type --handle "$start_dialog" --id 1701 'Q:\NOWHERE' -- press --handle "$start_dialog" --text "&Begin" -- \
    wait-dialog --title "Demo Setup" --text "does not exist"
expect_ctls 1000 1001 "Drive Q does not exist; please enter another drive and directory."
kiv_expect_eq "$(sed -n 's/^window .* owner \(0x[0-9a-f]*\) title .*/\1/p' "$KIV_OUT" | head -1)" "$start_dialog" \
    "1000 is owned by the start dialog"
placed 1000 owned
kiv_screenshot 1000
second_start "over 1000" "Drive Q does not exist; please enter another drive and directory." "$KIV_C/setup.exe"
kiv_expect_file "$HELP_X" "the second start leaves the help file"
kiv_drive press --title "Demo Setup" --window-text "does not exist" --text OK -- wait-gone --text "does not exist" -- \
    press --handle "$start_dialog" --text Cancel
ended r1900 "resource mode, cancelled"
kiv_expect_no_file "$HELP_X" "the help file is gone after the run"
kiv_expect_no_file "$SCRIPT_X" "no extracted script after the run"

kiv_case "resource mode: a fault, a second start, the clean-up"
kiv_start r1600 "$KIV_C/nokey.exe"
dialog 1600-resource "Demo Setup" "$MISSING"
expect_ctls 1600 1001 'The "ProductName=" line is missing from the "[Basic Information]" section of INSTALL.INI.'
# After a fault the extracted script stays while the dialog is shown, for
# the user to read; the clean-up deletes it.
kiv_expect_file "$SCRIPT_X" "the extracted script is there while the fault is shown"
kiv_expect_file "$HELP_X" "the help file is extracted"
second_start "over 1600" "$(ctl 1001)" "$KIV_C/setup.exe"
kiv_expect_file "$HELP_X" "the second start leaves the first's help file"
kiv_drive press --title "Demo Setup" --text Cancel -- wait-gone --title "Demo Setup"
ended r1600 "resource mode 1600"
kiv_expect_no_file "$HELP_X" "the help file is gone after a fault"
kiv_expect_no_file "$SCRIPT_X" "the extracted script is gone after a fault"

kiv_case "resource mode: 1100 in [Basic Information], the close box"
kiv_start r1100 "$KIV_C/badline.exe"
dialog 1100-resource "Demo Setup" "$ABOVE"
expect_ctls 1100 1101 "[Basic Information]" 1102 "DiskSpace=-5" \
    1001 'The above line from C:\windows\INSTALL.INI contains an error; installation will be aborted.'
kiv_expect_file_has "$SCRIPT_X" "DiskSpace=-5" "the script that 1100 names holds the faulty line while it is shown"
kiv_drive close --title "Demo Setup" -- wait-gone --title "Demo Setup"
ended r1100 "closed with the close box"
kiv_expect_no_file "$SCRIPT_X" "no extracted script after the close box"
kiv_expect_no_file "$HELP_X" "no help file after the close box"

kiv_end
