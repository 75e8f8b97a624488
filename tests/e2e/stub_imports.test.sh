# Every program that ships to users imports only from the system DLLs that
# Windows 95 and NT 4.0 have, and from those only functions that both export
# (win95_nt4_exports.txt); it links no C runtime, carries the 4.0 version
# marks that old loaders require and holds no code for processors after the
# 386. A program that imports a newer function is refused by the same check.
# Needs only objdump; skipped (77) when the programs are not built.
set -u

# The programs the win32 build makes for users, relative to its directory.
PROGRAMS=(
    kivinstall.exe
    kivuninst.exe
)
# Built like them but importing GetTickCount64: the check must refuse it.
COUNTER_EXAMPLE=e2e/kivnewer.exe

here=$(cd "$(dirname "$0")" && pwd)
exports_list=$here/win95_nt4_exports.txt
objdump=i686-w64-mingw32-objdump
if [ -z "${KIV_WIN32_DIR:-}" ] || [ ! -f "$KIV_WIN32_DIR/${PROGRAMS[0]}" ]; then
    echo "skipped: the win32 build is not there (${KIV_WIN32_DIR:-KIV_WIN32_DIR unset})"
    exit 77
fi
if ! command -v "$objdump" >/dev/null; then
    echo "skipped: $objdump is not installed"
    exit 77
fi

# "dll function" pairs, the DLL in lower case without ".dll".
allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$exports_list" | awk '{ print tolower($1) " " $2 }' | sort -u)
[ "$(printf '%s\n' "$allowed" | wc -l)" -ge 100 ] || { echo "FAIL: $exports_list holds too few functions"; exit 1; }

# check_program PATH: prints one "problem: ..." line per problem found and
# a summary line; returns the number of problems (capped at 255).
check_program() {
    local program=$1 headers problems=0
    problem() {
        echo "problem: $*"
        problems=$((problems + 1))
    }
    field() { printf '%s\n' "$headers" | awk -v name="$1" '$1 == name { print $2; exit }'; }
    if [ ! -f "$program" ]; then
        echo "problem: $program is not built"
        return 1
    fi
    headers=$("$objdump" -p "$program") || { echo "problem: $objdump cannot read $program"; return 1; }

    # PE optional header: GUI subsystem, subsystem and OS version 4.0.
    [ "$(field Subsystem)" = "00000002" ] || problem "subsystem is '$(field Subsystem)', not 2 (Windows GUI)"
    [ "$(field MajorSubsystemVersion).$(field MinorSubsystemVersion)" = "4.0" ] ||
        problem "subsystem version is $(field MajorSubsystemVersion).$(field MinorSubsystemVersion), not 4.0"
    [ "$(field MajorOSystemVersion).$(field MinorOSystemVersion)" = "4.0" ] ||
        problem "OS version is $(field MajorOSystemVersion).$(field MinorOSystemVersion), not 4.0"

    # Imports as "dll function", from the lines objdump lists as
    # "vma hint name" below each "DLL Name:" until a blank line. An import by
    # ordinal has no name and is a problem of its own: ordinals differ
    # between systems.
    local imports
    imports=$(printf '%s\n' "$headers" | awk '
        /DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); inside = 1; next }
        inside && /^[[:space:]]*$/ { inside = 0 }
        inside && NF >= 3 && $1 ~ /^[0-9a-fA-F]+$/ && $2 ~ /^[0-9]+$/ { print dll " " $3 }
        inside && NF == 2 && $1 ~ /^[0-9a-fA-F]+$/ && $2 ~ /^<?[0-9]+>?$/ { print dll " #" $2 }')
    [ -n "$imports" ] || problem "no imported functions found"
    local dll name
    while read -r dll name; do
        [ -n "$dll" ] || continue
        case "$dll" in
        kernel32 | user32 | gdi32 | advapi32 | shell32) ;;
        *) problem "imports $name from $dll.dll, which is not a system DLL of Windows 95 and NT 4.0"; continue ;;
        esac
        case "$name" in
        \#*) problem "imports ordinal ${name#\#} from $dll.dll" ;;
        *) printf '%s\n' "$allowed" | grep -qxF "$dll $name" ||
            problem "imports $dll.dll $name, which is not in $(basename "$exports_list")" ;;
        esac
    done <<<"$imports"

    # Windows 95 runs on processors from the 386 on: no instruction of the
    # Pentium Pro or later (conditional moves, flag-setting float compares,
    # MMX and SSE registers).
    local later
    later=$("$objdump" -d --no-show-raw-insn "$program" | awk -F'\t' 'NF >= 2 {print $2}' |
        grep -E '^(cmov|f(u)?comip?|fcmov)|%(x|y)?mm[0-9]' | sort | uniq -c | head -5)
    [ -z "$later" ] || problem "code for later processors than the 386: $(echo $later)"

    echo "$(basename "$program"): $(printf '%s\n' "$imports" | wc -l) imports from" \
        "$(printf '%s\n' "$imports" | awk '{ print $1 }' | sort -u | tr '\n' ' ')- $problems problem(s)"
    [ "$problems" -lt 255 ] && return "$problems" || return 255
}

failures=0
for p in "${PROGRAMS[@]}"; do
    if check_program "$KIV_WIN32_DIR/$p"; then
        echo "ok: $p"
    else
        echo "FAIL: $p"
        failures=$((failures + 1))
    fi
done

# The check itself: the counter-example must be refused for its import, and
# for nothing else.
output=$(check_program "$KIV_WIN32_DIR/$COUNTER_EXAMPLE")
status=$?
printf '%s\n' "$output" | sed 's/^/  counter-example: /'
if [ "$status" -eq 1 ] && printf '%s\n' "$output" | grep -qF "problem: imports kernel32.dll GetTickCount64, which is not in"; then
    echo "ok: an import outside the list is refused"
else
    echo "FAIL: the counter-example $COUNTER_EXAMPLE was not refused for GetTickCount64 alone (status $status)"
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
