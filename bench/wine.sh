#!/usr/bin/env bash
# The benchmarks under Wine, on the end-to-end harness (tests/e2e/lib.sh):
# its own prefix, virtual display and Wine session. run-bench.sh runs this
# with BENCH_RESULTS, BENCH_REPS, BENCH_WORK, BENCH_CORPUS (the corpus),
# BENCH_PRODUCT (INSTALL.INI and the corpus for kivpack) and BENCH_SETUP (the
# packed installer) set, after its native parts.
#
#  3. lz_bench.exe: our expansion code against the system's LZCopy, in one
#     process, on the files that kivpack compressed; and ours keeping the
#     CRC-32 of what it expands, which the installer's check adds.
#  4. The corpus installed as one product, driven as a person would: the
#     driver presses Begin in the start dialog and waits for the completion
#     dialog; in resource mode (BENCH_SETUP) and in disk mode (the stub beside
#     the script and the compressed files). The peer: plaincopy.exe, which
#     copies the same expanded bytes and is driven the same way (OK, then
#     its completion box), with CopyFileA and with a ReadFile/WriteFile loop.
#     Every installed or copied file is compared with the corpus. The same
#     two installations without the payload checksums (the table's type
#     renamed in the resource directory; in disk mode the bare stub) give the
#     cost of checking them.
#  6. The loader: from the start of the installer to its start dialog, with
#     the maximal script and with the trivial one (disk mode).
#  8. The corpus removed by the product's uninstaller (kivpack uninstaller),
#     from Yes to its closing dialog, against plaincopy.exe --delete, which
#     deletes the same files with DeleteFileA and is driven the same way.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/bench/lib.sh"
source "$ROOT/bench/scripts.sh"
export KIV_SOURCE_DIR=$ROOT KIV_HOST_DIR=$ROOT/build/host KIV_WIN32_DIR=$ROOT/build/win32
source "$ROOT/tests/e2e/lib.sh"
KIV_SUITE=bench
kiv_begin

LIMIT=1800
STUB=$(kiv_exe kivinstall.exe) || exit 1
LZBENCH=$KIV_WIN32_DIR/bench/lz_bench.exe
PLAINCOPY=$KIV_WIN32_DIR/bench/plaincopy.exe
[ -f "$LZBENCH" ] && [ -f "$PLAINCOPY" ] || kiv_die "bench programs missing in $KIV_WIN32_DIR/bench"
mapfile -t NAMES < <(awk '{print $1}' "$BENCH_CORPUS/MANIFEST")
# BENCH_PARTS (say "4 6") runs only those parts; all of them by default.
part() { [[ " ${BENCH_PARTS:-3 4 6 8} " == *" $1 "* ]]; }

# same_as_corpus DIR WHAT [SUFFIX]: every corpus file is in DIR (as NAME
# followed by SUFFIX) byte for byte.
same_as_corpus() {
    local dir=$1 what=$2 suffix=${3:-} name bad=0
    for name in "${NAMES[@]}"; do
        cmp -s "$BENCH_CORPUS/files/$name" "$dir/$name$suffix" || bad=$((bad + 1))
    done
    kiv_expect_eq "$bad" 0 "$what: files that differ from the corpus"
}

if part 3; then
kiv_case "3. expansion under Wine: ours against LZCopy"
list=$KIV_WORK/lz.list
mkdir -p "$KIV_C/KIVLZ"
from=$(kiv_winpath "$BENCH_WORK/ours")
for name in "${NAMES[@]}"; do printf '%s\\%s.szdd\tC:\\KIVLZ\\%s\r\n' "$from" "$name" "$name"; done >"$list"
if out=$(kiv_run --limit "$LIMIT" "$LZBENCH" "$BENCH_REPS" "$(kiv_winpath "$list")"); then
    awk '{print "expand.wine." $1 ".cpu " $3; print "expand.wine." $1 ".wall " $5}' <<<"$out" \
        | tr -d '\r' >>"$BENCH_RESULTS"
    same_as_corpus "$KIV_C/KIVLZ" "ours under Wine" .ours
    same_as_corpus "$KIV_C/KIVLZ" "LZCopy" .lz
else
    kiv_fail "lz_bench.exe failed"
fi
# Ours again, keeping the CRC-32 of every file as the installer does for a
# recorded checksum: the check's own processor time.
if out=$(KIV_BENCH_CRC=1 kiv_run --limit "$LIMIT" "$LZBENCH" "$BENCH_REPS" "$(kiv_winpath "$list")"); then
    awk '$1 == "ours" {print "expand.wine.ours_crc.cpu " $3; print "expand.wine.ours_crc.wall " $5}' <<<"$out" \
        | tr -d '\r' >>"$BENCH_RESULTS"
    same_as_corpus "$KIV_C/KIVLZ" "ours keeping the CRC-32 under Wine" .ours
else
    kiv_fail "lz_bench.exe with KIV_BENCH_CRC=1 failed"
fi
rm -rf "$KIV_C/KIVLZ"
fi

# The processor time (in 1/100 s) that the Wine session has used so far: its
# programs, its server and its X server, whether they ran at once or took
# turns. Beside the elapsed time it shows the work done, which a busy machine
# does not inflate.
session_ticks() {
    local p t=0 xvfb
    xvfb=$(cat "$KIV_WORK/xvfb.pid")
    for p in /proc/[0-9]*; do
        if [ "${p#/proc/}" = "$xvfb" ] || grep -qz "^WINEPREFIX=$WINEPREFIX\$" "$p/environ" 2>/dev/null; then
            t=$((t + $(awk '{print $14 + $15}' "$p/stat" 2>/dev/null || echo 0)))
        fi
    done
    echo "$t"
}
ticks_since() { awk -v a="$1" -v b="$(session_ticks)" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.2f", (b - a) / hz}'; }

# settle: what earlier runs wrote (and deleted) reaches the disk before the
# next is timed; the system's write-back of one run would otherwise slow
# whichever run comes after it.
settle() { sync; sleep 1; }

# timed_run TAG TITLE READY DONE -- EXE ARGS...: starts the program, waits
# for its window TITLE holding READY, and times from the press on its first
# button to the window holding DONE, which OK then ends. Sets RUN_TIME and
# RUN_CPU.
timed_run() {
    local tag=$1 title=$2 ready=$3 done=$4 t0 c0
    shift 5
    kiv_start "$tag" --limit "$LIMIT" "$@"
    kiv_drive --timeout 120 wait-dialog --title "$title" --window-text "$ready" || return 1
    settle
    c0=$(session_ticks)
    t0=$(bench_now)
    KIV_DRIVE_LIMIT=$LIMIT kiv_drive --timeout "$LIMIT" press --title "$title" --id 1 -- \
        wait-dialog --title "$title" --window-text "$done" || return 1
    RUN_TIME=$(bench_since "$t0")
    RUN_CPU=$(ticks_since "$c0")
    kiv_drive press --title "$title" --id 1
    kiv_wait "$tag"
}

if part 4; then
kiv_case "4. an installation of the corpus against a plain copy"
# Disk mode: the stub, the script and every compressed file in one folder
# (the installer finds each disk's files in its own folder, so no prompt).
DISKS=$KIV_WORK/disks
"$KIV_PACK" disks "$BENCH_PRODUCT/INSTALL.INI" -o "$DISKS" --stub "$STUB" >/dev/null ||
    kiv_die "kivpack disks failed"
for d in "$DISKS"/DISK*; do
    [ "$d" = "$DISKS/DISK1" ] || { mv "$d"/* "$DISKS/DISK1/" && rmdir "$d"; }
done
DISK_SETUP=$DISKS/DISK1/SETUP.EXE
# The installers without their checksum table: the disk set's beside the
# checked one (the installer finds the files in its own directory), and the
# packed one with resource type 258 renamed to 259, which it never looks for.
DISK_UNCHECKED=$DISKS/DISK1/UNCHECK.EXE
cp "$STUB" "$DISK_UNCHECKED"
SETUP_UNCHECKED=$KIV_WORK/unchecked.exe
python3 - "$BENCH_SETUP" "$SETUP_UNCHECKED" <<'EOF' || kiv_die "cannot remove the checksum table"
import struct, sys
image = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", image, 0x3C)[0]
sections, optional = struct.unpack_from("<H", image, pe + 6)[0], pe + 24
table = optional + struct.unpack_from("<H", image, pe + 20)[0]
rva = struct.unpack_from("<I", image, optional + 96 + 16)[0]
for i in range(sections):
    size, address, _, pointer = struct.unpack_from("<IIII", image, table + 40 * i + 8)
    if address <= rva < address + size:
        root = pointer + rva - address
named, ids = struct.unpack_from("<HH", image, root + 12)
for e in range(named, named + ids):
    if struct.unpack_from("<I", image, root + 16 + 8 * e)[0] == 258:
        struct.pack_into("<I", image, root + 16 + 8 * e, 259)
        open(sys.argv[2], "wb").write(image)
        sys.exit(0)
sys.exit("no checksum table in " + sys.argv[1])
EOF
copy_list=$KIV_WORK/copy.list
from=$(kiv_winpath "$BENCH_CORPUS/files")
for name in "${NAMES[@]}"; do printf '%s\\%s\tC:\\KIVCOPY\\%s\r\n' "$from" "$name" "$name"; done >"$copy_list"

# install TAG EXE: one installation, from Begin to the completion dialog.
install() {
    rm -rf "$KIV_C/KIVBENCH"
    timed_run "$1" "$BENCH_CAPTION" Begin "successfully completed" -- "$2" || return 1
    same_as_corpus "$KIV_C/KIVBENCH" "$1"
}

# plain_copy TAG [--rw]: the same bytes copied, from OK to the completion box.
plain_copy() {
    local tag=$1
    shift
    rm -rf "$KIV_C/KIVCOPY" && mkdir -p "$KIV_C/KIVCOPY"
    timed_run "$tag" "Plain copy" "files?" "Copy completed" -- "$PLAINCOPY" "$@" "$(kiv_winpath "$copy_list")" ||
        return 1
    same_as_corpus "$KIV_C/KIVCOPY" "$tag"
}

declare -A best cpu
keep_best() {
    best[$1]=$(bench_min "${best[$1]:-}" "$RUN_TIME")
    cpu[$1]=$(bench_min "${cpu[$1]:-}" "$RUN_CPU")
}
for rep in $(seq "$BENCH_REPS"); do
    plain_copy copyfile && keep_best copyfile
    install resource "$BENCH_SETUP" && keep_best resource
    install disk "$DISK_SETUP" && keep_best disk
    plain_copy readwrite --rw && keep_best readwrite
    install resource_unchecked "$SETUP_UNCHECKED" && keep_best resource_unchecked
    install disk_unchecked "$DISK_UNCHECKED" && keep_best disk_unchecked
done
for key in copyfile readwrite resource disk resource_unchecked disk_unchecked; do
    bench_put "install.$key.wall" "${best[$key]:-}"
    bench_put "install.$key.cpu" "${cpu[$key]:-}"
done
rm -rf "$KIV_C/KIVBENCH" "$KIV_C/KIVCOPY"
fi

if part 6; then
kiv_case "6. the loader under Wine: start to the start dialog"
declare -A loader
for kind in max trivial; do
    dir=$BENCH_WORK/loader-$kind
    cp "$STUB" "$dir/SETUP.EXE"
done
for rep in $(seq "$BENCH_REPS"); do
    for kind in trivial max; do
        t0=$(bench_now)
        kiv_start "loader-$kind" --limit 300 "$BENCH_WORK/loader-$kind/SETUP.EXE"
        if kiv_drive --timeout 240 wait-dialog --title "$BENCH_CAPTION" --window-text "Begin"; then
            RUN_TIME=$(bench_since "$t0")
            loader[$kind]=$(bench_min "${loader[$kind]:-}" "$RUN_TIME")
            kiv_drive press --title "$BENCH_CAPTION" --id 2
        fi
        kiv_wait "loader-$kind"
    done
done
for kind in max trivial; do bench_put "loader.wine.$kind.wall" "${loader[$kind]:-}"; done
fi
if part 8; then
kiv_case "8. the corpus removed by its uninstaller against DeleteFileA"
"$KIV_PACK" uninstaller "$BENCH_PRODUCT/INSTALL.INI" -o "$KIV_WORK/uninst.exe" >/dev/null ||
    kiv_die "kivpack uninstaller failed"
delete_list=$KIV_WORK/delete.list
for name in "${NAMES[@]}"; do printf 'x\tC:\\KIVBENCH\\%s\r\n' "$name"; done >"$delete_list"
# put_in_place: the corpus in the target directory, as an installation
# leaves it, with the uninstaller beside it.
put_in_place() {
    rm -rf "$KIV_C/KIVBENCH" && mkdir -p "$KIV_C/KIVBENCH" &&
        cp "$BENCH_CORPUS"/files/* "$KIV_WORK/uninst.exe" "$KIV_C/KIVBENCH/"
}
declare -A removal removal_cpu
for rep in $(seq "$BENCH_REPS"); do
    put_in_place
    if timed_run uninstaller "$BENCH_CAPTION" "Are you sure" "was removed" -- 'C:\KIVBENCH\uninst.exe'; then
        removal[uninstaller]=$(bench_min "${removal[uninstaller]:-}" "$RUN_TIME")
        removal_cpu[uninstaller]=$(bench_min "${removal_cpu[uninstaller]:-}" "$RUN_CPU")
        for _ in $(seq 100); do [ -e "$KIV_C/KIVBENCH" ] || break; sleep 0.2; done
        kiv_expect_no_file "$KIV_C/KIVBENCH" "the uninstaller removed the corpus and its directory"
    fi
    put_in_place
    if timed_run deletefile "Plain copy" "files?" "Delete completed" -- "$PLAINCOPY" --delete \
        "$(kiv_winpath "$delete_list")"; then
        removal[deletefile]=$(bench_min "${removal[deletefile]:-}" "$RUN_TIME")
        removal_cpu[deletefile]=$(bench_min "${removal_cpu[deletefile]:-}" "$RUN_CPU")
    fi
done
for key in uninstaller deletefile; do
    bench_put "remove.$key.wall" "${removal[$key]:-}"
    bench_put "remove.$key.cpu" "${removal_cpu[$key]:-}"
done
rm -rf "$KIV_C/KIVBENCH"
fi
kiv_end
