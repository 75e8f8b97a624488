#!/bin/bash
# The uninstaller as a user meets it, under an emulated Windows 95, Windows NT
# 4.0 and Windows 10. Per system, in one prefix:
# - the demo, installed and then removed through its uninstall entry's
#   command (started as the system's list of removable programs starts it):
#   the entry shows its version, location, icon (the program that [Run]
#   starts) and size, and offers neither Change nor Repair; its directory,
#   group, settings file and entry are gone;
# - a product installed under C:\Program Files\ (a blank in the path) with a
#   font, a subdirectory, a shared file in the Windows directory and a
#   running copy: its entry's command is quoted, so a C:\Program.exe planted
#   there never runs; No changes nothing (and a second start only raises the
#   first's question); Yes closes the running copy; a file held open gets
#   Retry (asked again) and Cancel (the run ends, the entry stays); a second
#   run on the half-removed product removes the rest, keeps the shared file
#   and the folder holding a file the user made, and names them; the program's
#   own file goes through its copy, which the Windows 95 family has removed
#   through WININIT.INI and Windows NT through a pending rename.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
UNINSTALLER=$(kiv_exe kivuninst.exe) || exit 1
ENTRY=$(kiv_exe kiventry.exe) || exit 1
HOLDER=$(kiv_exe kivholder.exe) || exit 1
COPY_EXE=$(kiv_exe running_copy.exe) || exit 1
DEMO_EXE=$KIV_WIN32_DIR/demo/KIVDEMO.exe
[ -f "$DEMO_EXE" ] || kiv_die "the demo program is not built"
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$FONT" ] || kiv_die "$FONT is missing (Debian package fonts-dejavu-core)"

PROGRAMS="$KIV_C/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
FONTS95='HKLM\Software\Microsoft\Windows\CurrentVersion\Fonts'
FONTSNT='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
PENDING='HKLM\System\CurrentControlSet\Control\Session Manager'
TEMPDIR="$KIV_C/users/$(id -un)/AppData/Local/Temp"
mkdir -p "$KIV_C/e2e"
cp "$ENTRY" "$KIV_C/e2e/kiventry.exe"
cp "$COPY_EXE" "$HOLDER" "$KIV_C/e2e/"
# Where a command cut at its first blank would lead.
cp "$ENTRY" "$KIV_C/Program.exe"

# build TAG SCRIPT-DIR: setupTAG.exe beside the script, with the generated
# uninstaller for its UNINST.EXE line.
build() {
    "$KIV_PACK" build "$2/INSTALL.INI" -o "$2/setup$1.exe" --stub "$INSTALLER" >"$KIV_ART/build$1.out" 2>&1 ||
        kiv_die "kivpack build $1: $(cat "$KIV_ART/build$1.out")"
}

# versions VERSION: the setup programs, the uninstaller and its copy in the
# temporary directory all see Windows VERSION.
versions() {
    local exe
    for exe in setup95.exe setupNT4.exe setup10.exe setup351.exe setupdemo.exe uninst.exe '~KIVUNST.EXE'; do
        kiv_set_version "$exe" "$1"
    done
}

# install TAG SCRIPT-DIR CAPTION BUTTON: one installation from Begin to the
# completion dialog, closed with BUTTON (1 OK, 2 No to starting the program).
install() {
    local tag=$1 dir=$2 title=$3 button=$4
    kiv_start "setup$tag" "$(kiv_winpath "$dir/setup$tag.exe")"
    if ! kiv_drive wait-dialog --title "$title" --text Begin -- press --id 1 -- \
        wait-dialog --title "$title" --text "completed" --timeout 60 -- press --id "$button"; then
        kiv_drive_rc dump
        kiv_drive_rc close --title "$title" --timeout 2
        kiv_wait "setup$tag"
        return 1
    fi
    kiv_wait "setup$tag"
}

# start_entry TAG NAME: the command of uninstall entry NAME, started as the
# list of removable programs starts it.
start_entry() {
    kiv_start "entry$1" 'C:\e2e\kiventry.exe' "$2"
}

# confirm TITLE PRODUCT BUTTON: the question names the product; BUTTON 1 is
# Yes, 2 No.
confirm() {
    kiv_drive wait-dialog --title "$1" --text "Are you sure you want to remove $2 and all of its components?" \
        --timeout 30 -- press --id "$3"
}

# gone PATH WHAT: waits up to 20 s for PATH to go (the copy works after the
# uninstaller has ended).
gone() {
    for _ in $(seq 100); do [ -e "$1" ] || break; sleep 0.2; done
    kiv_expect_no_file "$1" "$2"
}

# entry_shows NAME VERSION LOCATION ICON PATH...: the entry's values that
# the list of removable programs shows: version, location, icon, the size in
# K of the files that the installation put in the PATHs (directories or
# files), and neither Change nor Repair.
entry_shows() {
    local key="$UNINSTALL\\$1" bytes
    bytes=$(find "${@:5}" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    kiv_expect_eq "$(kiv_reg_get "$key" DisplayVersion)" "$2" "$1: DisplayVersion"
    kiv_expect_eq "$(kiv_reg_get "$key" InstallLocation)" "$3" "$1: InstallLocation"
    kiv_expect_eq "$(kiv_reg_get "$key" DisplayIcon)" "$4" "$1: DisplayIcon"
    kiv_expect_eq "$(kiv_reg_get "$key" EstimatedSize)" "$(printf '0x%x' $(((bytes + 1023) / 1024)))" \
        "$1: EstimatedSize, the $bytes bytes installed in K"
    kiv_expect_eq "$(kiv_reg_get "$key" NoModify)" 0x1 "$1: NoModify"
    kiv_expect_eq "$(kiv_reg_get "$key" NoRepair)" 0x1 "$1: NoRepair"
}

# demo TAG: the demo installed and removed again.
demo() {
    local src=$KIV_C/SRCDEMO target=$KIV_C/KIVDEMO
    kiv_case "$1: the demo, installed and removed"
    install demo "$src" "KivDemo Setup" 2 || return
    kiv_expect_file "$target/UNINST.EXE" "the demo's uninstaller is installed"
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\KivDemo 1.0" UninstallString)" 'c:\kivdemo\uninst.exe' \
        "a path without blanks stays bare"
    entry_shows "KivDemo 1.0" 1.0 'C:\KIVDEMO' 'C:\KIVDEMO\KIVDEMO.EXE' "$target"
    start_entry "demo$1" "KivDemo 1.0"
    confirm "KivDemo Setup" KivDemo 1 || return
    kiv_drive wait-dialog --title "KivDemo Setup" --text "KivDemo was removed." --timeout 30 -- press --id 1
    kiv_wait "entrydemo$1"
    gone "$target" "the demo's directory is gone"
    kiv_expect_no_file "$PROGRAMS/KivDemo" "the demo's group is gone"
    kiv_expect_no_file "$KIV_WINDIR/KIVDEMO.INI" "the demo's settings file is gone"
    kiv_expect_rc 1 kiv_reg_get "$UNINSTALL\\KivDemo 1.0" UninstallString
    kiv_expect_no_file "$KIV_WINDIR/UNINST.INI" "the uninstaller's extracted script is gone"
}

# write_product TAG: the product's script and files in C:\SRCTAG.
write_product() {
    local tag=$1 dir=$KIV_C/SRC$1
    mkdir -p "$dir"
    {
        printf '[Basic Information]\r\nHelpFileName=H.HLP\r\nCaption=Harbor Setup %s\r\n' "$tag"
        printf 'ProductName=Harbor %s\r\nProductVersion=3.0\r\nProduct.INI=HARBOR%s.INI\r\n' "$tag" "$tag"
        printf 'UninstallName=Harbor %s\r\nDefaultTargetDir=C:\\Program Files\\Harbor %s\r\n' "$tag" "$tag"
        printf 'TotalDisks=1\r\nDiskSpace=900000\r\n\r\n'
        printf '[Target Subdirectories]\r\nSubdirectory1=DATA\r\nSubdirectory2=LOGS\r\n\r\n'
        printf '[fonts]\r\nHarbor Sans %s (TrueType)=HARB%s.TTF\r\n\r\n' "$tag" "$tag"
        printf '[Exit List]\r\nKivHarbor%s=Harbor\r\n\r\n' "$tag"
        printf '[Program Manager Group]\r\nGroupName=Harbor %s\r\nHARBOR.EXE=Harbor\r\n\r\n' "$tag"
        printf '[Disk 1]\r\nDiskName=Harbor Disk 1\r\nHARBOR.EXE=Target,Harbor\r\n'
        printf 'NOTES.TXT=Target\\DATA\\NOTES.TXT,Notes\r\nHARB%s.TTF=Fonts,Font\r\n' "$tag"
        printf 'HBSHARE%s.INI=Windows,Shared settings\r\nUNINST.EXE=Target,Uninstaller\r\n' "$tag"
    } >"$dir/INSTALL.INI"
    printf 'help\r\n' >"$dir/H.HLP"
    echo harbor >"$dir/HARBOR.EXE"
    echo notes >"$dir/NOTES.TXT"
    echo shared >"$dir/HBSHARE$tag.INI"
    cp "$FONT" "$dir/HARB$tag.TTF"
    build "$tag" "$dir"
}

# product TAG FONTKEY NT: the whole road of the product on one system.
product() {
    local tag=$1 fontkey=$2 nt=$3
    local title="Harbor Setup $tag" name="Harbor $tag" target="$KIV_C/Program Files/Harbor $tag"
    local wintarget="C:\\Program Files\\Harbor $tag" log=$KIV_C/e2e/copies$tag.log
    kiv_case "$tag: the product installed under a path with a blank"
    write_product "$tag"
    kiv_expect_file_has "$KIV_ART/build$tag.out" "UNINST.EXE=Target,Uninstaller: the generated uninstaller" \
        "kivpack packs the generated uninstaller"
    install "$tag" "$KIV_C/SRC$tag" "$title" 1 || return
    local lower
    lower=$(echo "$wintarget" | tr '[:upper:]' '[:lower:]')
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\$name" UninstallString)" "\"$lower\\uninst.exe\"" \
        "a path with a blank is quoted in the entry"
    entry_shows "$name" 3.0 "$wintarget" "$lower\\uninst.exe" "$target" "$KIV_WINDIR/Fonts/HARB$tag.TTF" \
        "$KIV_WINDIR/HBSHARE$tag.INI"
    kiv_expect_file "$target/UNINST.EXE"
    kiv_expect_file "$KIV_WINDIR/Fonts/HARB$tag.TTF" "font installed"
    printf 'mine\r\n' >"$target/DATA/MINE.TXT"
    kiv_start "copy$tag" --limit 300 'C:\e2e\running_copy.exe' "KivHarbor$tag" "Harbor running" "C:\\e2e\\copies$tag.log"
    for _ in $(seq 100); do grep -q '^ready' "$log" 2>/dev/null && break; sleep 0.2; done

    kiv_case "$tag: No changes nothing; a second start raises the first"
    start_entry "$tag" "$name"
    kiv_drive wait-dialog --title "$title" --text "Are you sure" --timeout 30
    kiv_start "second$tag" "$wintarget\\uninst.exe"
    kiv_wait "second$tag"
    kiv_expect_eq "$KIV_RC" 0 "the second start ends at once"
    confirm "$title" "$name" 2
    kiv_wait "entry$tag"
    kiv_expect_file_has "$KIV_ART/entry$tag.out" "exit: 0" "the uninstaller ends with exit code 0"
    for f in HARBOR.EXE DATA/NOTES.TXT UNINST.EXE; do kiv_expect_file "$target/$f" "No keeps $f"; done
    kiv_expect_file "$KIV_WINDIR/HARBOR$tag.INI" "No keeps the settings file"
    kiv_expect_eq "$(kiv_reg_get "$fontkey" "Harbor Sans $tag (TrueType)")" "HARB$tag.TTF" "No keeps the font"
    kiv_expect_file "$PROGRAMS/Harbor $tag/Harbor.lnk" "No keeps the group"
    if grep -q '^closed' "$log"; then kiv_fail "No closed the running copy"; else kiv_pass "No leaves the running copy"; fi

    kiv_case "$tag: Yes with a file held open: Retry, then Cancel"
    kiv_start "hold$tag" --limit 120 'C:\e2e\kivholder.exe' lock "$wintarget\\DATA\\NOTES.TXT" "C:\\e2e\\held$tag"
    for _ in $(seq 100); do [ -f "$KIV_C/e2e/held$tag" ] && break; sleep 0.2; done
    start_entry "$tag" "$name"
    confirm "$title" "$name" 1
    kiv_drive wait-dialog --title "$title" --text "Filename:" --timeout 30 -- press --id 1 -- sleep 1 -- \
        wait-dialog --title "$title" --text "Filename:" --timeout 30
    kiv_expect_contains "$(kiv_out_text 1001)" "NOTES.TXT" "the dialog names the held file"
    kiv_out_has "&Retry"
    kiv_drive press --title "$title" --id 2
    kiv_wait "entry$tag"
    kiv_expect_file_has "$log" "closed KivHarbor$tag Harbor running" "the running copy was asked to close"
    kiv_expect_no_file "$target/HARBOR.EXE" "files before the held one are removed"
    kiv_expect_file "$target/DATA/NOTES.TXT" "Cancel leaves the held file"
    kiv_expect_file "$target/UNINST.EXE" "Cancel leaves the uninstaller"
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\$name" DisplayName)" "$name" "Cancel leaves the entry"
    rm -f "$KIV_C/e2e/held$tag"
    kiv_wait "hold$tag"

    kiv_case "$tag: a second run on the half-removed product"
    # A file of the name that the rewrite of WININIT.INI takes first is not
    # the uninstaller's.
    [ "$nt" = 1 ] || echo "the user's own" >"$KIV_WINDIR/WININIT.KI\$"
    start_entry "$tag" "$name"
    confirm "$title" "$name" 1
    kiv_drive wait-dialog --title "$title" --text "$name was removed." --timeout 30
    local message
    message=$(kiv_out_text 1001)
    kiv_expect_contains "$message" \
        "Shared file kept, as other programs may use it:\\nC:\\windows\\HBSHARE$tag.INI" \
        "the closing dialog names the shared file kept"
    # The entry's command names the directory in lower case; the dialog
    # spells the folders as they were made.
    kiv_expect_contains "$message" "Folders kept because they hold other files:\\n$wintarget\\DATA\\n$wintarget" \
        "the closing dialog names the folder holding the user's file, and the target"
    kiv_drive press --title "$title" --id 1
    kiv_wait "entry$tag"
    gone "$target/UNINST.EXE" "the uninstaller removed itself"
    kiv_expect_file "$target/DATA/MINE.TXT" "the user's file stays, with its folder"
    kiv_expect_no_file "$target/DATA/NOTES.TXT" "the product's file beside it is removed"
    kiv_expect_no_file "$target/LOGS" "an empty target subdirectory is removed"
    kiv_expect_file "$KIV_WINDIR/HBSHARE$tag.INI" "the shared file in the Windows directory stays"
    kiv_expect_no_file "$KIV_WINDIR/HARBOR$tag.INI" "the settings file is gone"
    kiv_expect_rc 1 kiv_reg_get "$fontkey" "Harbor Sans $tag (TrueType)"
    kiv_expect_no_file "$KIV_WINDIR/Fonts/HARB$tag.TTF" "the font file is gone"
    kiv_expect_no_file "$PROGRAMS/Harbor $tag" "the group is gone"
    kiv_expect_rc 1 kiv_reg_get "$UNINSTALL\\$name" UninstallString
    if [ "$nt" = 1 ]; then
        kiv_expect_contains "$(kiv_reg query "$PENDING" /v PendingFileRenameOperations)" '~KIVUNST.EXE' \
            "Windows NT: the copy is a pending rename"
    else
        local wininit
        wininit=$(find "$KIV_WINDIR" -maxdepth 1 -iname wininit.ini | head -1)
        kiv_expect_contains "$(tr -d '\r' <"${wininit:-/dev/null}" | tr '[:lower:]' '[:upper:]')" \
            "[RENAME]"$'\n'"NUL=C:\\USERS\\" "Windows 95: WININIT.INI holds the removal of the copy in the temporary directory"
        kiv_expect_eq "$(cat "$KIV_WINDIR/WININIT.KI\$")" "the user's own" \
            "Windows 95: a file of the name the rewrite takes first is left as it was"
        kiv_expect_eq "$(find "$KIV_WINDIR" -maxdepth 1 -iname '*WININIT.KI$' | wc -l)" 1 "no temporary of the rewrite is left"
        kiv_expect_rc 1 kiv_reg_get "$PENDING" PendingFileRenameOperations
    fi
}

# The demo's product directory, packed once.
mkdir -p "$KIV_C/SRCDEMO"
cp "$KIV_SOURCE_DIR"/examples/demo/{INSTALL.INI,README.TXT} "$KIV_HOST_DIR/demo/DEMO.HLP" "$KIV_C/SRCDEMO/"
cp "$DEMO_EXE" "$KIV_C/SRCDEMO/KIVDEMO.EXE"
build demo "$KIV_C/SRCDEMO"
kiv_expect_file_has "$KIV_ART/builddemo.out" "UNINST.EXE=Target,Uninstaller: the generated uninstaller" \
    "the demo's uninstaller is generated"

kiv_case "kivpack: the uninstaller command, the warning, a vendor's own uninst.exe, disks"
P=$KIV_WORK/pack
mkdir -p "$P/none" "$P/own"
for d in none own; do cp "$KIV_C/SRCDEMO"/{README.TXT,DEMO.HLP,KIVDEMO.EXE} "$P/$d/"; done
grep -v '^UNINST.EXE=' "$KIV_C/SRCDEMO/INSTALL.INI" >"$P/none/INSTALL.INI"
cp "$KIV_C/SRCDEMO/INSTALL.INI" "$P/own/INSTALL.INI"
printf 'the vendor'"'"'s own uninstaller\r\n' >"$P/own/UNINST.EXE"
warning="warning: no file line puts uninst.exe into Target"
kiv_expect_rc 0 "$KIV_PACK" check "$P/none/INSTALL.INI" >"$P/check.out" 2>"$P/check.err"
kiv_expect_rc 0 "$KIV_PACK" build "$P/none/INSTALL.INI" -o "$P/none.exe" --stub "$INSTALLER" >"$P/build.out" 2>"$P/build.err"
for command in check build; do
    kiv_expect_file_has "$P/$command.err" "UninstallName=KivDemo 1.0: $warning" "$command warns without an uninstaller line"
done
"$KIV_PACK" check "$KIV_C/SRCDEMO/INSTALL.INI" >/dev/null 2>"$P/demo.err"
kiv_expect_eq "$(cat "$P/demo.err")" "" "no warning for the demo, which has the line"
"$KIV_PACK" build "$P/own/INSTALL.INI" -o "$P/own.exe" --stub "$INSTALLER" >"$P/own.out" 2>&1
if grep -q "generated uninstaller" "$P/own.out"; then kiv_fail "a vendor's own uninst.exe was replaced"; fi
"$KIV_PACK" extract "$P/own.exe" -d "$P/own.x" >/dev/null 2>&1
kiv_expect_same_file "$P/own.x/Target/UNINST.EXE" "$P/own/UNINST.EXE"
kiv_expect_rc 0 "$KIV_PACK" uninstaller "$KIV_C/SRCDEMO/INSTALL.INI" -o "$P/uninst.exe"
"$KIV_PACK" list "$P/uninst.exe" >"$P/list.out" 2>&1
kiv_expect_file_has "$P/list.out" "install script UNINST.INI" "kivpack uninstaller: the script is resource 12000"
[ "$(stat -c %s "$UNINSTALLER")" -le 36864 ] && kiv_pass "kivuninst.exe is at most 36 KiB" ||
    kiv_fail "kivuninst.exe is $(stat -c %s "$UNINSTALLER") bytes"
"$KIV_PACK" disks "$KIV_C/SRCDEMO/INSTALL.INI" -o "$P/set" --stub "$INSTALLER" >"$P/disks.out" 2>&1
kiv_expect_file_has "$P/disks.out" "UNINST.EXE=Target,Uninstaller: the generated uninstaller" "disks generates it too"
kiv_expect_eq "$(head -c 4 "$P/set/DISK1/UNINST.EXE")" "SZDD" "disks: the uninstaller compressed on disk 1"

for system in "95 win95 0" "NT4 nt40 1" "10 win10 1"; do
    set -- $system
    tag=$1 version=$2 nt=$3 fontkey=$FONTSNT
    [ "$tag" = 95 ] && fontkey=$FONTS95
    versions "$version"
    [ "$tag" = 95 ] && kiv_reg add "$FONTS95" /f >/dev/null
    kiv_reg delete "$PENDING" /v PendingFileRenameOperations /f >/dev/null 2>&1
    demo "$tag"
    product "$tag" "$fontkey" "$nt"
done
# The Program Manager shell (Windows NT 3.51) records fonts in WIN.INI with a
# .FOT file in the system directory and gets no uninstall entry: the
# uninstaller, started from the product's directory, undoes both.
kiv_case "351: the Program Manager shell"
versions nt351
write_product 351
sysdir=$KIV_WINDIR/syswow64
[ -d "$sysdir" ] || sysdir=$KIV_WINDIR/system32
# An entry of the same name that names another uninstaller is not this
# installation's: it stays.
kiv_reg add "$UNINSTALL\\Harbor 351" /v UninstallString /d 'C:\ELSEWHERE\uninst.exe' /f >/dev/null
if install 351 "$KIV_C/SRC351" "Harbor Setup 351" 1; then
    kiv_expect_eq "$(kiv_win_ini fonts "Harbor Sans 351 (TrueType)")" HARB351.FOT "WIN.INI [fonts] names the .FOT"
    kiv_start uninst351 'C:\Program Files\Harbor 351\uninst.exe'
    confirm "Harbor Setup 351" "Harbor 351" 1
    kiv_drive wait-dialog --title "Harbor Setup 351" --text "Harbor 351 was removed." --timeout 30 -- press --id 1
    kiv_wait uninst351
    gone "$KIV_C/Program Files/Harbor 351" "the product's directory is gone"
    kiv_expect_eq "$(kiv_win_ini fonts "Harbor Sans 351 (TrueType)")" "" "the font's WIN.INI line is gone"
    kiv_expect_no_file "$sysdir/HARB351.FOT" "the .FOT file is gone"
    kiv_expect_no_file "$sysdir/HARB351.TTF" "the font file is gone"
    kiv_expect_no_file "$PROGRAMS/Harbor 351" "the group is gone"
    kiv_expect_file "$KIV_WINDIR/HBSHARE351.INI" "the shared file in the Windows directory stays"
    kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Harbor 351" UninstallString)" 'C:\ELSEWHERE\uninst.exe' \
        "an entry of the same name pointing elsewhere stays"
fi

# Started by hand with a path, the uninstaller acts only on a copy of itself:
# another program of the same name stays.
kiv_case "a stray start with another uninst.exe's path deletes nothing"
mkdir -p "$KIV_C/e2e/stray" "$KIV_C/e2e/victim"
cp "$P/uninst.exe" "$KIV_C/e2e/stray/uninst.exe"
printf 'another program\r\n' >"$KIV_C/e2e/victim/uninst.exe"
kiv_run --limit 60 'C:\e2e\stray\uninst.exe' 'C:\e2e\victim\uninst.exe' >/dev/null
kiv_expect_file "$KIV_C/e2e/victim/uninst.exe" "the other uninst.exe stays"
kiv_expect_file "$KIV_C/e2e/stray/uninst.exe" "the started one stays too"

kiv_expect_no_file "$KIV_C/Program.exe.ran" "the planted C:\\Program.exe never ran"

kiv_end
