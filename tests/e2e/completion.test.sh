#!/bin/bash
# The completion dialogs and the start of the installed product, in disk
# mode: Yes in 2203 starts the product from a target directory with blanks,
# typed with a lower-case drive letter, and starts nothing else (programs
# planted at the blanks stay unstarted); a RunFile that names a program with
# a blank in its name starts it; a RunFile with arguments, and one that
# quotes its program itself, start with those arguments; No starts nothing; a program that
# is missing gives 2200, whose Retry tries again and whose Cancel ends the
# run normally.
source "$(dirname "$0")/lib.sh"
kiv_begin

LAUNCHED=$(kiv_exe kivlaunched.exe) || exit 1
TITLE="Kiv Demo Setup"
SRC=$KIV_C/setup

kiv_disk_source "$SRC" KIVDEMO.HLP || kiv_die "cannot lay out $SRC"
cp "$LAUNCHED" "$SRC/KIVLAUNCHED.EXE"
cp "$LAUNCHED" "$SRC/KIV LAUNCHED.EXE"
printf 'readme of the demo\r\n' >"$SRC/README.TXT"

# write_script TARGET RUNLINES...: INSTALL.INI installing the product into
# TARGET, with these lines in [Run].
write_script() {
    local target=$1
    shift
    {
        printf '[Basic Information]\nHelpFileName=KIVDEMO.HLP\nCaption=%s\nProductName=Kiv Demo\n' "$TITLE"
        printf 'DefaultTargetDir=%s\nTotalDisks=1\nDiskSpace=1000\n\n[Run]\n' "$target"
        printf '%s\n' "$@"
        printf '\n[Disk 1]\nDiskName=Kiv Demo Disk 1\nREADME.TXT=Target\nKIVLAUNCHED.EXE=Target\n'
        printf 'KIV LAUNCHED.EXE=Target\n'
    } | sed 's/$/\r/' >"$SRC/INSTALL.INI"
}

# install_to TEXT: starts the installer, types TEXT as the target directory
# and presses Begin; the completion dialog follows (in $KIV_OUT).
install_to() {
    kiv_start setup "$SRC/kivinstall.exe"
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- type --id 1701 "$1" -- press --id 1
    kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60
}

# wait_for_file PATH: up to 10 s for a started program to write PATH.
wait_for_file() {
    local i
    for i in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# launches NAME RUNLINE BUTTONS COMMAND WHAT: installs into C:\Program
# Files\NAME with RUNLINE in [Run] and BUTTONS in the completion dialog,
# whose first button starts the product: it is started once, with COMMAND.
launches() {
    local target="$KIV_C/Program Files/$1"
    write_script 'C:\KIVDEMO' "$2" "Buttons=$3" "Message=Start?" "Name=$1"
    install_to "C:\\Program Files\\$1"
    kiv_drive press --title "$TITLE" --id 1
    kiv_wait setup
    kiv_expect_eq "$KIV_RC" 0 "exit code after starting $1"
    if wait_for_file "$target/LAUNCHED.TXT"; then
        kiv_expect_file_has "$target/LAUNCHED.TXT" "command=$4" "$5"
        kiv_expect_eq "$(grep -c '^command=' "$target/LAUNCHED.TXT")" 1 "$1 was started once"
    else
        kiv_fail "$1 did not start (no $target/LAUNCHED.TXT)"
    fi
}

kiv_case "Yes starts the product from a directory with blanks"
TARGET="$KIV_C/Program Files/Kiv Demo"
# What an unquoted command line would start first.
cp "$LAUNCHED" "$KIV_C/Program.exe"
cp "$LAUNCHED" "$KIV_C/Program Files/Kiv.exe"
write_script 'C:\KIVDEMO' File=KIVLAUNCHED.EXE Buttons=Yes/No "Message=Start Kiv Demo now? 100% ready." \
    "Name=Kiv Demo"
install_to 'c:\Program Files\Kiv Demo'
kiv_expect_eq "$(kiv_out_text 1001)" "Start Kiv Demo now? 100% ready." "the question is shown verbatim"
kiv_out_has 'id 32514 class "Static"' "2203 shows the question icon"
kiv_out_has 'text "&Yes"'
kiv_out_has 'text "&No"'
kiv_screenshot yes-no
kiv_drive press --title "$TITLE" --id 1
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "exit code after Yes"
if wait_for_file "$TARGET/LAUNCHED.TXT"; then
    kiv_expect_file_has "$TARGET/LAUNCHED.TXT" 'command="c:\Program Files\Kiv Demo\KIVLAUNCHED.EXE"' \
        "the product got its quoted path as its command line"
    kiv_expect_file_has "$TARGET/LAUNCHED.TXT" 'directory=c:\Program Files\Kiv Demo' \
        "the product started in the target directory"
    kiv_expect_eq "$(grep -c '^command=' "$TARGET/LAUNCHED.TXT")" 1 "the product was started once"
else
    kiv_fail "the product did not start (no $TARGET/LAUNCHED.TXT)"
fi
kiv_expect_no_file "$KIV_C/LAUNCHED.TXT" "C:\\Program.exe was not started"
kiv_expect_no_file "$KIV_C/Program Files/LAUNCHED.TXT" "C:\\Program Files\\Kiv.exe was not started"

kiv_case "a RunFile that names a program with a blank starts it"
launches "Kiv Blank" 'File=KIV LAUNCHED.EXE' Yes/No '"C:\Program Files\Kiv Blank\KIV LAUNCHED.EXE"' \
    "the whole name is the program, quoted with its path"

kiv_case "a RunFile with arguments starts the program with them"
launches "Kiv Args" 'File=KIVLAUNCHED.EXE /config "two words"' Yes/No \
    '"C:\Program Files\Kiv Args\KIVLAUNCHED.EXE" /config "two words"' \
    "only the program's path is quoted; the arguments follow it"
kiv_expect_no_file "$KIV_C/LAUNCHED.TXT" "C:\\Program.exe was not started"

kiv_case "a RunFile that brings its own quotes starts"
launches "Kiv Quoted" 'File="KIVLAUNCHED.EXE" /quoted' OK/Cancel \
    '"C:\Program Files\Kiv Quoted\KIVLAUNCHED.EXE" /quoted' \
    "the RunFile's own quotes become the quotes around the full path"

kiv_case "No starts nothing"
install_to 'C:\KIVNO'
kiv_drive press --title "$TITLE" --id 2
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "exit code after No"
kiv_expect_file "$KIV_C/KIVNO/KIVLAUNCHED.EXE" "the product is installed"
sleep 1
kiv_expect_no_file "$KIV_C/KIVNO/LAUNCHED.TXT" "the product was not started"

kiv_case "a missing program: Retry, then Cancel"
write_script 'C:\KIVDEMO' File=MISSING.EXE Buttons=OK/Cancel "Message=Click OK to start the missing demo." \
    "Name=Missing Demo"
install_to 'C:\KIVMISS'
kiv_expect_eq "$(kiv_out_text 1001)" "Click OK to start the missing demo." "2202 shows the message"
kiv_out_has 'text "Cancel"'
kiv_drive press --title "$TITLE" --id 1 -- wait-dialog --title "$TITLE" --text "unable to start"
kiv_out_has 'Error: unable to start Missing Demo.'
kiv_out_has 'text "&Retry"'
kiv_screenshot cannot-start
FIRST=$(sed -n 's/^window \(0x[0-9a-f]*\) .*"Kiv Demo Setup"$/\1/p' "$KIV_OUT" | tail -n 1)
kiv_drive press --handle "$FIRST" --id 1 -- wait-gone --handle "$FIRST" --timeout 5 -- \
    wait-dialog --title "$TITLE" --text "unable to start"
SECOND=$(sed -n 's/^window \(0x[0-9a-f]*\) .*"Kiv Demo Setup"$/\1/p' "$KIV_OUT" | tail -n 1)
kiv_expect_ne "$SECOND" "$FIRST" "Retry fails again and shows 2200 anew"
kiv_drive press --handle "$SECOND" --id 2 -- wait-gone --handle "$SECOND"
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel in 2200"
kiv_expect_file "$KIV_C/KIVMISS/README.TXT" "the installation stays in place"

kiv_end
