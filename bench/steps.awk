# steps.awk: the time an installation spends in each listed system call,
# from a Wine relay trace with time stamps (WINEDEBUG=+timestamp,+relay, the
# calls limited by RelayInclude); the trace is given twice:
#   awk -v target=KIVBENCH -f steps.awk TRACE TRACE
# The span runs from the first to the last opening of a file in the target
# directory: every file's transfer but the last. A listed call made inside
# another is part of the outer one. Prints "FUNCTION CALLS MILLISECONDS"
# lines, then "span MS" and "other MS": the span less the calls, the
# installer's own work (the expansion among it) and the calls not listed.
function opens_target() { return index($0, "CreateFileA(") && index($0, "Call ") && index($0, target "\\\\") }
FNR == NR { if (opens_target()) { if (!first_line) first_line = FNR; last_line = FNR }; next }
FNR < first_line { next }
FNR > last_line { exit }
{
    if (!match($0, /(Call|Ret) +[A-Za-z0-9_]+\.[A-Za-z0-9_]+\(/)) next
    t = $0; sub(/:.*/, "", t); t += 0
    if (start == "") start = t
    split(substr($0, RSTART, RLENGTH - 1), w, / +/)
    name = w[2]; sub(/^[A-Za-z0-9_]*\./, "", name)
    if (w[1] == "Call") { since[++depth] = t; next }
    if (depth == 0) next
    if (depth == 1) { count[name]++; ms[name] += (t - since[1]) * 1000 }
    depth--
    end = t
}
END {
    total = 0
    for (n in count) { printf "%s %d %.1f\n", n, count[n], ms[n]; total += ms[n] }
    printf "span %.1f\nother %.1f\n", (end - start) * 1000, (end - start) * 1000 - total
}
