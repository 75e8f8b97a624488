#!/bin/bash
# What the progress dialog's status line shows on the screen while a large
# file is copied right after small ones, under an emulated Windows 95 and
# Windows 10, in disk mode. The proof is in the pixels: the installer is
# stopped in the middle of the large file (every thread suspended), the
# screen is taken, and the status line's pixels are compared with those of
# a run whose only file is the large one, which shows that file's line from
# the start. A line painted late would still show a small file's text. Where
# the line is comes from a run that waits in a disk prompt.
source "$(dirname "$0")/lib.sh"
kiv_begin

TITLE="Status Test Setup"
DATA=$KIV_WORK/data
mkdir -p "$DATA"
# 400 MB of zeros that take no room in the source directory.
truncate -s 400000000 "$DATA/big.dat"
BIG=$(stat -c %s "$DATA/big.dat")
for n in 1 2 3 4 5; do printf 'small file %s\r\n' "$n" >"$DATA/small$n.txt"; done

# source_dir DIR VERSION FILE-LINES...: a disk-mode source directory whose
# installer sees Windows VERSION and installs the file lines given into
# C:\STATUS.
source_dir() {
    local dir=$1 version=$2 name
    shift 2
    kiv_disk_source "$dir" STATUS.HLP || kiv_die "cannot lay out $dir"
    mv "$dir/kivinstall.exe" "$dir/status$version.exe"
    kiv_set_version "status$version.exe" "$version"
    for name in small1.txt small2.txt small3.txt small4.txt small5.txt; do cp "$DATA/$name" "$dir/${name^^}"; done
    cp "$DATA/small1.txt" "$dir/LAST.TXT"
    ln -s "$DATA/big.dat" "$dir/BIG.DAT"
    {
        printf '[Basic Information]\nHelpFileName=STATUS.HLP\nCaption=%s\nProductName=Status Test\n' "$TITLE"
        printf 'DefaultTargetDir=C:\\STATUS\nTotalDisks=1\nDiskSpace=%s\n\n[Disk 1]\nDiskName=Status Disk 1\n' "$BIG"
        printf '%s\n' "$@"
    } | sed 's/$/\r/' >"$dir/INSTALL.INI"
}

# layout TAG EXE: a run whose large file is missing from its source
# directory, which waits in the disk prompt (1800) with the progress dialog
# idle behind it: sets LINE to the crop geometry of the status line (the
# progress dialog comes up at the same place in every run); Cancel ends it.
layout() {
    local tag=$1 exe=$2 left top right bottom
    LINE=
    kiv_begin_install "$tag" "$exe"
    kiv_drive wait-dialog --title "$TITLE" --text "Unable to locate" --timeout 60 -- \
        wait-dialog --title "$TITLE" --text "Copying the large file..." || return 1
    read -r left top right bottom <<<"$(sed -n 's/^  control .* id 1001 class "Static" rect \([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' "$KIV_OUT" | tail -1)"
    [ -n "$bottom" ] && LINE="$((right - left))x$((bottom - top))+$left+$top"
    kiv_drive press --title "$TITLE" --window-text "Unable to locate" --id 2 -- wait-exit
    kiv_wait "$tag"
}

# status_pixels TAG EXE: installs with Begin, stops the installer once a
# good part of the large file is written, takes the screen ($KIV_ART/TAG.png)
# and sets PIXELS to a digest of the status line's pixels and COLOURS to their number
# of colours (the line alone is kept as $KIV_ART/TAG-line.png); the
# installation then completes.
status_pixels() {
    local tag=$1 exe=$2 pid written
    PIXELS=none COLOURS=0
    rm -rf "$KIV_C/STATUS"
    kiv_start "$tag" "$exe"
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" || return 1
    pid=$(sed -n 's/^window 0x[0-9a-f]* pid \([0-9]*\) .*/\1/p' "$KIV_OUT" | head -1)
    # One driver from Begin to the stop, which polls the file every
    # millisecond: the copy takes about a second. While the installer copies
    # it answers no message, so nothing else can wait for its dialog. (Under
    # Wine what a busy program paints reaches the screen with a later paint,
    # some time after the program last took messages: here the gauge's
    # paints over the first part of the file.)
    kiv_drive --timeout 60 press --title "$TITLE" --id 1 -- wait-file 'C:\STATUS\BIG.DAT' $((BIG * 3 / 8)) -- \
        suspend --pid "$pid" || return 1
    written=$(stat -c %s "$KIV_C/STATUS/BIG.DAT")
    [ "$written" -lt "$BIG" ] && kiv_pass "$tag: the installer is stopped in the large file ($written bytes written)" ||
        kiv_fail "$tag: the installer is stopped in the large file ($written bytes written)"
    kiv_screenshot "$tag"
    kiv_drive resume --pid "$pid"
    convert "$KIV_ART/$tag.png" -crop "$LINE" +repage "$KIV_ART/$tag-line.png"
    PIXELS=$(convert "$KIV_ART/$tag-line.png" rgb:- | md5sum | cut -d' ' -f1)
    COLOURS=$(convert "$KIV_ART/$tag-line.png" -format %k info:)
    kiv_completes "$tag"
    kiv_expect_eq "$(stat -c %s "$KIV_C/STATUS/BIG.DAT" 2>/dev/null)" "$BIG" "$tag: the large file is in place"
}

for system in "95 win95" "10 win10"; do
    set -- $system
    kiv_case "$2: the status line during a large file that follows small files"
    source_dir "$KIV_C/LAY$1" "$2" 'BIG.DAT=Target,the large file'
    rm "$KIV_C/LAY$1/BIG.DAT"
    layout "layout$1" "C:\\LAY$1\\status$2.exe"
    [ -n "$LINE" ] || { kiv_fail "$2: the progress dialog's status line was not found"; continue; }
    source_dir "$KIV_C/REF$1" "$2" 'BIG.DAT=Target,the large file'
    source_dir "$KIV_C/RUN$1" "$2" 'SMALL1.TXT=Target,the first small file' 'SMALL2.TXT=Target,small file 2' \
        'SMALL3.TXT=Target,small file 3' 'SMALL4.TXT=Target' 'SMALL5.TXT=Target,small file 5' \
        'BIG.DAT=Target,the large file' 'LAST.TXT=Target,the last file'
    status_pixels "reference$1" "C:\\REF$1\\status$2.exe"
    reference=$PIXELS
    [ "$COLOURS" -gt 1 ] && kiv_pass "$2: the reference's status line holds text ($COLOURS colours)" ||
        kiv_fail "$2: the reference's status line holds text ($COLOURS colours)"
    status_pixels "after-small$1" "C:\\RUN$1\\status$2.exe"
    kiv_expect_eq "$PIXELS" "$reference" \
        "$2: on the screen, the status line during the large file reads as in a run with no file before it"
    kiv_expect_only_files "$KIV_C/STATUS" BIG.DAT LAST.TXT SMALL1.TXT SMALL2.TXT SMALL3.TXT SMALL4.TXT SMALL5.TXT
    rm -rf "$KIV_C/STATUS"
done

kiv_end
