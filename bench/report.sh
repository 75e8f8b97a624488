#!/usr/bin/env bash
# report.sh RESULTS MODE: the table of the figures in RESULTS (lines "KEY
# VALUE", as run-bench.sh writes them), in Markdown, on standard output.
# Speeds are given as "n x": how many times as fast ours is as the peer
# (peer time / our time); sizes as our bytes over the peer's.
set -u
results=$1
mode=$2
source "$(dirname "$0")/lib.sh"
BENCH_RESULTS=$results
g() { bench_get "$1"; }
mb() { awk -v b="$1" 'BEGIN {if (b == "") print "-"; else printf "%.2f MB", b / 1e6}'; }
s() { awk -v t="$1" 'BEGIN {if (t == "") print "-"; else printf "%.3f s", t}'; }
x() { local r; r=$(bench_ratio "$1" "$2"); [ "$r" = - ] && echo - || echo "$r x"; }

echo "## Figures ($mode corpus)"
echo
echo "Corpus: $(g corpus.files) files, $(mb "$(g corpus.bytes)") ($(for c in text exe dll font gz; do
    printf '%s %s files %s; ' "$c" "$(g size.$c.files)" "$(mb "$(g size.$c.original)")"; done | sed 's/; $//')).
Best of $(g reps) runs ($(g slow_reps) for mscompress and msexpand); \"wall\" is elapsed time, \"cpu\" user + system time."
echo
echo "| Part | Measure | Ours | Peer | Ratio | Goal |"
echo "|---|---|---|---|---|---|"
for c in text exe dll font gz total; do
    o=$(g size.$c.ours) b=$(g size.$c.bound) m=$(g size.$c.mscompress)
    echo "| 1 | size, $c | $o B | bound $b B; mscompress $m B | ours/bound $(bench_ratio "$o" "$b" 6); ours/mscompress $(bench_ratio "$o" "$m" 4); files above the bound: $(g size.$c.above_bound) | = bound |"
done
echo "| 2 | compression, whole corpus | wall $(s "$(g compress.ours.wall)"), cpu $(s "$(g compress.ours.cpu)") | mscompress: wall $(s "$(g compress.mscompress.wall)"), cpu $(s "$(g compress.mscompress.cpu)") | wall $(x "$(g compress.mscompress.wall)" "$(g compress.ours.wall)"), cpu $(x "$(g compress.mscompress.cpu)" "$(g compress.ours.cpu)") | >= 10 x |"
echo "| 3 | expansion file to file, one process, ours against libmspack | cpu $(s "$(g expand.inprocess.ours.cpu)"), wall $(s "$(g expand.inprocess.ours.wall)") | libmspack: cpu $(s "$(g expand.inprocess.libmspack.cpu)"), wall $(s "$(g expand.inprocess.libmspack.wall)") | cpu $(x "$(g expand.inprocess.libmspack.cpu)" "$(g expand.inprocess.ours.cpu)"), wall $(x "$(g expand.inprocess.libmspack.wall)" "$(g expand.inprocess.ours.wall)") | >= 10 x |"
echo "| 3 | expansion by command: kivpack expand | wall $(s "$(g expand.kivpack.wall)"), cpu $(s "$(g expand.kivpack.cpu)") | mspack_oracle (libmspack): wall $(s "$(g expand.mspack_oracle.wall)"); msexpand: wall $(s "$(g expand.msexpand.wall)") | libmspack $(x "$(g expand.mspack_oracle.wall)" "$(g expand.kivpack.wall)"); msexpand $(x "$(g expand.msexpand.wall)" "$(g expand.kivpack.wall)") | |"
echo "| 3 | expansion under Wine, one process: the installer's code | cpu $(s "$(g expand.wine.ours.cpu)"), wall $(s "$(g expand.wine.ours.wall)") | LZCopy: cpu $(s "$(g expand.wine.lzcopy.cpu)"), wall $(s "$(g expand.wine.lzcopy.wall)") | wall $(x "$(g expand.wine.lzcopy.wall)" "$(g expand.wine.ours.wall)") | |"
for m in resource disk; do
    o=$(g install.$m.wall) c=$(g install.copyfile.wall) r=$(g install.readwrite.wall)
    oc=$(g install.$m.cpu) cc=$(g install.copyfile.cpu) rc=$(g install.readwrite.cpu)
    echo "| 4 | installation under Wine, $m mode | wall $(s "$o"), session cpu $(s "$oc") | plain copy: CopyFileA wall $(s "$c"), cpu $(s "$cc"); ReadFile/WriteFile wall $(s "$r"), cpu $(s "$rc") | speed against CopyFileA: wall $(bench_ratio "$c" "$o"), cpu $(bench_ratio "$cc" "$oc"); against the loop: wall $(bench_ratio "$r" "$o"), cpu $(bench_ratio "$rc" "$oc") | >= 0.8 |"
done
oc=$(g expand.wine.ours.cpu) kc=$(g expand.wine.ours_crc.cpu)
extra=$(awk -v a="$kc" -v b="$oc" 'BEGIN {if (a == "" || b == "") print ""; else printf "%.3f", a - b}')
share() { awk -v e="$extra" -v t="$1" 'BEGIN {if (e == "" || t + 0 == 0) print "-"; else printf "%.1f%%", 100 * e / t}'; }
echo "| 3 | expansion under Wine keeping the CRC-32 (the payload check) | cpu $(s "$kc"), wall $(s "$(g expand.wine.ours_crc.wall)") | without: cpu $(s "$oc"), wall $(s "$(g expand.wine.ours.wall)") | cpu $(bench_ratio "$kc" "$oc" 3) x; the check's cpu $(s "$extra") is $(share "$(g install.resource.wall)") of the resource-mode and $(share "$(g install.disk.wall)") of the disk-mode installation | <= 5% |"
for m in resource disk; do
    o=$(g install.$m.wall) u=$(g install.${m}_unchecked.wall) oc=$(g install.$m.cpu) uc=$(g install.${m}_unchecked.cpu)
    echo "| 4 | payload checksums checked, $m mode | wall $(s "$o"), session cpu $(s "$oc") | no checksum table: wall $(s "$u"), cpu $(s "$uc") | time with the check over time without: wall $(bench_ratio "$o" "$u" 3), cpu $(bench_ratio "$oc" "$uc" 3) | <= 1.05 |"
done
# Against the peer installer: each of ours from its start to its end with the
# driver answering its dialogs, against NSIS's best packing with its page and
# silent; and ours from Begin to completion against NSIS's whole silent run.
best_of() { local k v b=; for k in "$@"; do v=$(g "$k"); [ -n "$v" ] && b=$(bench_min "$b" "$v"); done; echo "$b"; }
np=$(best_of install.nsis_page_zlib.whole install.nsis_page_zlib_solid.whole)
ns=$(best_of install.nsis_silent_zlib.whole install.nsis_silent_zlib_solid.whole)
peers="NSIS with its page: zlib $(s "$(g install.nsis_page_zlib.whole)"), solid $(s "$(g install.nsis_page_zlib_solid.whole)"); silent (/S): zlib $(s "$(g install.nsis_silent_zlib.whole)"), solid $(s "$(g install.nsis_silent_zlib_solid.whole)")"
for m in resource disk; do
    w=$(g install.$m.whole) b=$(g install.$m.wall)
    echo "| 4 | $m mode against NSIS 3: whole run (Begin to completion) | $(s "$w") ($(s "$b")) | $peers | with dialogs against NSIS's page: $(x "$np" "$w"); Begin to completion over NSIS silent: $(bench_ratio "$b" "$ns") | >= 3 x; <= 2 |"
done
echo "| 4 | resource mode against disk mode, Begin to completion | $(s "$(g install.resource.wall)") | disk mode $(s "$(g install.disk.wall)") | $(bench_ratio "$(g install.resource.wall)" "$(g install.disk.wall)") | <= 1.1 |"
if [ -n "$(g against)" ]; then
    for m in resource disk; do
        echo "| 4 | $m mode, Begin to completion (whole run), against another build of the stub ($(g against)) | $(s "$(g install.$m.wall)") ($(s "$(g install.$m.whole)")) | $(s "$(g install.${m}_b.wall)") ($(s "$(g install.${m}_b.whole)")) | $(x "$(g install.${m}_b.wall)" "$(g install.$m.wall)") ($(x "$(g install.${m}_b.whole)" "$(g install.$m.whole)")) | |"
    done
fi
o=$(g build.setup.bytes)
echo "| 4 | size of the installer, kivpack build | $o B | NSIS zlib $(g size.nsis.zlib) B, zlib solid $(g size.nsis.zlib_solid) B, LZMA solid $(g size.nsis.lzma_solid) B | ours over: zlib $(bench_ratio "$o" "$(g size.nsis.zlib)"), zlib solid $(bench_ratio "$o" "$(g size.nsis.zlib_solid)"), LZMA $(bench_ratio "$o" "$(g size.nsis.lzma_solid)") | |"
st=$(g stub.bytes)
echo "| 5 | stub, build/win32/kivinstall.exe | $st B | 40 KiB = 40960 B | $(bench_ratio "$st" 40960 3) ($(awk -v b="$st" 'BEGIN {printf "%+d", b - 40960}') B) | <= 1 |"
echo "| 5 | stub, build/win32/kivinstall.exe, with the formatted help | $st B | 56 KiB = 57344 B | $(bench_ratio "$st" 57344 3) ($(awk -v b="$st" 'BEGIN {printf "%+d", b - 57344}') B) | <= 1 |"
if [ -n "$(g demo.help.styles.bytes)" ]; then
    echo "| 5 | the demo's help: bold, italic and jumps (resource 259) | $(g demo.help.styles.bytes) B | its plain text (resource 257) $(g demo.help.text.bytes) B | $(bench_ratio "$(g demo.help.styles.bytes)" "$(g demo.help.text.bytes)" 3) | |"
fi
ub=$(g uninstaller.bytes)
echo "| 5 | uninstaller stub, build/win32/kivuninst.exe | $ub B | 36 KiB = 36864 B | $(bench_ratio "$ub" 36864 3) ($(awk -v b="$ub" 'BEGIN {printf "%+d", b - 36864}') B) | <= 1 |"
echo "| 6 | loader: kivpack check, maximal script ($(g loader.script.max.bytes) B) | wall $(s "$(g loader.check.max.wall)") | trivial script: wall $(s "$(g loader.check.trivial.wall)") | $(x "$(g loader.check.max.wall)" "$(g loader.check.trivial.wall)") the trivial time | |"
lm=$(g loader.wine.max.wall) lt=$(g loader.wine.trivial.wall)
echo "| 6 | loader under Wine: start to start dialog, maximal script | $(s "$lm") | trivial script: $(s "$lt") | $(x "$lm" "$lt") the trivial time; $(awk -v a="$lm" -v b="$lt" 'BEGIN {if (a == "" || b == "") print "-"; else printf "%+.3f s", a - b}') | < 1 s |"
echo "| 7 | kivpack build of the corpus on a terminal ($(g build.progress_updates) progress updates drawn) | wall $(s "$(g build.terminal.wall)") | off a terminal: $(s "$(g build.quiet.wall)"); kivpack compress of the same files: $(s "$(g compress.ours.wall)") | $(x "$(g build.terminal.wall)" "$(g build.quiet.wall)") the quiet build; $(x "$(g build.terminal.wall)" "$(g compress.ours.wall)") compress alone | |"
ho=$(g help.ours.wall) hh=$(g help.halibut.wall)
echo "| 8 | kivpack helpfile, $(mb "$(g help.source.bytes)") source, 800 topics | wall $(s "$ho"), $(g help.ours.bytes) B | halibut, same text: wall $(s "$hh"), $(g help.halibut.bytes) B | speed $(x "$hh" "$ho"); size ours/halibut $(bench_ratio "$(g help.ours.bytes)" "$(g help.halibut.bytes)" 3) | |"
ru=$(g remove.uninstaller.wall) rd=$(g remove.deletefile.wall)
echo "| 9 | removal of the corpus under Wine by its uninstaller, Yes to the closing dialog | wall $(s "$ru"), session cpu $(s "$(g remove.uninstaller.cpu)") | DeleteFileA of the same files: wall $(s "$rd"), cpu $(s "$(g remove.deletefile.cpu)") | speed against DeleteFileA: wall $(bench_ratio "$rd" "$ru"), cpu $(bench_ratio "$(g remove.deletefile.cpu)" "$(g remove.uninstaller.cpu)") | |"
echo
echo "Stub sections (bytes in memory): $(awk '$1 ~ /^stub\.section/ {sub("stub.section", "", $1); printf "%s %d, ", $1, $2}' "$results" | sed 's/, $//')."

# The relay trace of one installation per mode (wine.sh, part "steps"), when
# it ran: each listed call's count and time, from the first to the last
# opening of a file in the target directory.
if grep -q '^steps\.' "$results"; then
    files=$(( $(g corpus.files) - 1 ))
    echo
    echo "Where one installation's time goes (relay trace, $files transfers; calls / ms, and ms per file):"
    echo
    echo "| Call | resource mode | per file | disk mode | per file |"
    echo "|---|---|---|---|---|"
    awk -v files="$files" '
        $1 ~ /^steps\.(resource|disk)\.call\./ {
            split($1, k, "."); name = k[4]; mode = k[2]
            calls[name, mode] = $2; ms[name, mode] = $3; total[name] += $3; names[name] = 1
        }
        $1 ~ /^steps\.(resource|disk)\.(span|other|traced_wall)$/ { split($1, k, "."); v[k[3], k[2]] = $2 }
        function cell(name, mode) { return (name, mode) in calls ? sprintf("%d / %.1f | %.3f", calls[name, mode], ms[name, mode], ms[name, mode] / files) : "- | -" }
        END {
            n = 0; for (name in names) order[++n] = name
            for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (total[order[j]] > total[order[i]]) { t = order[i]; order[i] = order[j]; order[j] = t }
            for (i = 1; i <= n; i++) printf "| %s | %s | %s |\n", order[i], cell(order[i], "resource"), cell(order[i], "disk")
            printf "| everything else (the installer'"'"'s own work, calls not listed) | %.1f ms | %.3f | %.1f ms | %.3f |\n", v["other", "resource"], v["other", "resource"] / files, v["other", "disk"], v["other", "disk"] / files
            printf "| span traced | %.1f ms | %.3f | %.1f ms | %.3f |\n", v["span", "resource"], v["span", "resource"] / files, v["span", "disk"], v["span", "disk"] / files
        }' "$results"
fi
