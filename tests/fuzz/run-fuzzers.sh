#!/usr/bin/env bash
# Runs fuzz targets for SECONDS each (default 600), all at once, and prints
# what each did: executions, coverage (cov: edges, ft: features) and corpus.
#
#   tests/fuzz/run-fuzzers.sh [SECONDS] [loader|szdd|pe|helpfile|helpsource ...]   (default: all)
#
# The targets are $KIV_FUZZ_DIR/clang/fuzz_<target> (KIV_FUZZ_DIR defaults to
# build/host/tests/fuzz: build the host preset first). Each runs over its
# working corpus $KIV_FUZZ_WORK/<target>/corpus, which starts as a copy of
# tests/fuzz/corpus/<target>/; a crashing input is saved beside it as
# crash-*, leak-* or timeout-*, with the log. KIV_FUZZ_WORK defaults to
# $KIV_FUZZ_DIR/work, which keeps what earlier runs found; KIV_FUZZ_WORK=temp
# (the ctest tests) takes a new directory, removed after a clean run.
# Exit status: 0 all clean, 1 a target found a fault, 77 targets not built.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
fuzz_dir="${KIV_FUZZ_DIR:-$here/../../build/host/tests/fuzz}"
seconds="${1:-600}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(loader szdd pe helpfile helpsource)

case "$seconds" in
  ''|*[!0-9]*) echo "usage: run-fuzzers.sh [SECONDS] [loader|szdd|pe|helpfile|helpsource ...]" >&2; exit 2 ;;
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

pids=()
for t in "${targets[@]}"; do
  work="$work_root/$t"
  mkdir -p "$work/corpus"
  cp -n "$here/corpus/$t/"* "$work/corpus/" 2>/dev/null
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
  "$fuzz_dir/clang/fuzz_$t" "${extra[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  t="${targets[$i]}"
  work="$work_root/$t"
  wait "${pids[$i]}"
  rc=$?
  # -a: the log quotes inputs, which may hold any byte.
  done_line="$(grep -a -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)"
  rss="$(sed -n 's/^stat::peak_rss_mb: *//p' "$work/log" | tail -n 1)"
  field() { sed -n "s/.* $1: \([^ ]*\).*/\1/p" <<<"$2"; }
  if [ "$rc" -eq 0 ] && [ -n "$done_line" ]; then
    printf '%-6s %s s: %s executions (%s/s), cov %s, ft %s, corpus %s, peak rss %s MB: clean\n' \
      "$t" "$seconds" "$runs" "$rate" "$(field cov "$done_line")" "$(field ft "$done_line")" \
      "$(field corp "$done_line")" "$rss"
  else
    status=1
    echo "$t: FAULT (exit $rc) after ${runs:-?} executions; log $work/log"
    grep -a -E 'ERROR: |property broken|runtime error|SUMMARY' "$work/log" | head -n 5 | sed 's/^/  /'
    ls "$work" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' | sed "s|^|  artifact $work/|"
  fi
done
[ -n "${temporary:-}" ] && [ $status -eq 0 ] && rm -rf "$work_root"
exit $status
