#!/usr/bin/env bash
# scale.sh KIVPACK STUB WORK: kivpack build of generated products of 600 MB
# and 3 GB (50 MB files of text from the machine, hard links of one file
# with a different head each, so that the work is real and the disk use
# small), with the generated uninstaller: the peak resident memory (/usr/bin/time -v) next to the largest
# file and the goal of twice that plus 64 MB, whatever the product's total;
# and the time kivpack takes to refuse a product of 11 GB (sparse) that no
# compression brings under the limit of one installer, next to the time
# `kivpack check` takes to read the same script and look at its files.
# Figures go to $BENCH_RESULTS as scale.* lines.
set -uo pipefail
KIVPACK=$1 STUB=$2 W=$3
source "$(dirname "$0")/lib.sh"
mkdir -p "$W" && rm -rf "${W:?}"/*
FILE=50000000

# A 50 MB seed of text and source code found on the machine.
find /usr/share/perl /usr/lib/python3* /usr/share/doc /usr/include -type f \( -name '*.pm' -o -name '*.py' \
    -o -name '*.h' -o -name 'copyright' \) 2>/dev/null | LC_ALL=C sort | xargs cat 2>/dev/null |
    head -c "$FILE" >"$W/seed"
[ "$(stat -c %s "$W/seed")" -eq "$FILE" ] || { echo "scale: not 50 MB of text on this machine" >&2; exit 1; }

# product NAME COUNT: COUNT files of 50 MB in $W/NAME.
product() {
    local dir=$W/$1 i
    mkdir -p "$dir"
    {
        printf '[Basic Information]\r\nHelpFileName=S.HLP\r\nCaption=Scale\r\nProductName=Scale\r\n'
        # DiskSpace holds 2,147,483,647 at most.
        printf 'DefaultTargetDir=C:\\SCALE\r\nTotalDisks=1\r\nDiskSpace=%d\r\n[Disk 1]\r\nDiskName=Scale\r\n' \
            $(($2 * FILE < 2147483647 ? $2 * FILE : 2147483647))
        for i in $(seq 1 "$2"); do printf 'F%03d.DAT=Target\r\n' "$i"; done
        # The generated uninstaller, whose table of installed files reads
        # every file of the target too.
        printf 'UNINST.EXE=Target\r\n'
    } >"$dir/INSTALL.INI"
    echo help >"$dir/S.HLP"
    for i in $(seq 1 "$2"); do ln -f "$W/seed" "$dir/$(printf 'F%03d.DAT' "$i")"; done
}

# peak NAME: build of $W/NAME with all cores; scale.NAME.{rss_kb,wall,bytes}.
peak() {
    /usr/bin/time -v "$KIVPACK" build "$W/$1/INSTALL.INI" -o "$W/$1.exe" --stub "$STUB" \
        >"$W/$1.out" 2>"$W/$1.time" || { echo "scale: build of $1 failed: $(tail -3 "$W/$1.time")" >&2; return 1; }
    bench_put "scale.$1.rss_kb" "$(awk -F': ' '/Maximum resident set size/ {print $2}' "$W/$1.time")"
    bench_put "scale.$1.wall" "$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$W/$1.time")"
    bench_put "scale.$1.bytes" "$(stat -c %s "$W/$1.exe")"
    rm -f "$W/$1.exe"
}

bench_put scale.file.bytes "$FILE"
product p600 12 && peak p600 || exit 1
product p3000 60 && peak p3000 || exit 1
rm -rf "$W/p600" "$W/p3000"

mkdir -p "$W/huge"
product huge 1 && rm -f "$W/huge/F001.DAT"
sed -i 's/^F001.DAT=Target\r$/A.DAT=Target\r\nB.DAT=Target\r\nC.DAT=Target\r/' "$W/huge/INSTALL.INI"
for f in A B C; do truncate -s 3700000000 "$W/huge/$f.DAT"; done
t0=$(bench_now)
"$KIVPACK" build "$W/huge/INSTALL.INI" -o "$W/huge.exe" --stub "$STUB" >/dev/null 2>"$W/huge.err"
rc=$?
bench_put scale.refuse.wall "$(bench_since "$t0")"
[ "$rc" -eq 1 ] && grep -q "too large for one installer" "$W/huge.err" ||
    { echo "scale: the 11 GB product was not refused: $(cat "$W/huge.err")" >&2; exit 1; }
t0=$(bench_now)
"$KIVPACK" check "$W/huge/INSTALL.INI" >/dev/null 2>&1
bench_put scale.check.wall "$(bench_since "$t0")"
rm -rf "${W:?}"/*
