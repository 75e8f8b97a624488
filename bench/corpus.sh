#!/usr/bin/env bash
# corpus.sh DIR full|quick: builds the benchmark's corpus in DIR/files from
# what a Debian machine with the project's packages holds, in five classes:
#
#   text  T0001.TXT ...  plain text of /usr/share/common-licenses and
#                        /usr/share/doc (then .gz documents there, expanded)
#   exe   X0001.BIN ...  executables of /usr/bin
#   dll   D0001.DLL ...  Wine's 32-bit PE libraries
#   font  F0001.TTF ...  fonts of /usr/share/fonts
#   gz    G0001.GZ  ...  .gz files of /usr/share/doc (already compressed)
#
# Each class takes files in a fixed pseudo-random order (the same on every
# run on one machine) until its budget is reached, leaving out duplicates,
# files under 1 KiB and files over the size cap. DIR/MANIFEST lists one file
# a line: name, class, size, origin. Full: 12+12+12+6+6 MB, files up to
# 3 MB; quick: a tenth of that, files up to 512 KB. A corpus that is already
# complete is kept.
set -euo pipefail

dir=$1
mode=$2
case $mode in
    full) scale=10; cap=$((3 * 1024 * 1024)) ;;
    quick) scale=1; cap=$((512 * 1024)) ;;
    *) echo "corpus.sh: mode is full or quick" >&2; exit 2 ;;
esac
[ -f "$dir/.complete" ] && exit 0
rm -rf "$dir" && mkdir -p "$dir/files"
: >"$dir/MANIFEST"
declare -A seen

# The same shuffle on every run: sort's random order from a fixed source.
shuffle() { sort -R --random-source=<(yes kivbench); }

is_text() { LC_ALL=C grep -Iq . "$1" 2>/dev/null; }
is_elf() { [ "$(head -c 4 "$1" | od -An -c | tr -d ' ')" = '177ELF' ]; }
is_pe() { [ "$(head -c 2 "$1")" = MZ ]; }

# take CLASS LETTER EXTENSION BUDGET CHECK: reads candidate paths on stdin
# (not from a pipe: the totals live in this shell);
# CHECK is a predicate on the path ("gunzip" expands .gz text instead).
take() {
    local class=$1 letter=$2 ext=$3 budget=$4 check=$5 path size sum name tmp
    local total=${taken[$class]:-0} n=${count[$class]:-0}
    tmp=$dir/candidate
    while IFS= read -r path; do
        [ "$total" -lt "$budget" ] || break
        [ -f "$path" ] && [ ! -L "$path" ] || continue
        if [ "$check" = gunzip ]; then
            gzip -dc "$path" >"$tmp" 2>/dev/null || continue
            is_text "$tmp" || continue
        else
            size=$(stat -c %s "$path")
            [ "$size" -ge 1024 ] && [ "$size" -le "$cap" ] || continue
            $check "$path" || continue
            cp "$path" "$tmp"
        fi
        size=$(stat -c %s "$tmp")
        [ "$size" -ge 1024 ] && [ "$size" -le "$cap" ] || continue
        sum=$(sha1sum <"$tmp" | cut -c1-40)
        [ -z "${seen[$sum]:-}" ] || continue
        seen[$sum]=1
        n=$((n + 1))
        name=$(printf '%s%04d.%s' "$letter" "$n" "$ext")
        mv "$tmp" "$dir/files/$name"
        printf '%s %s %s %s\n' "$name" "$class" "$size" "$path" >>"$dir/MANIFEST"
        total=$((total + size))
    done
    taken[$class]=$total
    count[$class]=$n
}

declare -A taken count
mb=$((1024 * 1024 / 10 * scale))  # a tenth of a MB per unit of scale
text_budget=$((12 * mb))
take text T TXT "$text_budget" is_text < <(find /usr/share/common-licenses /usr/share/doc -type f \
    ! -name '*.gz' 2>/dev/null | shuffle)
take text T TXT "$text_budget" gunzip < <(find /usr/share/doc -type f -name '*.gz' 2>/dev/null | shuffle)
take exe X BIN $((12 * mb)) is_elf < <(find /usr/bin -maxdepth 1 -type f 2>/dev/null | shuffle)
take dll D DLL $((12 * mb)) is_pe < <(find /usr/lib/i386-linux-gnu/wine/i386-windows -maxdepth 1 \
    -type f -name '*.dll' 2>/dev/null | shuffle)
take font F TTF $((6 * mb)) true < <(find /usr/share/fonts -type f \( -name '*.ttf' -o -name '*.otf' \
    -o -name '*.ttc' -o -name '*.pfb' -o -name '*.pcf' -o -name '*.afm' \) 2>/dev/null | shuffle)
take gz G GZ $((6 * mb)) true < <(find /usr/share/doc -type f -name '*.gz' 2>/dev/null | shuffle)
rm -f "$dir/candidate"

for class in text exe dll font gz; do
    printf '  %-5s %5d files %10d bytes\n' "$class" "${count[$class]:-0}" "${taken[$class]:-0}"
done
[ -s "$dir/MANIFEST" ] || { echo "corpus.sh: no file found" >&2; exit 1; }
touch "$dir/.complete"
