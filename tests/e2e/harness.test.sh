#!/bin/bash
# The harness and the driver, proved on kivfixture.exe: finding a dialog and
# reading its controls, refusing a disabled button, typing, pressing a
# button that opens a modal box, keys through SendInput, the close box,
# exit codes, screenshots, per-program Windows versions, DPI, drive types,
# registry, INI and path helpers.
source "$(dirname "$0")/lib.sh"
kiv_begin

FIXTURE=$(kiv_exe kivfixture.exe) || exit 1
TITLE="Kiv Fixture"

kiv_case "a dialog and its controls"
kiv_start apply "$FIXTURE" dialog
kiv_drive wait-dialog --title "$TITLE" --text "Type a name"
kiv_out_has 'class "Edit"'
kiv_expect_eq "$(kiv_out_text 101)" "Type a name, then press Apply." "the prompt's text"
grep -q '^  control .* id 103 class "Button" .* visible disabled text "&Apply"$' "$KIV_OUT" &&
    kiv_pass "Apply is listed as disabled" || kiv_fail "Apply is listed as disabled"
grep -q '^  control .* id 1 class "Button" .* visible enabled default text "OK"$' "$KIV_OUT" &&
    kiv_pass "OK is listed as the default button" || kiv_fail "OK is listed as the default button"
kiv_expect_eq "$(kiv_out_screen)" "800 600" "screen size as a program sees it"
DIALOG=$(sed -n 's/^window \(0x[0-9a-f]*\) .*/\1/p' "$KIV_OUT" | head -1)
read -r left top right bottom <<<"$(kiv_out_rect)"
[ "$left" -ge 0 ] && [ "$right" -gt "$left" ] && [ "$bottom" -gt "$top" ] && [ "$right" -le 800 ] &&
    kiv_pass "window rectangle $left,$top,$right,$bottom is on the screen" ||
    kiv_fail "window rectangle \"$(kiv_out_rect)\" is on the screen"

kiv_case "a disabled button is refused"
kiv_drive_rc press --title "$TITLE" --id 103 --timeout 0.5
kiv_expect_eq "$?" 1 "pressing disabled Apply fails with exit code 1"
kiv_expect_file_has "$KIV_ERR" "id 103: the control is disabled" "the refusal says why"
kiv_expect_file_has "$KIV_ERR" 'window 0x' "the refusal lists the windows on screen"
kiv_drive_rc press --title "$TITLE" --id 999 --timeout 0.2
kiv_expect_file_has "$KIV_ERR" "id 999: no such control" "a missing control is named"
kiv_drive_rc wait-dialog --title "No Such Window" --timeout 0.2
kiv_expect_eq "$?" 1 "waiting for a window that never comes fails"
kiv_drive_rc frobnicate
kiv_expect_eq "$?" 2 "an unknown command is a usage error"
kiv_drive_rc wait-dialog --title "$TITLE" -- press --id 103 --bogus 1
kiv_expect_eq "$?" 2 "a bad option anywhere stops the script before it acts"

kiv_case "typing enables Apply"
kiv_drive type --title "$TITLE" --id 102 "Ada Lovelace" -- expect --id 104 "Name: Ada Lovelace"
kiv_out_has 'typed id 102 text "Ada Lovelace"'
kiv_expect_file_has "$KIV_ART/apply.out" "en_change" "typing sends EN_CHANGE to the dialog"
kiv_expect_file_has "$KIV_ART/apply.out" "apply enabled" "the dialog enabled Apply"

kiv_case "a button that opens a modal box"
kiv_drive press --title "$TITLE" --text "Apply" -- wait-dialog --title "$TITLE" --text "Applied: Ada Lovelace"
kiv_out_has 'pressed id 103 text "&Apply"'
owner=$(sed -n 's/^window .* owner \(0x[0-9a-f]*\) title .*/\1/p' "$KIV_OUT" | head -1)
kiv_expect_eq "$owner" "$DIALOG" "the message box is owned by the dialog"
kiv_drive_rc press --handle "$DIALOG" --id 1 --timeout 0.3
kiv_expect_file_has "$KIV_ERR" "the window is disabled" "the dialog under a modal box cannot be used"
kiv_screenshot message-box
kiv_drive key --title "$TITLE" --text "Applied:" ENTER -- wait-gone --title "$TITLE"
kiv_wait apply
kiv_expect_eq "$KIV_RC" 30 "exit code after Apply"
kiv_expect_file_has "$KIV_ART/apply.out" 'apply "Ada Lovelace"' "the dialog saw the typed name"
kiv_expect_file_has "$KIV_ART/apply.out" "message closed" "ENTER closed the message box"

kiv_case "keys and the default button"
kiv_start keys "$FIXTURE" dialog
kiv_drive <<'EOF'
wait-dialog --title "Kiv Fixture"
key F1
type --id 102 --set "Grace"
type --id 102 --append " Hopper"
expect --id 104 --exact "Name: Grace Hopper"
key ENTER
wait-gone
wait-exit
EOF
kiv_out_has "exit 10 pid" "the driver saw the exit code"
kiv_wait keys
kiv_expect_eq "$KIV_RC" 10 "ENTER presses the default button OK"
kiv_expect_file_has "$KIV_ART/keys.out" "f1" "F1 reaches the dialog's message filter"
kiv_expect_file_has "$KIV_ART/keys.out" 'ok "Grace Hopper"' "WM_SETTEXT and appended keys make the text"

kiv_case "the close box, Escape and quoting"
kiv_start close "$FIXTURE" dialog
kiv_drive wait-dialog --title "$TITLE" -- close -- wait-gone
kiv_wait close
kiv_expect_eq "$KIV_RC" 20 "the close box cancels"
kiv_start escape "$FIXTURE" dialog
kiv_drive wait-dialog --title "$TITLE" -- type --id 102 'He said "hi" in C:\Program Files\' -- \
    expect --id 104 --exact 'Name: He said "hi" in C:\Program Files\'
kiv_drive <<'EOF'
wait-dialog --title "Kiv Fixture"
# quotes doubled inside quotes, backslashes as they are, UTF-8 text
type --id 102 "Zoë ""quoted"" C:\dir\"
read --id 104
type --id 102 ""
key ESC
wait-gone
EOF
grep -qFx 'Name: Zoë "quoted" C:\dir\' "$KIV_OUT" &&
    kiv_pass "a script's words reach the dialog unchanged" ||
    kiv_fail "a script's words reach the dialog unchanged: $(grep Name "$KIV_OUT")"
kiv_wait escape
kiv_expect_eq "$KIV_RC" 20 "Escape cancels"
kiv_expect_file_has "$KIV_ART/escape.out" "apply disabled" "typing nothing empties the edit"

kiv_case "screenshots"
if [ -f "$KIV_ART/message-box.png" ]; then
    kiv_expect_eq "$(identify -format '%wx%h' "$KIV_ART/message-box.png")" 800x600 "a screenshot is the whole screen"
else
    kiv_fail "a screenshot was saved"
fi

kiv_case "Windows version per program"
for pair in "win95:version 4.0 build 950 platform 1" "win98:version 4.10 build 2222 platform 1" \
    "nt351:version 3.51 build 1057 platform 2" "nt40:version 4.0 build 1381 platform 2" \
    "winxp:version 5.1 build 2600 platform 2" "win10:version 6.2 build 9200 platform 2"; do
    kiv_set_version kivfixture.exe "${pair%%:*}"
    out=$(kiv_run "$FIXTURE" info)
    kiv_expect_contains "$out" "${pair#*:}" "${pair%%:*}: GetVersionExA"
done
kiv_expect_eq "$(kiv_reg_get 'HKCU\Software\Wine\AppDefaults\kivfixture.exe' Version)" win10 \
    "kiv_reg_get reads the value just set"
kiv_reg_get 'HKCU\Software\Wine\AppDefaults\kivfixture.exe' NoSuchValue >/dev/null
kiv_expect_eq "$?" 1 "kiv_reg_get of a missing value returns 1"
kiv_set_dpi 120
kiv_expect_contains "$(kiv_run "$FIXTURE" info)" "dpi 120" "DPI 120 for the next program"
kiv_set_dpi 96

kiv_case "drives"
mkdir -p "$KIV_WORK/floppy" "$KIV_WORK/disk2"
kiv_map_drive x "$KIV_WORK/floppy" floppy
kiv_tmpfs_drive t 64k hd
out=$(kiv_run "$FIXTURE" info X: T:)
kiv_expect_contains "$out" "drive X: type 2 " "a floppy drive is DRIVE_REMOVABLE"
free=$(sed -n 's/^drive T: type [0-9]* free \([0-9]*\)$/\1/p' <<<"$out")
[ -n "$free" ] && [ "$free" -le 65536 ] && kiv_pass "a 64k tmpfs drive has $free bytes free" ||
    kiv_fail "a 64k tmpfs drive has at most 65536 bytes free: \"$out\""
kiv_expect_eq "$(kiv_winpath "$KIV_C/windows")" 'C:\windows' "winepath -w"
kiv_expect_eq "$(kiv_unixpath 'X:\')" "$KIV_WORK/floppy" "a mapped drive's Unix path"
kiv_map_drive x "$KIV_WORK/disk2" floppy
kiv_expect_no_file "$KIV_WORK/restart" "changing the disk in a drive needs no new session"
kiv_expect_eq "$(kiv_unixpath 'X:\')" "$KIV_WORK/disk2" "the drive shows the new disk"

kiv_case "INI files"
printf '[Other]\r\nName=no\r\n[ Product ]\r\n  Name = "Kiv Demo"  \r\nEmpty=\r\n' >"$KIV_C/kivtest.ini"
kiv_expect_eq "$(kiv_ini_get "$KIV_C/kivtest.ini" product NAME)" "Kiv Demo" "section and key without regard to case, trimmed, unquoted"
kiv_ini_get "$KIV_C/kivtest.ini" Product Empty >/dev/null
kiv_expect_eq "$?" 0 "an empty value is present"
kiv_ini_get "$KIV_C/kivtest.ini" Product Missing >/dev/null
kiv_expect_eq "$?" 1 "a missing key returns 1"
kiv_expect_file "$KIV_WINDIR/win.ini" "the prefix has a WIN.INI"

kiv_end
