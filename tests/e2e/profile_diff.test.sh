# The host profile reader against the system's: profile_dump.exe asks Wine's
# GetPrivateProfileStringA and GetPrivateProfileIntA, profile_dump_host asks
# ProfileReadString and ProfileReadInt, the same fixed queries over every file
# of profile_corpus/, and the two outputs must agree byte for byte.
#
# Where Wine departs from Windows the host reader follows Windows, and the
# outputs differ by exactly the lines of profile_corpus/wine-differences.txt
# ("wine:" what Wine answers, "ours:" what Windows and the host answer). Today
# that is one departure: Wine cuts the last character of a quoted value whose
# text fits the buffer exactly (value "val2" in quotes, buffer of 5: Wine
# gives "val", Windows "val2"). The corpus leaves out the departures that
# would make whole files differ; the unit tests cover them:
# - Windows does not recognise a UTF-8 byte-order mark (Wine does);
# - Windows matches names without regard to the case of accented letters
#   (Wine only of ASCII letters).
# A change on either side, or in Wine, shows as an unexpected difference.
set -u
: "${KIV_SOURCE_DIR:?}" "${KIV_HOST_DIR:?}"
WIN32_DIR=${KIV_WIN32_DIR:-$KIV_SOURCE_DIR/build/win32}
DUMP_EXE=$WIN32_DIR/e2e/profile_dump.exe
DUMP_HOST=$KIV_HOST_DIR/e2e/profile_dump_host
CORPUS=$KIV_SOURCE_DIR/tests/e2e/profile_corpus
EXPECTED=$CORPUS/wine-differences.txt

if [ ! -x "$DUMP_HOST" ]; then
    echo "profile_diff: $DUMP_HOST is missing; build the host preset" >&2
    exit 1
fi
if [ ! -f "$DUMP_EXE" ]; then
    echo "profile_diff: skipped: $DUMP_EXE is missing; build the win32 preset" >&2
    exit 77
fi
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
    echo "profile_diff: skipped: wine is not installed" >&2
    exit 77
fi

# Kept between runs in the build tree, which is the builder's own.
export WINEPREFIX=$KIV_HOST_DIR/e2e-cache/profile-diff-prefix
mkdir -p "$(dirname "$WINEPREFIX")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
WORK=$(mktemp -d /tmp/kiv-profile-diff.XXXXXX)
cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$WORK"
}
trap cleanup EXIT

# One prefix, made once and kept for later runs; the lock keeps two runs from
# booting it at the same time.
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "profile_diff: creating $WINEPREFIX" >&2
    wineserver -p >/dev/null 2>&1
    if ! wineboot -i >"$WORK/wineboot.log" 2>&1; then
        cat "$WORK/wineboot.log" >&2
        echo "profile_diff: wineboot failed" >&2
        exit 1
    fi
fi
wineserver -p >/dev/null 2>&1

windows_args=()
host_args=()
for f in "$CORPUS"/*.ini "$CORPUS/no-such-file.ini"; do
    windows_args+=("Z:${f//\//\\}")
    host_args+=("$f")
done

if ! wine "$DUMP_EXE" "${windows_args[@]}" >"$WORK/wine.out" 2>"$WORK/wine.err"; then
    cat "$WORK/wine.err" >&2
    echo "profile_diff: profile_dump.exe failed under Wine" >&2
    exit 1
fi
if ! "$DUMP_HOST" "${host_args[@]}" >"$WORK/ours.out"; then
    echo "profile_diff: profile_dump_host failed" >&2
    exit 1
fi

if [ "$(head -n 1 "$WORK/wine.out")" != "== code page 1252" ]; then
    echo "profile_diff: Wine's ANSI code page is not 1252: $(head -n 1 "$WORK/wine.out")" >&2
    exit 1
fi
files=$(grep -c '^== .*\.ini$' "$WORK/wine.out")
queries=$(grep -c '=>' "$WORK/wine.out")
echo "profile_diff: $files files, $queries queries"

diff --unchanged-line-format= --old-line-format='wine: %L' --new-line-format='ours: %L' \
    "$WORK/wine.out" "$WORK/ours.out" >"$WORK/differences.txt"
if ! cmp -s "$WORK/differences.txt" "$EXPECTED"; then
    echo "profile_diff: the readers differ other than in $EXPECTED:" >&2
    diff "$EXPECTED" "$WORK/differences.txt" | head -n 60 >&2
    exit 1
fi
echo "profile_diff: identical except the $(grep -c '^wine:' "$EXPECTED") known Wine departures"
exit 0
