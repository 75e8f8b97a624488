#!/usr/bin/env bash
# The benchmarks: every figure against a peer measured in the same run.
#
#   bench/run-bench.sh [--quick] [--reps N] [--no-wine] [--parts "N..."] [--against STUB]
#
# Needs both presets built (./dev test does it) and mscompress, libmspack-dev,
# Wine, Xvfb; installs nsis (makensis, the peer of part 4) when it is
# missing. Builds its corpus (about 50 MB; --quick about 5 MB) from the
# machine's own files, then measures:
#   1. compressed size: ours against mscompress and the format's bound
#   2. compression speed: ours against mscompress
#   3. expansion speed: ours against libmspack, msexpand and Wine's LZCopy
#   4. an installation of the corpus under Wine (resource and disk mode)
#      against a plain copy of the same bytes and against the same corpus
#      packed by NSIS 3 (zlib, solid and not), with its page and silent
#   5. the size of the stub and of the uninstaller stub
#   6. the script loader on a maximal script against a trivial one
#   7. kivpack build of the corpus, on a terminal
#   8. kivpack helpfile on a 1 MB help source against halibut
#   9. the corpus removed under Wine by its uninstaller against DeleteFileA
#  10. kivpack build of products of 600 MB and 3 GB: peak memory against the
#      largest file; the time to refuse one too large for an installer
# Work and results go to build/bench/full (or quick): results.md holds the
# table, results.txt the raw figures, bench.log everything printed. --parts
# runs only the parts listed, "steps" among them: a trace of one
# installation per mode (the product is always built: part 4 installs it);
# --against installs the product in part 4 also with another build of the
# stub, in the same session (before and after a change).
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
mode=full
reps=
wine=1
while [ $# -gt 0 ]; do
    case $1 in
        --quick) mode=quick; shift ;;
        --reps) reps=$2; shift 2 ;;
        --no-wine) wine=0; shift ;;
        --parts) export BENCH_PARTS=$2; shift 2 ;;
        --against) BENCH_STUB_B=$(realpath "$2"); shift 2 ;;
        -h|--help) sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
    esac
done
# Runs of each measurement; the slowest peers (mscompress, msexpand) get
# fewer in a full run.
if [ "$mode" = quick ]; then BENCH_REPS=${reps:-3}; slow_reps=${reps:-2}; else BENCH_REPS=${reps:-2}; slow_reps=1; fi
export BENCH_REPS

source bench/lib.sh
source bench/scripts.sh
source bench/nsis.sh
part() { [[ " ${BENCH_PARTS:-1 2 3 4 5 6 7 8 9 10} " == *" $1 "* ]]; }
HOST=$ROOT/build/host
WIN32=$ROOT/build/win32
OUT=$ROOT/build/bench/$mode
export BENCH_WORK=$OUT/work BENCH_RESULTS=$OUT/results.txt BENCH_LOG=$OUT/bench.log
KIVPACK=$HOST/kivpack
for f in "$KIVPACK" "$HOST/bench/szdd_bound" "$HOST/bench/expand_bench" "$HOST/e2e/mspack_oracle" \
    "$WIN32/kivinstall.exe"; do
    [ -e "$f" ] || { echo "bench: $f is missing: build both presets first (./dev test)" >&2; exit 1; }
done
# The peer installer is for the bench alone, not for the tests.
if ! command -v makensis >/dev/null; then
    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y -o DPkg::Lock::Timeout=600 nsis >/dev/null ||
        { echo "bench: cannot install nsis (makensis)" >&2; exit 1; }
fi
for tool in mscompress msexpand script makensis; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$OUT"
rm -rf "$BENCH_WORK" && mkdir -p "$BENCH_WORK"
: >"$BENCH_RESULTS"
: >"$BENCH_LOG"
W=$BENCH_WORK

bench_say "corpus ($mode), in $OUT/corpus:"
bash bench/corpus.sh "$OUT/corpus" "$mode" | tee -a "$BENCH_LOG" || exit 1
CORPUS=$OUT/corpus
mapfile -t NAMES < <(awk '{print $1}' "$CORPUS/MANIFEST")
FILES=("${NAMES[@]/#/$CORPUS/files/}")
CLASSES=(text exe dll font gz)
bench_put corpus.files "${#NAMES[@]}"
bench_put corpus.bytes "$(awk '{s += $3} END {print s}' "$CORPUS/MANIFEST")"
bench_put reps "$BENCH_REPS"
bench_put slow_reps "$slow_reps"

# 2. Compression speed (its outputs serve 1 and 3).
if part 1 || part 2 || part 3; then
bench_say "2. compression speed: kivpack compress and mscompress, ${#NAMES[@]} files"
fresh_ours() { rm -rf "$W/ours" && mkdir -p "$W/ours"; }
bench_best compress.ours fresh_ours "$KIVPACK" compress -o "$W/ours" "${FILES[@]}" || exit 1
fresh_ms() { rm -rf "$W/ms" && mkdir -p "$W/ms" && cp "${FILES[@]}" "$W/ms/"; }
compress_ms() { cd "$W/ms" && mscompress "${NAMES[@]}"; }
BENCH_REPS=$slow_reps bench_best compress.mscompress fresh_ms compress_ms || exit 1
fi

# 1. Compressed size.
if part 1; then
bench_say "1. compressed size: ours, mscompress and the exhaustive bound"
"$HOST/bench/szdd_bound" "${FILES[@]}" >"$W/bound.txt" || { echo "bench: szdd_bound failed" >&2; exit 1; }
awk -v ours="$W/ours" -v ms="$W/ms" '
    FILENAME == ARGV[1] { class[$1] = $2; next }
    {
        n = split($3, part, "/"); name = part[n]; c = class[name]
        cmd = "stat -c %s " ours "/" name ".szdd"; cmd | getline o; close(cmd)
        m = name "_"
        cmd = "stat -c %s " ms "/" m; cmd | getline s; close(cmd)
        orig[c] += $1; bound[c] += $2; our[c] += o; msc[c] += s; files[c]++
        if (o != $2) { worse[c]++; print "ours differs from the bound: " name " " o " " $2 > "/dev/stderr" }
        orig["total"] += $1; bound["total"] += $2; our["total"] += o; msc["total"] += s; files["total"]++
        if (o != $2) worse["total"]++
    }
    END {
        for (c in files) {
            printf "size.%s.files %d\nsize.%s.original %d\nsize.%s.ours %d\nsize.%s.bound %d\n", c, files[c], c, orig[c], c, our[c], c, bound[c]
            printf "size.%s.mscompress %d\nsize.%s.above_bound %d\n", c, msc[c], c, worse[c] + 0
        }
    }' "$CORPUS/MANIFEST" "$W/bound.txt" >>"$BENCH_RESULTS"
fi

# 3. Expansion speed, native. The expanded files go to a memory file system
# where there is one, so that the file system's own work (and the disk's,
# for other programs of a shared machine) weighs less against the decoders.
if part 3; then
bench_say "3. expansion speed: ours against libmspack (one process), kivpack expand, msexpand"
X=$W
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    X=$(mktemp -d /dev/shm/kivbench.XXXXXX) || exit 1
    trap 'rm -rf "$X"' EXIT
fi
bench_put expand.output_dir "$X"
mkdir -p "$X/eb"
"$HOST/bench/expand_bench" "$BENCH_REPS" "$X/eb" "$W"/ours/*.szdd >"$W/expand_bench.txt" || exit 1
awk '{print "expand.inprocess." $1 ".cpu " $3; print "expand.inprocess." $1 ".wall " $5}' \
    "$W/expand_bench.txt" >>"$BENCH_RESULTS"
bad=0
for name in "${NAMES[@]}"; do
    cmp -s "$CORPUS/files/$name" "$X/eb/$name.szdd.ours" || { echo "bench: ours expands $name wrongly" >&2; bad=1; }
    cmp -s "$CORPUS/files/$name" "$X/eb/$name.szdd.mspack" || { echo "bench: libmspack expands $name wrongly" >&2; bad=1; }
done
[ "$bad" -eq 0 ] || exit 1
rm -rf "$X/eb"
fresh_kx() { rm -rf "$X/kx" && mkdir -p "$X/kx"; }
bench_best expand.kivpack fresh_kx "$KIVPACK" expand -o "$X/kx" "$W"/ours/*.szdd || exit 1
pairs=()
for name in "${NAMES[@]}"; do pairs+=("$W/ours/$name.szdd" "$X/kx/$name"); done
bench_best expand.mspack_oracle fresh_kx "$HOST/e2e/mspack_oracle" "${pairs[@]}" || exit 1
expand_msexpand() { local name; for name in "${NAMES[@]}"; do msexpand <"$W/ours/$name.szdd" >"$X/kx/$name" || return 1; done; }
BENCH_REPS=$slow_reps bench_best expand.msexpand fresh_kx expand_msexpand || exit 1
for name in "${NAMES[@]}"; do
    cmp -s "$CORPUS/files/$name" "$X/kx/$name" || { echo "bench: msexpand expands $name wrongly" >&2; exit 1; }
done
rm -rf "$X/kx"
fi

# 5. The stub.
if part 5; then
bench_say "5. the stub: build/win32/kivinstall.exe"
bench_put stub.bytes "$(stat -c %s "$WIN32/kivinstall.exe")"
i686-w64-mingw32-objdump -h "$WIN32/kivinstall.exe" | awk '$2 ~ /^\./ {print $2, $3}' |
    while read -r section size; do bench_put "stub.section$section" $((16#$size)); done
bench_say "5. the uninstaller stub: build/win32/kivuninst.exe (goal: at most 36 KiB)"
bench_put uninstaller.bytes "$(stat -c %s "$WIN32/kivuninst.exe")"
bench_put uninstaller.limit 36864
# What the demo's formatted help adds to its installer: the resource of its
# topics' bold, italic and jumps against that of their plain text.
if [ -f "$HOST/demo/DEMO.HLP" ] && [ -f "$WIN32/demo/KIVDEMO.exe" ] && [ -f "$WIN32/kivuninst.exe" ]; then
    bench_say "5. the demo's help text and its formatting, as kivpack build packs them"
    mkdir -p "$W/demo"
    cp examples/demo/INSTALL.INI examples/demo/README.TXT "$HOST/demo/DEMO.HLP" "$W/demo/"
    cp "$WIN32/demo/KIVDEMO.exe" "$W/demo/KIVDEMO.EXE"
    "$KIVPACK" build "$W/demo/INSTALL.INI" -o "$W/demo/setup.exe" --stub "$WIN32/kivinstall.exe" \
        --uninstaller-stub "$WIN32/kivuninst.exe" >/dev/null || { echo "bench: kivpack build of the demo failed" >&2; exit 1; }
    line=$("$KIVPACK" list "$W/demo/setup.exe" | grep '^help text: ')
    bench_put demo.help.text.bytes "$(sed -n 's/.*(\([0-9]*\) bytes;.*/\1/p' <<<"$line")"
    bench_put demo.help.styles.bytes "$(sed -n 's/.*jumps \([0-9]*\) bytes).*/\1/p' <<<"$line")"
fi
fi

# 6. The loader, native: kivpack check.
if part 6; then
bench_say "6. the loader: kivpack check of a maximal and of a trivial script"
for kind in max trivial; do
    mkdir -p "$W/loader-$kind"
    "bench_${kind}_script" "$W/loader-$kind/INSTALL.INI"
    printf 'KivBench help\r\n' >"$W/loader-$kind/BENCH.HLP"
    bench_best "loader.check.$kind" : "$KIVPACK" check --no-files "$W/loader-$kind/INSTALL.INI" || exit 1
done
bench_put loader.script.max.bytes "$(stat -c %s "$W/loader-max/INSTALL.INI")"
fi

# 7. kivpack build of the corpus as one product, on a terminal and off one.
bench_say "7. kivpack build of the corpus$(part 7 && echo ', on a terminal (script -q -c) and off one')"
mkdir -p "$W/product"
bench_product_script "$CORPUS" "$W/product/INSTALL.INI" || exit 1
printf 'KivBench help\r\n' >"$W/product/BENCH.HLP"
ln -f "${FILES[@]}" "$W/product/" 2>/dev/null || cp "${FILES[@]}" "$W/product/"
build_cmd=("$KIVPACK" build "$W/product/INSTALL.INI" -o "$W/setup.exe" --stub "$WIN32/kivinstall.exe" --date 2026-01-01)
build_on_terminal() { script -q -e -c "$(printf '%q ' "${build_cmd[@]}")" "$W/build.typescript"; }
if part 7; then
    bench_best build.terminal : build_on_terminal || exit 1
    bench_put build.progress_updates "$(tr '\r' '\n' <"$W/build.typescript" | grep -c 'packing.*%')"
fi
bench_best build.quiet : "${build_cmd[@]}" || exit 1
bench_put build.setup.bytes "$(stat -c %s "$W/setup.exe")"
# One thread against all of them (the default), the same bytes.
bench_best build.j1 : "${build_cmd[@]}" -j 1 -o "$W/setup-j1.exe" || exit 1
cmp -s "$W/setup.exe" "$W/setup-j1.exe" || { echo "bench: -j 1 packed other bytes" >&2; exit 1; }
bench_put build.cores "$(nproc)"
bench_put build.load "$(cut -d' ' -f1 /proc/loadavg)"
if [ -n "${BENCH_STUB_B:-}" ]; then
    "$KIVPACK" build "$W/product/INSTALL.INI" -o "$W/setup-b.exe" --stub "$BENCH_STUB_B" >/dev/null || exit 1
    export BENCH_STUB_B BENCH_SETUP_B=$W/setup-b.exe
    bench_put against "$BENCH_STUB_B"
fi
if part 4; then
    bench_say "4. the peer installer: the corpus packed by makensis"
    nsis_pack "$CORPUS" "$W/nsis" || exit 1
fi

# 8. The help compiler.
if part 8; then
    bench_say "8. kivpack helpfile on a help source of about 1 MB, and halibut on the same text"
    KIVPACK=$KIVPACK bash bench/help.sh 2>&1 | tee -a "$BENCH_LOG"
fi

# 10. Products of gigabytes.
if part 10; then
    bench_say "10. kivpack build of products of 600 MB and 3 GB, and the refusal of one of 11 GB"
    bash bench/scale.sh "$KIVPACK" "$WIN32/kivinstall.exe" "$W/scale" 2>&1 | tee -a "$BENCH_LOG"
fi

# 3 (Wine's LZCopy), 4 and 6 under Wine.
if [ "$wine" = 1 ]; then
    bench_say "3, 4, 6, 9 under Wine"
    BENCH_CORPUS=$CORPUS BENCH_SETUP=$W/setup.exe BENCH_PRODUCT=$W/product BENCH_NSIS=$W/nsis \
        bash bench/wine.sh 2>&1 | tee -a "$BENCH_LOG"
    [ "${PIPESTATUS[0]}" -eq 0 ] || echo "bench: the Wine part failed (see $BENCH_LOG)" >&2
fi

bash bench/report.sh "$BENCH_RESULTS" "$mode" >"$OUT/results.md"
cat "$OUT/results.md"
