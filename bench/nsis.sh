# shellcheck shell=bash
# The peer installer of part 4: the corpus packed with NSIS 3 (makensis),
# as one product installed into C:\KIVNSIS under the files' own names.
# Sourced by run-bench.sh, which packs it, and wine.sh, which installs it.

NSIS_TARGET='C:\KIVNSIS'
# The packings: name and makensis's compressor line. Only the zlib ones are
# installed; LZMA gives the size of the peer's best packing.
NSIS_PACKINGS=("zlib:SetCompressor zlib" "zlib_solid:SetCompressor /SOLID zlib"
    "lzma_solid:SetCompressor /SOLID lzma")
NSIS_INSTALLED=(zlib zlib_solid)

# nsis_script CORPUS COMPRESSOR OUTFILE: the script on standard output. The
# progress page closes by itself when the files are in place and shows the
# name of each file as it is extracted; /S runs the same installer silently.
nsis_script() {
    local corpus=$1 compressor=$2 outfile=$3
    printf 'Unicode true\n%s\nName "KivBench"\nOutFile "%s"\n' "$compressor" "$outfile"
    printf 'InstallDir "%s"\nRequestExecutionLevel user\nAutoCloseWindow true\nShowInstDetails show\n' \
        "$NSIS_TARGET"
    printf 'Page instfiles\nSection\nSetOutPath "$INSTDIR"\n'
    awk -v dir="$corpus/files" '{ printf "File \"%s/%s\"\n", dir, $1 }' "$corpus/MANIFEST"
    printf 'SectionEnd\n'
}

# nsis_pack CORPUS DIR: DIR/NAME.exe for every packing; the sizes into the
# results as size.nsis.NAME.
nsis_pack() {
    local corpus=$1 dir=$2 packing name
    mkdir -p "$dir"
    for packing in "${NSIS_PACKINGS[@]}"; do
        name=${packing%%:*}
        nsis_script "$corpus" "${packing#*:}" "$dir/$name.exe" >"$dir/$name.nsi"
        makensis -V1 "$dir/$name.nsi" >"$dir/$name.log" 2>&1 ||
            { echo "bench: makensis failed for $name (see $dir/$name.log)" >&2; return 1; }
        bench_put "size.nsis.$name" "$(stat -c %s "$dir/$name.exe")"
    done
}
