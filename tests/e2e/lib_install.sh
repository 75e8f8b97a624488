# shellcheck shell=bash
# The installer's road as the suites walk it (sourced by lib.sh). Each helper
# finds the installer's windows by their caption, $TITLE, which the suite
# sets to the Caption of its script.

# kiv_begin_install TAG EXE: starts the installer and presses Begin in its
# start dialog.
kiv_begin_install() {
    kiv_start "$1" "$2"
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1
}

# kiv_completes TAG: the completion dialog appears; OK ends the installer,
# whose exit code is 0.
kiv_completes() {
    kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60 -- press --id 1
    kiv_wait "$1"
    kiv_expect_eq "$KIV_RC" 0 "$1: exit code"
}

# kiv_copy_error: waits for dialog 1300 and prints its message as the driver
# reads it (line breaks as \r and \n).
kiv_copy_error() {
    kiv_drive wait-dialog --title "$TITLE" --text "Filename:" --timeout 60 && kiv_out_text 1001
}

# kiv_system_message CODE: the system's text for an error code, escaped as
# kiv_copy_error prints it.
kiv_system_message() {
    local filetimes
    filetimes=$(kiv_exe filetimes.exe) || return 1
    kiv_run "$filetimes" --message "$1" | tr -d '\r'
}

# kiv_disk_source DIR HELP: DIR (made if need be) as a disk-mode installer's
# own directory: kivinstall.exe and a help file named HELP. The caller adds
# INSTALL.INI and the files.
kiv_disk_source() {
    local installer
    installer=$(kiv_exe kivinstall.exe) || return 1
    mkdir -p "$1" && cp "$installer" "$1/kivinstall.exe" && printf 'help\r\n' >"$1/$2"
}
