# The PE resource writer against the system's own resource calls, under Wine.
# pe_write_tool adds payloads, strings, caps, an icon and a bitmap to copies of
# the stub and of resource_probe.exe and prints what a program should then
# see; resource_probe.exe lists what FindResource, LoadResource, SizeofResource,
# LoadStringA, LoadIconA and LoadBitmapA actually give, from the file loaded
# as data, mapped as an image, and from inside the packed probe itself. The
# packed stub must still start. Skipped (77) when a program or Wine is missing.
set -u

tool="${KIV_HOST_DIR:-}/pe_write_tool"
probe="${KIV_WIN32_DIR:-}/e2e/resource_probe.exe"
stub="${KIV_WIN32_DIR:-}/kivinstall.exe"
for f in "$tool" "$probe" "$stub"; do
    if [ ! -f "$f" ]; then
        echo "skipped: $f is not built"
        exit 77
    fi
done
if ! command -v wine >/dev/null; then
    echo "skipped: wine is not installed"
    exit 77
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The prefix is kept between runs in the build tree, which is the builder's
# own; the scratch directory is new each time.
export WINEPREFIX="${KIV_PE_WINEPREFIX:-$KIV_HOST_DIR/e2e-cache/pe-prefix}"
mkdir -p "$(dirname "$WINEPREFIX")"
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv-pe-resources.XXXXXX")
cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$work/wineboot.log" 2>&1 || { echo "FAIL: wineboot"; cat "$work/wineboot.log"; exit 1; }
fi
wineserver -p >/dev/null 2>&1 </dev/null
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect NAME EXPECTED -- COMMAND...: COMMAND's output, sorted, must equal
# EXPECTED's lines (sorted), and it must exit 0.
expect() {
    local name=$1 expected=$2
    shift 3
    "$@" >"$name.raw" 2>"$name.err"
    local rc=$?
    tr -d '\r' <"$name.raw" | sort >"$name.seen"
    sort "$expected" >"$name.want"
    if [ "$rc" -ne 0 ]; then
        fail "$name: exit code $rc"
        cat "$name.seen" "$name.err"
    elif ! diff "$name.want" "$name.seen" >"$name.diff"; then
        fail "$name: the system sees other resources than were written (< written, > seen)"
        cat "$name.diff"
    else
        echo "ok: $name ($(wc -l <"$name.seen") lines)"
    fi
}

# Inputs: payloads of awkward sizes, a two-image icon and a bitmap.
"$tool" --make-fixtures . || exit 1
head -c 70001 /dev/urandom >script.bin
: >empty.bin
printf 'abc' >three.bin
head -c 4099 /dev/urandom >other.bin
cp "$stub" stub.exe
cp "$probe" probe.exe

queries="str:8000 str:8001 str:8003 str:10002 str:10003"
shows="--show 8000 --show 8001 --show 8003 --show 10002 --show 10003"
operations="--payload 12000 script.bin --payload 12001 empty.bin --payload 12002 three.bin
    --cap 12002 2 --string 8003 Pick --icon icon.ico --bitmap picture.bmp"

# 1. The stub: its .rsrc is followed by .reloc, so a section is appended.
# shellcheck disable=SC2086
"$tool" stub.exe packed.exe $operations $shows >packed.want || { fail "pe_write_tool on the stub"; exit 1; }
grep -v '^icon\|^bitmap' packed.want >packed-data.want
# shellcheck disable=SC2086
expect stub-as-data packed-data.want -- wine probe.exe packed.exe $queries
# shellcheck disable=SC2086
expect stub-as-image packed.want -- wine probe.exe --image packed.exe $queries icon:3000 bitmap:500

# 2. Rewriting the packed stub replaces its last section in place.
# shellcheck disable=SC2086
"$tool" packed.exe repacked.exe --payload 12003 other.bin --cap 12002 0 $shows >repacked.want ||
    fail "pe_write_tool on the packed stub"
[ "$(stat -c %s repacked.exe)" -lt $(($(stat -c %s packed.exe) + 8192)) ] ||
    fail "rewriting the packed stub added a section"
# shellcheck disable=SC2086
expect repacked-as-image repacked.want -- wine probe.exe --image repacked.exe $queries

# 3. The probe itself: .bss without file data, a symbol table after the
# sections, no resource section yet; then it reads its own resources.
# shellcheck disable=SC2086
"$tool" probe.exe probe-packed.exe $operations $shows >self.want || fail "pe_write_tool on the probe"
# shellcheck disable=SC2086
expect probe-self self.want -- wine probe-packed.exe --self $queries icon:3000 bitmap:500

# 4. The packed stub still starts under the system's loader. Without a
# display it cannot open a window and ends at once.
env -u DISPLAY timeout 60 wine packed.exe >stub-run.log 2>&1
rc=$?
if [ "$rc" -ne 0 ]; then
    fail "the packed stub exited with $rc"
    cat stub-run.log
else
    echo "ok: the packed stub runs and exits 0"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s)"
    exit 1
fi
echo "ok: all resources read back through the system's calls"
