#!/bin/bash
# Faults on purpose, through the installer's own dialogs; after each, nothing
# is lost beyond what a failed copy may lose (its own partial destination).
#
# - a target drive that fills up in the middle of a large file (resource
#   mode): first the temporary file does not fit, then the destination;
#   dialog 1300 each time, nothing partial left, Retry after space is freed
#   installs the file;
# - a destination held open by another program (resource mode): 1300, the
#   held file untouched, Retry after the release installs it;
# - a read-only target file system: 1300 "Access denied", Retry after it is
#   writable again installs;
# - a payload damaged inside the packed installer: a flipped literal no
#   expander can see is caught by the recorded CRC-32: 1300 with the
#   system's checksum text naming the file, Cancel leaves nothing partial and
#   the file before it untouched; kivpack extract refuses it (exit 1, naming
#   the file) and writes nothing; the undamaged installer installs; a flipped
#   control byte ends the stream early: 1300 "invalid data";
# - files damaged on the installation disks (kivpack disks): 1300 names the
#   file on the disk, Retry after the good file is put back installs it; a
#   damaged part of a file assembled from two disks is cut off again, and
#   Retry appends the good part;
# - an installer cut short on disk: the system refuses to start it; where
#   Wine maps a loss of less than 512 bytes as zeros, the stream that lost
#   its end is refused as invalid data;
# - scripts at every limit (32 disks, fonts, exit lines and group items, 8
#   old groups, a key list that just fits and one that does not, values at
#   their buffer sizes and longer, 255- and 256-character names, names with
#   %, commas and parentheses): the installer's verdict is kivpack check's;
#   a source path too long for 260 bytes is a copy error.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
HOLDER=$(kiv_exe kivholder.exe) || exit 1
TITLE="Fault Setup"
DATA=$KIV_WORK/data
mkdir -p "$DATA"
head -c 1048576 /dev/urandom >"$DATA/big.bin"
printf 'good\r\n' >"$DATA/good.txt"
seq 1 20000 >"$DATA/text.txt"

# pack EXE TARGET [DISKSPACE]: a packed installer of the files in $DATA
# named by the disk lines on standard input.
pack() {
    local dir=$KIV_WORK/pack.$RANDOM
    mkdir -p "$dir"
    {
        printf '[Basic Information]\r\nHelpFileName=FAULT.HLP\r\nCaption=%s\r\nProductName=Fault\r\n' "$TITLE"
        printf 'DefaultTargetDir=%s\r\nTotalDisks=1\r\nDiskSpace=%s\r\n\r\n' "$2" "${3:-1000}"
        printf '[Disk 1]\r\nDiskName=Fault Disk 1\r\n'
        sed 's/$/\r/'
    } >"$dir/INSTALL.INI"
    printf 'help\r\n' >"$dir/FAULT.HLP"
    local f
    for f in "$DATA"/*; do cp "$f" "$dir/$(basename "$f" | tr '[:lower:]' '[:upper:]')"; done
    "$KIV_PACK" build "$dir/INSTALL.INI" -o "$1" --stub "$INSTALLER" >/dev/null || kiv_die "kivpack build $1 failed"
}

# retry / cancel: the buttons of dialog 1300.
retry() { kiv_drive press --title "$TITLE" --window-text "Filename:" --id 1; }
cancel() { kiv_drive press --title "$TITLE" --window-text "Filename:" --id 2; }

# ---------------------------------------------------------------------------
kiv_case "a target drive that fills up in the middle of a large file"
# 3 MB in all; the fillers leave 948 KB (less than the 1.1 MB temporary
# file), then 1,972 KB (the temporary file fits, the destination does not).
kiv_tmpfs_drive X 3m hd
FULL=$KIV_TMPFS
head -c $((1024 * 1024)) /dev/zero >"$FULL/filler1"
head -c $((1100 * 1024)) /dev/zero >"$FULL/filler2"
pack "$KIV_C/setupfull.exe" 'X:\APP' <<'EOF'
GOOD.TXT=Target
BIG.BIN=Target,the large file
EOF
DISKFULL=$(kiv_system_message 112)
kiv_begin_install full 'C:\setupfull.exe'
kiv_expect_eq "$(kiv_copy_error)" "$DISKFULL\\nFilename: X:\\APP\\BIG.BI_" "1300 names the temporary file that did not fit"
kiv_expect_only_files "$FULL/APP" GOOD.TXT
rm "$FULL/filler1"
retry
sleep 1
kiv_expect_eq "$(kiv_copy_error)" "$DISKFULL\\nFilename: X:\\APP\\BIG.BIN" "after Retry 1300 names the destination that did not fit"
kiv_expect_only_files "$FULL/APP" GOOD.TXT
rm "$FULL/filler2"
retry
kiv_completes full
kiv_expect_same_file "$FULL/APP/BIG.BIN" "$DATA/big.bin" "Retry after space was freed installs the file whole"
kiv_expect_same_file "$FULL/APP/GOOD.TXT" "$DATA/good.txt" "the file before it stays"
kiv_expect_only_files "$FULL/APP" BIG.BIN GOOD.TXT

# ---------------------------------------------------------------------------
kiv_case "a destination held open by another program"
T=$KIV_C/HELD
mkdir -p "$T"
printf 'old copy\r\n' >"$T/GOOD.TXT"
pack "$KIV_C/setupheld.exe" 'C:\HELD' <<'EOF'
TEXT.TXT=Target,the text file
GOOD.TXT=Target,the good file
EOF
rm -f "$KIV_C/held.ready"
kiv_start holder "$HOLDER" lock 'C:\HELD\GOOD.TXT' 'C:\held.ready' 60
for i in $(seq 100); do [ -e "$KIV_C/held.ready" ] && break; sleep 0.1; done
[ -e "$KIV_C/held.ready" ] || kiv_die "the destination could not be held open"
kiv_begin_install held 'C:\setupheld.exe'
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 32)\\nFilename: C:\\HELD\\GOOD.TXT" "1300: the file is in use"
# Behind the message, the status line names the file that failed, whatever
# the paints skipped while the files went by.
kiv_drive wait-dialog --title "$TITLE" --text "Copying the good file..." --timeout 5 >/dev/null &&
    kiv_pass "the status line names the held file" || kiv_fail "the status line names the held file"
kiv_expect_file_has "$T/GOOD.TXT" "old copy" "the held file is untouched"
kiv_expect_only_files "$T" GOOD.TXT TEXT.TXT
rm "$KIV_C/held.ready"
kiv_wait holder
retry
kiv_completes held
kiv_expect_same_file "$T/GOOD.TXT" "$DATA/good.txt" "Retry after the release installs the file"
kiv_expect_only_files "$T" GOOD.TXT TEXT.TXT

# ---------------------------------------------------------------------------
kiv_case "a read-only target file system"
# Mode bits would not stop this suite, which runs as root; a file system
# mounted read-only stops everyone.
mkdir -p "$FULL/RO"
pack "$KIV_C/setupro.exe" 'X:\RO' <<'EOF'
GOOD.TXT=Target
EOF
mount -o remount,ro "$FULL" || kiv_die "cannot make the target drive read-only"
kiv_begin_install ro 'C:\setupro.exe'
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 5)\\nFilename: X:\\RO\\GOOD.TX_" "1300: access denied to the temporary file"
mount -o remount,rw "$FULL" || kiv_die "cannot make the target drive writable again"
retry
kiv_completes ro
kiv_expect_same_file "$FULL/RO/GOOD.TXT" "$DATA/good.txt" "Retry after the drive is writable installs the file"
kiv_expect_only_files "$FULL/RO" GOOD.TXT

# ---------------------------------------------------------------------------
kiv_case "a payload damaged inside the packed installer"
# szdd.py: finds the SZDD stream of a given expanded size in a file,
# damages it, and tells what an expander makes of the damaged stream.
cat >"$KIV_WORK/szdd.py" <<'EOF'
import sys

def expand(data, at):
    length = int.from_bytes(data[at + 10:at + 14], "little")
    window, w, out, i = bytearray(b" " * 4096), 4080, bytearray(), at + 14
    items = []  # (offset of the item, is a literal) in stream order
    while len(out) < length and i < len(data):
        control, ci = data[i], i
        i += 1
        items.append((ci, None))
        for bit in range(8):
            if len(out) >= length or i >= len(data):
                break
            if control >> bit & 1:
                items.append((i, True))
                window[w], w = data[i], (w + 1) & 4095
                out.append(data[i])
                i += 1
            else:
                if i + 1 >= len(data):
                    i = len(data)
                    break
                items.append((i, False))
                p, n = data[i] | (data[i + 1] & 0xF0) << 4, (data[i + 1] & 15) + 3
                i += 2
                for _ in range(min(n, length - len(out))):
                    b = window[p]
                    p, window[w], w = (p + 1) & 4095, b, (w + 1) & 4095
                    out.append(b)
    return bytes(out), len(out) == length, items

# szdd.py MODE EXE STORED SIZE [DAMAGED EXPECTED]: the stream is STORED
# bytes, expanding to SIZE. MODE end prints where the stream ends.
mode, exe, stored, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
image = bytearray(open(exe, "rb").read())
at = -1
while True:
    at = image.find(b"SZDD\x88\xf0\x27\x33", at + 1)
    if at < 0 or int.from_bytes(image[at + 10:at + 14], "little") == size:
        break
if at < 0:
    sys.exit("no SZDD stream of %d bytes in %s" % (size, exe))
if mode == "end":
    print(at + stored)
    sys.exit(0)
damaged, expected = sys.argv[5], sys.argv[6]
data = image[:at + stored]
original, _, items = expand(data, at)
# A literal from the middle on; a control byte from the end back, made to
# announce eight literals where it announced matches.
for offset, literal in items[len(items) // 2:] if mode == "literal" else reversed(items):
    copy = bytearray(data)
    if mode == "literal" and literal:
        copy[offset] ^= 0x55
    elif mode == "control" and literal is None and data[offset] != 0xFF:
        copy[offset] = 0xFF
    else:
        continue
    out, whole, _ = expand(copy, at)
    # A literal whose byte no later match copies: one byte of the file
    # differs. A control byte after which the stream runs out early.
    if mode == "literal" and whole and sum(a != b for a, b in zip(out, original)) == 1 or \
            mode == "control" and not whole:
        open(damaged, "wb").write(copy + image[at + stored:])
        open(expected, "wb").write(out)
        print(offset)
        sys.exit(0)
sys.exit("no suitable byte to damage")
EOF
T=$KIV_C/DAMAGED
pack "$KIV_C/setupgood.exe" 'C:\DAMAGED' <<'EOF'
GOOD.TXT=Target
TEXT.TXT=Target
EOF
# The stored and the expanded size of TEXT.TXT.
SIZES=$("$KIV_PACK" list "$KIV_C/setupgood.exe" | awk '/ TEXT\.TXT / { print $2, $3 }')
offset=$(python3 "$KIV_WORK/szdd.py" literal "$KIV_C/setupgood.exe" $SIZES "$KIV_C/setuplit.exe" "$DATA/text.lit") ||
    kiv_die "no literal to damage"
_kiv_log "literal flipped at $offset"
kiv_expect_eq "$(cmp -l "$DATA/text.lit" "$DATA/text.txt" | wc -l)" 1 "the flipped literal changes one byte of what the stream expands to"
CRCERROR=$(kiv_system_message 23)
kiv_begin_install literal 'C:\setuplit.exe'
kiv_expect_eq "$(kiv_copy_error)" "$CRCERROR\\nFilename: C:\\DAMAGED\\TEXT.TXT" \
    "a flipped literal: 1300 with the checksum error, naming the file"
kiv_expect_only_files "$T" GOOD.TXT
retry
sleep 1
kiv_expect_eq "$(kiv_copy_error)" "$CRCERROR\\nFilename: C:\\DAMAGED\\TEXT.TXT" "Retry reads the payload again and meets the same damage"
cancel
kiv_wait literal
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
kiv_expect_only_files "$T" GOOD.TXT
kiv_expect_same_file "$T/GOOD.TXT" "$DATA/good.txt" "the file installed before the damaged one is untouched"
rm -rf "$T"

# kivpack shows the recorded checksum and will not extract the damaged file.
CRC=$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$DATA/text.txt")
kiv_expect_contains "$("$KIV_PACK" list "$KIV_C/setuplit.exe" | grep ' TEXT\.TXT ')" " $CRC " "kivpack list shows TEXT.TXT's CRC-32"
out=$("$KIV_PACK" extract "$KIV_C/setuplit.exe" -d "$KIV_WORK/extracted" 2>&1)
kiv_expect_eq "$?" 1 "kivpack extract of the damaged installer: exit code"
kiv_expect_contains "$out" "TEXT.TXT): damaged" "kivpack extract names the damaged file"
kiv_expect_no_file "$KIV_WORK/extracted/Target/GOOD.TXT" "kivpack extract writes nothing from a damaged installer"
kiv_expect_rc 0 "$KIV_PACK" extract "$KIV_C/setupgood.exe" -d "$KIV_WORK/extracted"
kiv_expect_same_file "$KIV_WORK/extracted/Target/TEXT.TXT" "$DATA/text.txt" "kivpack extract of the good installer"

kiv_begin_install good 'C:\setupgood.exe'
kiv_completes good
kiv_expect_same_file "$T/TEXT.TXT" "$DATA/text.txt" "the undamaged installer installs the file"
kiv_expect_same_file "$T/GOOD.TXT" "$DATA/good.txt" "the undamaged installer installs the file before it"
kiv_expect_only_files "$T" GOOD.TXT TEXT.TXT
rm -rf "$T"
offset=$(python3 "$KIV_WORK/szdd.py" control "$KIV_C/setupgood.exe" $SIZES "$KIV_C/setupctl.exe" "$DATA/text.ctl") ||
    kiv_die "no control byte to damage"
_kiv_log "control byte flipped at $offset"
kiv_begin_install control 'C:\setupctl.exe'
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 13)\\nFilename: C:\\DAMAGED\\TEXT.TX_" \
    "a flipped control byte: the stream ends early, 1300 invalid data"
kiv_expect_only_files "$T" GOOD.TXT
retry
sleep 1
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 13)\\nFilename: C:\\DAMAGED\\TEXT.TX_" "Retry meets the same damage"
cancel
kiv_wait control
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
kiv_expect_only_files "$T" GOOD.TXT

# ---------------------------------------------------------------------------
kiv_case "files damaged on the installation disks"
# Two disks, their files in one directory (no disk prompt); JOINED.TXT is
# assembled from a part on each disk, and each part is checked against the
# record of its own disk as it is appended.
SET=$KIV_WORK/set
mkdir -p "$SET/DISK1" "$SET/DISK2"
{
    printf '[Basic Information]\r\nHelpFileName=FAULT.HLP\r\nCaption=%s\r\nProductName=Fault\r\n' "$TITLE"
    printf 'DefaultTargetDir=C:\\DDAMAGED\r\nTotalDisks=2\r\nDiskSpace=1000\r\n\r\n'
    printf '[Disk 1]\r\nDiskName=Fault Disk 1\r\nGOOD.TXT=Target\r\nPART1=Target\\JOINED.TXT\r\n\r\n'
    printf '[Disk 2]\r\nDiskName=Fault Disk 2\r\nTEXT.TXT=Target\r\nPART2=Target\\JOINED.TXT,,Append\r\n'
} >"$SET/INSTALL.INI"
printf 'help\r\n' >"$SET/FAULT.HLP"
cp "$DATA/good.txt" "$SET/DISK1/GOOD.TXT"
printf 'the first part, from the first disk\r\n' >"$SET/DISK1/PART1"
cp "$DATA/text.txt" "$SET/DISK2/TEXT.TXT"
printf 'the second part, from the second disk\r\n' >"$SET/DISK2/PART2"
cat "$SET/DISK1/PART1" "$SET/DISK2/PART2" >"$DATA/joined.txt"
"$KIV_PACK" disks "$SET/INSTALL.INI" -o "$KIV_C/DSET" --stub "$INSTALLER" >/dev/null || kiv_die "kivpack disks failed"
DISK=$KIV_C/DSET/DISK1
mv "$KIV_C/DSET/DISK2/"* "$DISK/"
# damage NAME ORIGINAL: flips a literal of the compressed NAME in $DISK,
# keeping the good copy as $KIV_WORK/NAME.good.
damage() {
    cp "$DISK/$1" "$KIV_WORK/$1.good"
    python3 "$KIV_WORK/szdd.py" literal "$KIV_WORK/$1.good" "$(stat -c %s "$DISK/$1")" "$(stat -c %s "$2")" \
        "$DISK/$1" "$KIV_WORK/$1.damaged" >/dev/null || kiv_die "no literal to damage in $1"
}
damage TEXT.TXT "$DATA/text.txt"
damage PART2 "$SET/DISK2/PART2"
kiv_begin_install disk 'C:\DSET\DISK1\SETUP.EXE'
kiv_expect_eq "$(kiv_copy_error)" "$CRCERROR\\nFilename: C:\\DSET\\DISK1\\TEXT.TXT" \
    "disk mode: 1300 with the checksum error, naming the damaged file on the disk"
kiv_expect_only_files "$KIV_C/DDAMAGED" GOOD.TXT JOINED.TXT
cp "$KIV_WORK/TEXT.TXT.good" "$DISK/TEXT.TXT"
retry
sleep 1
kiv_expect_eq "$(kiv_copy_error)" "$CRCERROR\\nFilename: C:\\DSET\\DISK1\\PART2" \
    "after Retry TEXT.TXT is in place, and the damaged second part of JOINED.TXT stops the run"
kiv_expect_same_file "$KIV_C/DDAMAGED/TEXT.TXT" "$DATA/text.txt" "Retry after the good file is back installs it"
kiv_expect_same_file "$KIV_C/DDAMAGED/JOINED.TXT" "$SET/DISK1/PART1" "the damaged part is cut off again: the first part stays"
cp "$KIV_WORK/PART2.good" "$DISK/PART2"
retry
kiv_completes disk
kiv_expect_same_file "$KIV_C/DDAMAGED/JOINED.TXT" "$DATA/joined.txt" "Retry appends the good second part"
kiv_expect_same_file "$KIV_C/DDAMAGED/GOOD.TXT" "$DATA/good.txt" "disk mode: the first file is installed"
kiv_expect_only_files "$KIV_C/DDAMAGED" GOOD.TXT JOINED.TXT TEXT.TXT

# ---------------------------------------------------------------------------
kiv_case "an installer cut short on disk"
# Windows refuses an image whose sections run past the end of its file.
# Wine refuses one that lacks a whole 512-byte block and maps a shorter loss
# as zeros: cut there, the last stream of the payload (TEXT.TXT's) loses its
# last 50 bytes.
SIZE=$(stat -c %s "$KIV_C/setupgood.exe")
for cut in 200 8192 $((SIZE - 512)); do
    head -c "$cut" "$KIV_C/setupgood.exe" >"$KIV_C/setupcut.exe"
    timeout 15 wine 'C:\setupcut.exe' </dev/null >>"$KIV_ART/suite.log" 2>&1
    rc=$?  # 124: it ran until the time limit
    [ "$rc" -ne 0 ] && [ "$rc" -ne 124 ] && kiv_pass "cut to $cut of $SIZE bytes: the system does not start it" ||
        kiv_fail "cut to $cut of $SIZE bytes: the system does not start it (exit code $rc)"
done
kiv_expect_no_file "$KIV_WINDIR/INSTALL.INI" "nothing was extracted"
rm -rf "$T"
cut=$(( $(python3 "$KIV_WORK/szdd.py" end "$KIV_C/setupgood.exe" $SIZES) - 50 ))
[ $((SIZE - cut)) -lt 512 ] || kiv_die "TEXT.TXT's stream ends $((SIZE - cut - 50)) bytes before the end of the file"
head -c "$cut" "$KIV_C/setupgood.exe" >"$KIV_C/setupcut.exe"
kiv_begin_install cut 'C:\setupcut.exe'
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 13)\\nFilename: C:\\DAMAGED\\TEXT.TX_" \
    "$((SIZE - cut)) bytes short: the stream that lost its end is refused as invalid data"
cancel
kiv_wait cut
kiv_expect_eq "$KIV_RC" 0 "exit code after Cancel"
kiv_expect_only_files "$T" GOOD.TXT

# ---------------------------------------------------------------------------
kiv_case "scripts at every limit"
# pad TEXT N: TEXT followed by zeros to N characters.
pad() { printf '%s%0*d' "$1" $(($2 - ${#1})) 0; }
LIM_CAPTION=$(pad "Limits Setup " 64)
LIM_TITLE=${LIM_CAPTION:0:63}
LIM_PRODUCT=$(pad "100% (Tools), %s%u edition " 64)
# limits_script DIR LASTKEY: a script at every table's limit and one line
# beyond it; [Disk 1]'s key list is 4,096 bytes with its final zero when
# LASTKEY is 245 characters long. More lines on standard input go to
# [Disk 3].
limits_script() {
    local dir=$1 n
    kiv_disk_source "$dir" LIM.HLP || kiv_die "cannot lay out $dir"
    {
        printf '[Basic Information]\nHelpFileName=LIM.HLP\nCaption=%s\nProductName=%s\n' "$LIM_CAPTION" "$LIM_PRODUCT"
        printf 'DefaultTargetDir=C:\\LIMITS\nTotalDisks=32\nDiskSpace=1000\n'
        printf '\n[fonts]\n';  for n in $(seq 33); do printf 'Font (%s), 100%%=FONT%s.TTF\n' "$n" "$n"; done
        printf '\n[Exit List]\n'; for n in $(seq 33); do printf 'Class%%s(%s)=Title (%s),Other%%u\n' "$n" "$n"; done
        printf '\n[Delete List]\n'; for n in $(seq 33); do printf 'File%s=Windows\\OLD%s.DLL\n' "$n" "$n"; done
        printf '\n[Target Subdirectories]\n'; for n in $(seq 33); do printf 'Subdirectory%s=SUB(%s)%%\n' "$n" "$n"; done
        printf '\n[Program Manager Group]\nGroupName=Group (100%%), x\n'
        for n in $(seq 33); do printf 'ITEM%s.EXE=Item (%s), 100%%,Win95\n' "$n" "$n"; done
        printf '\n[Old Program Manager Groups]\n'; for n in $(seq 9); do printf '%s.0=Old Group (%s)\n' "$n" "$n"; done
        printf '\n[Disk 1]\nDiskName=%s\n' "$(pad "Disk one " 300)"
        # A value of 259 characters (the most a line keeps) and one of 300.
        printf '%s=Target\\F0.TXT,%s\n' "$(pad A 255)" "$(pad "the first file " 245)"
        printf '%s=Target\\F1.TXT,%s\n' "$(pad B 255)" "$(pad "the second file " 286)"
        for n in $(seq 2 14); do printf '%s=Target\\F%s.TXT\n' "$(pad "K$n-" 255)" "$n"; done
        printf '%s=Target\\LAST.TXT\n' "$(pad Z "$2")"
        printf '\n[Disk 2]\nDiskName=%s\nD2.TXT=Target\n' "$(pad "Disk two " 4200)"
        printf '\n[Disk 3]\nDiskName=Disk 3\nD3.TXT=Target\n'
        cat
        for n in $(seq 4 32); do printf '\n[Disk %s]\nDiskName=Disk %s\nD%s.TXT=Target\n' "$n" "$n" "$n"; done
    } | sed 's/$/\r/' >"$dir/INSTALL.INI"
}

# same_verdict DIR: the installer (Windows 95) and kivpack check give the
# same dialog, section and line for the script in DIR; VERDICT is the
# dialog's id, 0 for the start dialog.
same_verdict() {
    local dir=$1 check section line
    check=$("$KIV_PACK" check "$dir/INSTALL.INI" 2>&1)
    kiv_start verdict "$(kiv_winpath "$dir/kivinstall.exe")"
    kiv_drive wait-dialog --title "$TITLE" --timeout 20
    if kiv_out_text 1001 | grep -q '^Enter the directory'; then
        kiv_expect_eq "$(sed -n 's/.*(dialog \([0-9]*\))$/\1/p' <<<"$check")" "" "kivpack check finds no fault either"
        VERDICT=0
    else
        section=$(sed -n 's/^[^[]*\[\([^]]*\)\] .*(dialog 1100)$/\1/p' <<<"$check")
        line=$(sed -n 's/^[^[]*\[[^]]*\] \(.*\): The above line .*(dialog 1100)$/\1/p' <<<"$check")
        kiv_expect_eq "$(kiv_out_text 1101)" "[$section]" "kivpack check names the same section"
        kiv_expect_eq "$(kiv_out_text 1102)" "$line" "kivpack check names the same line"
        VERDICT=1100
    fi
    kiv_drive press --title "$TITLE" --id 2
    kiv_wait verdict
}

kiv_set_version kivinstall.exe win95
TITLE=$LIM_TITLE
limits_script "$KIV_C/LIM1" 245 </dev/null
same_verdict "$KIV_C/LIM1"
kiv_expect_eq "$VERDICT" 0 "every table full, a key list of 4,096 bytes: the start dialog"
kiv_start limits 'C:\LIM1\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory"
kiv_expect_eq "$(kiv_out_text 1001)" "Enter the directory where you want to install ${LIM_PRODUCT:0:63}." \
    "the product name is shown as it is, cut to 63 characters"
# The first file's source path is longer than a path may be.
kiv_drive press --title "$TITLE" --id 1
kiv_expect_eq "$(kiv_copy_error)" "$(kiv_system_message 206)\\nFilename: C:\\LIM1\\$(pad A 255 | head -c 251)" \
    "a 255-character source name beside the installer: 1300, the path too long"
cancel
kiv_wait limits

limits_script "$KIV_C/LIM2" 246 </dev/null
same_verdict "$KIV_C/LIM2"
kiv_expect_eq "$VERDICT" 1100 "a key list one byte too long: the cut key is a faulty line"
printf '%s=Target\n' "$(pad N 256)" | limits_script "$KIV_C/LIM3" 245
same_verdict "$KIV_C/LIM3"
kiv_expect_eq "$VERDICT" 1100 "a 256-character name: a faulty line"
printf 'XYZ.TXT=Target,%s\n' "$(pad T 256)" | limits_script "$KIV_C/LIM4" 245
same_verdict "$KIV_C/LIM4"
kiv_expect_eq "$VERDICT" 0 "a file line of 263 characters is cut to 259: no fault"

kiv_end
