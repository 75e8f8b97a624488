# shellcheck shell=bash
# The system a Windows program sees: versions, DPI, drives, registry, INI
# files and paths (sourced by kivtry.sh and tests/e2e/lib.sh). Every Wine
# command here runs with a time limit and no terminal input.

KIV_VERSIONS="win31 win95 win98 winme nt351 nt40 win2k winxp win2003 vista win7 win8 win81 win10"
KIV_DRIVE_TYPES="floppy cdrom hd network ramdisk"

# kiv_reg ARGS...: `wine reg ARGS` (the 32-bit reg.exe), output without CRs.
kiv_reg() {
    local rc
    timeout 60 wine reg "$@" </dev/null 2>&1 | tr -d '\r'
    rc=${PIPESTATUS[0]}
    _kiv_log "reg $* -> $rc"
    return "$rc"
}

# kiv_reg_get KEY VALUE [/reg:64]: prints the data of a value ("" VALUE: the
# key's default value); returns 1 when the key or value is missing.
kiv_reg_get() {
    local key=$1 value=$2
    shift 2
    local select=(/v "$value")
    [ -z "$value" ] && select=(/ve)
    timeout 60 wine reg query "$key" "${select[@]}" "$@" </dev/null 2>/dev/null | tr -d '\r' |
        awk -v name="$value" '
            BEGIN { FS = "    " }
            NF >= 3 && $1 == "" && $3 ~ /^REG_/ &&
                (tolower($2) == tolower(name) || (name == "" && $2 == "(Default)")) {
                data = $4
                for (i = 5; i <= NF; i++) data = data FS $i
                print data
                found = 1
                exit
            }
            END { exit !found }'
}

# kiv_ini_get FILE SECTION KEY: the value as GetPrivateProfileString reads
# it (names without regard to case, blanks trimmed, one pair of enclosing
# quotes removed); returns 1 when the file, section or key is missing.
kiv_ini_get() {
    local file=$1
    [ -f "$file" ] || return 1
    # Wine keeps a profile in UTF-16 when it found it so.
    if [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ]; then
        iconv -f UTF-16 -t UTF-8 "$file"
    else
        cat "$file"
    fi | awk -v section="$2" -v key="$3" '
        function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
        { sub(/\r$/, "") }
        /^[ \t]*\[/ {
            s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*$/, "", s)
            inside = tolower(trim(s)) == tolower(section)
            next
        }
        inside && (i = index($0, "=")) > 0 && tolower(trim(substr($0, 1, i - 1))) == tolower(key) {
            v = trim(substr($0, i + 1))
            if (length(v) >= 2 && (v ~ /^".*"$/ || v ~ /^\x27.*\x27$/)) v = substr(v, 2, length(v) - 2)
            print v
            found = 1
            exit
        }
        END { exit !found }'
}

# kiv_win_ini SECTION KEY: a value of the prefix's WIN.INI.
kiv_win_ini() { kiv_ini_get "$KIV_WINDIR/win.ini" "$1" "$2"; }

# kiv_winpath UNIXPATH / kiv_unixpath WINPATH: winepath -w / -u (an existing
# Windows path is found without regard to case). The Unix path goes through
# the drive's link: C:\windows is $KIV_C/windows, X:\ the mapped directory.
kiv_winpath() { timeout 30 wine winepath -w "$1" </dev/null 2>/dev/null | tr -d '\r'; }
kiv_unixpath() {
    local path
    path=$(timeout 30 wine winepath -u "$1" </dev/null 2>/dev/null | tr -d '\r')
    [ -n "$path" ] || return 1
    readlink -m "$path"
}

# kiv_set_version EXE VERSION: the Windows version that programs named EXE
# (file name, e.g. kivinstall.exe) see from the next start on.
kiv_set_version() {
    case " $KIV_VERSIONS " in
        *" $2 "*) ;;
        *) kiv_die "kiv_set_version: unknown version $2 (one of: $KIV_VERSIONS)" ;;
    esac
    kiv_reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d "$2" /f >/dev/null ||
        kiv_die "kiv_set_version: cannot set $1 to $2"
}

# kiv_set_dpi N: LOGPIXELSY of the screen for programs started from now on.
kiv_set_dpi() {
    kiv_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null ||
        kiv_die "kiv_set_dpi: cannot set $1"
}

# kiv_map_drive LETTER DIR [TYPE]: the host directory DIR becomes drive
# LETTER: of the prefix; TYPE is floppy, cdrom, hd, network or ramdisk.
kiv_map_drive() {
    local letter=${1,,} dir=$2 type=${3:-}
    letter=${letter%:}
    case $letter in
        [abd-y]) ;;
        *) kiv_die "kiv_map_drive: drive letter $1 is not one to map (C: and Z: are the prefix's own)" ;;
    esac
    [ -d "$dir" ] || kiv_die "kiv_map_drive: $dir is not a directory"
    ln -sfn "$(cd "$dir" && pwd)" "$WINEPREFIX/dosdevices/$letter:" || kiv_die "kiv_map_drive: cannot map $letter:"
    _kiv_log "drive $letter: -> $dir ${type:+($type)}"
    [ -n "$type" ] || return 0
    case " $KIV_DRIVE_TYPES " in
        *" $type "*) ;;
        *) kiv_die "kiv_map_drive: unknown drive type $type (one of: $KIV_DRIVE_TYPES)" ;;
    esac
    if [ "$(cat "$KIV_WORK/drive-type.$letter" 2>/dev/null)" != "$type" ]; then
        kiv_reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "$type" /f /reg:64 >/dev/null ||
            kiv_die "kiv_map_drive: cannot set the type of $letter:"
        echo "$type" >"$KIV_WORK/drive-type.$letter"
        touch "$KIV_WORK/restart"
    fi
}

# kiv_unmap_drive LETTER: the drive is gone (a drive with no disk in it).
kiv_unmap_drive() {
    local letter=${1,,}
    letter=${letter%:}
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    _kiv_log "drive $letter: removed"
}

# kiv_tmpfs_drive LETTER SIZE [TYPE]: a small file system of SIZE bytes
# (tmpfs, e.g. 64k; needs root) mounted at $KIV_WORK/tmpfs-LETTER, set in
# KIV_TMPFS, mapped as the drive: a disk that fills up.
kiv_tmpfs_drive() {
    local letter=${1,,}
    letter=${letter%:}
    KIV_TMPFS=$KIV_WORK/tmpfs-$letter
    mkdir -p "$KIV_TMPFS"
    mount -t tmpfs -o "size=$2,mode=0755" kiv-e2e "$KIV_TMPFS" ||
        kiv_die "kiv_tmpfs_drive: cannot mount a tmpfs of $2 (needs root)"
    echo "$KIV_TMPFS" >>"$KIV_WORK/mounts"
    kiv_map_drive "$letter" "$KIV_TMPFS" "${3:-}"
}
