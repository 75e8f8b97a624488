#!/bin/bash
# The installer started from a downloads folder that someone has filled with
# DLLs of their own, named like every DLL that the installer and the system
# load for it during a whole installation (start dialog, folder browser,
# Begin, completion): none of them may be loaded, under an emulated Windows 10
# and Windows XP. The planted DLL (kivplanted.dll) leaves a marker file when a
# process loads it; WINEDEBUG=+loaddll shows where each module came from.
# Also: the packed installer carries the stub's manifest and runs with it.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
PLANTED=$(kiv_exe kivplanted.dll) || exit 1
PROBE=$(kiv_exe kivloadprobe.exe) || exit 1
RESOURCES=$(kiv_exe resource_probe.exe) || exit 1
TITLE="Plant Setup"
DOWNLOADS=$KIV_C/Downloads
TARGET=$KIV_C/PLANT
# Names that programs on Windows commonly load on demand from their own
# directory when nothing stops them, whether or not Wine loads them here.
CLASSIC="version.dll uxtheme.dll dwmapi.dll cryptbase.dll profapi.dll propsys.dll userenv.dll
winmm.dll msimg32.dll dbghelp.dll wtsapi32.dll ntmarta.dll lz32.dll comdlg32.dll oleaut32.dll"

PRODUCT=$KIV_WORK/product
mkdir -p "$PRODUCT" "$DOWNLOADS"
printf '[Basic Information]\r\nHelpFileName=PLANT.HLP\r\nCaption=%s\r\nProductName=Plant\r\n' "$TITLE" >"$PRODUCT/INSTALL.INI"
cat >>"$PRODUCT/INSTALL.INI" <<'EOF'
ProductVersion=1.0
DefaultTargetDir=C:\PLANT
UninstallName=Plant 1.0
TotalDisks=1
DiskSpace=4000

[Program Manager Group]
GroupName=Plant
ONE.TXT=Plant notes

[Disk 1]
DiskName=Plant Disk 1
ONE.TXT=Target,the notes
EOF
printf 'help\r\n' >"$PRODUCT/PLANT.HLP"
printf 'the notes\r\n' >"$PRODUCT/ONE.TXT"
"$KIV_PACK" build "$PRODUCT/INSTALL.INI" -o "$DOWNLOADS/setup.exe" --stub "$INSTALLER" >/dev/null ||
    kiv_die "kivpack build failed"

# install_all TAG VERSION: a whole installation from the downloads folder,
# the folder browser included, traced; the trace is $KIV_ART/TAG.err.
install_all() {
    kiv_set_version setup.exe "$2"
    rm -rf "$TARGET"
    WINEDEBUG=+loaddll kiv_start "$1" 'C:\Downloads\setup.exe'
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --text "Bro&wse"
    kiv_drive wait-dialog --title "Browse for Folder" -- press --id 2
    kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- press --text "&Begin"
    kiv_drive wait-dialog --title "$TITLE" --text "successfully completed" --timeout 60 -- press --id 1
    kiv_wait "$1"
    kiv_expect_eq "$KIV_RC" 0 "$1: exit code"
    kiv_expect_file_has "$TARGET/ONE.TXT" "the notes" "$1: the installation completed"
}

# loads TAG: "PATH KIND" for every module of the trace (KIND native or
# builtin), paths in lower case with single backslashes.
loads() {
    sed -n 's/^.*:trace:loaddll:.* Loaded L"\(.*\)" at [0-9A-Fa-f]*: \([a-z]*\)\r\?$/\1 \2/p' "$KIV_ART/$1.err" |
        sed 's/\\\\/\\/g' | tr '[:upper:]' '[:lower:]'
}

markers() { (cd "$DOWNLOADS" && ls -- *.loaded 2>/dev/null | tr '\n' ' '); }

# ---------------------------------------------------------------------------
kiv_case "the manifest travels with the packed installer"
MANIFEST=$KIV_SOURCE_DIR/src/resources/kivinstall.manifest
listing=$(kiv_run "$RESOURCES" 'C:\Downloads\setup.exe')
kiv_expect_contains "$listing" "res 24 1 " "setup.exe has resource 1 of type RT_MANIFEST"
kiv_expect_eq "$(awk '$1 == "res" && $2 == 24 && $3 == 1 { print $5 }' <<<"$listing" | tr -d '\r')" \
    "$(stat -c %s "$MANIFEST")" "the manifest resource is the stub's manifest, whole"
grep -aq 'requestedExecutionLevel level="requireAdministrator"' "$DOWNLOADS/setup.exe" &&
    kiv_pass "the packed installer asks to run as administrator" ||
    kiv_fail "the packed installer asks to run as administrator"

# ---------------------------------------------------------------------------
kiv_case "the DLLs of a whole installation"
install_all survey win10
SURVEY=$(loads survey | awk '{ n = $1; sub(/.*\\/, "", n); print n }' | grep -v '^setup\.exe$' | sort -u)
kiv_expect_contains "$SURVEY" "shell32.dll" "the folder browser's library was loaded"
echo "loaded: $(tr '\n' ' ' <<<"$SURVEY")" | tee -a "$KIV_ART/suite.log"
kiv_expect_eq "$(loads survey | grep -c '^c:\\downloads\\.* native$')" 1 \
    "only setup.exe itself comes from the downloads folder"

for name in $SURVEY $CLASSIC; do cp "$PLANTED" "$DOWNLOADS/$name"; done
PLANTED_NAMES=$(printf '%s\n' $SURVEY $CLASSIC | sort -u | tr '\n' ' ')

# ---------------------------------------------------------------------------
kiv_case "the control: a program without precautions loads planted DLLs"
cp "$PROBE" "$DOWNLOADS/kivloadprobe.exe"
probe_out=$(kiv_run 'C:\Downloads\kivloadprobe.exe' $PLANTED_NAMES)
taken=$(markers)
echo "taken by the probe: $taken" | tee -a "$KIV_ART/suite.log"
kiv_expect_ne "$taken" "" "the probe took at least one planted DLL (so the check below can fail)"
echo "$probe_out" >"$KIV_ART/probe.out"
rm -f "$DOWNLOADS"/*.loaded "$DOWNLOADS/kivloadprobe.exe"

# ---------------------------------------------------------------------------
for version in win10 winxp; do
    kiv_case "planted DLLs beside the installer under $version"
    install_all "planted-$version" "$version"
    kiv_expect_eq "$(markers)" "" "no planted DLL ran its entry point"
    native=$(loads "planted-$version" | grep '^c:\\downloads\\.* native$' | grep -v '^c:\\downloads\\setup\.exe ')
    kiv_expect_eq "$native" "" "no module was loaded from the downloads folder but the installer"
    # The folder browser's library is no import: it is loaded by its full
    # path, so even the name found in the downloads folder is not used.
    kiv_expect_contains "$(loads "planted-$version")" 'c:\windows\system32\shell32.dll builtin' \
        "shell32.dll is taken from the system directory"
    # What Wine found there but replaced by its own DLL, for the log.
    echo "found in the downloads folder, builtin used: $(loads "planted-$version" |
        awk '/^c:\\downloads\\.* builtin$/ { n = $1; sub(/.*\\/, "", n); printf "%s ", n }')" |
        tee -a "$KIV_ART/suite.log"
    rm -f "$DOWNLOADS"/*.loaded
done

kiv_end
