#!/bin/bash
# Help as the user sees it, from a help source compiled by kivpack helpfile
# and packed by kivpack build. Under Windows XP and 95 the help viewer
# (Wine's winhlp32, read through its RichEdit text) opens at the dialog's
# topic for Help and for F1 in the start dialog (3584), a message dialog
# (2800, 4096) and the completion dialog (2560), and at 3904 for View readme
# file. Under Windows 10 the installer shows the topic itself in dialog 2900;
# an installer packed with a help file it cannot read falls back to the
# viewer there. kivpack check and build warn about help files that lack
# topics or are no help files, and find the help file in DISK1/.
source "$(dirname "$0")/lib.sh"
kiv_begin

TITLE="Kiv Help Setup"
WORK=$KIV_WORK/product
mkdir -p "$WORK/DISK1"
printf 'readme of the product\r\n' >"$WORK/DISK1/README.TXT"

# One topic per place the suite opens, each with words of its own, 8-bit
# characters in the readme and a topic long enough to scroll.
{
    printf '%% Kiv Help Test\n\n'
    printf '# 3584 Choosing the directory\nType the folder for Kiv Help, then press **Begin**.\n\n'
    printf 'Directory topic, second paragraph.\n\n'
    printf '# 2560 Setup is complete\nCompletion topic: the product is ready.\n\n'
    printf '# 4096 Newer Windows needed\nWindows version topic: this product needs a later Windows.\n\n'
    printf '# 3904 Read me first\nReadme topic: na\xefve caf\xe9 \xa9 Kiv. See [the directory](3584).\n\n'
    printf '# 3712 A long topic\n'
    for i in $(seq 60); do printf 'Paragraph %d of the long topic, which fills more than one screen.\n\n' "$i"; done
} >"$WORK/HELP.SRC"
"$KIV_PACK" helpfile "$WORK/HELP.SRC" -o "$WORK/DISK1/KIVHELP.HLP" >"$KIV_ART/helpfile.out" 2>&1 ||
    kiv_die "kivpack helpfile failed: $(head -3 "$KIV_ART/helpfile.out")"

# write_script DIR EXTRA...: DIR/INSTALL.INI with these [Basic Information]
# lines; one disk that installs README.TXT.
write_script() {
    local dir=$1
    shift
    {
        printf '[Basic Information]\nHelpFileName=KIVHELP.HLP\nCaption=%s\nProductName=Kiv Help\n' "$TITLE"
        printf 'DefaultTargetDir=C:\\KIVHELP\nTotalDisks=1\nDiskSpace=1000\n'
        printf '%s\n' "$@"
        printf '\n[Disk 1]\nDiskName=Kiv Help Disk 1\nREADME.TXT=Target\n'
    } | sed 's/$/\r/' >"$dir/INSTALL.INI"
}

kiv_case "kivpack finds the help file in DISK1/ and stores its topics as text"
write_script "$WORK"
"$KIV_PACK" check "$WORK/INSTALL.INI" >"$KIV_WORK/check.out" 2>"$KIV_WORK/check.err"
kiv_expect_eq "$?" 0 "check: exit code"
kiv_expect_eq "$(cat "$KIV_WORK/check.err")" "" "check: no warning for a complete help file"
"$KIV_PACK" build "$WORK/INSTALL.INI" -o "$KIV_C/setup.exe" --stub "$(kiv_exe kivinstall.exe)" \
    >"$KIV_WORK/build.out" 2>"$KIV_WORK/build.err"
kiv_expect_eq "$?" 0 "build: exit code"
kiv_expect_eq "$(cat "$KIV_WORK/build.err")" "" "build: no warning"
"$KIV_PACK" list "$KIV_C/setup.exe" >"$KIV_WORK/list.out" 2>&1
kiv_expect_file_has "$KIV_WORK/list.out" "help file KIVHELP.HLP" "the help file from DISK1/ is packed"
kiv_expect_file_has "$KIV_WORK/list.out" "help text: 5 topics" "list counts the topics stored as text"

kiv_case "kivpack warns about missing topics and about a file that is no help file"
mkdir -p "$KIV_WORK/warn/DISK1"
printf '%% Short\n\n# 100 Other\nNothing the installer asks for.\n' >"$KIV_WORK/warn/S.SRC"
"$KIV_PACK" helpfile "$KIV_WORK/warn/S.SRC" -o "$KIV_WORK/warn/DISK1/KIVHELP.HLP" >/dev/null 2>&1
cp "$WORK/DISK1/README.TXT" "$KIV_WORK/warn/DISK1/"
write_script "$KIV_WORK/warn" FontsOnly=1
"$KIV_PACK" check "$KIV_WORK/warn/INSTALL.INI" >/dev/null 2>"$KIV_WORK/warn.err"
kiv_expect_eq "$?" 0 "check still exits 0"
kiv_expect_file_has "$KIV_WORK/warn.err" \
    "HelpFileName=KIVHELP.HLP: warning: $KIV_WORK/warn/DISK1/KIVHELP.HLP has no topic for 1664 (the start dialog), nor for 3904 (the readme)" \
    "the missing contexts are named"
printf 'plain text, not help\r\n' >"$KIV_WORK/warn/DISK1/KIVHELP.HLP"
write_script "$KIV_WORK/warn"
"$KIV_PACK" build "$KIV_WORK/warn/INSTALL.INI" -o "$KIV_C/nohelp.exe" --stub "$(kiv_exe kivinstall.exe)" \
    >/dev/null 2>"$KIV_WORK/warn.err"
kiv_expect_eq "$?" 0 "build still packs"
kiv_expect_file_has "$KIV_WORK/warn.err" "warning: $KIV_WORK/warn/DISK1/KIVHELP.HLP: " "a file that is no help file"
grep -c warning "$KIV_WORK/warn.err" | grep -qx 1 && kiv_pass "one warning" || kiv_fail "$(cat "$KIV_WORK/warn.err")"
"$KIV_PACK" list "$KIV_C/nohelp.exe" >"$KIV_WORK/list.out" 2>&1
kiv_expect_file_has "$KIV_WORK/list.out" "help text: none" "no help text from a file that is no help file"
# The message dialog: a disk set whose script, edited after kivpack checked
# it, needs a later Windows than any. Its SETUP.EXE carries the help text too.
write_script "$WORK"
"$KIV_PACK" disks "$WORK/INSTALL.INI" -o "$KIV_C/later" --stub "$(kiv_exe kivinstall.exe)" >/dev/null 2>&1 ||
    kiv_fail "kivpack disks"
write_script "$KIV_C/later/DISK1" WindowsVersion=99.0
mv "$KIV_C/later/DISK1/SETUP.EXE" "$KIV_C/later/DISK1/later.exe"

# viewer_shows TOPIC-TEXT TITLE: the help viewer shows the topic.
viewer_shows() {
    kiv_drive --timeout 20 read-help "$1" &&
        kiv_out_has "$2" "the viewer shows the title \"$2\"" && kiv_out_has "$1"
}

# close_viewer: the viewer's close box; its window goes.
close_viewer() {
    kiv_drive read-help -- close -- wait-gone --class MS_WINHELP
}

for version in winxp win95; do
    kiv_case "$version: the start dialog, Help, View readme file and F1"
    kiv_set_version setup.exe "$version"
    kiv_set_version later.exe "$version"
    kiv_start setup "$KIV_C/setup.exe"
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1002
    viewer_shows "Type the folder for Kiv Help" "Choosing the directory"
    kiv_out_has 'class "MS_WINHELP"' "the viewer's window"
    kiv_drive press --title "$TITLE" --id 1003
    viewer_shows "Readme topic: naïve café © Kiv" "Read me first"
    kiv_drive key --title "$TITLE" F1
    viewer_shows "Directory topic, second paragraph" "Choosing the directory"
    kiv_screenshot "$version-start-help"

    kiv_case "$version: the completion dialog, F1 and Help"
    kiv_drive press --title "$TITLE" --id 1
    kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60 -- key F1
    viewer_shows "Completion topic" "Setup is complete"
    close_viewer
    kiv_drive press --title "$TITLE" --id 1002
    viewer_shows "Completion topic" "Setup is complete"
    close_viewer
    kiv_drive press --title "$TITLE" --id 1
    kiv_wait setup
    kiv_expect_eq "$KIV_RC" 0 "$version: exit code"
    kiv_expect_file "$KIV_C/KIVHELP/README.TXT"
    rm -rf "$KIV_C/KIVHELP"

    kiv_case "$version: message dialog 2800, Help and F1"
    kiv_start later "$KIV_C/later/DISK1/later.exe"
    kiv_drive wait-dialog --title "$TITLE" --text "requires Windows version 99.0" -- press --id 1002
    viewer_shows "Windows version topic" "Newer Windows needed"
    close_viewer
    kiv_drive key --title "$TITLE" F1
    viewer_shows "Windows version topic" "Newer Windows needed"
    close_viewer
    kiv_drive press --title "$TITLE" --id 2
    kiv_wait later
done

kiv_case "win10: the installer's own help dialog"
kiv_set_version setup.exe win10
kiv_start setup "$KIV_C/setup.exe"
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1002 -- \
    wait-dialog --title "Choosing the directory" -- expect --id 2901 "Directory topic, second paragraph"
kiv_expect_eq "$(kiv_out_text 2901)" \
    'Type the folder for Kiv Help, then press Begin.\r\n\r\nDirectory topic, second paragraph.' \
    "2900 shows the whole topic, paragraphs apart"
kiv_out_has 'text "OK"' "2900 has OK"
kiv_out_has 'readonly' "the text is read-only"
kiv_screenshot win10-help-dialog
kiv_drive dump
grep -q 'class "MS_WINHELP"' "$KIV_OUT" && kiv_fail "win10: the viewer was started" || kiv_pass "win10: no viewer"
kiv_drive key --title "Choosing the directory" F1 -- sleep 1 -- dump
kiv_expect_eq "$(grep -c 'title "Choosing the directory"' "$KIV_OUT")" 1 "F1 in 2900 opens no second copy"
kiv_drive press --title "Choosing the directory" --id 1 -- wait-gone --title "Choosing the directory"
kiv_drive press --title "$TITLE" --id 1003 -- wait-dialog --title "Read me first" -- \
    expect --id 2901 "Readme topic: naïve café © Kiv. See the directory."
kiv_drive key --title "Read me first" ESC -- wait-gone --title "Read me first"
kiv_drive key --title "$TITLE" F1 -- wait-dialog --title "Choosing the directory" -- press --id 1 -- \
    wait-gone --title "Choosing the directory"
kiv_drive press --title "$TITLE" --id 2
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "win10: exit code after Cancel"

kiv_case "win10: message dialog 2800 of a disk set, Help"
kiv_set_version later.exe win10
kiv_start later "$KIV_C/later/DISK1/later.exe"
kiv_drive wait-dialog --title "$TITLE" --text "requires Windows version 99.0" -- press --id 1002 -- \
    wait-dialog --title "Newer Windows needed" -- expect --id 2901 "Windows version topic" -- press --id 1 -- \
    wait-gone --title "Newer Windows needed" -- press --title "$TITLE" --id 2
kiv_wait later
kiv_expect_eq "$KIV_RC" 0 "win10: 2800 ends the run"

# The demo product, packed as a vendor packs it: its help shows its bold,
# italic and jumps in the installer's RichEdit control.
DEMO=$KIV_WORK/demo
DEMO_TITLE="KivDemo Setup"
mkdir -p "$DEMO"
cp "$KIV_SOURCE_DIR/examples/demo/INSTALL.INI" "$KIV_SOURCE_DIR/examples/demo/README.TXT" \
    "$KIV_HOST_DIR/demo/DEMO.HLP" "$DEMO/" || kiv_die "the demo's files are not built"
cp "$KIV_WIN32_DIR/demo/KIVDEMO.exe" "$DEMO/KIVDEMO.EXE" || kiv_die "the demo program is not built"
"$KIV_PACK" build "$DEMO/INSTALL.INI" -o "$KIV_C/demo.exe" --stub "$(kiv_exe kivinstall.exe)" \
    --uninstaller-stub "$(kiv_exe kivuninst.exe)" >"$KIV_WORK/demo.out" 2>&1 ||
    kiv_die "kivpack build of the demo failed: $(head -3 "$KIV_WORK/demo.out")"

# back_is enabled|disabled WHAT: the state of Back in the driver's last listing.
back_is() {
    grep -Eq "id 2902 class \"Button\" [^\"]* visible $1 " "$KIV_OUT" && kiv_pass "$2" || kiv_fail "$2"
}

kiv_case "win10: the demo's help with its formatting, a jump and Back"
kiv_set_version demo.exe win10
kiv_start demo "$KIV_C/demo.exe"
kiv_drive wait-dialog --title "$DEMO_TITLE" --text "Enter the directory" -- press --id 1002 -- \
    wait-dialog --title "Installing KivDemo" -- read-rich --id 2901 "Choose **Begin** to install."
grep -qi 'id 2901 class "RichEdit50W"' "$KIV_OUT" && kiv_pass "the topic is shown in msftedit's RichEdit control" ||
    kiv_fail "the topic is not shown in msftedit's RichEdit control"
kiv_out_has 'readonly' "the RichEdit control is read-only"
kiv_out_has 'directory shown, **C:\KIVDEMO** unless' "a bold path"
kiv_out_has 'creates a *KivDemo* group' "an italic word"
kiv_out_has 'Choose **View readme file** to read [about KivDemo] first.' "the jump is a link"
back_is disabled "Back is disabled before a jump"
kiv_screenshot win10-formatted-help
kiv_drive press-link --title "Installing KivDemo" --id 2901 "about KivDemo" -- \
    wait-dialog --title "About KivDemo" -- read-rich --id 2901 "choose **Yes** to start KivDemo"
back_is enabled "Back is enabled after the jump"
grep -q 'title "Installing KivDemo"' "$KIV_OUT" && kiv_fail "the jump opened a second dialog" ||
    kiv_pass "the jump shows its topic in the same dialog"
kiv_drive key --title "About KivDemo" F1 -- sleep 1 -- dump
kiv_expect_eq "$(grep -c 'title "About KivDemo"' "$KIV_OUT")" 1 "F1 after a jump opens no second copy"
kiv_drive press --title "About KivDemo" --id 2902 -- wait-dialog --title "Installing KivDemo" -- \
    read-rich --id 2901 "[about KivDemo]"
back_is disabled "Back is disabled again at the first topic"
kiv_drive press --title "Installing KivDemo" --id 1 -- wait-gone --title "Installing KivDemo" -- \
    press --title "$DEMO_TITLE" --id 2
kiv_wait demo
kiv_expect_eq "$KIV_RC" 0 "win10: the demo ends normally after its help"

kiv_case "win10 without RichEdit, and with damaged help styles: the topic as plain text"
cp "$KIV_C/demo.exe" "$KIV_C/norich.exe"
for dll in msftedit riched20 riched32; do
    kiv_reg add 'HKCU\Software\Wine\AppDefaults\norich.exe\DllOverrides' /v "$dll" /d "" /f >/dev/null ||
        kiv_fail "cannot disable $dll for norich.exe"
done
# The first run of topic 3584's styles claims more text than the topic has.
python3 - "$KIV_C/demo.exe" "$KIV_C/badstyle.exe" <<'EOF_PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
text = data.find(b"Drive does not exist\0")
count, first = struct.unpack_from("<II", data, text - 12)
# The styles begin like the text, with the count and topic 256, but no title follows.
at = next(i for i in range(len(data) - 12) if i != text - 12 and
          struct.unpack_from("<II", data, i) == (count, first) and data[i + 12:i + 32] != data[text:text + 20])
at += 4
while struct.unpack_from("<I", data, at)[0] != 3584:
    at += struct.unpack_from("<I", data, at + 4)[0]
struct.pack_into("<H", data, at + 8, 0xFFFF)
open(sys.argv[2], "wb").write(data)
EOF_PY
[ -f "$KIV_C/badstyle.exe" ] || kiv_fail "no installer with damaged help styles"
for exe in norich badstyle; do
    kiv_set_version $exe.exe win10
    kiv_start $exe "$KIV_C/$exe.exe"
    kiv_drive wait-dialog --title "$DEMO_TITLE" --text "Enter the directory" -- press --id 1002 -- \
        wait-dialog --title "Installing KivDemo" -- expect --id 2901 "Choose Begin to install."
    back_is disabled "$exe: Back stays disabled"
    case $exe in
        norich) kiv_out_has 'id 2901 class "Edit"' "norich: the template's field shows the text" ;;
        badstyle) kiv_drive read-rich --title "Installing KivDemo" --id 2901 "Choose Begin to install. " &&
            kiv_out_has 'Choose View readme file to read about KivDemo first.' "badstyle: no bold, no link" ;;
    esac
    kiv_drive press --title "Installing KivDemo" --id 1 -- wait-gone --title "Installing KivDemo" -- \
        press --title "$DEMO_TITLE" --id 2
    kiv_wait $exe
    kiv_expect_eq "$KIV_RC" 0 "$exe: ends normally"
done

kiv_case "win10: a damaged help text is not read; the viewer is asked"
# The first topic's record claims to reach past the end of the resource.
python3 - "$KIV_C/setup.exe" "$KIV_C/damaged.exe" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
start = data.rfind(struct.pack("<I", 3584), 0, data.find(b"Choosing the directory\0"))
struct.pack_into("<I", data, start + 4, 0xFFFFFFF0)
open(sys.argv[2], "wb").write(data)
EOF
kiv_set_version damaged.exe win10
kiv_start damaged "$KIV_C/damaged.exe"
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1002
viewer_shows "Type the folder for Kiv Help" "Choosing the directory"
close_viewer
kiv_drive press --title "$TITLE" --id 2
kiv_wait damaged
kiv_expect_eq "$KIV_RC" 0 "win10: the damaged installer ends normally"

kiv_case "win10: without help text the viewer is asked"
kiv_set_version nohelp.exe win10
kiv_start nohelp "$KIV_C/nohelp.exe"
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1002
kiv_drive --timeout 20 wait-dialog --text 'KIVHELP.HLP' -- press --text OK -- wait-gone --text 'KIVHELP.HLP' &&
    kiv_pass "the viewer reports the file it cannot read"
kiv_drive press --title "$TITLE" --id 2
kiv_wait nohelp

kiv_end
