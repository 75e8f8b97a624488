#!/bin/bash
# The install run in disk mode, driven as a person would: a new installation
# with plain and SZDD files and the progress gauge read from screenshots;
# Cancel before the first file and during a large file; files assembled from
# appended parts that a stopped run must not leave half-assembled, and a file
# the run did not write that it must not lose; two disks on a floppy drive
# with the disk prompt (1700); a missing file on a fixed drive (1800); a
# destination held open by another program (1300, Retry until it is
# released).
source "$(dirname "$0")/lib.sh"
kiv_begin

HOLDER=$(kiv_exe kivholder.exe)
TITLE="Run Test Setup"
PRODUCT_CLASS=KivRunTestProduct
SHOTS=$KIV_WORK/shots

# The payload: text files, plain and SZDD, and one large SZDD file whose
# compressed size is far above the 256 KiB that is copied at once.
DATA=$KIV_WORK/data
mkdir -p "$DATA"
seq 1 6000000 | head -c 40000000 >"$DATA/big.txt"
"$KIV_PACK" compress "$DATA/big.txt" -o "$DATA/big.szdd" >/dev/null ||
    kiv_die "kivpack compress failed on the large file"
for n in 1 2 3; do
    seq "$n" 7 200000 >"$DATA/part$n.txt"
    "$KIV_PACK" compress "$DATA/part$n.txt" -o "$DATA/part$n.szdd" >/dev/null ||
        kiv_die "kivpack compress failed on part $n"
done
printf 'Notes of the product.\r\n%.0s' $(seq 300) >"$DATA/notes.txt"
"$KIV_PACK" compress "$DATA/notes.txt" -o "$DATA/notes.szdd" >/dev/null ||
    kiv_die "kivpack compress failed on the notes"
printf 'first file\r\n' >"$DATA/one.txt"
printf 'second file\r\n' >"$DATA/two.txt"
# A plain file large enough that a cancel reliably lands in its copy (some
# seconds); source directories link to it rather than copy it.
yes 'a large plain file, copied in chunks' | head -c 200000000 >"$DATA/huge.dat"
HUGE_SIZE=$(stat -c %s "$DATA/huge.dat")

# make_source DIR: a disk-mode source directory with the installer and the
# help file; the caller adds INSTALL.INI and the files.
make_source() {
    kiv_disk_source "$1" RUNTEST.HLP || kiv_die "cannot lay out $1"
}

# write_script DIR TARGET DISKSPACE TOTALDISKS: INSTALL.INI in DIR; the
# sections after [Basic Information] come from standard input.
write_script() {
    {
        printf '[Basic Information]\r\n'
        printf 'HelpFileName=RUNTEST.HLP\r\nCaption=%s\r\nProductName=RunTest\r\n' "$TITLE"
        printf 'ProductVersion=1.0\r\nDefaultTargetDir=%s\r\nTotalDisks=%s\r\nDiskSpace=%s\r\n\r\n' "$2" "$4" "$3"
        cat
    } >"$1/INSTALL.INI"
}

# ends_without_completion TAG: the run ended and the installer went away on
# its own, without a completion dialog (which would wait for the user).
ends_without_completion() {
    local pid i
    pid=$(cat "$KIV_WORK/job.$1")
    for i in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kiv_drive_rc dump
        kiv_fail "the installer ended without a completion dialog: it is still up ($(grep '^window' "$KIV_OUT" | head -2 | tr '\n' ' '))"
        kiv_drive_rc press --title "$TITLE" --id 1 --timeout 2
    else
        kiv_pass "the installer ended without a completion dialog"
    fi
    kiv_wait "$1"
    kiv_expect_eq "$KIV_RC" 0 "exit code"
}

# kiv_expect_same_file ACTUAL EXPECTED WHAT

# start_product SECONDS: a running copy of the product (the script's Exit
# List names its class) that takes SECONDS to handle WM_CLOSE, so that the
# run waits with the progress dialog up before its first file.
start_product() {
    rm -f "$KIV_C/product.ready"
    kiv_start product "$HOLDER" window "$PRODUCT_CLASS" 'C:\product.ready' "$1"
    wait_for_file "$KIV_C/product.ready" || kiv_die "the product window did not come up"
}

# wait_for_file PATH [TENTHS]: polls for PATH (default up to 20 s).
wait_for_file() {
    local i
    for i in $(seq "${2:-200}"); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# gauge_row SHOT: "BLUE WHITE", the fill and background pixels of the first
# row inside the gauge's frame.
gauge_row() {
    convert "$1" -crop "${GAUGE_WIDTH}x1+${GAUGE_X}+${GAUGE_Y}" +repage -format %c histogram:info:- 2>/dev/null |
        awk '/#0000FF/ { blue += $1 } /#FFFFFF/ { white += $1 } END { printf "%d %d\n", blue, white }'
}

# ---------------------------------------------------------------------------
kiv_case "a new installation into a directory that does not exist"
SRC=$KIV_C/SRC1
make_source "$SRC"
cp "$DATA/one.txt" "$SRC/ONE.TXT"
cp "$DATA/notes.szdd" "$SRC/NOTES.TX_"
cp "$DATA/big.szdd" "$SRC/BIG.DAT"
cp "$DATA/part1.szdd" "$SRC/README.TX_"
cp "$DATA/two.txt" "$SRC/TWO.TXT"
TOTAL=$(( $(stat -c %s "$DATA/one.txt" "$DATA/notes.txt" "$DATA/big.txt" "$DATA/part1.txt" "$DATA/two.txt" |
    paste -sd+) ))
# Twice the bytes really written: the gauge stays near half during the copy
# and reads full only because the run sets it so after the last file. The
# font makes the run broadcast WM_FONTCHANGE before the first file and again
# in its closing steps; a program that takes its time over it holds the run
# there with the progress dialog up and answering.
write_script "$SRC" 'C:\RUNTEST\NEW\DIR' $((TOTAL * 2)) 1 <<EOF
[fonts]
Run Test Sans=RUNTEST.FON

[Target Subdirectories]
Subdirectory1=DOCS

[Disk 1]
DiskName=Run Test Disk 1
ONE.TXT=Target
NOTES.TX_=Target\NOTES.TXT,the notes
BIG.DAT=Target,the large file
README.TX_=Target\DOCS\README.TXT
TWO.TXT=Target,the last file
EOF
rm -f "$KIV_C/fonts.ready"
kiv_start fontwatch "$HOLDER" window KivRunTestFontWatch 'C:\fonts.ready' 0 4
wait_for_file "$KIV_C/fonts.ready" || kiv_die "the font watcher did not come up"
kiv_begin_install new 'C:\SRC1\kivinstall.exe'
kiv_drive wait-gone --title "$TITLE" --text "Enter the directory" -- \
    wait-dialog --title "$TITLE" --text "Cancel" --timeout 10
kiv_out_has 'class "KivInstallGauge"' "the progress dialog holds the gauge"
grep -q '^  control .* id 1001 class "Static" .* text ""$' "$KIV_OUT" &&
    kiv_pass "the status line is empty before the first file" || kiv_fail "the status line is empty before the first file"
grep -q '^  control .* id 2 class "Button" .* visible enabled .*text "Cancel"$' "$KIV_OUT" &&
    kiv_pass "Cancel is enabled before the files are copied" || kiv_fail "Cancel is enabled before the files are copied"
read -r GL GT GR GB <<<"$(sed -n 's/^  control .* id 2101 class "KivInstallGauge" rect \([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' "$KIV_OUT")"
GAUGE_X=$((GL + 1)) GAUGE_Y=$((GT + 1)) GAUGE_WIDTH=$((GR - GL - 2))
kiv_screenshot progress-before-files
kiv_expect_eq "$(gauge_row "$KIV_ART/progress-before-files.png")" "0 $GAUGE_WIDTH" "the gauge is empty before the first file"
mkdir -p "$SHOTS"
(
    end=$((SECONDS + 40))
    while [ ! -e "$SHOTS/stop" ] && [ $SECONDS -lt $end ]; do
        import -window root -display "$DISPLAY" "$SHOTS/$(date +%s%N).png" 2>/dev/null
    done
) &
SHOOTER=$!
# The closing steps: the fonts come first, under a disabled Cancel.
kiv_drive wait-dialog --title "$TITLE" --text "Installing Fonts..." --timeout 60
kiv_screenshot progress-closing-steps
touch "$SHOTS/stop"
wait "$SHOOTER"
grep -q '^  control .* id 2 class "Button" .* visible disabled .*text "Cancel"$' "$KIV_OUT" &&
    kiv_pass "Cancel is disabled in the closing steps" || kiv_fail "Cancel is disabled in the closing steps"
kiv_drive_rc press --title "$TITLE" --id 2 --timeout 0.3
kiv_expect_file_has "$KIV_ERR" "the control is disabled" "Cancel cannot be pressed in the closing steps"
kiv_expect_eq "$(gauge_row "$KIV_ART/progress-closing-steps.png")" "$GAUGE_WIDTH 0" \
    "after the last file the gauge reads full, although DiskSpace is twice the bytes written"
kiv_completes new
rm "$KIV_C/fonts.ready"
kiv_wait fontwatch
T=$KIV_C/RUNTEST/NEW/DIR
kiv_expect_same_file "$T/ONE.TXT" "$DATA/one.txt" "a plain file arrives unchanged"
kiv_expect_same_file "$T/NOTES.TXT" "$DATA/notes.txt" "an SZDD file arrives expanded under its destination name"
kiv_expect_same_file "$T/BIG.DAT" "$DATA/big.txt" "the large SZDD file arrives expanded"
kiv_expect_same_file "$T/DOCS/README.TXT" "$DATA/part1.txt" "a file below a target subdirectory arrives"
kiv_expect_same_file "$T/TWO.TXT" "$DATA/two.txt" "the last file arrives"
kiv_expect_only_files "$T" BIG.DAT DOCS NOTES.TXT ONE.TXT TWO.TXT
# The gauge during the copy: partly filled, and never beyond the share of
# DiskSpace really written (half of it).
partial=0 beyond=0 most=0
for shot in "$SHOTS"/*.png; do
    read -r blue white <<<"$(gauge_row "$shot")"
    [ $((blue + white)) -eq "$GAUGE_WIDTH" ] && [ "$blue" -gt 0 ] && [ "$white" -gt 0 ] || continue
    partial=$((partial + 1))
    if [ "$blue" -gt $((GAUGE_WIDTH / 2 + 1)) ]; then
        beyond=$((beyond + 1))
    elif [ "$blue" -gt "$most" ]; then
        most=$blue
        cp "$shot" "$KIV_ART/progress-mid-run.png"
    fi
done
kiv_expect_ne "$partial" 0 "screenshots show the gauge partly filled during the large file ($partial)"
kiv_expect_eq "$beyond" 0 "during the copy the gauge shows no more than the bytes written against DiskSpace"

# ---------------------------------------------------------------------------
kiv_case "Cancel before the first file"
rm -rf "$KIV_C/RUNTEST"
# A running copy of the product that is slow to close holds the run in its
# exit list, after the progress dialog is shown.
sed -i '/^\[fonts\]/,/^\r\?$/d' "$SRC/INSTALL.INI"
printf '[Exit List]\r\n%s=\r\n\r\n' "$PRODUCT_CLASS" >>"$SRC/INSTALL.INI"
start_product 4
kiv_begin_install early 'C:\SRC1\kivinstall.exe'
# The run waits for the product; the press is queued and seen by the first
# pump after the exit list, before any file is copied.
kiv_drive wait-gone --title "$TITLE" --text "Enter the directory" -- \
    wait-dialog --title "$TITLE" --text "Cancel" --timeout 5 -- press --id 2
ends_without_completion early
kiv_wait product
kiv_expect_only_files "$KIV_C/RUNTEST/NEW/DIR" DOCS
kiv_expect_only_files "$KIV_C/RUNTEST/NEW/DIR/DOCS"

# ---------------------------------------------------------------------------
kiv_case "Cancel during a large file"
rm -rf "$KIV_C/RUNTEST"
# No exit list this time: nothing holds the run before the files.
sed -i "/^\[Exit List\]/d; /^$PRODUCT_CLASS=/d" "$SRC/INSTALL.INI"
ln -sf "$DATA/huge.dat" "$SRC/BIG.DAT"
T=$KIV_C/RUNTEST/NEW/DIR
# The close box is used as soon as the large file appears, while it is being
# copied, however fast the copy. The busy dialog does not see the click until
# the next pump.
kiv_start large 'C:\SRC1\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1 -- \
    wait-file 'C:\RUNTEST\NEW\DIR\BIG.DAT' --timeout 30 -- close --title "$TITLE"
ends_without_completion large
# The transfer of a file is not interrupted: the cancel is seen at the pump
# after it, so the large file is complete and the files after it are not
# copied. (Had the click come before the large file, it would be missing;
# had it come after, the later files would be there.)
kiv_expect_same_file "$T/ONE.TXT" "$DATA/one.txt" "a file installed before the cancel stays"
kiv_expect_same_file "$T/BIG.DAT" "$DATA/huge.dat" "the large file is complete, not partial"
kiv_expect_only_files "$T" BIG.DAT DOCS NOTES.TXT ONE.TXT
kiv_expect_only_files "$T/DOCS"

# ---------------------------------------------------------------------------
kiv_case "Cancel between the parts of an appended file"
SRC=$KIV_C/SRC2
make_source "$SRC"
cp "$DATA/one.txt" "$SRC/ONE.TXT"
ln -s "$DATA/huge.dat" "$SRC/JOINED.1"
cp "$DATA/part2.szdd" "$SRC/JOINED.2"
write_script "$SRC" 'C:\RUNTEST\JOIN' $((HUGE_SIZE * 2)) 1 <<EOF
[Disk 1]
DiskName=Run Test Disk 1
ONE.TXT=Target
JOINED.1=Target\JOINED.DAT,the first part
JOINED.2=Target\JOINED.DAT,the second part,Append
EOF
T=$KIV_C/RUNTEST/JOIN
kiv_start join 'C:\SRC2\kivinstall.exe'
# Esc as soon as the file appears, in the copy of the first part.
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --id 1 -- \
    wait-file 'C:\RUNTEST\JOIN\JOINED.DAT' --timeout 30 -- key --title "$TITLE" ESC
ends_without_completion join
# The first part was complete when the cancel was seen, but the file lacks
# its second part: it must not stay half-assembled. (Had Esc come during the
# second part, the file would be complete and kept.)
kiv_expect_no_file "$T/JOINED.DAT" "the half-assembled file is deleted"
kiv_expect_same_file "$T/ONE.TXT" "$DATA/one.txt" "the file before it stays"
kiv_expect_only_files "$T" ONE.TXT

# ---------------------------------------------------------------------------
kiv_case "Cancel in the error dialog of an appended part"
# A second part whose stored data ends early: its transfer fails (1300).
SRC=$KIV_C/SRC5
make_source "$SRC"
cp "$DATA/part1.szdd" "$SRC/JOINED.1"
head -c $(( $(stat -c %s "$DATA/part2.szdd") - 100 )) "$DATA/part2.szdd" >"$SRC/JOINED.2"
cp "$SRC/JOINED.2" "$SRC/LOG.ADD"
write_script "$SRC" 'C:\RUNTEST\BROKEN' 100000 1 <<EOF
[Disk 1]
DiskName=Run Test Disk 1
JOINED.1=Target\JOINED.DAT
JOINED.2=Target\JOINED.DAT,,Append
EOF
T=$KIV_C/RUNTEST/BROKEN
kiv_begin_install broken 'C:\SRC5\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Filename:" -- press --id 2
ends_without_completion broken
kiv_expect_no_file "$T/JOINED.DAT" "the file holding only its first part is deleted"
kiv_expect_only_files "$T"

# The same failure on a part appended to a file that this run did not write
# (one the product keeps adding to): the file stays as it was.
mkdir -p "$T"
printf 'the user'\''s own lines\r\n' >"$T/USER.LOG"
cp "$T/USER.LOG" "$DATA/user.log"
write_script "$SRC" 'C:\RUNTEST\BROKEN' 100000 1 <<EOF
[Disk 1]
DiskName=Run Test Disk 1
LOG.ADD=Target\USER.LOG,,Append
EOF
kiv_begin_install userlog 'C:\SRC5\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Filename:" -- press --id 2
ends_without_completion userlog
kiv_expect_same_file "$T/USER.LOG" "$DATA/user.log" "a file the run did not write is kept unchanged"

# ---------------------------------------------------------------------------
kiv_case "two disks on a floppy drive: the disk prompt"
DISK1=$KIV_WORK/disk1
make_source "$DISK1"
mkdir -p "$KIV_C/DISK2"
cp "$DATA/one.txt" "$DISK1/ONE.TXT"
cp "$DATA/part1.szdd" "$DISK1/PARTS.1"
cp "$DATA/part2.szdd" "$KIV_C/DISK2/PARTS.2"
cp "$DATA/part3.szdd" "$KIV_C/DISK2/PARTS.3"
cp "$DATA/two.txt" "$KIV_C/DISK2/TWO.TXT"
PARTS_SIZE=$(( $(stat -c %s "$DATA/part1.txt" "$DATA/part2.txt" "$DATA/part3.txt" | paste -sd+) ))
write_script "$DISK1" 'C:\RUNTEST\DISKS' $((PARTS_SIZE + 100)) 2 <<EOF
[Disk 1]
DiskName=Run Test Disk 1
ONE.TXT=Target
PARTS.1=Target\PARTS.DAT,the parts

[Disk 2]
DiskName=Run Test Disk 2
PARTS.2=Target\PARTS.DAT,,Append
PARTS.3=Target\PARTS.DAT,,Append
TWO.TXT=Target
EOF
cat "$DATA/part1.txt" "$DATA/part2.txt" "$DATA/part3.txt" >"$DATA/parts.txt"
kiv_map_drive a "$DISK1" floppy
T=$KIV_C/RUNTEST/DISKS

# Cancel in the prompt: PARTS.DAT holds only the first disk's part.
kiv_begin_install disks 'A:\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Please insert Run Test Disk 2"
kiv_out_has "Please insert Run Test Disk 2 or enter another directory where this disk's files can be found."
kiv_out_has 'id 1701 class "Edit"' "the prompt has the directory field"
grep -q '^  control .* id 1701 class "Edit" .* text "A:\\"$' "$KIV_OUT" &&
    kiv_pass "the field holds the source directory A:\\" || kiv_fail "the field holds the source directory A:\\"
owner=$(sed -n 's/^window .* owner \(0x[0-9a-f]*\) title .*/\1/p' "$KIV_OUT" | head -1)
kiv_expect_ne "$owner" "0x00000000" "the prompt is owned by the progress dialog"
kiv_screenshot disk-prompt
kiv_drive press --title "$TITLE" --window-text "Please insert" --id 2
ends_without_completion disks
kiv_expect_same_file "$T/ONE.TXT" "$DATA/one.txt" "the first disk's plain file stays"
kiv_expect_no_file "$T/PARTS.DAT" "the file that lacks its second disk's parts is deleted"

# The prompt answered with the directory that holds the second disk.
rm -rf "$T"
kiv_begin_install disks2 'A:\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Please insert Run Test Disk 2" -- \
    type --id 1701 --set 'C:\DISK2' -- press --id 1
kiv_completes disks2
kiv_expect_same_file "$T/PARTS.DAT" "$DATA/parts.txt" "the parts of both disks are assembled in order"
kiv_expect_same_file "$T/TWO.TXT" "$DATA/two.txt" "the second disk's files are read from the entered directory"
kiv_expect_only_files "$T" ONE.TXT PARTS.DAT TWO.TXT
kiv_unmap_drive a

# ---------------------------------------------------------------------------
kiv_case "a missing file on a fixed drive"
SRC=$KIV_C/SRC3
make_source "$SRC"
mkdir -p "$KIV_C/ELSEWHERE"
cp "$DATA/one.txt" "$SRC/ONE.TXT"
cp "$DATA/notes.szdd" "$KIV_C/ELSEWHERE/LATE.TX_"
write_script "$SRC" 'C:\RUNTEST\MISSING' 100000 1 <<EOF
[Disk 1]
DiskName=Run Test Disk 1
ONE.TXT=Target
LATE.TX_=Target\LATE.TXT
EOF
T=$KIV_C/RUNTEST/MISSING
kiv_begin_install missing 'C:\SRC3\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Unable to locate"
kiv_out_has "Unable to locate LATE.TX_, please enter a directory where this file can be found."
grep -q '^  control .* id 1701 class "Edit" .* text "C:\\SRC3"$' "$KIV_OUT" &&
    kiv_pass "the field holds the source directory" || kiv_fail "the field holds the source directory"
kiv_drive type --title "$TITLE" --window-text "Unable to locate" --id 1701 --set 'C:\ELSEWHERE' -- press --id 1
kiv_completes missing
kiv_expect_same_file "$T/LATE.TXT" "$DATA/notes.txt" "the file arrives from the entered directory"
kiv_expect_same_file "$T/ONE.TXT" "$DATA/one.txt" "the file before it arrives"
kiv_expect_only_files "$T" LATE.TXT ONE.TXT

# ---------------------------------------------------------------------------
kiv_case "a destination held open by another program: Retry"
SRC=$KIV_C/SRC4
make_source "$SRC"
cp "$DATA/one.txt" "$SRC/ONE.TXT"
cp "$DATA/two.txt" "$SRC/TWO.TXT"
write_script "$SRC" 'C:\RUNTEST\LOCKED' 100000 1 <<EOF
[Disk 1]
DiskName=Run Test Disk 1
ONE.TXT=Target
TWO.TXT=Target,the locked file
EOF
T=$KIV_C/RUNTEST/LOCKED
mkdir -p "$T"
printf 'old copy\r\n' >"$T/TWO.TXT"
rm -f "$KIV_C/lock.ready"
kiv_start lock "$HOLDER" lock 'C:\RUNTEST\LOCKED\TWO.TXT' 'C:\lock.ready' 60
wait_for_file "$KIV_C/lock.ready" || kiv_die "the destination could not be held open"
kiv_begin_install locked 'C:\SRC4\kivinstall.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Filename:"
kiv_out_has 'Filename: C:\RUNTEST\LOCKED\TWO.TXT' "dialog 1300 names the destination"
kiv_screenshot copy-error
# Retry while the file is still held: the same dialog again.
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 1
sleep 1
kiv_drive wait-dialog --title "$TITLE" --text "Filename:"
kiv_expect_file_has "$T/TWO.TXT" "old copy" "the held file is untouched"
rm "$KIV_C/lock.ready"
kiv_wait lock
kiv_drive press --title "$TITLE" --window-text "Filename:" --id 1
kiv_completes locked
kiv_expect_same_file "$T/TWO.TXT" "$DATA/two.txt" "after the release Retry installs the file"
kiv_expect_same_file "$T/ONE.TXT" "$DATA/one.txt" "the file before it is installed"
kiv_expect_only_files "$T" ONE.TXT TWO.TXT

kiv_end
