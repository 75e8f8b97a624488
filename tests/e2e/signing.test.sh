#!/bin/bash
# A packed installer signed afterwards, as a vendor signs it: a throwaway
# code-signing certificate made with openssl, the signature put on with
# osslsigncode and verified against that certificate; the signed installer
# still lists and extracts with kivpack exactly as before signing, and
# installs under Wine. Signing comes last: kivpack refuses, in words, to pack
# with a signed stub, and writes nothing.
source "$(dirname "$0")/lib.sh"
kiv_begin

INSTALLER=$(kiv_exe kivinstall.exe) || exit 1
for tool in openssl osslsigncode; do
    command -v "$tool" >/dev/null || kiv_die "$tool is missing (Debian package $tool)"
done
TITLE="Signed Setup"
SIGN=$KIV_WORK/sign
SRC=$KIV_WORK/product
mkdir -p "$SIGN" "$SRC"

printf 'the signed product\r\n%.0s' $(seq 50) >"$SRC/README.TXT"
head -c 30000 /dev/urandom >"$SRC/DATA.BIN"
printf 'help\r\n' >"$SRC/SIGNED.HLP"
printf '[Basic Information]\nHelpFileName=SIGNED.HLP\nCaption=%s\nProductName=Signed\n' "$TITLE" |
    sed 's/$/\r/' >"$SRC/INSTALL.INI"
printf 'DefaultTargetDir=C:\\SIGNED\nTotalDisks=1\nDiskSpace=100\n\n[Target Subdirectories]\nSubdirectory1=DATA\n\n' |
    sed 's/$/\r/' >>"$SRC/INSTALL.INI"
printf '[Disk 1]\nDiskName=Signed Disk 1\n' |
    sed 's/$/\r/' >>"$SRC/INSTALL.INI"
printf 'README.TXT=Target,the readme\nDATA.BIN=Target\\DATA\\DATA.BIN\n' | sed 's/$/\r/' >>"$SRC/INSTALL.INI"

kiv_case "sign a packed installer and verify the signature"
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$SIGN/setup.exe" --stub "$INSTALLER" >>"$KIV_ART/suite.log" 2>&1 ||
    kiv_die "kivpack build failed"
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Kiv Test Vendor" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$SIGN/key.pem" -out "$SIGN/cert.pem" \
    >>"$KIV_ART/suite.log" 2>&1 || kiv_die "openssl cannot make a certificate"
osslsigncode sign -certs "$SIGN/cert.pem" -key "$SIGN/key.pem" -h sha256 -n "Signed Setup" \
    -in "$SIGN/setup.exe" -out "$SIGN/signed.exe" >>"$KIV_ART/suite.log" 2>&1 ||
    kiv_die "osslsigncode cannot sign the installer"
kiv_expect_ne "$(cmp -s "$SIGN/setup.exe" "$SIGN/signed.exe" && echo same)" same "signing changed the file"
osslsigncode verify -CAfile "$SIGN/cert.pem" -in "$SIGN/signed.exe" >"$SIGN/verify.txt" 2>&1
kiv_expect_eq "$?" 0 "osslsigncode verifies the signature"
kiv_expect_file_has "$SIGN/verify.txt" "Signature verification: ok"
kiv_expect_file_has "$SIGN/verify.txt" "Kiv Test Vendor" "the signer is the throwaway certificate"

kiv_case "the signed installer lists and extracts as before"
"$KIV_PACK" list "$SIGN/setup.exe" >"$SIGN/list-plain.txt" 2>&1
kiv_expect_eq "$?" 0 "kivpack lists the unsigned installer"
"$KIV_PACK" list "$SIGN/signed.exe" >"$SIGN/list-signed.txt" 2>&1
kiv_expect_eq "$?" 0 "kivpack lists the signed installer"
kiv_expect_eq "$(sed 's/signed\.exe/setup.exe/g' "$SIGN/list-signed.txt")" "$(cat "$SIGN/list-plain.txt")" \
    "the listing is the same"
kiv_expect_file_has "$SIGN/list-signed.txt" "README.TXT"
"$KIV_PACK" extract "$SIGN/signed.exe" -d "$SIGN/out" >>"$KIV_ART/suite.log" 2>&1
kiv_expect_eq "$?" 0 "kivpack extracts the signed installer"
kiv_expect_same_file "$SIGN/out/Target/README.TXT" "$SRC/README.TXT" "README.TXT extracted byte for byte"
kiv_expect_same_file "$SIGN/out/Target/DATA/DATA.BIN" "$SRC/DATA.BIN" "DATA.BIN extracted byte for byte"
kiv_expect_same_file "$SIGN/out/INSTALL.INI" "$SRC/INSTALL.INI" "the script extracted byte for byte"

kiv_case "the signed installer installs"
cp "$SIGN/signed.exe" "$KIV_C/signed.exe"
kiv_begin_install signed 'C:\signed.exe'
kiv_completes signed
kiv_expect_same_file "$KIV_C/SIGNED/README.TXT" "$SRC/README.TXT" "README.TXT installed"
kiv_expect_same_file "$KIV_C/SIGNED/DATA/DATA.BIN" "$SRC/DATA.BIN" "DATA.BIN installed"

kiv_case "kivpack refuses a signed stub"
osslsigncode sign -certs "$SIGN/cert.pem" -key "$SIGN/key.pem" -h sha256 \
    -in "$INSTALLER" -out "$SIGN/signed-stub.exe" >>"$KIV_ART/suite.log" 2>&1 ||
    kiv_die "osslsigncode cannot sign the stub"
"$KIV_PACK" build "$SRC/INSTALL.INI" -o "$SIGN/from-signed-stub.exe" --stub "$SIGN/signed-stub.exe" \
    >"$SIGN/refuse.out" 2>"$SIGN/refuse.err"
kiv_expect_eq "$?" 1 "kivpack build with a signed stub exits 1"
kiv_expect_file_has "$SIGN/refuse.err" "the executable is signed; remove its signature before packing"
kiv_expect_no_file "$SIGN/from-signed-stub.exe" "nothing is written"

kiv_end
