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
#     Every installed or copied file is compared with the corpus. The other
#     peer: the corpus packed by NSIS 3 (BENCH_NSIS, zlib, solid and not),
#     run with its progress page (which closes by itself) and silently (/S).
#     Every program is also timed from its start to its end. The same two
#     installations without the payload checksums (the table's type renamed
#     in the resource directory; in disk mode the bare stub) give the cost of
#     checking them.
#  6. The loader: from the start of the installer to its start dialog, with
#     the maximal script and with the trivial one (disk mode).
#  9. The corpus removed by the product's uninstaller (kivpack uninstaller),
#     from Yes to its closing dialog, against plaincopy.exe --delete, which
#     deletes the same files with DeleteFileA and is driven the same way.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/bench/lib.sh"
source "$ROOT/bench/scripts.sh"
source "$ROOT/bench/nsis.sh"
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
part() { [[ " ${BENCH_PARTS:-3 4 6 9} " == *" $1 "* ]]; }

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

# whole_run TAG TITLE READY DONE -- EXE ARGS...: the same road, timed from
# the start of the program to its end, with one driver answering the two
# dialogs as soon as they show. Sets RUN_WHOLE.
whole_run() {
    local tag=$1 title=$2 ready=$3 done=$4 start
    shift 5
    settle
    start=$(bench_now)
    kiv_start "$tag" --limit "$LIMIT" "$@"
    KIV_DRIVE_LIMIT=$LIMIT kiv_drive --timeout "$LIMIT" wait-dialog --title "$title" --window-text "$ready" -- \
        press --id 1 -- wait-dialog --title "$title" --window-text "$done" -- press --id 1 -- wait-exit || return 1
    kiv_wait "$tag" || return 1
    RUN_WHOLE=$(bench_since "$start")
}

# peer_install TAG EXE [ARGS]: the NSIS installer from its start to its end,
# which needs no answer. Sets RUN_WHOLE, and RUN_TIME and RUN_CPU to the same
# span.
peer_install() {
    local tag=$1 start c0
    shift
    rm -rf "$KIV_C/KIVNSIS"
    settle
    c0=$(session_ticks)
    start=$(bench_now)
    kiv_start "$tag" --limit "$LIMIT" "$@"
    kiv_wait "$tag" || return 1
    RUN_WHOLE=$(bench_since "$start")
    RUN_TIME=$RUN_WHOLE
    RUN_CPU=$(ticks_since "$c0")
    [ "$KIV_RC" -eq 0 ] || { kiv_fail "$tag: exit code $KIV_RC"; return 1; }
    same_as_corpus "$KIV_C/KIVNSIS" "$tag"
}

# install TAG EXE: one installation, from Begin to the completion dialog;
# then another, from the start of the installer to its end.
install() {
    rm -rf "$KIV_C/KIVBENCH"
    timed_run "$1" "$BENCH_CAPTION" Begin "successfully completed" -- "$2" || return 1
    same_as_corpus "$KIV_C/KIVBENCH" "$1"
    rm -rf "$KIV_C/KIVBENCH"
    whole_run "$1" "$BENCH_CAPTION" Begin "successfully completed" -- "$2" || return 1
    same_as_corpus "$KIV_C/KIVBENCH" "$1, whole run"
}

# plain_copy TAG [--rw]: the same bytes copied, from OK to the completion box.
plain_copy() {
    local tag=$1
    shift
    rm -rf "$KIV_C/KIVCOPY" && mkdir -p "$KIV_C/KIVCOPY"
    timed_run "$tag" "Plain copy" "files?" "Copy completed" -- "$PLAINCOPY" "$@" "$(kiv_winpath "$copy_list")" ||
        return 1
    RUN_WHOLE=
    same_as_corpus "$KIV_C/KIVCOPY" "$tag"
}

if part 4 || part steps; then
# Disk mode: the stub, the script and every compressed file in one folder
# (the installer finds each disk's files in its own folder, so no prompt).
DISKS=$KIV_WORK/disks
"$KIV_PACK" disks "$BENCH_PRODUCT/INSTALL.INI" -o "$DISKS" --stub "$STUB" >/dev/null ||
    kiv_die "kivpack disks failed"
for d in "$DISKS"/DISK*; do
    [ "$d" = "$DISKS/DISK1" ] || { mv "$d"/* "$DISKS/DISK1/" && rmdir "$d"; }
done
DISK_SETUP=$DISKS/DISK1/SETUP.EXE
# Another build of the stub (run-bench.sh --against), beside the first.
[ -z "${BENCH_STUB_B:-}" ] || cp "$BENCH_STUB_B" "$DISKS/DISK1/SETUPB.EXE"
fi

if part 4; then
kiv_case "4. an installation of the corpus against a plain copy"
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

declare -A best cpu whole
keep_best() {
    best[$1]=$(bench_min "${best[$1]:-}" "$RUN_TIME")
    cpu[$1]=$(bench_min "${cpu[$1]:-}" "$RUN_CPU")
    [ -z "$RUN_WHOLE" ] || whole[$1]=$(bench_min "${whole[$1]:-}" "$RUN_WHOLE")
}
for rep in $(seq "$BENCH_REPS"); do
    plain_copy copyfile && keep_best copyfile
    install resource "$BENCH_SETUP" && keep_best resource
    install disk "$DISK_SETUP" && keep_best disk
    if [ -n "${BENCH_STUB_B:-}" ]; then
        install resource_b "$BENCH_SETUP_B" && keep_best resource_b
        install disk_b "$DISKS/DISK1/SETUPB.EXE" && keep_best disk_b
    fi
    plain_copy readwrite --rw && keep_best readwrite
    install resource_unchecked "$SETUP_UNCHECKED" && keep_best resource_unchecked
    install disk_unchecked "$DISK_UNCHECKED" && keep_best disk_unchecked
    for packing in "${NSIS_INSTALLED[@]}"; do
        peer_install "nsis_page_$packing" "$BENCH_NSIS/$packing.exe" && keep_best "nsis_page_$packing"
        peer_install "nsis_silent_$packing" "$BENCH_NSIS/$packing.exe" /S && keep_best "nsis_silent_$packing"
    done
done
for key in "${!best[@]}"; do
    bench_put "install.$key.wall" "${best[$key]:-}"
    bench_put "install.$key.cpu" "${cpu[$key]:-}"
    [ -z "${whole[$key]:-}" ] || bench_put "install.$key.whole" "${whole[$key]}"
done
rm -rf "$KIV_C/KIVBENCH" "$KIV_C/KIVCOPY" "$KIV_C/KIVNSIS"
fi

if part steps; then
kiv_case "steps: where one installation's time goes (relay trace)"
# One installation in each mode with the installer's system calls traced,
# not timed against anything: the trace itself slows every listed call.
RELAY="CreateFileA;WriteFile;ReadFile;CloseHandle;SetFileTime;GetFileTime;GetFileSize;SetFilePointer"
RELAY+=";DeleteFileA;SetFileAttributesA;GetFileAttributesA;FindResourceA;LoadResource;LockResource"
RELAY+=";SizeofResource;FreeResource;LoadStringA;FindAtomA;GetAtomNameA;GlobalLock;GlobalUnlock"
RELAY+=";SetErrorMode;GetDriveTypeA;SetDlgItemTextA;InvalidateRect;UpdateWindow;PeekMessageA"
RELAY+=";GetDlgItem;GetClientRect;IsDialogMessageA;DosDateTimeToFileTime;LocalFileTimeToFileTime"
kiv_reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$RELAY" /f >/dev/null ||
    kiv_die "cannot limit the relay trace"
for mode in resource disk; do
    exe=$BENCH_SETUP
    [ "$mode" = disk ] && exe=$DISK_SETUP
    rm -rf "$KIV_C/KIVBENCH"
    WINEDEBUG=+timestamp,+relay timed_run "trace-$mode" "$BENCH_CAPTION" Begin "successfully completed" -- "$exe" ||
        kiv_die "the traced installation failed"
    awk -v target=KIVBENCH -f "$ROOT/bench/steps.awk" "$KIV_ART/trace-$mode.err" "$KIV_ART/trace-$mode.err" |
        while read -r name calls ms; do
            case $name in
                span | other) bench_put "steps.$mode.$name" "$calls" ;;
                *) bench_put "steps.$mode.call.$name" "$calls $ms" ;;
            esac
        done
    bench_put "steps.$mode.traced_wall" "$RUN_TIME"
done
kiv_reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null
rm -rf "$KIV_C/KIVBENCH"
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
if part 9; then
kiv_case "9. the corpus removed by its uninstaller against DeleteFileA"
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
