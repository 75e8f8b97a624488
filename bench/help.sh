#!/usr/bin/env bash
# 8. The help compiler: kivpack helpfile on a source of about 1 MB (800
# topics of bold, italic and jump-laden paragraphs), against halibut
# compiling the same text written in its own markup into a WinHelp file.
# Records help.source.bytes, help.ours.{wall,cpu,bytes},
# help.halibut.{wall,cpu,bytes}. Needs $KIVPACK and $BENCH_WORK; sourced
# helpers from lib.sh.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
W=$BENCH_WORK/help
rm -rf "$W" && mkdir -p "$W"
topics=800
awk -v n="$topics" -v ours="$W/help.txt" -v peer="$W/help.but" 'BEGIN {
    print "% Bench help" > ours
    print "\\title Bench help\n" > peer
    for (t = 0; t < n; t++) {
        next_t = (t + 1) % n
        printf "\n# %d Topic %d of the bench\n", 1000 + t, t > ours
        printf "\n\\C{t%d} Topic %d of the bench\n", t, t > peer
        for (p = 0; p < 4; p++) {
            text = sprintf("Paragraph %d of topic %d explains a step of the installation in plain words, ", p, t)
            text = text "with a few more words to read and some numbers such as " (t * 7 + p) " and " (t * 13 + p) "; "
            text = text "it goes on for a while so that the help file holds about as much text as a real product manual. "
            printf "\n%s**Bold words** and *italic words*, then [the next topic](%d).\n", text, 1000 + next_t > ours
            printf "\n%s\\s{Bold words} and \\e{italic words}, then \\k{t%d}.\n", text, next_t > peer
        }
    }
}'
bench_put help.source.bytes "$(stat -c %s "$W/help.txt")"
bench_best help.ours : "$KIVPACK" helpfile "$W/help.txt" -o "$W/ours.hlp" || exit 1
bench_put help.ours.bytes "$(stat -c %s "$W/ours.hlp")"
read_back=$("$KIVPACK" helpfile --dump "$W/ours.hlp" | grep -c '^# ')
[ "$read_back" -eq "$topics" ] || { echo "bench: the help file reads back $read_back topics, not $topics" >&2; exit 1; }
if command -v halibut >/dev/null; then
    peer() { cd "$W" && halibut --winhelp=peer.hlp help.but; }
    bench_best help.halibut : peer || exit 1
    bench_put help.halibut.bytes "$(stat -c %s "$W/peer.hlp")"
else
    echo "bench: halibut is not installed: the help compiler has no peer" >&2
fi
