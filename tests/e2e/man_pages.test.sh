# The manual pages: both render with man -l without a warning, have a NAME
# line that whatis reads, and kivpack(1) names every command that
# `kivpack --help` lists and every option that `kivpack COMMAND --help`
# shows, so that the page cannot fall behind the program.
set -u
kivpack="${KIV_HOST_DIR:-}/kivpack"
man_dir="${KIV_HOST_DIR:-}/man"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
for f in "$kivpack" "$man_dir/kivpack.1" "$man_dir/kivinstall.ini.5"; do
    [ -f "$f" ] || { echo "FAIL: $f is not built (lowdown missing?)"; exit 1; }
done
command -v man >/dev/null || { echo "FAIL: man is not installed"; exit 1; }

for page in "$man_dir/kivpack.1" "$man_dir/kivinstall.ini.5"; do
    name=$(basename "$page")
    # As lintian renders a page.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] && ok "$name renders without warnings" || fail "$name: $warnings"
    for width in 60 120; do
        w=$(MANWIDTH=$width man -l "$page" 2>&1 >/dev/null)
        [ -z "$w" ] || fail "$name at $width columns: $w"
    done
    whatis=$(lexgrog "$page" 2>&1)
    case $whatis in
        *": \"${name%.*} - "*) ok "$name: $whatis" ;;
        *) fail "$name has no NAME line for whatis: $whatis" ;;
    esac
    gzip -dc "$page.gz" | cmp -s - "$page" && ok "$name.gz holds the page" || fail "$name.gz differs from the page"
done

# The reference's sections are the page's.
text=$(MANWIDTH=200 man -l "$man_dir/kivinstall.ini.5" 2>/dev/null)
for heading in '[Basic Information]' 'Disks and files: [Disk 1] to [Disk n]' 'The group: [Program Manager Group]' \
    'The program to start: [Run]' 'What kivpack check tells you'; do
    grep -qxF "$heading" <<<"$text" && ok "kivinstall.ini(5) has the section $heading" ||
        fail "kivinstall.ini(5) lacks the section '$heading'"
done

# Every command and option, as the program lists them.
page=$(MANWIDTH=200 man -l "$man_dir/kivpack.1" 2>/dev/null)
commands=$("$kivpack" --help | sed -n '/^commands:/,/^$/s/^  \([a-z]*\) .*/\1/p')
[ "$(wc -w <<<"$commands")" -ge 10 ] || fail "kivpack --help lists too few commands: $commands"
grep -qF -- "kivpack --version" <<<"$page" || fail "kivpack(1) does not name kivpack --version"
for c in $commands; do
    grep -qE "^   kivpack $c( |$)" <<<"$page" && ok "kivpack(1) has kivpack $c" ||
        fail "kivpack(1) has no section for kivpack $c"
    # The page's part for the command: from its heading to the next one.
    part=$(awk -v c="   kivpack $c" 'index($0, c) == 1 { on = 1; print; next } /^   kivpack / || /^[A-Z]/ { on = 0 } on' <<<"$page")
    for option in $("$kivpack" "$c" --help | grep -oE '(^|[][ (,|])--?[a-z][a-z0-9-]*' | grep -oE -- '--?[a-z][a-z0-9-]*' | sort -u); do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$part" ||
            fail "kivpack(1) does not name $option under kivpack $c"
    done
done
for variable in KIVPACK_STUB KIVPACK_UNINSTALLER SOURCE_DATE_EPOCH; do
    "$kivpack" --help | grep -qF "$variable" || fail "kivpack --help does not name $variable"
    grep -qF "$variable" <<<"$page" || fail "kivpack(1) does not name $variable"
done
grep -q "^EXIT STATUS" <<<"$page" && grep -q "^EXAMPLES" <<<"$page" && ok "kivpack(1) has exit codes and examples" ||
    fail "kivpack(1) lacks EXIT STATUS or EXAMPLES"

[ "$failures" -eq 0 ] && { echo "man_pages: all checks passed"; exit 0; }
echo "man_pages: $failures failed"
exit 1
