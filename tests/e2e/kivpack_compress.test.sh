# kivpack compress and kivpack expand on the command line: output names with
# and without -r, -o as a file and as a directory, exit codes, and no output
# (and no temporary file) left behind by a failure.
set -u

kivpack="${KIV_HOST_DIR:-}/kivpack"
if [ ! -x "$kivpack" ]; then
    echo "skipped: $kivpack is not built"
    exit 77
fi
work=$(mktemp -d /tmp/kiv-compress-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_status() { # expected description command...
    local expected=$1 what=$2
    shift 2
    "$@" >"$work/stdout" 2>"$work/stderr"
    local status=$?
    [ "$status" -eq "$expected" ] || fail "$what: exit $status, expected $expected ($(head -c 200 "$work/stderr"))"
}
one_line_error() { # description
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "$1: expected one line on stderr, got: $(cat "$work/stderr")"
}

printf 'Release notes\nRelease notes, again and again and again.\n' >NOTES.TXT
cp NOTES.TXT original.txt

# Default names: FILE.szdd, and back without the suffix.
expect_status 0 "compress" "$kivpack" compress NOTES.TXT
[ -f NOTES.TXT.szdd ] || fail "compress did not write NOTES.TXT.szdd"
[ "$(head -c 4 NOTES.TXT.szdd)" = "SZDD" ] || fail "NOTES.TXT.szdd is not SZDD"
[ "$(od -An -tu1 -j9 -N1 NOTES.TXT.szdd | tr -d ' ')" = "0" ] || fail "no -r: header byte 9 should be 0"
rm NOTES.TXT
expect_status 0 "expand" "$kivpack" expand NOTES.TXT.szdd
cmp -s NOTES.TXT original.txt || fail "expand NOTES.TXT.szdd did not restore NOTES.TXT"

# -r: last character replaced by "_" and recorded; expand -r restores it.
expect_status 0 "compress -r" "$kivpack" compress -r NOTES.TXT
[ -f NOTES.TX_ ] || fail "compress -r did not write NOTES.TX_"
[ "$(od -An -c -j9 -N1 NOTES.TX_ | tr -d ' ')" = "T" ] || fail "compress -r did not record 'T' in byte 9"
rm NOTES.TXT
expect_status 0 "expand -r" "$kivpack" expand -r NOTES.TX_
cmp -s NOTES.TXT original.txt || fail "expand -r did not restore NOTES.TXT"
expect_status 1 "expand -r without a recorded name" "$kivpack" expand -r NOTES.TXT.szdd
one_line_error "expand -r without a recorded name"
expect_status 1 "compress -r of a name ending in _" "$kivpack" compress -r NOTES.TX_
one_line_error "compress -r of a name ending in _"

# -o: a file, and a directory for several inputs.
mkdir outdir
printf 'second file\n' >second.txt
expect_status 0 "compress -o FILE" "$kivpack" compress -o packed.bin NOTES.TXT
expect_status 0 "expand -o FILE" "$kivpack" expand -o unpacked.txt packed.bin
cmp -s unpacked.txt original.txt || fail "expand -o did not restore the file"
expect_status 0 "compress -o DIR" "$kivpack" compress -r -o outdir NOTES.TXT second.txt
[ -f outdir/NOTES.TX_ ] && [ -f outdir/second.tx_ ] || fail "compress -o DIR did not write both files"
expect_status 2 "-o FILE with several inputs" "$kivpack" compress -o nowhere.bin NOTES.TXT second.txt
[ -e nowhere.bin ] && fail "-o FILE with several inputs wrote something"

# A file that is not SZDD is expanded unchanged.
expect_status 0 "expand of plain data" "$kivpack" expand -o plain.copy original.txt
cmp -s plain.copy original.txt || fail "plain data was not copied unchanged"

# A truncated stream: exit 1, one line, no output, no temporary file.
head -c 40 NOTES.TX_ >CUT.TX_
expect_status 1 "expand of a truncated stream" "$kivpack" expand -o cut.out CUT.TX_
one_line_error "expand of a truncated stream"
grep -q "invalid data" "$work/stderr" || fail "truncated stream: message does not say invalid data"
[ -e cut.out ] && fail "a truncated stream left its output"
ls cut.out.* >/dev/null 2>&1 && fail "a truncated stream left a temporary file"

# An unknown mode is refused.
cp NOTES.TX_ MODE.TX_
printf 'B' | dd of=MODE.TX_ bs=1 seek=8 conv=notrunc 2>/dev/null
expect_status 1 "expand of an unknown mode" "$kivpack" expand -o mode.out MODE.TX_
[ -e mode.out ] && fail "an unknown mode left its output"

# The input is never its own output; a missing input is a user error.
expect_status 1 "compress onto itself" "$kivpack" compress -o NOTES.TXT NOTES.TXT
cmp -s NOTES.TXT original.txt || fail "compress onto itself changed the input"
expect_status 1 "missing input" "$kivpack" compress no-such-file
one_line_error "missing input"

# Usage errors and help.
expect_status 2 "no file" "$kivpack" compress
expect_status 2 "unknown option" "$kivpack" expand -x NOTES.TX_
expect_status 2 "-o without a name" "$kivpack" expand NOTES.TX_ -o
expect_status 0 "--help" "$kivpack" compress --help
grep -q "usage: kivpack compress" "$work/stdout" || fail "compress --help prints no usage"
expect_status 0 "--help" "$kivpack" expand --help
grep -q "usage: kivpack expand" "$work/stdout" || fail "expand --help prints no usage"

# Not a terminal: nothing on stderr for a successful run.
expect_status 0 "quiet compress" "$kivpack" compress -o quiet.bin original.txt
[ -s "$work/stderr" ] && fail "a successful compress wrote to stderr: $(cat "$work/stderr")"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "ok"
