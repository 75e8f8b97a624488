# shellcheck shell=bash
# End-to-end harness: the real Windows programs under Wine, on their own
# X display, driven by kivdriver.exe as a person would drive them.
#
# Writing a suite (tests/e2e/NAME.test.sh, run by ctest as e2e.NAME):
#
#   source "$(dirname "$0")/lib.sh"
#   kiv_begin                      # [--screen 640x480]: prefix, Xvfb, wineserver
#   kiv_case "start dialog"        # a heading for the checks that follow
#   kiv_set_version kivinstall.exe win95
#   SETUP=$(kiv_exe kivinstall.exe) || exit 1
#   kiv_start setup "$SETUP"       # in the background, time-limited
#   kiv_drive wait-dialog --title "Setup" --text "Welcome" -- press --text "&Begin"
#   kiv_screenshot start
#   kiv_wait setup; kiv_expect_eq "$KIV_RC" 0 "exit code"
#   kiv_expect_file "$KIV_C/KIVDEMO/README.TXT"
#   kiv_end                        # summary; exit 0, or 1 when a check failed
#
# Environment: KIV_SOURCE_DIR, KIV_HOST_DIR, KIV_WIN32_DIR (ctest sets them;
# by hand they default to build/host and build/win32). The suite skips
# (exit 77) only when wine is not installed; a missing executable fails it.
#
# After kiv_begin: WINEPREFIX (the suite's own, deleted at the end), DISPLAY,
# KIV_C (drive_c), KIV_WINDIR (drive_c/windows), KIV_ART (artefacts kept in
# $KIV_HOST_DIR/e2e-artifacts/<suite>/: suite.log, screenshots, program
# output), KIV_WORK (scratch, deleted), KIV_DRIVER, KIV_PACK.
#
# Programs:   kiv_exe NAME (path of a built .exe; fails when missing, so
#             write EXE=$(kiv_exe NAME) || exit 1)
#             kiv_start TAG [--limit S] EXE ARGS... / kiv_wait TAG -> $KIV_RC
#             kiv_run [--limit S] EXE ARGS... (foreground; its stdout; rc =
#             Windows exit code modulo 256; 124 when the limit killed it)
#             output of a started program: $KIV_ART/TAG.out and TAG.err
# Driver:     kiv_drive STEP [-- STEP]...  or  kiv_drive <<EOF (script)
#             stdout in $KIV_OUT; a failing driver is a failed check.
#             kiv_drive_rc: the same, but only returns the driver's code.
#             kiv_out_has TEXT, kiv_out_text ID, kiv_out_rect, kiv_out_screen
#             (`wine kivdriver.exe --help` lists the commands)
# System:     kiv_set_version EXE win95|win98|nt351|nt40|winxp|win7|win10
#             kiv_set_dpi 96|120|72, kiv_map_drive LETTER DIR [TYPE],
#             kiv_unmap_drive LETTER, kiv_tmpfs_drive LETTER SIZE [TYPE],
#             kiv_restart_session, kiv_reg ARGS (wine reg), kiv_reg_get KEY
#             VALUE [/reg:64], kiv_ini_get FILE SECTION KEY, kiv_win_ini
#             SECTION KEY, kiv_winpath UNIXPATH, kiv_unixpath WINPATH,
#             kiv_screenshot NAME
# Installer:  kiv_begin_install TAG EXE, kiv_completes TAG, kiv_copy_error,
#             kiv_system_message CODE (windows found by the caption $TITLE),
#             kiv_disk_source DIR HELP
# Checks:     kiv_expect_eq ACTUAL EXPECTED WHAT, kiv_expect_ne,
#             kiv_expect_contains TEXT PART WHAT, kiv_expect_file PATH,
#             kiv_expect_no_file PATH, kiv_expect_file_has PATH TEXT,
#             kiv_expect_same_file PATH EXPECTED WHAT, kiv_expect_only_files
#             DIR NAMES..., kiv_expect_rc CODE CMD..., kiv_pass WHAT, kiv_fail WHAT,
#             kiv_die WHAT (fail and end the suite now)
#
# `wine reg` is the 32-bit reg.exe: HKLM\Software is the view a 32-bit
# program such as the installer sees. Wine's own settings under
# HKLM\Software\Wine need /reg:64. Drive types are read when a session
# starts: kiv_map_drive with a new type restarts the session before the
# next program (so map drives before starting programs; remapping a letter
# to another directory with the same type is seen at once: "insert a disk").
# Checks and failures are counted in files, so helpers also work in $(...).
# The suite's EXIT trap belongs to the harness (it cleans up); do not set
# another, and do not use set -e.

KIV_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
KIV_SOURCE_DIR=${KIV_SOURCE_DIR:-$(cd "$KIV_LIB_DIR/../.." && pwd)}
KIV_HOST_DIR=${KIV_HOST_DIR:-$KIV_SOURCE_DIR/build/host}
KIV_WIN32_DIR=${KIV_WIN32_DIR:-$KIV_SOURCE_DIR/build/win32}
KIV_SUITE=$(basename "$0" .test.sh)
# Template prefixes and suites' scratch directories live here, in the build
# tree: a folder of the builder's own. A shared folder such as /tmp would let
# another user plant a prefix, or a scratch directory whose recorded
# processes and mounts the clean-up of stale runs would act on.
KIV_CACHE=${KIV_CACHE:-$KIV_HOST_DIR/e2e-cache}

export WINEDEBUG=-all
# No Mono or Gecko prompts; no Unix menu entries for shortcuts the shell makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The prefix, display, session and system helpers are those that
# `kivpack try` runs too (tools/kivpack/try/).
KIV_TRY_DIR=${KIV_TRY_DIR:-$KIV_SOURCE_DIR/tools/kivpack/try}
source "$KIV_TRY_DIR/lib_prefix.sh"
source "$KIV_LIB_DIR/lib_checks.sh"
source "$KIV_TRY_DIR/lib_system.sh"
source "$KIV_LIB_DIR/lib_install.sh"

# Sets up the suite: artefacts, prefix, display, Wine session, clean-up.
kiv_begin() {
    local screen=800x600
    while [ $# -gt 0 ]; do
        case $1 in
            --screen) screen=$2; shift 2 ;;
            *) echo "kiv_begin: unknown option $1" >&2; exit 2 ;;
        esac
    done
    if ! command -v wine >/dev/null 2>&1; then
        echo "skipped: wine is not installed"
        exit 77
    fi
    local tool
    for tool in Xvfb import wineserver timeout flock; do
        command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is not installed" >&2; exit 1; }
    done
    KIV_ART=$KIV_HOST_DIR/e2e-artifacts/$KIV_SUITE
    KIV_LOG=$KIV_ART/suite.log
    rm -rf "$KIV_ART" && mkdir -p "$KIV_ART" || { echo "FAIL: cannot make $KIV_ART" >&2; exit 1; }
    KIV_START_TIME=$(date +%s.%N)
    mkdir -p "$KIV_CACHE/work"
    _kiv_sweep_stale
    KIV_WORK=$(mktemp -d "$KIV_CACHE/work/$KIV_SUITE.XXXXXX") || { echo "FAIL: no scratch dir" >&2; exit 1; }
    echo $$ >"$KIV_WORK/owner"
    : >"$KIV_WORK/checks"; : >"$KIV_WORK/failures"
    KIV_OUT=$KIV_WORK/drive.out
    KIV_ERR=$KIV_WORK/drive.err
    trap _kiv_on_exit EXIT
    trap 'exit 130' INT TERM

    KIV_DRIVER=$(kiv_exe kivdriver.exe)
    KIV_PACK=$KIV_HOST_DIR/kivpack
    kiv_system_up "$screen"
    echo "$KIV_SUITE: display $DISPLAY ($screen), prefix $WINEPREFIX, artefacts $KIV_ART"
    _kiv_log "suite $KIV_SUITE: prefix $WINEPREFIX display $DISPLAY screen $screen"
}

# Prints the summary and ends the suite: 0 when every check passed.
kiv_end() {
    local checks failures
    checks=$(wc -l <"$KIV_WORK/checks")
    failures=$(wc -l <"$KIV_WORK/failures")
    printf '%s: %d checks, %d failed, %s s (artefacts: %s)\n' "$KIV_SUITE" "$checks" "$failures" \
        "$(_kiv_elapsed)" "$KIV_ART" | tee -a "$KIV_ART/suite.log"
    if [ "$failures" -gt 0 ]; then
        sed 's/^/  failed: /' "$KIV_WORK/failures"
        exit 1
    fi
    exit 0
}

# The path of a built Windows executable: test programs in
# $KIV_WIN32_DIR/e2e, the installer in $KIV_WIN32_DIR.
kiv_exe() {
    local path
    for path in "$KIV_WIN32_DIR/e2e/$1" "$KIV_WIN32_DIR/$1"; do
        [ -f "$path" ] && { echo "$path"; return 0; }
    done
    kiv_die "$1 is not built (looked in $KIV_WIN32_DIR and its e2e/; run cmake --build --preset win32)"
}

# kiv_start TAG [--limit S] EXE ARGS...: starts a Windows program in the
# background; after S seconds (default 60) it is killed.
kiv_start() {
    local tag=$1 limit=60
    shift
    [ "${1:-}" = --limit ] && { limit=$2; shift 2; }
    _kiv_session_fresh
    _kiv_log "start $tag: $*"
    timeout -k 5 "$limit" wine "$@" >"$KIV_ART/$tag.out" 2>"$KIV_ART/$tag.err" </dev/null &
    echo $! >"$KIV_WORK/job.$tag"
}

# kiv_wait TAG: waits for a program that kiv_start started; sets KIV_RC to
# its Windows exit code (modulo 256). A program that the time limit killed
# is a failed check (KIV_RC 124).
kiv_wait() {
    local tag=$1 pid
    pid=$(cat "$KIV_WORK/job.$tag" 2>/dev/null) || { kiv_fail "kiv_wait: no program $tag"; return 1; }
    wait "$pid"
    KIV_RC=$?
    rm -f "$KIV_WORK/job.$tag"
    _kiv_log "$tag ended with $KIV_RC"
    if [ "$KIV_RC" -eq 124 ] || [ "$KIV_RC" -eq 137 ]; then
        kiv_fail "$tag did not end within its time limit"
        return 1
    fi
    return 0
}

# kiv_run [--limit S] EXE ARGS...: runs a Windows program to its end and
# prints its standard output; returns its exit code (124: killed).
kiv_run() {
    local limit=60 rc
    [ "${1:-}" = --limit ] && { limit=$2; shift 2; }
    _kiv_session_fresh
    _kiv_log "run: $*"
    timeout -k 5 "$limit" wine "$@" </dev/null 2>>"$KIV_ART/suite.log" | tee -a "$KIV_ART/suite.log"
    rc=${PIPESTATUS[0]}
    _kiv_log "exit code $rc"
    return "$rc"
}

# kiv_drive STEP [-- STEP]...: runs the driver; with no steps it reads a
# script from standard input. Its output is in $KIV_OUT (and the suite
# log); when it fails, the failure is recorded with its first error line.
kiv_drive() {
    local rc
    kiv_drive_rc "$@"
    rc=$?
    if [ "$rc" -ne 0 ]; then
        kiv_fail "driver ($(head -c 200 "$KIV_WORK/drive.args")): $(head -1 "$KIV_ERR")"
    fi
    return "$rc"
}

# kiv_drive_rc: as kiv_drive, but returns the driver's exit code without
# recording a failure (for steps that are meant to fail).
kiv_drive_rc() {
    local rc
    _kiv_session_fresh
    if [ $# -eq 0 ]; then
        cat >"$KIV_WORK/drive.script"
        echo "script: $(tr '\n' ';' <"$KIV_WORK/drive.script")" >"$KIV_WORK/drive.args"
        set -- -f -
    else
        echo "$*" >"$KIV_WORK/drive.args"
        : >"$KIV_WORK/drive.script"
    fi
    _kiv_log "drive: $(cat "$KIV_WORK/drive.args")"
    timeout -k 5 "${KIV_DRIVE_LIMIT:-180}" wine "$KIV_DRIVER" "$@" <"$KIV_WORK/drive.script" \
        >"$KIV_OUT" 2>"$KIV_ERR"
    rc=$?
    cat "$KIV_OUT" "$KIV_ERR" >>"$KIV_ART/suite.log"
    _kiv_log "driver exit code $rc"
    return "$rc"
}

# Checks on the driver's last output.
kiv_out_has() { kiv_expect_file_has "$KIV_OUT" "$1" "${2:-driver output has \"$1\"}"; }
# "LEFT TOP RIGHT BOTTOM" of the first window line of the driver's output.
kiv_out_rect() { sed -n 's/^window .* rect \([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' "$KIV_OUT" | head -1; }
# kiv_out_text ID: the text of control ID in the driver's last listing
# (escaped as the driver prints it: \n for a line break).
kiv_out_text() { sed -n "s/^  control .* id $1 class .* text \"\(.*\)\"\$/\1/p" "$KIV_OUT" | head -1; }
# "WIDTH HEIGHT" of the screen as the driver saw it.
kiv_out_screen() { sed -n 's/^screen \([0-9]*\)x\([0-9]*\)$/\1 \2/p' "$KIV_OUT" | head -1; }

# kiv_screenshot NAME: the whole screen as $KIV_ART/NAME.png.
kiv_screenshot() {
    if import -window root -display "$DISPLAY" "$KIV_ART/$1.png" 2>>"$KIV_ART/suite.log"; then
        _kiv_log "screenshot $KIV_ART/$1.png"
    else
        kiv_fail "screenshot $1 could not be taken"
    fi
}
