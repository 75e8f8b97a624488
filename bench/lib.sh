# shellcheck shell=bash
# Helpers of the benchmarks (sourced by run-bench.sh and wine.sh).
#
# Figures go to $BENCH_RESULTS as lines "KEY VALUE"; bench_report turns them
# into the table. Times are seconds: "wall" is the elapsed time, "cpu" the
# user and system time of the command and its children. The best (least) of
# $BENCH_REPS runs counts, peers taking turns with ours.

# bench_time CMD...: runs CMD (output discarded, unless BENCH_KEEP_OUTPUT is
# set) and sets BENCH_WALL and BENCH_CPU. Fails when CMD fails.
bench_time() {
    local TIMEFORMAT='%R %U %S' times rc
    local err
    err=$(mktemp "${BENCH_WORK:-${TMPDIR:-/tmp}}/bench_time.XXXXXX") || return 1
    times=$( { time "$@" >/dev/null 2>"$err"; } 2>&1 )
    rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "bench: failed ($rc): $*" >&2
        head -5 "$err" >&2
        rm -f "$err"
        return 1
    fi
    rm -f "$err"
    read -r BENCH_WALL user sys <<<"${times##*$'\n'}"
    BENCH_CPU=$(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%.3f", u + s}')
}

# bench_best NAME PREPARE CMD...: runs PREPARE (a function, or :) and then CMD,
# $BENCH_REPS times, and records NAME.wall and NAME.cpu, the least of each.
bench_best() {
    local name=$1 prepare=$2 i wall= cpu=
    shift 2
    for i in $(seq "${BENCH_REPS:-1}"); do
        "$prepare" || return 1
        bench_time "$@" || return 1
        wall=$(bench_min "$wall" "$BENCH_WALL")
        cpu=$(bench_min "$cpu" "$BENCH_CPU")
    done
    bench_put "$name.wall" "$wall"
    bench_put "$name.cpu" "$cpu"
}

bench_min() { awk -v a="$1" -v b="$2" 'BEGIN {print (a == "" || b + 0 < a + 0) ? b : a}'; }

bench_put() { printf '%s %s\n' "$1" "$2" >>"$BENCH_RESULTS"; }

bench_get() { awk -v k="$1" '$1 == k {v = $2} END {print v}' "$BENCH_RESULTS"; }

# bench_ratio A B [DIGITS]: A / B as text, "-" when either is missing.
bench_ratio() {
    awk -v a="$1" -v b="$2" -v d="${3:-2}" 'BEGIN {
        if (a == "" || b == "" || b + 0 == 0) print "-"; else printf "%.*f", d, a / b
    }'
}

bench_now() { date +%s.%N; }
bench_since() { awk -v t0="$1" -v t1="$(date +%s.%N)" 'BEGIN {printf "%.3f", t1 - t0}'; }

bench_say() { printf '%s\n' "$*" | tee -a "${BENCH_LOG:-/dev/null}"; }
