# The closing steps of a whole installation, as the system holds them
# afterwards, under an emulated Windows 95, Windows NT 4.0 and Windows NT 3.51
# (the Program Manager shell). One prefix; each system is a differently named
# copy of the installer with its own Wine version setting, its own product
# (caption, directories, group, font, uninstall name) and its own disk-mode
# source directory, so that the three leave separate traces.
#
# Per system:
# - exit list: three running copies of the product (running_copy.exe) wait
#   before the installation: one matched by class alone, one by the second
#   title prefix of its line in another case (it also holds a payload file
#   open without sharing, so the copy fails unless it was closed first), and
#   one whose title holds its line's prefix only further on, which stays open;
# - delete list: two old files and one file that the same run installs are
#   gone afterwards, the other payload files are there;
# - settings: Version, Directory and FirstTime in the product's INI file in
#   the Windows directory;
# - group: Wine's shell carries out the PROGMAN commands with Start Menu
#   shortcuts; the items of the running platform are there, the others not;
# - fonts: a TrueType font registered under the Fonts key of the system (new
#   shell) or made into a .FOT and written to WIN.INI [fonts] (NT 3.51);
# - uninstall entry: after a second installation into the same directory
#   under another name exactly one entry names its uninstaller (an entry of
#   another product naming it in upper case is gone, an unrelated one stays);
#   the Program Manager shell gets none. The second run also replaces the
#   group of the version it overwrites.
set -u
: "${KIV_SOURCE_DIR:?}"
WIN32_DIR=${KIV_WIN32_DIR:-$KIV_SOURCE_DIR/build/win32}
STUB=$WIN32_DIR/kivinstall.exe
DRIVER=$WIN32_DIR/e2e/kivdriver.exe
COPY_EXE=$WIN32_DIR/e2e/running_copy.exe
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

skip() {
    echo "closing_steps: skipped: $*" >&2
    exit 77
}
for f in "$STUB" "$DRIVER" "$COPY_EXE"; do
    [ -f "$f" ] || skip "$f is missing; build the win32 preset"
done
[ -f "$FONT" ] || skip "$FONT is missing (Debian package fonts-dejavu-core)"
for c in wine wineserver wineboot Xvfb; do
    command -v "$c" >/dev/null || skip "$c is not installed"
done

WORK=$(mktemp -d /tmp/kiv-closing-steps.XXXXXX)
export WINEPREFIX=$WORK/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
XVFB_PID=
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "/tmp/wine-$(id -u)/server-$(stat -c %d-%i "$WINEPREFIX" 2>/dev/null)" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}

# A display of our own.
for n in $(seq 140 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    sleep 1
    if kill -0 "$XVFB_PID" 2>/dev/null; then
        export DISPLAY=":$n"
        break
    fi
    XVFB_PID=
done
[ -n "$XVFB_PID" ] || skip "no free X display"

wineserver -p >"$WORK/wineserver.log" 2>&1
wineboot -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log"; echo "closing_steps: wineboot failed"; exit 1; }

C=$WINEPREFIX/drive_c
WINDIR=$C/windows
PROGRAMS="$C/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
mkdir -p "$C/e2e"
cp "$DRIVER" "$COPY_EXE" "$C/e2e/"

drive() {
    wine 'C:\e2e\kivdriver.exe' "$@" >>"$WORK/driver.log" 2>&1
}
reg_value() {  # key value [view]: prints the data, nothing when missing
    wine reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' |
        awk -v name="$2" 'index($0, "    " name "    ") == 1 { sub(/^ *[^ ].*    REG_[A-Z_]*    /, ""); print }'
}
# Every uninstall entry whose UninstallString is $1, one "name" a line.
uninstall_entries_for() {
    wine reg query "$UNINSTALL" /s /reg:32 2>/dev/null | tr -d '\r' | awk -v want="$1" '
        /^HKEY_/ { key = $0; sub(/.*\\/, "", key) }
        /^    UninstallString    REG_SZ    / { v = $0; sub(/^    UninstallString    REG_SZ    /, "", v)
            if (tolower(v) == tolower(want)) print key }'
}
ini_value() {  # file section key
    tr -d '\r' <"$1" | awk -v s="[$2]" -v k="$3" '
        tolower($0) == tolower(s) { inside = 1; next }
        /^\[/ { inside = 0 }
        inside && tolower(substr($0, 1, length(k) + 1)) == tolower(k "=") { print substr($0, length(k) + 2) }'
}

# write_script DIR TAG VERSION GROUP UNINSTALL OLDGROUP: the install script
# of system TAG's product into the source directory DIR.
write_script() {
    local dir=$1 tag=$2 version=$3 group=$4 uninstall=$5 oldgroup=$6
    {
        printf '[Basic Information]\r\n'
        printf 'HelpFileName=TOOL.HLP\r\nCaption=Tool Setup %s\r\nProductName=Tool %s\r\n' "$tag" "$tag"
        printf 'ProductVersion=%s\r\nProduct.INI=KIV%s.INI\r\n' "$version" "$tag"
        [ -n "$uninstall" ] && printf 'UninstallName=%s\r\n' "$uninstall"
        printf 'DefaultTargetDir=C:\\KIV%s\r\nTotalDisks=1\r\nDiskSpace=900000\r\n\r\n' "$tag"
        printf '[fonts]\r\nKiv Sans %s (TrueType)=KIVS%s.TTF\r\n\r\n' "$tag" "$tag"
        printf '[Exit List]\r\nKivCopyA%s=\r\nKivCopyB%s=Other,tool\r\nKivCopyC%s=Tool\r\n\r\n' "$tag" "$tag" "$tag"
        printf '[Delete List]\r\nFile1=Target\\OLD.DLL\r\nFile2=Windows\\KIVOLD%s.INI\r\nFile3=Target\\TEMP.TXT\r\n\r\n' "$tag"
        printf '[Program Manager Group]\r\nGroupName=%s\r\n' "$group"
        printf 'README.TXT=Read Me\r\nTOOL95.EXE=Tool for 95,Win95\r\nTOOLNT.EXE=Tool for NT,WinNT\r\n'
        printf 'TOOL31.EXE=Tool for 3.1,Win31\r\n\r\n'
        [ -n "$oldgroup" ] && printf '[Old Program Manager Groups]\r\n1.0=Kiv Ancient\r\n2.0=%s\r\n\r\n' "$oldgroup"
        printf '[Disk 1]\r\nDiskName=Tool Disk 1\r\n'
        printf 'README.TXT=Target,Read me\r\nTOOL95.EXE=Target\r\nTOOLNT.EXE=Target\r\nTOOL31.EXE=Target\r\n'
        printf 'TEMP.TXT=Target\r\nKIVS%s.TTF=Fonts,Font\r\n' "$tag"
    } >"$dir/INSTALL.INI"
}

# prepare SOURCE TAG WINEVERSION: the disk-mode source directory C:\SOURCE.
prepare() {
    local dir=$C/$1 tag=$2
    mkdir -p "$dir"
    cp "$STUB" "$dir/setup$tag.exe"
    cp "$FONT" "$dir/KIVS$tag.TTF"
    echo "help" >"$dir/TOOL.HLP"
    printf 'The readme of %s\r\n' "$tag" >"$dir/README.TXT"
    for f in TOOL95.EXE TOOLNT.EXE TOOL31.EXE TEMP.TXT; do echo "$f" >"$dir/$f"; done
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\setup$tag.exe" /v Version /d "$3" /f >/dev/null 2>&1
}

# install SOURCE TAG: one run through the start dialog to the completion
# dialog; fails when any other dialog stands in the way.
install() {
    local source=$1 tag=$2
    echo "== install $tag from C:\\$source" >>"$WORK/driver.log"
    wine "C:\\$source\\setup$tag.exe" >>"$WORK/installer.log" 2>&1 &
    local title="Tool Setup $tag"
    if drive --timeout 30 wait-dialog --title "$title" --text Begin -- press --id 1 -- \
        wait-dialog --title "$title" --text "successfully completed" -- press --id 1 -- wait-exit; then
        return 0
    fi
    drive dump
    return 1
}

# start_copies TAG: the running copies of system TAG's product; the one
# matched by title holds README.TXT in the target directory.
start_copies() {
    local tag=$1 log=$C/e2e/copies$1.log
    rm -f "$log"
    mkdir -p "$C/KIV$tag"
    wine 'C:\e2e\running_copy.exe' "KivCopyA$tag" "Anything at all" "C:\\e2e\\copies$tag.log" >/dev/null 2>&1 &
    wine 'C:\e2e\running_copy.exe' "KivCopyB$tag" "TOOL - readme" "C:\\e2e\\copies$tag.log" \
        "C:\\KIV$tag\\README.TXT" >/dev/null 2>&1 &
    wine 'C:\e2e\running_copy.exe' "KivCopyC$tag" "My Tool" "C:\\e2e\\copies$tag.log" >/dev/null 2>&1 &
    for _ in $(seq 1 100); do
        [ "$(grep -c '^ready' "$log" 2>/dev/null)" = 3 ] && return 0
        sleep 0.2
    done
    fail "$tag: the running copies did not start"
    return 1
}

check_exit_list() {
    local tag=$1 log=$C/e2e/copies$1.log
    grep -q "^closed KivCopyA$tag Anything at all" "$log" && pass "$tag: copy matched by class closed" ||
        fail "$tag: the copy matched by class alone was not closed"
    grep -q "^closed KivCopyB$tag TOOL - readme" "$log" && pass "$tag: copy matched by title prefix closed" ||
        fail "$tag: the copy matched by its title prefix was not closed"
    if grep -q "^closed KivCopyC$tag" "$log"; then
        fail "$tag: the copy whose title holds the prefix only further on was closed"
    elif drive --timeout 2 wait-dialog --class "KivCopyC$tag"; then
        pass "$tag: copy with the prefix further on still runs"
    else
        fail "$tag: the copy with the prefix further on is gone"
    fi
}

check_files() {
    local tag=$1 target=$C/KIV$1
    [ "$(tr -d '\r' <"$target/README.TXT")" = "The readme of $tag" ] &&
        pass "$tag: README.TXT installed over the held file" || fail "$tag: README.TXT is not the payload"
    for f in TOOL95.EXE TOOLNT.EXE TOOL31.EXE; do
        [ -f "$target/$f" ] || fail "$tag: $f not installed"
    done
    local gone=1
    for f in "$target/OLD.DLL" "$WINDIR/KIVOLD$tag.INI" "$target/TEMP.TXT"; do
        [ -e "$f" ] && { fail "$tag: $f of the delete list is still there"; gone=0; }
    done
    [ "$gone" = 1 ] && pass "$tag: delete list done"
}

check_settings() {  # tag version firsttime
    local ini=$WINDIR/KIV$1.INI
    [ -f "$ini" ] || { fail "$1: no $ini"; return; }
    local v d f
    v=$(ini_value "$ini" Settings Version)
    d=$(ini_value "$ini" Settings Directory)
    f=$(ini_value "$ini" Settings FirstTime)
    [ "$v" = "$2" ] && [ "$d" = "C:\\KIV$1" ] && [ "$f" = "$3" ] &&
        pass "$1: settings Version=$v Directory=$d FirstTime=$f" ||
        fail "$1: settings Version='$v' Directory='$d' FirstTime='$f', wanted '$2' 'C:\\KIV$1' '$3'"
}

check_group() {  # tag group platform-item absent-item...
    local tag=$1 group=$PROGRAMS/$2 present=$3
    shift 3
    if [ -f "$group/Read Me.lnk" ] && [ -f "$group/$present.lnk" ]; then
        pass "$tag: group '${group##*/}' holds Read Me and $present"
    else
        fail "$tag: group '${group##*/}' lacks items: $(ls "$group" 2>&1 | tr '\n' ' ')"
    fi
    for absent in "$@"; do
        [ -e "$group/$absent.lnk" ] && fail "$tag: group holds '$absent', an item of another platform"
    done
}

check_registry_font() {  # tag key
    local data
    data=$(reg_value "$2" "Kiv Sans $1 (TrueType)")
    [ "$data" = "KIVS$1.TTF" ] && [ -f "$WINDIR/Fonts/KIVS$1.TTF" ] &&
        pass "$1: font registered as $data and present" ||
        fail "$1: font value '$data' under $2, file: $(ls "$WINDIR/Fonts/KIVS$1.TTF" 2>&1)"
}

# ---- Windows 95 and Windows NT 4.0: new shell, two installations each.
ANCIENT=$PROGRAMS/"Kiv Ancient"
mkdir -p "$ANCIENT"
touch "$ANCIENT/Old item.lnk"
for system in "95 win95" "NT4 nt40"; do
    set -- $system
    tag=$1
    prepare "SRC$tag" "$tag" "$2"
    # The Windows 95 registry holds the family's Fonts key; Wine's 32-bit
    # view lacks it.
    [ "$tag" = 95 ] && wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Fonts' /reg:32 /f >/dev/null 2>&1
    write_script "$C/SRC$tag" "$tag" 2.0 "Kiv Tool $tag 2.0" "Kiv Tool $tag" ""
    mkdir -p "$C/KIV$tag"
    touch "$C/KIV$tag/OLD.DLL" "$WINDIR/KIVOLD$tag.INI"
    # Another product's entry naming the same uninstaller, and an unrelated one.
    wine reg add "$UNINSTALL\\Other $tag" /v UninstallString /d "C:\\KIV$tag\\UNINST.EXE" /reg:32 /f >/dev/null 2>&1
    wine reg add "$UNINSTALL\\Unrelated $tag" /v UninstallString /d "C:\\ELSEWHERE\\uninst.exe" /reg:32 /f >/dev/null 2>&1
    start_copies "$tag"
    if ! install "SRC$tag" "$tag"; then
        fail "$tag: the first installation did not complete"
        continue
    fi
    check_exit_list "$tag"
    check_files "$tag"
    check_settings "$tag" 2.0 1
    if [ "$tag" = 95 ]; then
        check_group "$tag" "Kiv Tool $tag 2.0" "Tool for 95" "Tool for NT" "Tool for 3.1"
        check_registry_font "$tag" 'HKLM\Software\Microsoft\Windows\CurrentVersion\Fonts'
    else
        check_group "$tag" "Kiv Tool $tag 2.0" "Tool for NT" "Tool for 95" "Tool for 3.1"
        check_registry_font "$tag" 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
    fi

    # The second installation goes over the first (the start dialog names the
    # earlier copy), under another uninstall name and a new version, whose
    # script names the group of version 2.0 among its old groups.
    sed -i '/^FirstTime=/d' "$WINDIR/KIV$tag.INI"
    write_script "$C/SRC$tag" "$tag" 2.1 "Kiv Tool $tag" "Kiv Tool $tag Renamed" "Kiv Tool $tag 2.0"
    if ! install "SRC$tag" "$tag"; then
        fail "$tag: the second installation did not complete"
        continue
    fi
    check_settings "$tag" 2.1 1
    entries=$(uninstall_entries_for "c:\\kiv$(echo "$tag" | tr '[:upper:]' '[:lower:]')\\uninst.exe")
    [ "$entries" = "Kiv Tool $tag Renamed" ] && pass "$tag: one uninstall entry, '$entries'" ||
        fail "$tag: uninstall entries for the target: '$(echo $entries)'"
    [ "$(reg_value "$UNINSTALL\\Kiv Tool $tag Renamed" UninstallString)" = "c:\\kiv$(echo "$tag" | tr '[:upper:]' '[:lower:]')\\uninst.exe" ] ||
        fail "$tag: UninstallString is not the lower-case path"
    [ "$(reg_value "$UNINSTALL\\Kiv Tool $tag Renamed" DisplayName)" = "Kiv Tool $tag Renamed" ] ||
        fail "$tag: DisplayName is not the uninstall name"
    [ -n "$(reg_value "$UNINSTALL\\Unrelated $tag" UninstallString)" ] ||
        fail "$tag: an unrelated uninstall entry was removed"
    [ -e "$PROGRAMS/Kiv Tool $tag 2.0" ] && fail "$tag: the group of the replaced version is still there" ||
        pass "$tag: group of the replaced version deleted"
    [ -e "$PROGRAMS/Kiv Tool $tag/Read Me.lnk" ] || fail "$tag: the new group has no items"
done
[ -e "$ANCIENT/Old item.lnk" ] && pass "a group of another old version stays" ||
    fail "the group of version 1.0, which no run replaced, is gone"

# ---- Windows NT 3.51: the Program Manager shell.
tag=351
prepare SRC351 351 nt351
write_script "$C/SRC351" 351 2.0 "Kiv Tool 351" "Kiv Tool 351" ""
touch "$WINDIR/KIVOLD351.INI"
mkdir -p "$C/KIV351"
touch "$C/KIV351/OLD.DLL"
start_copies 351
if install SRC351 351; then
    check_exit_list 351
    check_files 351
    check_settings 351 2.0 1
    check_group 351 "Kiv Tool 351" "Tool for NT" "Tool for 95" "Tool for 3.1"
    # The system directory of a 32-bit program in this prefix.
    sysdir=$WINDIR/syswow64
    [ -d "$sysdir" ] || sysdir=$WINDIR/system32
    fot=$sysdir/KIVS351.FOT
    value=$(ini_value "$WINDIR/win.ini" fonts "Kiv Sans 351 (TrueType)")
    if [ -f "$sysdir/KIVS351.TTF" ] && [ -s "$fot" ] && grep -q KIVS351.TTF "$fot" && [ "$value" = KIVS351.FOT ]; then
        pass "351: .FOT made for the TrueType file and WIN.INI [fonts] names it"
    else
        fail "351: font: WIN.INI value '$value', files: $(ls "$sysdir"/KIVS351.* 2>&1 | tr '\n' ' ')"
    fi
    [ -z "$(reg_value 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' 'Kiv Sans 351 (TrueType)')" ] ||
        fail "351: the Program Manager shell wrote a registry font value"
    [ -z "$(uninstall_entries_for 'c:\kiv351\uninst.exe')" ] && pass "351: no uninstall entry" ||
        fail "351: the Program Manager shell got an uninstall entry"
else
    fail "351: the installation did not complete"
fi

if [ "$failures" -ne 0 ]; then
    echo "--- driver log"
    tail -n 60 "$WORK/driver.log"
    echo "closing_steps: $failures failure(s)"
    exit 1
fi
echo "closing_steps: all checks passed"
