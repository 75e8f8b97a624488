# Our SZDD codec against independent ones. Every file of a corpus is
# compressed by kivpack and must expand byte for byte through the system's LZ
# library under Wine (LZCopy, and LZRead in chunks of several sizes), through
# msexpand, and through libmspack; and what mscompress produces must expand
# byte for byte through kivpack. An oracle that is not installed is skipped
# and named; with none at all the suite is skipped (77).
set -u

kivpack="${KIV_HOST_DIR:-}/kivpack"
if [ ! -x "$kivpack" ]; then
    echo "skipped: $kivpack is not built"
    exit 77
fi

work=$(mktemp -d /tmp/kiv-szdd-oracles.XXXXXX)
prefix="$work/prefix"
cleanup() {
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
        # The server's socket directory is named after the prefix's device
        # and inode.
        socket=$(printf 'server-%x-%x' $(stat -c '%d %i' "$prefix"))
        rm -rf "/tmp/wine-$(id -u)/$socket" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
oracles=0
skip_oracle() { echo "oracle skipped: $*"; }

# The corpus: boundaries of the format, runs, text, binaries and data that
# is already compressed.
in="$work/in"
mkdir -p "$in" "$work/z" "$work/out"
: >"$in/empty"
printf 'x' >"$in/one"
printf '0123456789abcde' >"$in/fifteen"
printf '0123456789abcdef' >"$in/sixteen"
printf '0123456789abcdefg' >"$in/seventeen"
head -c 4096 /dev/zero | tr '\0' ' ' >"$in/spaces4096"
head -c 4097 /dev/zero | tr '\0' ' ' >"$in/spaces4097"
printf '        indented text, indented text, indented text\n' >"$in/leading_spaces"
head -c 100000 /dev/zero >"$in/zeros"
perl -e 'srand(7); print map { chr(int(rand(256))) } 1 .. 65536' >"$in/random"
perl -e 'srand(8); print map { ("a", "b", " ")[int(rand(3))] } 1 .. 50000' >"$in/three_letters"
find "${KIV_SOURCE_DIR}/src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
    xargs -0 cat >"$in/sources"
[ -f /bin/ls ] && cp /bin/ls "$in/ls"
gz=$(find /usr/share/doc -name '*.gz' -size +4k 2>/dev/null | head -n 1)
[ -n "$gz" ] && cp "$gz" "$in/compressed.gz"
# Over 256 KiB, so that chunked reads cross many window turns.
cat "$in/sources" "$in/random" "$in/ls" "$in/sources" "$in/three_letters" >"$in/large" 2>/dev/null

names=$(ls "$in")
for name in $names; do
    "$kivpack" compress -o "$work/z/$name.szdd" "$in/$name" || fail "kivpack compress $name"
done

compare() { # what name expanded
    if ! cmp -s "$in/$2" "$3"; then fail "$1: $2 does not expand to the original"; fi
}

# Debian's msexpand.
if command -v msexpand >/dev/null; then
    oracles=$((oracles + 1))
    for name in $names; do
        msexpand <"$work/z/$name.szdd" >"$work/out/$name.msexpand" 2>/dev/null
        compare msexpand "$name" "$work/out/$name.msexpand"
    done
else
    skip_oracle "msexpand (package mscompress) is not installed"
fi

# libmspack.
mspack="${KIV_HOST_DIR}/e2e/mspack_oracle"
if [ -x "$mspack" ]; then
    oracles=$((oracles + 1))
    args=()
    for name in $names; do args+=("$work/z/$name.szdd" "$work/out/$name.mspack"); done
    "$mspack" "${args[@]}" || fail "libmspack refused some files"
    for name in $names; do compare libmspack "$name" "$work/out/$name.mspack"; done
else
    skip_oracle "$mspack is not built (libmspack-dev missing)"
fi

# mscompress output through our expander. mscompress writes a wrong stream
# for inputs under 16 bytes, so those are left out.
if command -v mscompress >/dev/null; then
    oracles=$((oracles + 1))
    mkdir -p "$work/ms"
    for name in $names; do
        [ "$(stat -c %s "$in/$name")" -ge 16 ] || continue
        cp "$in/$name" "$work/ms/$name"
        (cd "$work/ms" && mscompress "$name" >/dev/null 2>&1) || fail "mscompress $name"
        "$kivpack" expand -o "$work/out/$name.ours" "$work/ms/${name}_" || fail "kivpack expand ${name}_"
        compare "kivpack expand of mscompress output" "$name" "$work/out/$name.ours"
    done
else
    skip_oracle "mscompress is not installed"
fi

# The system's LZ library under Wine.
oracle="${KIV_WIN32_DIR:-}/e2e/lz_oracle.exe"
if [ -f "$oracle" ] && command -v wine >/dev/null; then
    oracles=$((oracles + 1))
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot -i >/dev/null 2>&1
    wineserver -p >/dev/null 2>&1 </dev/null
    windows() { printf 'Z:%s' "$1" | tr '/' '\\'; }
    run_lz() { # label mode-args...
        local label=$1
        shift
        local args=()
        for name in $names; do
            args+=("$(windows "$work/z/$name.szdd")" "$(windows "$work/out/$name.$label")")
        done
        wine "$oracle" "$@" "${args[@]}" </dev/null || fail "Wine's LZ library refused some files ($label)"
        for name in $names; do compare "Wine $label" "$name" "$work/out/$name.$label"; done
    }
    run_lz lzcopy copy
    run_lz lzread1 read 1
    run_lz lzread1000 read 1000
    run_lz lzread31744 read 31744
else
    skip_oracle "Wine or $oracle is missing"
fi

if [ "$oracles" -eq 0 ]; then
    echo "skipped: no oracle is installed"
    exit 77
fi
count=$(echo $names | wc -w)
if [ "$failures" -ne 0 ]; then
    echo "$failures failures over $count files and $oracles oracles"
    exit 1
fi
echo "ok: $count files through $oracles oracles"
