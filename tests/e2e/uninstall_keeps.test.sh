#!/bin/bash
# The uninstaller removes what is its own and nothing else, under an
# emulated Windows 10 and Windows 95. Per system, one product installed with
# its settings in SYSTEM.INI, its item in a group that other programs share,
# a shared file in the system directory and a data folder, and then:
# - the user edits a file of the product, makes a file in its data folder,
#   and puts an item of their own into the group, where another product has
#   one too; a folder of the target that the installation made is turned
#   into a link to a folder elsewhere;
# - while the uninstaller runs, another program watches the temporary
#   directory and tries to put its own file in place of the uninstaller's
#   copy of itself, by writing over it and by renaming over it;
# - the removal keeps the edited file, the user's file with its folder, the
#   shared file, the group with the other items, every key of SYSTEM.INI but
#   the product's own, and everything behind the link; the closing dialog
#   names each of them, in the case in which they were installed; a file
#   assembled from appended parts, unchanged, is removed;
# - the intruder's file never runs, and the uninstaller's own file is gone;
# - started by hand with the path of an uninstaller of the same bytes, a
#   copy of the uninstaller deletes nothing: it was not started by it.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
HOLDER=$(kiv_exe kivholder.exe) || exit 1
ENTRY=$(kiv_exe kiventry.exe) || exit 1
PROGRAMS="$KIV_C/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
SYSDIR=$KIV_WINDIR/syswow64
[ -d "$SYSDIR" ] || SYSDIR=$KIV_WINDIR/system32
mkdir -p "$KIV_C/e2e"
cp "$HOLDER" "$KIV_C/e2e/"
# The intruder's program: it leaves "<its path>.ran" when it runs.
cp "$ENTRY" "$KIV_C/e2e/intruder.exe"

# write_product TAG: the product's script and files in C:\SRCTAG, packed.
write_product() {
    local tag=$1 dir=$KIV_C/SRC$1
    mkdir -p "$dir"
    {
        printf '[Basic Information]\r\nHelpFileName=H.HLP\r\nCaption=Alpha Setup %s\r\n' "$tag"
        printf 'ProductName=Alpha %s\r\nProductVersion=2.0\r\nProduct.INI=SYSTEM.INI\r\n' "$tag"
        printf 'UninstallName=Alpha %s\r\nDefaultTargetDir=C:\\Alpha%s\r\n' "$tag" "$tag"
        printf 'TotalDisks=1\r\nDiskSpace=90000\r\n\r\n'
        printf '[Target Subdirectories]\r\nSubdirectory1=Data\r\nSubdirectory2=Linked\r\n\r\n'
        printf '[Program Manager Group]\r\nGroupName=Shared Tools %s\r\nALPHA.EXE=Alpha\r\n\r\n' "$tag"
        printf '[Disk 1]\r\nDiskName=Alpha Disk 1\r\nALPHA.EXE=Target,Alpha\r\n'
        printf 'READ1.TXT=Target\\ReadMe.txt,Read me\r\nNOTES.TXT=Target\\Data\\Notes.txt,Notes\r\n'
        printf 'LINKED.TXT=Target\\Linked\\Notes.txt,Linked notes\r\n'
        printf 'JOIN1.TXT=Target\\Joined.txt,Joined\r\nJOIN2.TXT=Target\\Joined.txt,Joined,Append\r\n'
        printf 'ASHARE%s.DLL=System,Shared library\r\nUNINST.EXE=Target,Uninstaller\r\n' "$tag"
    } >"$dir/INSTALL.INI"
    printf 'help\r\n' >"$dir/H.HLP"
    echo alpha >"$dir/ALPHA.EXE"
    echo 'read me' >"$dir/READ1.TXT"
    echo notes >"$dir/NOTES.TXT"
    echo 'linked notes' >"$dir/LINKED.TXT"
    echo 'first part' >"$dir/JOIN1.TXT"
    echo 'second part' >"$dir/JOIN2.TXT"
    echo shared >"$dir/ASHARE$tag.DLL"
    "$KIV_PACK" build "$dir/INSTALL.INI" -o "$dir/setup$tag.exe" --stub "$INSTALLER" >"$KIV_ART/build$tag.out" 2>&1 ||
        kiv_die "kivpack build $tag: $(cat "$KIV_ART/build$tag.out")"
}

# gone PATH WHAT: waits up to 20 s for PATH to go (the copy works after the
# uninstaller has ended).
gone() {
    for _ in $(seq 100); do [ -e "$1" ] || break; sleep 0.2; done
    kiv_expect_no_file "$1" "$2"
}

# product TAG VERSION: the whole road on one system.
product() {
    local tag=$1 version=$2 title="Alpha Setup $1" target=$KIV_C/Alpha$1 group="$PROGRAMS/Shared Tools $1"
    kiv_case "$tag: the installation"
    local exe
    for exe in "setup$tag.exe" uninst.exe '~KIVUNST.EXE' intruder.exe; do kiv_set_version "$exe" "$version"; done
    write_product "$tag"
    printf '[Settings]\r\nColor=blue\r\n' >>"$KIV_WINDIR/system.ini"
    cp "$KIV_WINDIR/system.ini" "$KIV_WORK/system.ini.$tag"
    kiv_start "setup$tag" "C:\\SRC$tag\\setup$tag.exe"
    kiv_drive wait-dialog --title "$title" --text Begin -- press --id 1 -- \
        wait-dialog --title "$title" --text "completed" --timeout 60 -- press --id 1 || return
    kiv_wait "setup$tag"
    kiv_expect_eq "$(kiv_ini_get "$KIV_WINDIR/system.ini" Settings Directory)" "C:\\Alpha$tag" "SYSTEM.INI names the product"
    kiv_expect_file "$group/Alpha.lnk" "the product's item is in the shared group"
    kiv_expect_eq "$(cat "$target/Joined.txt")" "first part"$'\n'"second part" "the appended parts are joined"

    kiv_case "$tag: what the user and another product did since"
    echo 'my own notes' >>"$target/ReadMe.txt"
    printf 'mine\r\n' >"$target/Data/Mine.txt"
    cp "$group/Alpha.lnk" "$group/My Own Tool.lnk"
    cp "$group/Alpha.lnk" "$group/Beta.lnk"
    mkdir -p "$KIV_C/Elsewhere$tag"
    echo 'elsewhere' >"$KIV_C/Elsewhere$tag/Notes.txt"
    kiv_expect_file "$target/Linked/Notes.txt" "the installation put a file into the folder that becomes a link"
    rm -r "$target/Linked"
    ln -s "$KIV_C/Elsewhere$tag" "$target/Linked"
    # The link holds a file of the product's name and place.
    mkdir -p "$KIV_C/Elsewhere$tag/Data"

    kiv_case "$tag: the removal, with an intruder at the copy"
    rm -f "$KIV_C/e2e/swap$tag" "$KIV_C/e2e/swap$tag.log"
    kiv_start "swap$tag" --limit 120 'C:\e2e\kivholder.exe' swap TEMP '~KIVUNST.EXE' \
        'C:\e2e\intruder.exe' "C:\\e2e\\swap$tag" 100
    for _ in $(seq 100); do [ -f "$KIV_C/e2e/swap$tag" ] && break; sleep 0.2; done
    kiv_start "uninst$tag" "C:\\Alpha$tag\\uninst.exe"
    kiv_drive wait-dialog --title "$title" --text "Are you sure you want to remove Alpha $tag" --timeout 30 -- \
        press --id 1
    kiv_drive wait-dialog --title "$title" --text "Alpha $tag was removed." --timeout 30
    local message
    message=$(kiv_out_text 1001)
    kiv_screenshot "closing-$tag"
    kiv_drive press --title "$title" --id 1
    kiv_wait "uninst$tag"
    gone "$target/UNINST.EXE" "the uninstaller's own file is gone"
    sleep 2
    rm -f "$KIV_C/e2e/swap$tag"
    kiv_wait "swap$tag"
    kiv_expect_file_has "$KIV_C/e2e/swap$tag.log" "seen " "the intruder found the uninstaller's copy"
    kiv_expect_eq "$(find "$KIV_C/users" "$KIV_C/e2e" -name '*.ran' | head -3)" "" "the intruder's file never ran"

    kiv_case "$tag: what stays, and the closing dialog names it"
    kiv_expect_no_file "$target/ALPHA.EXE" "the product's program is removed"
    kiv_expect_no_file "$target/Data/Notes.txt" "the product's notes are removed"
    kiv_expect_file "$target/ReadMe.txt" "the edited file stays"
    kiv_expect_file_has "$target/ReadMe.txt" "my own notes" "with the user's text"
    kiv_expect_file "$target/Data/Mine.txt" "the user's file stays"
    kiv_expect_no_file "$target/Joined.txt" "a file assembled from appended parts, unchanged, is removed"
    kiv_expect_file "$SYSDIR/ASHARE$tag.DLL" "the shared file stays"
    kiv_expect_file "$KIV_C/Elsewhere$tag/Notes.txt" "the file behind the link stays"
    kiv_expect_rc 0 test -d "$KIV_C/Elsewhere$tag/Data"
    kiv_expect_no_file "$group/Alpha.lnk" "the product's item is removed"
    kiv_expect_file "$group/My Own Tool.lnk" "the user's item stays"
    kiv_expect_file "$group/Beta.lnk" "another product's item stays"
    kiv_expect_eq "$(kiv_ini_get "$KIV_WINDIR/system.ini" Settings Color)" blue "SYSTEM.INI keeps another key of [Settings]"
    for key in Directory Version FirstTime; do
        kiv_expect_eq "$(kiv_ini_get "$KIV_WINDIR/system.ini" Settings $key)" "" "SYSTEM.INI loses $key"
    done
    kiv_expect_eq "$(tr -d '\r' <"$KIV_WINDIR/system.ini" | grep -vi '^\(Directory\|Version\|FirstTime\)=')" \
        "$(tr -d '\r' <"$KIV_WORK/system.ini.$tag")" "every other line of SYSTEM.INI stays"
    local wintarget="C:\\Alpha$tag"
    kiv_expect_contains "$message" "Changed since the installation, kept:\\n$wintarget\\ReadMe.txt" \
        "the closing dialog names the edited file"
    kiv_expect_contains "$message" "Shared file kept, as other programs may use it:\\nC:\\windows\\" \
        "the closing dialog names the shared file"
    kiv_expect_contains "$message" "\\ASHARE$tag.DLL" "by its name"
    kiv_expect_contains "$message" "Folders kept because they hold other files:\\n$wintarget\\Data\\n$wintarget\\n" \
        "the closing dialog names the user's folder and the target, as installed"
    kiv_expect_contains "$message" "Link kept, not followed:\\n$wintarget\\Linked" \
        "the closing dialog names the link"
    kiv_expect_contains "$message" "Shared Tools $tag" "the closing dialog names the group kept"
    kiv_expect_eq "$(echo "$message" | grep -c 'shared files\|1 files\|1 folders')" 0 "plurals agree with their counts"
}

product 10 win10
product 95 win95

kiv_case "a copy started by hand deletes nothing"
mkdir -p "$KIV_C/e2e/stray" "$KIV_C/e2e/victim"
"$KIV_PACK" uninstaller "$KIV_C/SRC10/INSTALL.INI" -o "$KIV_WORK/uninst.exe" >/dev/null
cp "$KIV_WORK/uninst.exe" "$KIV_C/e2e/stray/uninst.exe"
cp "$KIV_WORK/uninst.exe" "$KIV_C/e2e/victim/uninst.exe"
kiv_set_version uninst.exe win10
for arguments in 'C:\e2e\victim\uninst.exe' '1 "C:\e2e\victim\uninst.exe"'; do
    kiv_run --limit 60 'C:\e2e\stray\uninst.exe' "$arguments" >/dev/null
    kiv_expect_file "$KIV_C/e2e/victim/uninst.exe" "the uninstaller of the same bytes stays ($arguments)"
done
kiv_expect_file "$KIV_C/e2e/stray/uninst.exe" "the started one stays too"

kiv_end
