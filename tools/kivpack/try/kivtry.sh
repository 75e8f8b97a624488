# shellcheck shell=bash
# One run of `kivpack try`: a packed installer (or a disk set) installed and
# removed under one emulated Windows version, on a prefix and display of its
# own, the dialogs answered as a person answers them. kivpack starts one of
# these per version and reads what it leaves in TRY_OUT:
#
#   result            lines "KEY<TAB>VALUE": completed 0|1, failure TEXT,
#                     started TITLE, uninstall 0|1, prefix PATH, seconds N
#   dialog-NN.txt     "phase install|uninstall", then the driver's listing of
#                     the dialog as it first appeared (window and controls)
#   shot-NN.png       the screen when dialog NN first appeared (TRY_SHOTS)
#   files.tsv         PATH SIZE MATCH: files added or changed under C:\
#                     (MATCH 1|0 against the packed file of that name, - for none)
#   registry.tsv      KEY NAME DATA: values added or changed
#   ini.tsv           FILE SECTION LINE: lines added to WIN.INI and SYSTEM.INI
#   settings.tsv      PATH SECTION KEY VALUE: new .INI files of the Windows directory
#   group/N.lnk, group.tsv  GROUP ITEM N: the new Start Menu shortcuts
#   fonts.tsv         NAME: new files of the Fonts folder
#   leftovers.tsv     KIND WHAT EXPECTED WHY: what the removal left
#   log               everything the run did
#
# Environment: KIV_CACHE (private), KIV_DRIVER, KIV_ENTRY (kiventry.exe),
# TRY_OUT, TRY_WINDOWS (win95 ... win10), TRY_SETUP (the installer) or
# TRY_DISKS (a folder with DISK1/ ...), TRY_REF (the packed files, expanded),
# TRY_TARGET, TRY_RUN, TRY_UNINSTALL, TRY_SHOTS, TRY_KEEP (0 or 1).
set -u
KIV_TRY_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
KIV_ART=$TRY_OUT
KIV_LOG=$TRY_OUT/log
TRY_START=$(date +%s.%N)
: >"$KIV_LOG"

_kiv_log() { printf '[%s] %s\n' "$(date +%T.%N | cut -c1-12)" "$*" >>"$KIV_LOG"; }
# kiv_die WHAT: the run cannot go on; WHAT is its failure.
kiv_die() {
    _kiv_log "fatal: $*"
    result failure "$*"
    result completed 0
    exit 1
}
result() { printf '%s\t%s\n' "$1" "$2" >>"$TRY_OUT/result"; }

source "$KIV_TRY_DIR/lib_prefix.sh"
source "$KIV_TRY_DIR/lib_system.sh"

mkdir -p "$KIV_CACHE/work" || kiv_die "cannot make $KIV_CACHE/work"
_kiv_sweep_stale
KIV_WORK=$(mktemp -d "$KIV_CACHE/work/try-$TRY_WINDOWS.XXXXXX") || kiv_die "no scratch directory in $KIV_CACHE/work"
echo $$ >"$KIV_WORK/owner"
# A kept prefix is a plain copy: an overlay lives only as long as its mount.
[ "$TRY_KEEP" = 1 ] && export KIV_PREFIX_COPY=1

on_exit() {
    local rc=$?
    if [ "$TRY_KEEP" = 1 ] && [ -d "$KIV_WORK/prefix" ]; then
        WINEPREFIX=$KIV_WORK/prefix timeout 20 wineserver -k >/dev/null 2>&1
        pid=$(cat "$KIV_WORK/xvfb.pid" 2>/dev/null) && kill "$pid" 2>/dev/null
        touch "$KIV_WORK/kept"
        result prefix "$KIV_WORK/prefix"
    else
        _kiv_cleanup_dir "$KIV_WORK"
    fi
    result seconds "$(awk -v a="$TRY_START" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')"
    exit "$rc"
}
trap on_exit EXIT
trap 'exit 130' INT TERM

kiv_system_up 800x600
_kiv_log "prefix $WINEPREFIX display $DISPLAY windows $TRY_WINDOWS"

# ---- snapshots -------------------------------------------------------------

# text FILE: a profile or registry export as UTF-8 with Unix line ends.
text() {
    if [ "$(head -c 2 "$1" 2>/dev/null | od -An -tx1 | tr -d ' ')" = fffe ]; then
        iconv -f UTF-16 -t UTF-8 "$1"
    else
        cat "$1" 2>/dev/null
    fi | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//'
}

# registry FILE HIVE: a registry file that the Wine server saved
# (system.reg, user.reg) as HIVE\KEY<TAB>NAME<TAB>DATA lines. Keys of the
# 32-bit view (Wow6432Node) are named as a 32-bit program names them.
registry() {
    text "$1" | awk -v hive="$2" '
        BEGIN { OFS = "\t" }
        cont != "" { line = cont substr($0, 3); cont = "" }
        cont == "" && line == "" { line = $0 }
        /\\$/ { cont = substr(line, 1, length(line) - 1); line = ""; next }
        {
            l = line; line = ""
            if (l ~ /^\[/) {
                key = l; sub(/\][^\]]*$/, "", key); key = unescape(substr(key, 2))
                sub(/^Software\\Wow6432Node\\/, "Software\\", key)
                sub(/^Software\\Classes\\Wow6432Node\\/, "Software\\Classes\\", key)
                key = hive "\\" key
                next
            }
            if (substr(l, 1, 2) == "@=") { print key, "", data(substr(l, 3)); next }
            if (substr(l, 1, 1) != "\"") next
            name = ""; i = 2
            while (i <= length(l)) {
                c = substr(l, i, 1)
                if (c == "\\") { name = name substr(l, i + 1, 1); i += 2; continue }
                if (c == "\"") break
                name = name c; i++
            }
            print key, name, data(substr(l, i + 2))
        }
        function unescape(d,    out, j, c) {
            out = ""
            for (j = 1; j <= length(d); j++) {
                c = substr(d, j, 1)
                if (c == "\\" && j < length(d)) { j++; c = substr(d, j, 1) }
                out = out c
            }
            return out
        }
        # A string value without its quotes and escapes; other kinds as written.
        function data(d) {
            if (d ~ /^str\([0-9]\):".*"$/) d = substr(d, 8)
            if (d !~ /^".*"$/) return d
            return unescape(substr(d, 2, length(d) - 2))
        }' | LC_ALL=C sort -u
}

# end_session: every program of the prefix ends, and the server saves the
# registry to its files.
end_session() {
    timeout 30 wineserver -k >/dev/null 2>&1
    timeout 30 wineserver -w >/dev/null 2>&1
}

# snap NAME: what the system holds, in $KIV_WORK/snap-NAME; between
# end_session and the next session.
snap() {
    local dir=$KIV_WORK/snap-$1
    mkdir -p "$dir/ini"
    (cd "$KIV_C" && find . \( -ipath './windows/temp' -o -ipath './users/*/temp' -o -ipath './windows/logs' \) -prune -o \
        \( -type f -o -type l \) -printf '%P\t%s\t%T@\n') | LC_ALL=C sort >"$dir/files.tsv"
    registry "$WINEPREFIX/system.reg" HKEY_LOCAL_MACHINE >"$dir/HKEY_LOCAL_MACHINE.tsv"
    registry "$WINEPREFIX/user.reg" HKEY_CURRENT_USER >"$dir/HKEY_CURRENT_USER.tsv"
    find "$KIV_WINDIR" -maxdepth 1 -type f -iname '*.ini' -exec cp {} "$dir/ini/" \;
    _kiv_log "snapshot $1: $(wc -l <"$dir/files.tsv") files, $(cat "$dir"/HKEY_*.tsv | wc -l) registry values"
}

# Registry values that Wine itself keeps changing (its console host writes
# its defaults when a console program first runs), and ours: not the
# product's.
registry_noise() {
    grep -v -i -E $'^HKEY_CURRENT_USER\\\\Console(\\\\|\t)|^HKEY_CURRENT_USER\\\\Software\\\\Wine(\\\\|\t)|^HKEY_LOCAL_MACHINE\\\\System\\\\|^HKEY_LOCAL_MACHINE\\\\Software\\\\Wine(\\\\|\t)|^HKEY_LOCAL_MACHINE\\\\Hardware\\\\|\\\\Explorer\\\\(SessionInfo|RunMRU|RecentDocs|MountPoints2)|^HKEY_CURRENT_USER\\\\Volatile Environment|^HKEY_LOCAL_MACHINE\\\\Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Perflib'
}

# ini_lines FILE: SECTION<TAB>LINE for every line of a profile.
ini_lines() {
    text "$1" | awk 'BEGIN { OFS = "\t" }
        /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*$/, "", s); next }
        /^[ \t]*(;|$)/ { next }
        { print s, $0 }' | LC_ALL=C sort -u
}

# changes A B: what B has that A had not (added or changed lines).
changes() { LC_ALL=C comm -13 "$1" "$2"; }

# record: what the installation changed, from snapshots before and installed.
record() {
    local before=$KIV_WORK/snap-before after=$KIV_WORK/snap-installed path size ref match name file low
    awk -F '\t' 'NR == FNR { seen[$1 "\t" $2 "\t" $3] = 1; next } !($0 in seen)' \
        "$before/files.tsv" "$after/files.tsv" >"$KIV_WORK/changed.tsv"
    : >"$TRY_OUT/files.tsv"
    while IFS=$'\t' read -r path size _; do
        name=${path##*/}
        ref=$(find "$TRY_REF" -type f -iname "$name" -print -quit 2>/dev/null)
        match=-
        [ -n "$ref" ] && { cmp -s "$ref" "$KIV_C/$path" && match=1 || match=0; }
        printf '%s\t%s\t%s\n' "$path" "$size" "$match" >>"$TRY_OUT/files.tsv"
    done <"$KIV_WORK/changed.tsv"
    for hive in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
        changes "$before/$hive.tsv" "$after/$hive.tsv" | registry_noise
    done >"$TRY_OUT/registry.tsv"
    : >"$TRY_OUT/ini.tsv"
    for file in win.ini system.ini; do
        ini_lines "$before/ini/$file" >"$KIV_WORK/a"
        ini_lines "$after/ini/$file" >"$KIV_WORK/b"
        changes "$KIV_WORK/a" "$KIV_WORK/b" | sed "s/^/${file^^}\t/" >>"$TRY_OUT/ini.tsv"
    done
    : >"$TRY_OUT/settings.tsv"
    for file in "$after"/ini/*; do
        [ -f "$file" ] || continue
        low=${file##*/}; low=${low,,}
        [ "$low" = win.ini ] || [ "$low" = system.ini ] && continue
        grep -q -i -F "windows/${file##*/}	" "$KIV_WORK/changed.tsv" || continue
        text "$file" | awk -v path="windows/${file##*/}" 'BEGIN { OFS = "\t" }
            /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*$/, "", s); next }
            (i = index($0, "=")) > 0 { print path, s, substr($0, 1, i - 1), substr($0, i + 1) }' >>"$TRY_OUT/settings.tsv"
    done
    mkdir -p "$TRY_OUT/group"
    : >"$TRY_OUT/group.tsv"
    local n=0 rest
    while IFS=$'\t' read -r path _; do
        case ${path,,} in
            *"/start menu/programs/"*.lnk) ;;
            *) continue ;;
        esac
        rest=${path#*/[Ss]tart [Mm]enu/[Pp]rograms/}
        n=$((n + 1))
        cp "$KIV_C/$path" "$TRY_OUT/group/$n.lnk"
        printf '%s\t%s\t%s\n' "${rest%/*}" "$(basename "${rest%.*}")" "$n" >>"$TRY_OUT/group.tsv"
    done <"$KIV_WORK/changed.tsv"
    grep -i '^windows/fonts/' "$KIV_WORK/changed.tsv" | cut -f1 | sed 's|^[^/]*/[^/]*/||' >"$TRY_OUT/fonts.tsv"
}

# leftovers: what of the installation's changes is still there after removal.
leftovers() {
    local after=$KIV_WORK/snap-removed path name expected why where hive file
    : >"$TRY_OUT/leftovers.tsv"
    while IFS=$'\t' read -r path _; do
        [ -e "$KIV_C/$path" ] || [ -L "$KIV_C/$path" ] || continue
        name=${path##*/}
        expected=0 why="the removal left it"
        case ${path,,} in
            windows/system32/*|windows/system/*|windows/syswow64/*) where="System directory" ;;
            windows/*/*) where="" ;;
            windows/*) where="Windows directory" ;;
            *) where="" ;;
        esac
        if [ -n "$where" ] && [ -n "$(find "$TRY_REF" -type f -iname "$name" -print -quit)" ]; then
            expected=1 why="a file of the product in the $where, which the uninstaller keeps"
        fi
        printf 'file\t%s\t%s\t%s\n' "$path" "$expected" "$why" >>"$TRY_OUT/leftovers.tsv"
    done <"$KIV_WORK/changed.tsv"
    # Registry values and profile lines the installation added that are still
    # there with the same data.
    LC_ALL=C sort "$TRY_OUT/registry.tsv" >"$KIV_WORK/a"
    for hive in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do cat "$after/$hive.tsv"; done | LC_ALL=C sort >"$KIV_WORK/b"
    LC_ALL=C comm -12 "$KIV_WORK/a" "$KIV_WORK/b" |
        awk -F '\t' '{ printf "registry\t%s\\%s\t0\tthe removal left this value\n", $1, $2 }' >>"$TRY_OUT/leftovers.tsv"
    for file in win.ini system.ini; do
        ini_lines "$after/ini/$file" | sed "s/^/${file^^}\t/" >>"$KIV_WORK/c"
    done
    LC_ALL=C sort "$TRY_OUT/ini.tsv" >"$KIV_WORK/a"
    LC_ALL=C sort "$KIV_WORK/c" >"$KIV_WORK/b"
    LC_ALL=C comm -12 "$KIV_WORK/a" "$KIV_WORK/b" |
        awk -F '\t' '{ printf "ini\t%s [%s] %s\t0\tthe removal left this line\n", $1, $2, $3 }' >>"$TRY_OUT/leftovers.tsv"
}

# ---- the dialogs -------------------------------------------------------------

NDIALOG=0
SEEN=" "
FAILED=""

# driver STEP...: the driver, its listing in $KIV_WORK/out.
driver() {
    timeout -k 5 60 wine "$KIV_DRIVER" --escape-backslash "$@" </dev/null >"$KIV_WORK/out" 2>>"$KIV_LOG"
}
# shot NN BLOCK: the dialog's part of the screen, with a margin, as
# shot-NN.png.
shot() {
    [ "$TRY_SHOTS" = 1 ] || return 0
    local l t r b crop=()
    read -r l t r b < <(sed -n '2s/^window .* rect \([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' "$2")
    if [ -n "${b:-}" ]; then
        l=$((l < 8 ? 0 : l - 8)) t=$((t < 8 ? 0 : t - 8))
        crop=(-crop "$((r - l + 8))x$((b - t + 8))+$l+$t" +repage)
    fi
    import -window root -display "$DISPLAY" "${crop[@]}" "$TRY_OUT/shot-$1.png" 2>>"$KIV_LOG" ||
        _kiv_log "no screenshot $1"
}
# has BLOCK TEXT: a control of the dialog's listing holds TEXT.
has() { grep -q -F -- "$2" "$1"; }
control_text() { sed -n "s/^  control .* id $2 class .* text \"\(.*\)\"\$/\1/p" "$1" | head -1; }
# summary BLOCK: caption and message of a dialog, for a failure: control
# 1001, else its texts (not an icon's, whose text is its resource number).
summary() {
    local caption message
    caption=$(sed -n '1,2s/^window .* title "\(.*\)"$/\1/p' "$1" | head -1)
    message=$(control_text "$1" 1001)
    [ -n "$message" ] || message=$(sed -n 's/^  control .* class "Static" .* text "\(.\{2,\}\)"$/\1/p' "$1" |
        grep -v -e '^[0-9]*$' -e '\\x' -e $'^\xc3\xbf' | paste -sd ' ')
    echo "$caption: $message"
}

# act PHASE BLOCK HANDLE: answers a dialog as a person on the normal road
# would; anything else is the run's failure.
act() {
    local phase=$1 block=$2 handle=$3
    if [ "$phase" = install ] && has "$block" '"&Begin"'; then
        if [ -n "$TRY_TARGET" ]; then
            driver type --handle "$handle" --id 1701 --set "$TRY_TARGET" || return 1
        fi
        driver press --handle "$handle" --id 1
    elif [ "$phase" = install ] && has "$block" 'class "KivInstallGauge"'; then
        return 0
    elif [ "$phase" = install ] && has "$block" "Installation has been successfully completed."; then
        if has "$block" '"&Yes"' || has "$block" '"Cancel"'; then
            if [ "$TRY_RUN" = 1 ]; then
                list_windows >"$KIV_WORK/before-run"
                driver press --handle "$handle" --id 1 && STARTING=1
            else
                driver press --handle "$handle" --id 2
            fi
        else
            driver press --handle "$handle" --id 1
        fi
    elif [ "$phase" = install ] && [ -n "${TRY_DISKS:-}" ] && has "$block" "Please insert"; then
        next_disk "$block" "$handle" && driver press --handle "$handle" --id 1
    elif [ "$phase" = uninstall ] && has "$block" "Are you sure you want to remove"; then
        driver press --handle "$handle" --id 1
    elif [ "$phase" = uninstall ] && has "$block" " was removed."; then
        driver press --handle "$handle" --id 1
    else
        FAILED=$(summary "$block")
        _kiv_log "off the road: $FAILED"
        return 1
    fi
}

# list_windows: "HANDLE PID CLASS TITLE" of the visible top-level windows.
list_windows() {
    driver dump && sed -n 's/^window \(0x[0-9a-f]*\) pid \([0-9]*\) class "\([^"]*\)".* title "\(.*\)"$/\1\t\2\t\3\t\4/p' "$KIV_WORK/out"
}

# watch PHASE TAG: handles every dialog until the program TAG has ended and
# no dialog is left; false when the run went off the road.
watch() {
    local phase=$1 pid handle deadline=$((SECONDS + 180)) running
    pid=$(cat "$KIV_WORK/job.$2")
    STARTING=0
    # Handles are new in each session, and a new session may give one again.
    SEEN=" "
    while :; do
        running=1
        kill -0 "$pid" 2>/dev/null || running=0
        if ! driver dump; then
            [ "$SECONDS" -gt "$deadline" ] && { FAILED="the driver could not list the windows"; return 1; }
            sleep 0.3
            continue
        fi
        cp "$KIV_WORK/out" "$KIV_WORK/dump"
        local dialogs
        dialogs=$(sed -n 's/^window \(0x[0-9a-f]*\) pid [0-9]* class "#32770".*/\1/p' "$KIV_WORK/dump")
        for handle in $dialogs; do
            case $SEEN in *" $handle "*) continue ;; esac
            SEEN="$SEEN$handle "
            NDIALOG=$((NDIALOG + 1))
            local block
            block=$TRY_OUT/dialog-$(printf %02d "$NDIALOG").txt
            { echo "phase $phase"
              awk -v h="$handle" '/^window / { on = ($2 == h) } on' "$KIV_WORK/dump"; } >"$block"
            shot "$(printf %02d "$NDIALOG")" "$block"
            _kiv_log "dialog $NDIALOG ($phase): $(summary "$block")"
            act "$phase" "$block" "$handle" || return 1
        done
        if [ "$STARTING" = 1 ]; then started || return 1; fi
        [ "$running" = 0 ] && [ -z "$dialogs" ] && return 0
        if [ "$SECONDS" -gt "$deadline" ]; then
            FAILED="no dialog came and the program did not end within 180 seconds"
            return 1
        fi
        sleep 0.2
    done
}

# started: after "start now?" was answered Yes, the product's window appears.
started() {
    local i title
    for i in $(seq 40); do
        list_windows | awk -F '\t' '$3 != "#32770" && $3 !~ /^(ExploreWClass|CabinetWClass|Shell_TrayWnd|Progman|WorkerW)$/' \
            >"$KIV_WORK/now-run"
        title=$(LC_ALL=C comm -13 <(LC_ALL=C sort "$KIV_WORK/before-run") <(LC_ALL=C sort "$KIV_WORK/now-run") |
            cut -f4 | head -1)
        if [ -n "$title" ]; then
            result started "$title"
            STARTING=0
            _kiv_log "the product started: $title"
            driver close --title "$title" -- wait-gone --title "$title" --timeout 10 || true
            return 0
        fi
        sleep 0.25
    done
    FAILED="the product was to start, but no window of it appeared"
    return 1
}

# next_disk BLOCK HANDLE: the drive gets the next disk's files. Asked again
# for the disk it holds, a person enters the disk's folder instead, as the
# dialog offers: S:, a hard disk holding the whole set, where the installer
# says which file it cannot find.
ASKED=""
next_disk() {
    local asked
    asked=$(control_text "$1" 1001)
    if [ "$asked" = "$ASKED" ]; then
        _kiv_log "asked again for DISK$DISK: entering its folder"
        ASKED="again"
        driver type --handle "$2" --id 1701 --set "S:\\DISK$DISK"
        return
    fi
    ASKED=$asked
    DISK=$((DISK + 1))
    if [ ! -d "$TRY_DISKS/DISK$DISK" ]; then
        FAILED="$(summary "$1") (there is no DISK$DISK)"
        return 1
    fi
    kiv_map_drive a "$TRY_DISKS/DISK$DISK"
    _kiv_log "drive A: now holds DISK$DISK"
}

# give_up TAG: ends the program that went off the road.
give_up() {
    timeout 30 wineserver -k >/dev/null 2>&1
    kiv_wait_quietly "$1"
    _kiv_start_server
}
kiv_wait_quietly() {
    local pid
    pid=$(cat "$KIV_WORK/job.$1" 2>/dev/null) || return 0
    wait "$pid" 2>/dev/null
    KIV_RC=$?
    rm -f "$KIV_WORK/job.$1"
}

start() {
    local tag=$1
    shift
    timeout -k 5 240 wine "$@" >"$TRY_OUT/$tag.out" 2>>"$KIV_LOG" </dev/null &
    echo $! >"$KIV_WORK/job.$tag"
}

# ---- the run -----------------------------------------------------------------

DISK=1
if [ -n "${TRY_DISKS:-}" ]; then
    # The drive holds a copy: what the installer does to its disks stays in
    # the scratch directory.
    cp -a --reflink=auto "$TRY_DISKS" "$KIV_WORK/disks" || kiv_die "cannot copy $TRY_DISKS"
    TRY_DISKS=$KIV_WORK/disks
    kiv_map_drive a "$TRY_DISKS/DISK1" floppy
    kiv_map_drive s "$TRY_DISKS" hd
    setup_name=$(cd "$TRY_DISKS/DISK1" && ls | grep -i -x -m1 'setup\.exe')
    [ -n "$setup_name" ] || setup_name=$(cd "$TRY_DISKS/DISK1" && ls | grep -i -m1 '\.exe$')
    [ -n "$setup_name" ] || kiv_die "DISK1 holds no program to start"
    setup_win="A:\\$setup_name"
else
    mkdir -p "$KIV_WORK/source"
    setup_name=${TRY_SETUP##*/}
    cp "$TRY_SETUP" "$KIV_WORK/source/$setup_name" || kiv_die "cannot copy $TRY_SETUP"
    setup_win=$(kiv_winpath "$KIV_WORK/source/$setup_name")
fi
kiv_set_version "$setup_name" "$TRY_WINDOWS"
# The registry as the server saved it, before anything of the product ran;
# the new session also sees the drive's type.
end_session
snap before
rm -f "$KIV_WORK/restart"
_kiv_start_server

result uninstall 0
start setup "$setup_win"
if ! watch install setup; then
    result failure "$FAILED"
    result completed 0
    give_up setup
    exit 1
fi
kiv_wait_quietly setup
_kiv_log "the installer ended with exit code $KIV_RC"
end_session
if [ "$KIV_RC" -ne 0 ]; then
    result failure "the installer ended with exit code $KIV_RC"
    result completed 0
    exit 1
fi
snap installed
record
result completed 1

[ "$TRY_UNINSTALL" = 1 ] || exit 0
entry=$(grep -i -F $'\\Uninstall\\' "$TRY_OUT/registry.tsv" | awk -F '\t' 'tolower($2) == "uninstallstring" { print $1; exit }')
if [ -z "$entry" ]; then
    result failure "the installation made no uninstall entry"
    exit 1
fi
name=${entry##*\\}
command=$(awk -F '\t' -v k="$entry" '$1 == k && tolower($2) == "uninstallstring" { print $3; exit }' "$TRY_OUT/registry.tsv")
program=${command#\"}; program=${program%%\"*}; program=${program%% *}
_kiv_start_server
# The uninstaller runs under the same version as the installer.
kiv_set_version "$(basename "${program//\\//}")" "$TRY_WINDOWS"
cp "$KIV_ENTRY" "$KIV_WORK/kiventry.exe" || kiv_die "cannot copy $KIV_ENTRY"
result uninstall 1
start entry "$KIV_WORK/kiventry.exe" "$name"
if ! watch uninstall entry; then
    result failure "$FAILED"
    give_up entry
    exit 1
fi
kiv_wait_quietly entry
# The uninstaller's copy of itself goes once it has ended.
unix_program=$(kiv_unixpath "$program" 2>/dev/null)
for _ in $(seq 50); do
    [ -n "$unix_program" ] && [ -e "$unix_program" ] || break
    sleep 0.2
done
end_session
snap removed
leftovers
exit 0
