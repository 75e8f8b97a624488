# shellcheck shell=bash
# Install scripts of the benchmarks (sourced by run-bench.sh and wine.sh).
# Every script is written with CRLF line ends, as a vendor's would be.

BENCH_CAPTION="KivBench Setup"
BENCH_TARGET='C:\KIVBENCH'

crlf() { sed 's/$/\r/'; }

# bench_product_script CORPUS OUT: one product of every file of the corpus,
# installed into the target directory under its own name, 300 files a disk
# (their names fill about 3,000 of the 4,096 bytes of a disk's key list).
bench_product_script() {
    local corpus=$1 out=$2 files total disks
    files=$(wc -l <"$corpus/MANIFEST")
    total=$(awk '{s += $3} END {print s}' "$corpus/MANIFEST")
    disks=$(((files + 299) / 300))
    [ "$disks" -le 32 ] || { echo "bench: $files files need more than 32 disks" >&2; return 1; }
    {
        printf '[Basic Information]\n'
        printf 'HelpFileName=BENCH.HLP\nCaption=%s\nProductName=KivBench\n' "$BENCH_CAPTION"
        printf 'DefaultTargetDir=%s\nTotalDisks=%d\nDiskSpace=%d\n' "$BENCH_TARGET" "$disks" "$total"
        awk '{
            if ((NR - 1) % 300 == 0) printf "\n[Disk %d]\nDiskName=KivBench Disk %d\n", (NR + 299) / 300, (NR + 299) / 300
            printf "%s=Target,%s\n", $1, $2 " file " $1
        }' "$corpus/MANIFEST"
    } | crlf >"$out"
}

# bench_trivial_script OUT: the least a valid script holds; one disk that
# installs nothing.
bench_trivial_script() {
    local out=$1
    {
        printf '[Basic Information]\n'
        printf 'HelpFileName=BENCH.HLP\nCaption=%s\nProductName=KivBench\n' "$BENCH_CAPTION"
        printf 'DefaultTargetDir=%s\nTotalDisks=1\nDiskSpace=1000\n' "$BENCH_TARGET"
        printf '\n[Disk 1]\nDiskName=KivBench Disk 1\n'
    } | crlf >"$out"
}

# bench_max_script OUT: as much as the installer reads: every key of [Basic
# Information], every table full and beyond (32 fonts, exit lines, delete
# lines, subdirectories and group items, 8 old groups; lines past the limits
# are ignored), and 32 disks whose key lists fill 4,092 of their 4,096 bytes:
# 314 file lines each, 10,048 in all. Destinations and descriptions are
# shared, so that the interned strings stay within the atom table.
bench_max_script() {
    local out=$1
    {
        printf '[Basic Information]\n'
        printf 'HelpFileName=BENCH.HLP,BENCHINS.HLP\nCaption=%s\nViewButtonText=&View the readme\n' \
            "$BENCH_CAPTION"
        printf 'Product.INI=KIVBENCH.INI\nOldProduct.INI=KIVOLD.INI\nProductVersion=2.0\n'
        printf 'ProductName=KivBench\nOldProductName=KivBench Classic\nOldProductVersion=1.0\n'
        printf 'UninstallName=KivBench 2.0\nWindowsVersion=3.10\nFontsOnly=0\n'
        printf 'DefaultTargetDir=%s\nTotalDisks=32\nDiskSpace=500000000\n' "$BENCH_TARGET"
        printf '\n[fonts]\n'
        for i in $(seq 1 40); do printf 'Bench Font %02d (TrueType)=BENCH%02d.TTF\n' "$i" "$i"; done
        printf '\n[VGA Fonts]\n'
        for i in $(seq 1 8); do printf 'Bench Screen %02d=BSCR%02d.FON\n' "$i" "$i"; done
        printf '\n[Exit List]\n'
        for i in $(seq 1 40); do printf 'KivBenchClass%02d=KivBench %02d,Bench Tool %02d\n' "$i" "$i" "$i"; done
        printf '\n[Delete List]\n'
        for i in $(seq 1 40); do printf 'File%d=Windows\\BENCHOLD%02d.DLL\n' "$i" "$i"; done
        printf '\n[Target Subdirectories]\n'
        for i in $(seq 1 40); do printf 'Subdirectory%d=SUB%02d\n' "$i" "$i"; done
        printf '\n[Program Manager Group]\nGroupName=KivBench\n'
        for i in $(seq 1 40); do printf 'PROG%02d.EXE=Bench program %02d,Win95,WinNT\n' "$i" "$i"; done
        printf '\n[Old Program Manager Groups]\n'
        for i in $(seq 1 12); do printf '1.%d=KivBench 1.%d\n' "$i" "$i"; done
        printf '\n[Run]\nFile=PROG01.EXE\nButtons=Yes/No\nMessage=Start the benchmark program now?\n'
        printf 'Name=Bench program\n'
        awk 'BEGIN {
            for (d = 1; d <= 32; ++d) {
                printf "\n[Disk %d]\nDiskName=KivBench Disk %d\n", d, d
                for (f = 1; f <= 314; ++f)
                    printf "D%02dF%04d.BIN=Target,Bench data,EGA,VGA,8514\n", d, f
            }
        }'
    } | crlf >"$out"
}
