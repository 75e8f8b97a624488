# A vendor's CMake project gets its installer from cpack: KivInstall
# installed with `cmake --install`, examples/cmake-project cross-compiled
# with the package's MinGW tool-chain file, `cpack -G External`, and the
# setup.exe installed under Wine: its files, its group item, its uninstall
# entry and the readme topic made from CPACK_RESOURCE_FILE_README.
source "$(dirname "$0")/lib.sh"
kiv_begin
unset KIVPACK_STUB KIVPACK_UNINSTALLER SOURCE_DATE_EPOCH
PREFIX=$KIV_WORK/kivinstall
PROJECT=$KIV_WORK/project
PROGRAMS="$KIV_C/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
TITLE="Hello Setup"

kiv_case "the project, configured, built and packed"
cmake --install "$KIV_HOST_DIR" --prefix "$PREFIX" >"$KIV_ART/install.log" 2>&1 || kiv_die "cmake --install failed"
cp -r "$PREFIX/share/doc/kivinstall/examples/cmake-project" "$PROJECT"
if ! cmake -S "$PROJECT" -B "$PROJECT/build" -G Ninja -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_TOOLCHAIN_FILE="$PREFIX/lib/cmake/KivInstall/mingw-i686.cmake" >"$KIV_ART/configure.log" 2>&1 ||
    ! cmake --build "$PROJECT/build" >"$KIV_ART/build.log" 2>&1; then
    kiv_die "the example project does not build: $(tail -5 "$KIV_ART/configure.log" "$KIV_ART/build.log")"
fi
(cd "$PROJECT/build" && cpack -G External >"$KIV_ART/cpack.log" 2>&1) || kiv_die "cpack: $(tail -5 "$KIV_ART/cpack.log")"
SETUP=$(ls "$PROJECT"/build/Hello-1.0-*.exe 2>/dev/null | head -1)
[ -n "$SETUP" ] || kiv_die "cpack -G External wrote no Hello-1.0-*.exe"
kiv_pass "cpack -G External wrote $(basename "$SETUP")"
cp "$SETUP" "$KIV_C/hello-setup.exe"

kiv_case "the installer, run as a person would"
kiv_start setup 'C:\hello-setup.exe'
kiv_drive wait-dialog --title "$TITLE" --text "Enter the directory" -- expect --id 1701 'C:\Program Files\Hello' -- \
    press --id 1 -- wait-dialog --title "$TITLE" --text "start Hello now" --timeout 60 -- press --id 2
kiv_wait setup
kiv_expect_eq "$KIV_RC" 0 "the installer's exit code"
T="$KIV_C/Program Files/Hello"
kiv_expect_file "$T/bin/hello.exe"
kiv_expect_same_file "$T/README.txt" "$PROJECT/README.txt" "the readme is installed as staged"
kiv_expect_same_file "$T/docs/guide.txt" "$PROJECT/docs/guide.txt" "a file of a subdirectory is installed"
kiv_expect_file "$T/UNINST.EXE"
kiv_expect_file "$PROGRAMS/Hello/Hello.lnk" "the group item of CPACK_PACKAGE_EXECUTABLES"
kiv_expect_eq "$(kiv_reg_get "$UNINSTALL\\Hello 1.0" DisplayName)" "Hello 1.0" "the uninstall entry's name"
kiv_expect_contains "$(kiv_reg_get "$UNINSTALL\\Hello 1.0" UninstallString | tr 'A-Z' 'a-z')" \
    'c:\program files\hello\uninst.exe' "the uninstall entry starts the uninstaller"

kiv_case "the readme topic"
"$PREFIX/bin/kivpack" extract "$SETUP" -d "$KIV_WORK/contents" >/dev/null 2>&1 || kiv_fail "kivpack extract"
help=$(ls "$KIV_WORK"/contents/*.HLP "$KIV_WORK"/contents/*/*.HLP 2>/dev/null | head -1)
"$PREFIX/bin/kivpack" helpfile --dump "$help" >"$KIV_WORK/help.txt" 2>&1
kiv_expect_file_has "$KIV_WORK/help.txt" "# 3904 About Hello" "the readme topic is the product's"
kiv_expect_file_has "$KIV_WORK/help.txt" "A small program that says hello" "it holds CPACK_RESOURCE_FILE_README"
kiv_expect_file_has "$KIV_WORK/help.txt" "Hello is an example" "and CPACK_RESOURCE_FILE_LICENSE"
kiv_end
