# shellcheck shell=bash
# Checks, failures and the suite log (sourced by lib.sh).
#
# Every check appends a line to $KIV_WORK/checks and every failure one to
# $KIV_WORK/failures, so that a check made inside $(...) still counts.
# Checks return 0 when they pass and 1 when they fail; suites do not use
# set -e, so one failed check does not hide the others.

_kiv_elapsed() {
    awk -v a="${KIV_START_TIME:-0}" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'
}

_kiv_log() {
    [ -n "${KIV_ART:-}" ] && printf '[%6s] %s\n' "$(_kiv_elapsed)" "$*" >>"$KIV_ART/suite.log"
    return 0
}

# kiv_case NAME: names the checks that follow in the output and the summary.
kiv_case() {
    KIV_CASE=$1
    echo "== $1"
    _kiv_log "== $1"
}

kiv_pass() {
    echo "${KIV_CASE:+$KIV_CASE: }$1" >>"$KIV_WORK/checks"
    echo "  ok: $1"
    _kiv_log "ok: $1"
}

kiv_fail() {
    echo "${KIV_CASE:+$KIV_CASE: }$1" >>"$KIV_WORK/checks"
    echo "${KIV_CASE:+$KIV_CASE: }$1" >>"$KIV_WORK/failures"
    echo "  FAIL: $1" >&2
    _kiv_log "FAIL: $1"
    return 1
}

# kiv_die WHAT: a failure after which the suite cannot go on.
kiv_die() {
    if [ -n "${KIV_WORK:-}" ] && [ -d "$KIV_WORK" ]; then
        kiv_fail "$1"
    else
        echo "FAIL: $1" >&2
    fi
    exit 1
}

kiv_expect_eq() {
    if [ "$1" = "$2" ]; then kiv_pass "$3"; else kiv_fail "$3: got \"$1\", expected \"$2\""; fi
}

kiv_expect_ne() {
    if [ "$1" != "$2" ]; then kiv_pass "$3"; else kiv_fail "$3: got \"$1\", expected anything else"; fi
}

# kiv_expect_contains TEXT PART WHAT
kiv_expect_contains() {
    case $1 in
        *"$2"*) kiv_pass "$3" ;;
        *) kiv_fail "$3: \"$2\" not in \"$(printf '%s' "$1" | head -c 300)\"" ;;
    esac
}

kiv_expect_file() {
    if [ -f "$1" ]; then kiv_pass "${2:-file $1 exists}"; else kiv_fail "${2:-file exists}: no file $1"; fi
}

kiv_expect_no_file() {
    if [ ! -e "$1" ]; then kiv_pass "${2:-no file $1}"; else kiv_fail "${2:-no file}: $1 exists"; fi
}

# kiv_expect_same_file PATH EXPECTED WHAT: PATH exists and equals EXPECTED
# byte for byte.
kiv_expect_same_file() {
    if [ -f "$1" ] && cmp -s "$1" "$2"; then kiv_pass "$3"; else kiv_fail "$3: $1 differs from $2"; fi
}

# kiv_expect_only_files DIR NAMES...: DIR exists and holds exactly these
# files (no partial or temporary file beside them).
kiv_expect_only_files() {
    local dir=$1
    shift
    [ -d "$dir" ] || { kiv_fail "files in $(basename "$dir"): no directory $dir"; return 1; }
    kiv_expect_eq "$(cd "$dir" && ls -A | sort | tr '\n' ' ')" \
        "$([ $# -gt 0 ] && printf '%s\n' "$@" | sort | tr '\n' ' ')" "files in $(basename "$dir")"
}

# kiv_expect_file_has PATH TEXT [WHAT]: the file holds TEXT (a fixed string).
kiv_expect_file_has() {
    local what=${3:-$1 has \"$2\"}
    if [ ! -f "$1" ]; then
        kiv_fail "$what: no file $1"
    elif grep -qF -- "$2" "$1"; then
        kiv_pass "$what"
    else
        kiv_fail "$what: not found in $1"
    fi
}

# kiv_expect_rc CODE CMD...: runs CMD and checks its exit code.
kiv_expect_rc() {
    local want=$1 rc
    shift
    "$@"
    rc=$?
    if [ "$rc" -eq "$want" ]; then kiv_pass "exit code $want: $*"; else kiv_fail "$*: exit code $rc, expected $want"; fi
}
