# The installer stub imports only from the system DLLs that Windows 95 and
# NT 4.0 have, links no C runtime and carries the 4.0 version marks that old
# loaders require. Needs only objdump; skipped (77) when the stub is not built.
set -u

# KIV_STUB_UNDER_TEST names another program to check under the same rules.
stub="${KIV_STUB_UNDER_TEST:-${KIV_WIN32_DIR:-}/kivinstall.exe}"
objdump=i686-w64-mingw32-objdump
if [ -z "${KIV_WIN32_DIR:-}" ] || [ ! -f "$stub" ]; then
    echo "skipped: $stub is not built"
    exit 77
fi
if ! command -v "$objdump" >/dev/null; then
    echo "skipped: $objdump is not installed"
    exit 77
fi

headers=$("$objdump" -p "$stub") || { echo "FAIL: $objdump cannot read $stub"; exit 1; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

field() {
    printf '%s\n' "$headers" | awk -v name="$1" '$1 == name { print $2; exit }'
}

# PE optional header: GUI subsystem, subsystem and OS version 4.0.
[ "$(field Subsystem)" = "00000002" ] || fail "subsystem is '$(field Subsystem)', not 2 (Windows GUI)"
[ "$(field MajorSubsystemVersion)" = "4" ] && [ "$(field MinorSubsystemVersion)" = "0" ] ||
    fail "subsystem version is $(field MajorSubsystemVersion).$(field MinorSubsystemVersion), not 4.0"
[ "$(field MajorOSystemVersion)" = "4" ] && [ "$(field MinorOSystemVersion)" = "0" ] ||
    fail "OS version is $(field MajorOSystemVersion).$(field MinorOSystemVersion), not 4.0"

# Imported DLLs.
dlls=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { print $3 }')
[ -n "$dlls" ] || fail "no import table found"
for dll in $dlls; do
    case "$(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]')" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll) ;;
    *) fail "imports from $dll" ;;
    esac
done

# Imported functions: nothing of a C runtime under any DLL's name. Below each
# "DLL Name:" line objdump lists "vma hint name" until a blank line.
functions=$(printf '%s\n' "$headers" | awk '
    /DLL Name:/ { inside = 1; next }
    inside && /^[[:space:]]*$/ { inside = 0 }
    inside && NF >= 3 && $1 ~ /^[0-9a-fA-F]+$/ && $2 ~ /^[0-9]+$/ { print $3 }')
[ -n "$functions" ] || fail "no imported functions found"
for name in $functions; do
    case "$name" in
    malloc | calloc | realloc | free | _msize | memcpy | memmove | memset | memcmp | \
    strlen | strcpy | strncpy | strcat | strcmp | strchr | strrchr | strstr | \
    printf | sprintf | snprintf | vsprintf | vsnprintf | fprintf | puts | \
    atoi | atol | strtol | strtoul | exit | _exit | abort | atexit | _onexit | \
    __getmainargs | __set_app_type | _initterm | _cexit | _amsg_exit | __p__* | \
    _CxxThrowException | __cxa_* | _Unwind_* | __gxx_personality* | operator* | _Z*)
        fail "imports C runtime function $name" ;;
    esac
done

# Windows 95 runs on processors from the 386 on: no instruction of the
# Pentium Pro or later (conditional moves, flag-setting float compares,
# MMX and SSE registers).
later=$("$objdump" -d --no-show-raw-insn "$stub" | awk -F'\t' 'NF >= 2 {print $2}' |
    grep -E '^(cmov|f(u)?comip?|fcmov)|%(x|y)?mm[0-9]' | sort | uniq -c | head -5)
[ -z "$later" ] || fail "code for later processors than the 386: $(echo $later)"

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) in $stub"
    exit 1
fi
echo "ok: $(printf '%s\n' $dlls | tr '\n' ' ')- $(printf '%s\n' $functions | wc -l) functions, GUI 4.0"
