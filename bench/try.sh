#!/usr/bin/env bash
# kivpack try, timed on the demo product:
#
#   bench/try.sh [--reps N]
#
# A. Seconds per Windows version: `kivpack try setup.exe --windows 10` (a
#    fresh prefix from the booted template, its display and session, the
#    snapshots, the installation, the removal and the report), against the
#    peer, the same installer run by hand with `wine setup.exe` in a prefix
#    that is already there, a person pressing Begin and No (the driver does
#    it): from the start of wine to the end of the installer. Both on this
#    machine in this run, REPS times each, taking turns; the template is
#    booted before the first measurement.
# B. --jobs 2: three versions (95, xp, 10) against one version (10), both
#    with kivpack try.
# Prints each run and the ratios; results in build/bench/try/results.txt.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
REPS=3
[ "${1:-}" = --reps ] && REPS=$2
OUT=$ROOT/build/bench/try
mkdir -p "$OUT"
export KIV_SOURCE_DIR=$ROOT KIV_HOST_DIR=$ROOT/build/host KIV_WIN32_DIR=$ROOT/build/win32
source "$ROOT/tests/e2e/lib.sh"
KIV_SUITE=bench-try
kiv_begin

KIVPACK=$KIV_HOST_DIR/kivpack
product=$KIV_WORK/demo
mkdir -p "$product"
cp "$ROOT/examples/demo/INSTALL.INI" "$ROOT/examples/demo/README.TXT" "$KIV_HOST_DIR/demo/DEMO.HLP" "$product/"
cp "$KIV_WIN32_DIR/demo/KIVDEMO.exe" "$product/KIVDEMO.EXE"
"$KIVPACK" build "$product/INSTALL.INI" -o "$KIV_C/setup.exe" >/dev/null || kiv_die "cannot pack the demo"
export XDG_CACHE_HOME=$OUT/cache
mkdir -p -m 700 "$XDG_CACHE_HOME"
now() { date +%s.%N; }
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# The peer: the installer run by hand in the suite's prefix.
by_hand() {
    local start end
    rm -rf "$KIV_C/KIVDEMO"
    start=$(now)
    kiv_start byhand --limit 120 'C:\setup.exe'
    kiv_drive --timeout 60 wait-dialog --title "KivDemo Setup" --text "Begin" -- press --id 1 -- \
        wait-dialog --title "KivDemo Setup" --text "successfully completed" -- press --id 2 || return 1
    kiv_wait byhand
    end=$(now)
    secs "$start" "$end"
}
# try_run ARGS...: the wall time of one kivpack try.
try_run() {
    local start end
    start=$(now)
    "$KIVPACK" try "$KIV_C/setup.exe" "$@" >"$KIV_WORK/try.out" 2>&1 ||
        { cat "$KIV_WORK/try.out" >&2; kiv_fail "kivpack try $* failed"; return 1; }
    end=$(now)
    secs "$start" "$end"
}

kiv_case "the template, booted once"
try_run --windows 10 --no-uninstall >/dev/null
: >"$OUT/results.txt"
kiv_case "A. seconds per version: kivpack try against wine setup.exe by hand"
for rep in $(seq "$REPS"); do
    hand=$(by_hand) || kiv_die "the run by hand failed"
    one=$(try_run --windows 10) || kiv_die "try failed"
    install=$(try_run --windows 10 --no-uninstall) || kiv_die "try failed"
    echo "rep $rep: by hand $hand s, try (install and removal) $one s, try --no-uninstall $install s" |
        tee -a "$OUT/results.txt"
done
kiv_case "B. --jobs 2: three versions against one"
for rep in $(seq "$REPS"); do
    one=$(try_run --windows 10) || kiv_die "try failed"
    three=$(try_run --windows 95,xp,10 --jobs 2) || kiv_die "try failed"
    echo "rep $rep: one version $one s, three versions with --jobs 2 $three s" | tee -a "$OUT/results.txt"
done
awk '
    /by hand/ { h += $5; t += $11; n += $15; a++ }
    /--jobs 2/ { o += $5; j += $12; b++ }
    END {
        printf "A. per version: try %.1f s (%.1f s without the removal), by hand %.1f s: %.2fx (%.2fx)\n",
            t / a, n / a, h / a, t / h, n / h
        printf "B. three versions with --jobs 2: %.1f s, one version %.1f s: %.2fx one version\n", j / b, o / b, j / o
    }' "$OUT/results.txt" | tee -a "$OUT/results.txt"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$OUT/results.txt"
kiv_end
