# kivpack list and extract on hostile installers, made here from the stub
# with the project's own PE writer (pe_write_tool): resources in two
# languages, byte caps, names that climb, begin with a dot or hold escape
# sequences, names that differ only in case, a file that is also a folder,
# links planted in the output directory, files already there, a disk set's
# SETUP.EXE and a damaged help-text count. Each is refused with a message
# that names the culprit and writes nothing, or extracted as the installer
# installs it; nothing printed carries a control character. Under Wine, the
# installer with a payload in two languages installs different bytes for
# users of different languages, which is why list refuses it.
set -u
here=$(cd "$(dirname "$0")" && pwd)

kivpack="${KIV_HOST_DIR:-}/kivpack"
tool="${KIV_HOST_DIR:-}/pe_write_tool"
stub="${KIV_WIN32_DIR:-}/kivinstall.exe"
for f in "$kivpack" "$tool" "$stub"; do
    [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done

work=$(mktemp -d /tmp/kiv-hostile.XXXXXX)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
cd "$work" || exit 1

KIV_WORK=$work
source "$here/lib_checks.sh"

basic='[Basic Information]
HelpFileName=P.HLP
Caption=Hostile
ProductName=Hostile
DefaultTargetDir=C:\HOSTILE
TotalDisks=1
DiskSpace=1000'
echo "help file" >help.hlp
printf 'benign readme\n' >benign.txt
printf 'EVIL BYTES\n' >evil.txt
printf '0123456789abcdef' >sixteen.txt

# make OUT.EXE SCRIPT-LINES [pe_write_tool operations]: an installer of the
# stub with the script [Basic Information] + [Disk 1] + LINES (printf
# escapes), the help file and payloads 12002 on from the operations.
make() {
    local out=$1 lines=$2
    shift 2
    printf '%s\n[Disk 1]\nDiskName=D\n' "$basic" >"$out.ini"
    printf "$lines" >>"$out.ini"
    "$tool" "$stub" "$out" --payload 12000 "$out.ini" --payload 12001 help.hlp "$@" >/dev/null ||
        kiv_fail "pe_write_tool could not make $out"
}

# controls FILE: the control characters in FILE other than its line ends.
controls() { LC_ALL=C tr -d '\n' <"$1" | LC_ALL=C tr -d '[:print:]\200-\377' | od -An -c | tr -d ' \n'; }

# refused NAME TEXT -- ARGS: kivpack exits 1 with TEXT in its message, prints
# no control character, and leaves the work directory as it was.
refused() {
    local name=$1 text=$2
    shift 3
    local before after
    before=$(find . -not -name "$name.*" | sort)
    "$kivpack" "$@" >"$name.out" 2>"$name.err"
    local rc=$?
    after=$(find . -not -name "$name.*" | sort)
    if [ "$rc" -ne 1 ]; then
        kiv_fail "$name: exit code $rc, expected 1: $(cat "$name.err")"
    elif ! grep -qF -- "$text" "$name.err"; then
        kiv_fail "$name: message '$(cat "$name.err")' lacks '$text'"
    elif [ -n "$(controls "$name.out")$(controls "$name.err")" ]; then
        kiv_fail "$name: a control character reaches the terminal"
    elif [ "$before" != "$after" ]; then
        kiv_fail "$name: the run changed the directory: $(diff <(echo "$before") <(echo "$after") | tr '\n' ' ')"
    else
        kiv_pass "$name"
    fi
}

# --- one view: the installer's ------------------------------------------------
make two-payload.exe 'A.TXT=Target,Readme\n' --payload 12002 benign.txt --lang 407 --payload 12002 evil.txt
refused list-two-payload "payload 12002 exists in 2 languages (0407, 0409)" -- list two-payload.exe
refused extract-two-payload "payload 12002 exists in 2 languages" -- extract two-payload.exe -d out
make two-script.exe 'A.TXT=Target\n' --payload 12002 benign.txt --lang 407 --payload 12000 evil.txt
refused list-two-script "the install script (payload 12000) exists in 2 languages" -- list two-script.exe
make two-strings.exe 'A.TXT=Target\n' --payload 12002 benign.txt --lang 407 --string 8000 EVIL.INI
refused list-two-strings "string block 501 (strings 8000 to 8015) exists in 2 languages" -- list two-strings.exe
printf '\001\000\000\000\000\000\002\060\000\000' >crc.bin
make two-crc.exe 'A.TXT=Target\n' --payload 12002 benign.txt --raw 258 1 crc.bin --lang 407 --raw 258 1 crc.bin
refused list-two-crc "the payload checksum table exists in 2 languages" -- list two-crc.exe
# One language other than the image's own is no ambiguity: every user gets it.
make german.exe 'A.TXT=Target\n' --lang 407 --payload 12002 benign.txt
"$kivpack" list german.exe >german.out 2>&1 && grep -q '^12002 .* \[Disk 1\] A.TXT -> Target\\A.TXT$' german.out &&
    kiv_pass "a payload in one language of its own is listed" || kiv_fail "german.exe: $(cat german.out)"

# The byte cap of string (id - 2000): the installer takes 4 bytes of 16.
make capped.exe 'S.TXT=Target\n' --payload 12002 sixteen.txt --cap 12002 4
"$kivpack" list capped.exe >capped.out 2>&1 && grep -qE '^12002 +4 \(capped\) +4 ' capped.out &&
    kiv_pass "list shows the capped size" || kiv_fail "capped list: $(cat capped.out)"
"$kivpack" extract capped.exe -d capped >/dev/null 2>capped.err && [ "$(cat capped/Target/S.TXT)" = 0123 ] &&
    kiv_pass "extract writes the 4 bytes the installer writes" || kiv_fail "capped extract: $(cat capped.err) $(cat capped/Target/S.TXT)"

# --- names ------------------------------------------------------------------------
make dot.exe 'A.TXT=Target\\.ssh\\authorized_keys\nB.TXT=Target\n' --payload 12002 evil.txt --payload 12003 benign.txt
refused extract-dot "the name '.ssh\\authorized_keys' is refused: a part of it begins with a dot" -- extract dot.exe -d out
make climb.exe 'A.TXT=Target\\a/../../VICTIM.TXT\n' --payload 12002 evil.txt
refused extract-climb "the name 'a/../../VICTIM.TXT' is refused: it climbs out of its directory" -- extract climb.exe -d out
make escape.exe 'A.TXT=Target\\\033]0;pwned\007\033[2Jall files verified.TXT\n' --payload 12002 evil.txt
refused extract-escape "is refused: it holds a control character" -- extract escape.exe -d out
grep -qF '\x1B]0;pwned\x07\x1B[2Jall files verified.TXT' extract-escape.err &&
    kiv_pass "the refused name is shown with its escapes visible" || kiv_fail "escape message: $(cat extract-escape.err)"
"$kivpack" list escape.exe >escape-list.out 2>&1
[ -z "$(controls escape-list.out)" ] && grep -qF 'Target\\x1B]0;pwned' escape-list.out &&
    kiv_pass "list shows the escape sequence as text" || kiv_fail "list of escape.exe: $(controls escape-list.out)"
long=$(printf 'N%.0s' $(seq 1 250))
accents=$(printf '\351%.0s' $(seq 1 130))
make long.exe "A.TXT=Target\\\\$long\n" --payload 12002 benign.txt
"$kivpack" extract long.exe -d long >/dev/null 2>long.err && cmp -s "long/Target/$long" benign.txt &&
    kiv_pass "a name of 250 bytes is written" || kiv_fail "long name: $(cat long.err)"
make longer.exe "A.TXT=Target\nB.TXT=Target\\\\$accents\n" --payload 12002 benign.txt --payload 12003 benign.txt
refused extract-longer "is refused: a part of it is longer than 255 bytes" -- extract longer.exe -d out

# Case folded as Windows folds it, appended parts joined, display classes.
make fold.exe 'D1=Target\\SUB\\DATA.BIN\nD2=Target\\sub\\data.bin,,Append\nD3=Target\\Sub\\Other.txt\nE=Target\\EGA.TXT,,EGA\n' \
    --payload 12002 benign.txt --payload 12003 evil.txt --payload 12004 sixteen.txt --payload 12005 benign.txt
"$kivpack" extract fold.exe -d fold >fold.out 2>&1 || kiv_fail "extract fold.exe: $(cat fold.out)"
[ "$(cd fold && find . -type f | sort | tr '\n' ' ')" = "./HELP.HLP ./INSTALL.INI ./Target/SUB/DATA.BIN ./Target/SUB/Other.txt " ] &&
    [ "$(cat fold/Target/SUB/DATA.BIN)" = "$(cat benign.txt evil.txt)" ] && cmp -s fold/HELP.HLP help.hlp &&
    cmp -s fold/INSTALL.INI fold.exe.ini && kiv_pass "SUB and sub are one folder, the appended part joins, EGA lines stay out" ||
    kiv_fail "fold: $(cd fold && find . | sort | tr '\n' ' ')"
"$kivpack" extract fold.exe -d fold-ega --display ega >/dev/null 2>&1 && [ -f fold-ega/Target/EGA.TXT ] &&
    kiv_pass "--display ega extracts the EGA line" || kiv_fail "extract --display ega"
make clash.exe 'A=Target\\A\nB=Target\\a\\B\n' --payload 12002 benign.txt --payload 12003 evil.txt
refused extract-clash "'Target/A' would be both a file and a folder" -- extract clash.exe -d out

# --- writing: links, files already there, the default directory -------------------
make good.exe 'A.TXT=Target\\DOCS\\A.TXT\n' --payload 12002 benign.txt --string 8000 '..\\..\\EVIL.INI'
mkdir victim linked-out
ln -s ../victim linked-out/Target
refused extract-link "linked-out/Target: a symbolic link; extract enters none" -- extract good.exe -d linked-out
[ -z "$(ls victim)" ] && kiv_pass "nothing lands in the folder a planted link names" || kiv_fail "victim: $(ls victim)"
mkdir real
ln -s real named-link
"$kivpack" extract good.exe -d named-link >/dev/null 2>named.err && cmp -s real/Target/DOCS/A.TXT benign.txt &&
    [ -f real/INSTALL.INI ] && kiv_pass "the directory named with -d may itself be a link" || kiv_fail "named link: $(cat named.err)"
refused extract-again "real/INSTALL.INI: exists already; give --force to replace it" -- extract good.exe -d real
echo "mine" >victim/file
rm real/Target/DOCS/A.TXT
ln -s ../../../victim/file real/Target/DOCS/A.TXT
"$kivpack" extract good.exe -d real --force >/dev/null 2>force.err && [ "$(cat victim/file)" = mine ] &&
    [ ! -L real/Target/DOCS/A.TXT ] && cmp -s real/Target/DOCS/A.TXT benign.txt &&
    kiv_pass "--force replaces a planted link and writes nothing through it" || kiv_fail "--force: $(cat force.err)"
"$kivpack" extract good.exe >default.out 2>&1 && [ -f good/INSTALL.INI ] && [ -f good/HELP.HLP ] &&
    cmp -s good/Target/DOCS/A.TXT benign.txt && kiv_pass "extract writes into a new directory named for the installer" ||
    kiv_fail "default directory: $(cat default.out)"
refused extract-default-again "good: exists already; name the directory to write into with -d, or give --force" -- extract good.exe
"$kivpack" list good.exe >good.out 2>&1 && grep -q '^12000 .* install script INSTALL.INI$' good.out &&
    kiv_pass "a script name that climbs is not shown as the script's" || kiv_fail "good list: $(cat good.out)"

# --- a disk set's SETUP.EXE, a damaged help-text count -------------------------
mkdir product
printf '%s\n[Disk 1]\nDiskName=D\nA.TXT=Target\n' "$basic" >product/INSTALL.INI
cp benign.txt product/A.TXT
cp help.hlp product/P.HLP
"$kivpack" disks product/INSTALL.INI -o set --stub "$stub" >/dev/null 2>disks.err || kiv_fail "disks: $(cat disks.err)"
"$kivpack" list set/DISK1/SETUP.EXE >set.out 2>&1 && grep -q 'a disk-mode installer' set.out &&
    grep -qE "^ +1  $(python3 -c 'import zlib; print("%08x" % zlib.crc32(open("benign.txt", "rb").read()))')  A.TXT$" set.out &&
    kiv_pass "list reads a disk set's SETUP.EXE" || kiv_fail "list SETUP.EXE: $(cat set.out)"
refused extract-setup "it is a disk-mode installer, whose files are on its disks" -- extract set/DISK1/SETUP.EXE -d out
printf '\377\377\377\377\001\000\000\000\030\000\000\000Topic\000Some text\000' >helptext.bin
make helpcount.exe 'A.TXT=Target\n' --payload 12002 benign.txt --raw 257 1 helptext.bin
"$kivpack" list helpcount.exe >helpcount.out 2>&1 && grep -q '^help text: 1 topics' helpcount.out &&
    grep -q 'it declares 4294967295 topics' helpcount.out && kiv_pass "list counts the help topics that lie whole" ||
    kiv_fail "help count: $(cat helpcount.out)"

# --- smaller things: a failed build's words, the help file as UTF-8 -------------
printf 'UNINST.EXE=Target,Uninstaller\nNOWHERE.TXT=Target\n' >>product/INSTALL.INI
"$kivpack" build product/INSTALL.INI -o never.exe --stub "$stub" --uninstaller-stub "${KIV_WIN32_DIR:-}/kivuninst.exe" \
    >never.out 2>never.err
[ $? -eq 1 ] && grep -q "NOWHERE.TXT" never.err && ! grep -q "generated uninstaller" never.out && [ ! -e never.exe ] &&
    kiv_pass "a failed build does not claim the generated uninstaller" || kiv_fail "failed build: $(cat never.out never.err)"
printf '%% Caf\303\251 help\n# 3904 \303\200 propos\nD\303\251j\303\240 vu.\n' >accents.txt
"$kivpack" helpfile accents.txt -o accents.hlp >/dev/null 2>&1 && "$kivpack" helpfile --dump accents.hlp >dump.out 2>&1 &&
    grep -q '^% Café help$' dump.out && grep -q '^# 3904 À propos$' dump.out && grep -q '^Déjà vu\.$' dump.out &&
    kiv_pass "helpfile --dump prints code page 1252 as UTF-8" || kiv_fail "dump: $(cat dump.out)"

# --- under Wine: the two-faced installer installs by the user's language ----------
# FindResourceA, as the installer calls it for a payload: neutral, then the
# user's language, then the first.
probe="${KIV_WIN32_DIR:-}/e2e/resource_probe.exe"
if command -v wine >/dev/null && [ -f "$probe" ]; then
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$work/prefix"
    wineboot -i >/dev/null 2>&1
    for lang in en_US de_DE; do
        LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 wine "$probe" two-payload.exe payload:12002 payload:12001 \
            >"probe-$lang.out" 2>&1
        wineserver -k >/dev/null 2>&1
    done
    en=$(tr -d '\r' <probe-en_US.out | awk '$1 == "payload" && $2 == 12002 {print $3, $4}')
    de=$(tr -d '\r' <probe-de_DE.out | awk '$1 == "payload" && $2 == 12002 {print $3, $4}')
    benign=$(tr -d '\r' <probe-en_US.out | awk '$1 == "res" && $2 == 256 && $3 == 12002 && $4 == 409 {print $5, $6}')
    evil=$(tr -d '\r' <probe-en_US.out | awk '$1 == "res" && $2 == 256 && $3 == 12002 && $4 == 407 {print $5, $6}')
    if [ -n "$en" ] && [ "$en" = "$benign" ] && [ "$de" = "$evil" ] && [ "$en" != "$de" ]; then
        kiv_pass "an English user's installer takes the benign payload, a German user's the other: list refuses it"
    else
        kiv_fail "Wine's lookup of payload 12002: English '$en' (benign '$benign'), German '$de' (evil '$evil')"
    fi
else
    echo "note: wine or resource_probe.exe missing: the Wine check did not run"
    [ -n "${CI:-}" ] && kiv_fail "the Wine check must run in CI"
fi

failures=$(cat "$work/failures" 2>/dev/null | wc -l)
echo "kivpack_hostile: $(wc -l <"$work/checks") checks, $failures failed"
[ "$failures" -eq 0 ]
