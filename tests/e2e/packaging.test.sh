# KivInstall as a vendor installs it: `cmake --install` into a prefix that
# is then moved, the Debian package from `cpack -G DEB` unpacked into a
# root of its own, each kivpack packing the demo from another directory
# with no --stub and no variables; the stubs' release checked; the CMake
# package's kivinstall_add_setup and its CPack route in a project of their
# own (natively: the installer is only packed here; the Wine suite
# cmake_project installs one).
set -u
src="${KIV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}"
host="${KIV_HOST_DIR:-$src/build/host}"
for f in "$host/kivpack" "${KIV_WIN32_DIR:-}/kivinstall.exe" "${KIV_WIN32_DIR:-}/kivuninst.exe"; do
    [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done
work=$(mktemp -d /tmp/kiv-packaging.XXXXXX)
trap 'rm -rf "$work"' EXIT
unset KIVPACK_STUB KIVPACK_UNINSTALLER SOURCE_DATE_EPOCH
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
DATE="2024-02-03 04:05"

# The reference: the demo as the build tree's kivpack packs it.
demo() { # KIVPACK OUT: packs the installed demo of the prefix of KIVPACK
    local prefix
    prefix=$(cd "$(dirname "$1")/.." && pwd)
    (cd "$work/elsewhere" && "$1" build "$prefix/share/doc/kivinstall/examples/demo/INSTALL.INI" -o "$2" \
        --date "$DATE" >"$2.log" 2>&1)
}
mkdir -p "$work/elsewhere" "$work/reference"
cp "$src/examples/demo/INSTALL.INI" "$src/examples/demo/README.TXT" "$host/demo/DEMO.HLP" "$work/reference/"
cp "${KIV_WIN32_DIR}/demo/KIVDEMO.exe" "$work/reference/KIVDEMO.EXE"
"$host/kivpack" build "$work/reference/INSTALL.INI" -o "$work/reference.exe" --date "$DATE" >/dev/null 2>&1 ||
    fail "the build tree's kivpack does not pack the demo"

# --- cmake --install, the prefix moved -------------------------------------
cmake --install "$host" --prefix "$work/inst" >"$work/install.log" 2>&1 || fail "cmake --install: $(tail -3 "$work/install.log")"
mv "$work/inst" "$work/moved"
p=$work/moved
for f in bin/kivpack share/kivinstall/kivinstall.exe share/kivinstall/kivuninst.exe share/man/man1/kivpack.1.gz \
    share/man/man5/kivinstall.ini.5.gz share/doc/kivinstall/README.md share/doc/kivinstall/script-reference.md \
    share/doc/kivinstall/examples/demo/KIVDEMO.EXE share/doc/kivinstall/examples/cmake-project/CMakeLists.txt \
    lib/cmake/KivInstall/KivInstallConfig.cmake lib/cmake/KivInstall/KivInstallConfigVersion.cmake; do
    [ -f "$p/$f" ] || fail "the installation lacks $f"
done
file "$p/bin/kivpack" | grep -q "not stripped" && fail "bin/kivpack is not stripped: $(file "$p/bin/kivpack")"
# kivpack try finds what it runs in the moved installation (or it would stop
# at that, exit 1, before it looks for Wine: exit 3 on a PATH without it).
for f in kivtry.sh lib_prefix.sh lib_system.sh kivdriver.exe kiventry.exe; do
    [ -f "$p/share/kivinstall/try/$f" ] || fail "the installation lacks share/kivinstall/try/$f"
done
mkdir -p "$work/nowine" && ln -sf "$(command -v bash)" "$work/nowine/bash"
PATH=$work/nowine "$p/bin/kivpack" try "$work/reference.exe" >/dev/null 2>"$work/try.err"
[ $? -eq 3 ] && grep -q "apt-get install" "$work/try.err" && ok "the moved installation's kivpack try finds its harness" ||
    fail "kivpack try in the moved installation: $(cat "$work/try.err")"
if demo "$p/bin/kivpack" "$work/elsewhere/moved.exe" && cmp -s "$work/elsewhere/moved.exe" "$work/reference.exe"; then
    ok "the moved installation packs the demo from another directory, as the build tree does"
else
    fail "the moved installation's build: $(cat "$work/elsewhere/moved.exe.log")"
fi
version=$("$p/bin/kivpack" --version)
grep -qx "installer stub: 0\.[0-9.]* ($p/share/kivinstall/kivinstall.exe)" <<<"${version//[0-9]/0}" ||
    grep -qF "($p/share/kivinstall/kivinstall.exe)" <<<"$version" && ok "--version: $(tr '\n' ' ' <<<"$version")" ||
    fail "--version does not name the installed stubs: $version"
[ "$(head -1 <<<"$version")" = "kivpack $(sed -n 's/.*project(KivInstall VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")" ] ||
    fail "--version's first line '$(head -1 <<<"$version")' is not the project's version"

# A kivpack with no stubs anywhere says where it looked and how to name one.
mkdir -p "$work/bare/bin" && cp "$p/bin/kivpack" "$work/bare/bin/"
"$work/bare/bin/kivpack" build "$work/reference/INSTALL.INI" -o "$work/bare/x.exe" >/dev/null 2>"$work/bare.err"
rc=$?
message=$(grep -v "^\[Disk" "$work/bare.err")
if [ $rc -eq 1 ] && [[ $message == *"no installer stub found; looked for $work/bare/share/kivinstall/kivinstall.exe, $work/bare/bin/kivinstall.exe and $work/bare/win32/kivinstall.exe (give --stub KIVINSTALL.EXE or set KIVPACK_STUB)"* ]] &&
    [ ! -e "$work/bare/x.exe" ]; then
    ok "no stub: $message"
else
    fail "no stub: exit $rc: $message"
fi
KIVPACK_STUB=$p/share/kivinstall/kivinstall.exe "$work/bare/bin/kivpack" build "$work/reference/INSTALL.INI" \
    -o "$work/bare/x.exe" >/dev/null 2>"$work/bare.err"
grep -q "no uninstaller stub found; looked for $p/share/kivinstall/kivuninst.exe, .* (give --uninstaller-stub KIVUNINST.EXE or set KIVPACK_UNINSTALLER)" "$work/bare.err" &&
    fail "the uninstaller stub beside KIVPACK_STUB's was not used" || ok "the uninstaller stub is found beside KIVPACK_STUB's"
[ -f "$work/bare/x.exe" ] || fail "KIVPACK_STUB alone: $(cat "$work/bare.err")"

# A stub of another release is refused, by name and release.
release=$(sed -n 's/.*project(KivInstall VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
perl -0777 -pe 'my $o = join("\0", split(//, "KivInstall '"$release"' installer")) . "\0";
    (my $n = $o) =~ s/[0-8]/9/g; s/\Q$o\E/$n/' "$p/share/kivinstall/kivinstall.exe" >"$work/old-stub.exe"
cmp -s "$work/old-stub.exe" "$p/share/kivinstall/kivinstall.exe" && fail "the release string of the stub was not found to change"
"$p/bin/kivpack" build "$work/reference/INSTALL.INI" -o "$work/old.exe" --stub "$work/old-stub.exe" >/dev/null 2>"$work/old.err"
rc=$?
if [ $rc -eq 1 ] && grep -q "old-stub.exe: the installer stub of KivInstall 9[0-9.]*, but this is kivpack [0-9.]*, which packs only the stubs of its own release" "$work/old.err" &&
    [ ! -e "$work/old.exe" ]; then
    ok "a stub of another release is refused: $(grep KivInstall "$work/old.err")"
else
    fail "another release's stub: exit $rc: $(cat "$work/old.err")"
fi
"$p/bin/kivpack" uninstaller "$work/reference/INSTALL.INI" -o "$work/u.exe" --stub "$p/share/kivinstall/kivinstall.exe" \
    >/dev/null 2>"$work/u.err"
rc=$?
if [ $rc -eq 1 ] && grep -q "kivinstall.exe: not an uninstaller stub but the installer stub of KivInstall" "$work/u.err" &&
    [ ! -e "$work/u.exe" ]; then
    ok "the installer stub is refused as the uninstaller stub"
else
    fail "the installer stub as the uninstaller stub: exit $rc: $(cat "$work/u.err")"
fi

# --- The Debian package ------------------------------------------------------
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    (cd "$work" && cpack --config "$host/CPackConfig.cmake" -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) ||
        fail "cpack -G DEB: $(tail -5 "$work/cpack.log")"
    deb=$(ls "$work"/deb/kivinstall_*_amd64.deb 2>/dev/null | head -1)
    if [ -n "$deb" ]; then
        ok "cpack -G DEB wrote $(basename "$deb") ($(stat -c %s "$deb") bytes)"
        depends=$(dpkg-deb -f "$deb" Depends)
        [[ $depends == *libc6* && $depends == *libstdc++6* ]] && ok "Depends: $depends" || fail "Depends: '$depends'"
        [ "$(dpkg-deb -f "$deb" Recommends)" = wine ] || fail "Recommends: '$(dpkg-deb -f "$deb" Recommends)'"
        dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' | sed 's/^/  outside \/usr: /' |
            grep . && fail "the package holds files outside /usr"
        mkdir -p "$work/root" && dpkg-deb -x "$deb" "$work/root"
        if demo "$work/root/usr/bin/kivpack" "$work/elsewhere/deb.exe" && cmp -s "$work/elsewhere/deb.exe" "$work/reference.exe"; then
            ok "the package's kivpack packs the demo as the build tree does"
        else
            fail "the package's build: $(cat "$work/elsewhere/deb.exe.log")"
        fi
        [ "$(stat -c %a "$work/root/usr/share/kivinstall/kivinstall.exe")" = 644 ] || fail "the stubs are not mode 644"
        man -l "$work/root/usr/share/man/man1/kivpack.1.gz" 2>&1 >/dev/null | grep . && fail "kivpack.1.gz warns"
    else
        fail "cpack -G DEB wrote no kivinstall_*_amd64.deb: $(tail -5 "$work/cpack.log")"
    fi
else
    fail "dpkg-deb or dpkg-shlibdeps is missing (dpkg-dev)"
fi

# --- The CMake package in a project of its own ----------------------------
proj=$work/project
mkdir -p "$proj/product"
cp "$work/reference/"* "$proj/product/"
cat >"$proj/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(Vendor NONE)
find_package(KivInstall 0.1 REQUIRED)
kivinstall_add_setup(demo_setup SCRIPT product/INSTALL.INI OUTPUT setup.exe OPTIONS --date "2024-02-03 04:05")
message(STATUS "kivpack: $<TARGET_FILE:KivInstall::kivpack> ${KIVINSTALL_VERSION}")
# The staged tree of the CPack route: a product of two files and a folder.
install(FILES product/README.TXT DESTINATION .)
install(FILES product/KIVDEMO.EXE DESTINATION bin)
set(CPACK_PACKAGE_NAME Demo)
set(CPACK_PACKAGE_VERSION 2.5)
set(CPACK_PACKAGE_EXECUTABLES KIVDEMO "The demo")
include(KivInstallCPack)
include(CPack)
CMAKE
if cmake -S "$proj" -B "$proj/build" -G Ninja -DCMAKE_PREFIX_PATH="$p" >"$work/project.log" 2>&1 &&
    cmake --build "$proj/build" >>"$work/project.log" 2>&1; then
    cmp -s "$proj/build/setup.exe" "$work/reference.exe" && ok "kivinstall_add_setup packs the demo" ||
        fail "kivinstall_add_setup's setup.exe differs from the reference"
    grep -q "no work to do" <(cmake --build "$proj/build" 2>&1) && ok "an unchanged product is not packed again" ||
        fail "an unchanged product was packed again"
    sleep 1 && echo "more" >>"$proj/product/README.TXT"
    cmake --build "$proj/build" >"$work/rebuild.log" 2>&1
    grep -q "Packing" "$work/rebuild.log" && ! cmp -s "$proj/build/setup.exe" "$work/reference.exe" &&
        ok "a changed payload file packs the product again" || fail "a changed README.TXT: $(cat "$work/rebuild.log")"
    (cd "$proj/build" && cpack -G External >"$work/external.log" 2>&1) || fail "cpack -G External: $(tail -5 "$work/external.log")"
    setup=$(ls "$proj/build"/Demo-2.5-*.exe 2>/dev/null | head -1)
    if [ -n "$setup" ] && "$p/bin/kivpack" list "$setup" >"$work/external.list" 2>&1; then
        grep -q "README.TXT -> Target\\\\README.TXT" "$work/external.list" &&
            grep -q "bin\\\\KIVDEMO.EXE -> Target\\\\bin\\\\KIVDEMO.EXE" "$work/external.list" &&
            grep -q "UNINST.EXE -> Target\\\\UNINST.EXE" "$work/external.list" &&
            ok "cpack -G External wrote $(basename "$setup") with the staged files and the uninstaller" ||
            fail "the CPack installer's listing: $(cat "$work/external.list")"
    else
        fail "cpack -G External wrote no Demo-2.5-*.exe: $(tail -5 "$work/external.log")"
    fi
    # A staged name that the installer cannot tell from another.
    printf 'install(FILES product/README.TXT DESTINATION . RENAME readme.txt)\n' >>"$proj/CMakeLists.txt"
    cmake "$proj/build" >/dev/null 2>&1
    (cd "$proj/build" && cpack -G External >"$work/clash.log" 2>&1) && fail "cpack packed two names that differ in case"
    tr -s ' \n' ' ' <"$work/clash.log" | grep -q "KivInstall: kivpack script: 'README.TXT' and 'readme.txt' differ only in letter case" &&
        ok "cpack stops at names that differ only in case" ||
        fail "the case clash: $(cat "$work/clash.log")"
else
    fail "the CMake project: $(tail -5 "$work/project.log")"
fi

[ "$failures" -eq 0 ] && { echo "packaging: all checks passed"; exit 0; }
echo "packaging: $failures failed"
exit 1
