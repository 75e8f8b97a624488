#!/usr/bin/env bash
# Runs fuzz targets for SECONDS each (default 600), all at once or a few at a
# time, and prints what each did: processor time, executions, coverage (cov:
# edges, ft: features), corpus and findings.
#
#   tests/fuzz/run-fuzzers.sh [-j N | --sequential] [--cpu] [SECONDS] [loader|szdd|pe|helpfile|helpsource ...]
#
# -j N runs at most N targets at once (default: all of them); --sequential
# is -j 1, for a long campaign on a machine of two cores that others share:
# one target after another, each with one core for its SECONDS.
# --cpu makes SECONDS processor time rather than time on the clock: each
# target runs until it has had that much of the processor, however busy the
# machine, and is then interrupted. This is the measure for a campaign that
# runs at low priority beside other work (nice -n 19 run-fuzzers.sh --cpu
# 3600): targets that run at once share the cores fairly, and each still
# gets its full budget.
# The targets are $KIV_FUZZ_DIR/clang/fuzz_<target> (KIV_FUZZ_DIR defaults to
# build/host/tests/fuzz: build the host preset first). Each runs over its
# working corpus $KIV_FUZZ_WORK/<target>/corpus, which starts as a copy of
# tests/fuzz/corpus/<target>/; a crashing input is saved beside it as
# crash-*, leak-*, oom-* or timeout-*, with the log. An input that took over
# ten seconds on the clock is kept as slow-unit-*; it is no finding, and is
# timed again at the end. KIV_FUZZ_WORK defaults to
# $KIV_FUZZ_DIR/work, which keeps what earlier runs found; KIV_FUZZ_WORK=temp
# (the ctest tests) takes a new directory, removed after a clean run. The
# findings counted are the inputs this run saved.
# Exit status: 0 all clean, 1 a target found a fault, 2 usage, 77 targets not
# built.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
fuzz_dir="${KIV_FUZZ_DIR:-$here/../../build/host/tests/fuzz}"
usage="usage: run-fuzzers.sh [-j N | --sequential] [--cpu] [SECONDS] [loader|szdd|pe|helpfile|helpsource ...]"
jobs=0
cpu_budget=
while [ $# -gt 0 ]; do
  case "$1" in
    --sequential) jobs=1; shift ;;
    --cpu) cpu_budget=1; shift ;;
    -j) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; jobs="$2"; shift 2 ;;
    -j*) jobs="${1#-j}"; shift ;;
    *) break ;;
  esac
done
case "$jobs" in
  ''|*[!0-9]*) echo "$usage" >&2; exit 2 ;;
esac
seconds="${1:-600}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(loader szdd pe helpfile helpsource)
[ "$jobs" -eq 0 ] && jobs=${#targets[@]}

case "$seconds" in
  ''|*[!0-9]*) echo "$usage" >&2; exit 2 ;;
esac

for t in "${targets[@]}"; do
  case "$t" in
    loader|szdd|pe|helpfile|helpsource) ;;
    *) echo "run-fuzzers.sh: unknown target '$t' (loader, szdd, pe, helpfile, helpsource)" >&2; exit 2 ;;
  esac
  if [ ! -x "$fuzz_dir/clang/fuzz_$t" ]; then
    echo "fuzz_$t is not built (no clang++ with libFuzzer, or the host preset not built): skipped"
    exit 77
  fi
done


work_root="${KIV_FUZZ_WORK:-$fuzz_dir/work}"
if [ "$work_root" = temp ]; then
  work_root="$(mktemp -d "$fuzz_dir/run.XXXXXX")" || exit 1
  temporary=1
fi

# run_target T: one target's run, in the foreground; its log, its exit
# status and its processor time (user and system seconds, of the target and
# anything it started) go to its working directory.
run_target() {
  local t=$1 work="$work_root/$1" extra rc
  mkdir -p "$work/corpus"
  cp -n "$here/corpus/$t/"* "$work/corpus/" 2>/dev/null
  rm -f "$work/budget-spent"
  touch "$work/started"
  # -timeout: one input may take this long; -rss_limit_mb: the whole run.
  # Longer inputs than libFuzzer's default where the limits lie beyond it: a
  # section's key list of 4,096 bytes, the expander's window, history and
  # input buffer (4 to 20 KB).
  case "$t" in
    loader) extra=(-max_len=10000 "-dict=$here/loader.dict") ;;
    szdd) extra=(-max_len=24000) ;;
    pe) extra=(-max_len=20000) ;;
    helpfile) extra=(-max_len=40000) ;;
    helpsource) extra=(-max_len=20000 "-dict=$here/helpsource.dict") ;;
  esac
  local TIMEFORMAT='%U %S' wall="$seconds"
  [ -n "$cpu_budget" ] && wall=0
  { time {
      "$fuzz_dir/clang/fuzz_$t" "${extra[@]}" -max_total_time="$wall" -print_final_stats=1 \
        -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1 &
      local pid=$!
      [ -n "$cpu_budget" ] && watch_cpu "$pid" "$work"
      wait "$pid"
      rc=$?
      # 72 is libFuzzer's exit status when interrupted: a clean end when the
      # interruption was the budget's.
      [ "$rc" = 72 ] && [ -e "$work/budget-spent" ] && rc=0
      echo "$rc" >"$work/rc"
    }; } 2>"$work/time"
}

# watch_cpu PID WORK: interrupts the fuzzer PID once its user and system
# time reach SECONDS, and marks that in WORK. libFuzzer answers SIGINT by
# printing its final statistics and exiting.
watch_cpu() {
  local pid=$1 work=$2 ticks used
  ticks="$(getconf CLK_TCK)"
  while kill -0 "$pid" 2>/dev/null; do
    # Fields 14 and 15 of /proc/PID/stat: user and system time in ticks. The
    # name in parentheses (field 2) holds no blank for these programs.
    used="$(awk -v t="$ticks" '{printf "%d", ($14 + $15) / t}' "/proc/$pid/stat" 2>/dev/null)" || break
    if [ -n "$used" ] && [ "$used" -ge "$seconds" ]; then
      touch "$work/budget-spent"
      kill -INT "$pid" 2>/dev/null
      break
    fi
    sleep 5
  done
}

# At most $jobs targets at once; the next starts when one ends.
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_target "$t" &
  running=$((running + 1))
done
wait

status=0
printf '%-8s %8s %8s %12s %8s %8s %8s %8s  %s\n' target seconds cpu-s runs exec/s cov ft corpus findings
for t in "${targets[@]}"; do
  work="$work_root/$t"
  rc="$(cat "$work/rc" 2>/dev/null || echo '?')"
  cpu="$(awk '{printf "%.1f", $1 + $2}' "$work/time" 2>/dev/null)"
  # -a: the log quotes inputs, which may hold any byte.
  done_line="$(grep -a -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1)"
  # A run the budget interrupted has no DONE line: its last status line.
  [ -z "$done_line" ] && [ -e "$work/budget-spent" ] && [ "$rc" = 0 ] &&
    done_line="$(grep -a -E '^#[0-9]+[[:space:]]' "$work/log" | tail -n 1)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)"
  field() { sed -n "s/.* $1: \([^ ]*\).*/\1/p" <<<"$2"; }
  found=() slow=()
  while IFS= read -r f; do found+=("$f"); done < <(find "$work" -maxdepth 1 -newer "$work/started" \
      \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  while IFS= read -r f; do slow+=("$f"); done < <(find "$work" -maxdepth 1 -newer "$work/started" \
      -name 'slow-unit-*' | sort)
  printf '%-8s %8s %8s %12s %8s %8s %8s %8s  %s\n' "$t" "$seconds" "${cpu:-?}" "${runs:-?}" "${rate:-?}" \
    "$(field cov "$done_line")" "$(field ft "$done_line")" "$(field corp "$done_line")" "${#found[@]}"
  if [ "$rc" != 0 ] || [ -z "$done_line" ]; then
    status=1
    echo "$t: FAULT (exit $rc) after ${runs:-?} executions; log $work/log"
    grep -a -E 'ERROR: |property broken|runtime error|SUMMARY' "$work/log" | head -n 5 | sed 's/^/  /'
  fi
  for f in "${found[@]}"; do echo "  finding $f"; done
  # libFuzzer times an input on the clock, so on a busy machine a fast input
  # can be reported slow: each is timed again here, alone.
  for f in "${slow[@]}"; do
    again="$("$fuzz_dir/clang/fuzz_$t" -runs=1 "$f" 2>&1 | sed -n 's/^Executed .* in \([0-9]*\) ms$/\1/p')"
    echo "  slow unit $f: ${again:-?} ms when run again"
  done
done
[ -n "${temporary:-}" ] && [ $status -eq 0 ] && rm -rf "$work_root"
exit $status
