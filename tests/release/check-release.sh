#!/usr/bin/env bash
# The release as a publisher makes it, with throwaway certificates:
# - unsigned and signed, the zip holds launcher.exe, launcher.msi,
#   PUBLISHERS.TXT and SHA256SUMS, and the sums check;
# - the signed launcher.exe verifies, keeps its version resource, and still
#   passes the first-run end-to-end test as a 32-bit program; the signed
#   launcher.msi verifies and installs that very signed launcher.exe;
# - a wrong password, a missing, expired or non-code-signing certificate
#   each end with a message naming the fault, and leave no zip.
# - a failed run after a good one leaves no zip; the package's summary, its
#   cabinet and the zip carry the build's date; a signed release's disc
#   image, and an image made from that release later, carry its signed
#   package, and say who signed it.
#   check-release.sh END_TO_END_TESTS STANDIN_VIEWER DEMO_DISC_FOLDER
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
end_to_end_tests=$1 viewer=$2 disc=$3
release=$source_dir/scripts/release.sh
out=$source_dir/build/release
work=$source_dir/build/release-test
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work" && cd "$work"
echo secret >password
echo wrong >wrong-password

# A self-signed certificate: make_certificate NAME EXTENDED_KEY_USAGE [START END]
cat >ca.cnf <<'EOF'
[ca]
default_ca = signing
[signing]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = copy
[any]
commonName = supplied
EOF
make_certificate() {
  local name=$1 usage=$2
  openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -subj "/CN=Test publisher $name" \
    -addext "keyUsage=digitalSignature" -addext "extendedKeyUsage=$usage" -out "$name.csr" 2>/dev/null
  : >index.txt; echo 01 >serial
  openssl ca -batch -config ca.cnf -selfsign -keyfile "$name.key" -in "$name.csr" \
    -startdate "${3:-$(date -u -d yesterday +%Y%m%d%H%M%SZ)}" \
    -enddate "${4:-$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)}" -out "$name.pem" 2>/dev/null
  openssl pkcs12 -export -in "$name.pem" -inkey "$name.key" -passout file:password \
    -out "$name.p12"
}
make_certificate good codeSigning
make_certificate expired codeSigning 20200101000000Z 20210101000000Z
make_certificate server serverAuth

zip_of_release() { ls "$out"/disc-launcher-*.zip 2>/dev/null; }
unpack() {  # unpack FOLDER: the release zip, its sums checked
  rm -rf "$1" && mkdir -p "$1" && unzip -q "$(zip_of_release)" -d "$1"
  [ "$(ls "$1" | tr '\n' ' ')" = "PUBLISHERS.TXT SHA256SUMS launcher.exe launcher.msi " ] ||
    fail "the zip holds $(ls "$1" | tr '\n' ' ')"
  (cd "$1" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
}
version_resource() {
  i686-w64-mingw32-windres -J coff -O rc -i "$1" | sed -n '/VERSIONINFO/,$p'
}

rm -rf "$out"
"$release" --no-build >/dev/null || fail "the unsigned release failed"
unpack unsigned
grep -q 'Pre-placing KX31.INI' unsigned/PUBLISHERS.TXT || fail "no publishers' guide"

# Every file carries the build's date: the zip's entries, the package's
# summary and every file in its cabinet.
epoch=$(sed -n 's/^epoch=//p' "$source_dir/build/mingw32/release.manifest")
day=$(date -u -d "@$epoch" '+%F')
[ "$(TZ=UTC unzip -Z -T "$(zip_of_release)" | awk '/^-/ { print substr($7, 1, 8) }' | sort -u)" = \
  "$(date -u -d "@$epoch" '+%Y%m%d')" ] || fail "the zip's dates: $(unzip -Z -T "$(zip_of_release)")"
msiinfo suminfo unsigned/launcher.msi | grep -qx "Created: $(date -u -d "@$epoch" '+%a %b %e %T %Y')" ||
  fail "the package's summary: $(msiinfo suminfo unsigned/launcher.msi | grep Created)"
(mkdir -p cabinet && cd cabinet && msiextract ../unsigned/launcher.msi >/dev/null)
[ "$(find cabinet -type f -printf '%TY-%Tm-%Td\n' | sort -u)" = "$day" ] ||
  fail "the cabinet's files are dated $(find cabinet -type f -printf '%TF %p\n')"
echo "dated $day, the build's date: the zip, the package's summary and its cabinet"

# A failed signed run after an unsigned one leaves no zip at all.
if "$release" --no-build --cert good.p12 --password-file wrong-password >/dev/null 2>&1; then
  fail "released with a wrong password"
fi
[ -z "$(zip_of_release)" ] || fail "an earlier zip stayed after a failed release: $(zip_of_release)"
echo "refused, as it should: a wrong password after an unsigned release, and no zip left"

rm -rf "$out"
"$release" --no-build --cert good.p12 --password-file password --disc "$disc" \
  >/dev/null 2>release.log || { cat release.log; fail "the signed release failed"; }
unpack signed
cmp -s unsigned/launcher.msi signed/launcher.msi && fail "launcher.msi was not signed"
[ "$(msiinfo suminfo unsigned/launcher.msi | grep Revision)" != \
  "$(msiinfo suminfo signed/launcher.msi | grep Revision)" ] ||
  fail "the signed package has the unsigned one's package code"
# The release's disc carries the signed package, and says who signed it.
image=$(ls "$out"/disc-launcher-*.iso)
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "the image's SHA256SUMS does not check"
xorriso -osirrox on -indev "$image" -extract /INSTALL/LAUNCHER.MSI disc.msi 2>/dev/null
osslsigncode verify -CAfile good.pem -in disc.msi >verify.log 2>&1 ||
  { cat verify.log; fail "the disc's installer is not the signed one"; }
grep -q 'signed by .*Test publisher good' release.log ||
  fail "the image's maker did not say who signed its installer: $(cat release.log)"
[ "$(TZ=UTC xorriso -indev "$image" -find / -exec lsdl 2>/dev/null | awk '{ print $6, $7, $8 }' | sort -u)" = \
  "$(date -u -d "@$epoch" '+%b %e' | tr -s ' ') $(date -u -d "@$epoch" '+%Y' )" ] ||
  [ "$(TZ=UTC xorriso -indev "$image" -find / -exec lsdl 2>/dev/null | awk '{ print $6, $7 }' | sort -u)" = \
  "$(date -u -d "@$epoch" '+%b %e' | tr -s ' ')" ] || fail "the image's dates are not $day"
# And so does an image made afterwards from the release, with no --msi.
"$source_dir/scripts/disc-image.sh" -- "$disc" later.iso >/dev/null 2>image.log ||
  { cat image.log; fail "no image from the signed release"; }
xorriso -osirrox on -indev later.iso -extract /INSTALL/LAUNCHER.MSI later.msi 2>/dev/null
cmp -s later.msi signed/launcher.msi || fail "the image does not carry the release's signed package"
echo "signed to the disc: $(cat image.log)"
cmp -s unsigned/launcher.exe signed/launcher.exe && fail "launcher.exe was not signed"
osslsigncode verify -CAfile good.pem -in signed/launcher.exe >verify.log 2>&1 ||
  { cat verify.log; fail "osslsigncode does not verify the signature"; }
[ "$(version_resource signed/launcher.exe)" = "$(version_resource unsigned/launcher.exe)" ] ||
  fail "signing changed the version resource"
osslsigncode verify -CAfile good.pem -in signed/launcher.msi >verify.log 2>&1 ||
  { cat verify.log; fail "osslsigncode does not verify the installer's signature"; }
(mkdir -p carried && cd carried && msiextract ../signed/launcher.msi >/dev/null) ||
  fail "the signed installer cannot be unpacked"
cmp -s "$(find carried -name launcher.exe)" signed/launcher.exe ||
  fail "the signed installer does not carry the signed launcher.exe"
echo "signed: osslsigncode verify accepts launcher.exe and launcher.msi, which carries it;" \
  "the version resource is unchanged"

rm -rf "$out"
RELEASE_CERT_PASSWORD=secret "$release" --no-build --cert good.p12 >/dev/null ||
  fail "the password from the environment was not taken"

refused() {  # refused WORDS ARGS...: the release ends naming the fault, no zip
  local words=$1; shift
  rm -rf "$out"
  if "$release" --no-build "$@" >/dev/null 2>message; then fail "released with $*"; fi
  grep -q "$words" message || fail "with $*, the message was: $(cat message)"
  [ -z "$(zip_of_release)" ] || fail "a zip was left with $*"
  [ -z "$(ls "$out" 2>/dev/null)" ] || fail "something was left in $out with $*"
  echo "refused, as it should: $(cat message)"
}
refused 'wrong password' --cert good.p12 --password-file wrong-password
refused 'no such file' --cert missing.p12 --password-file password
refused 'no such file' --cert missing.p12
refused 'has expired' --cert expired.p12 --password-file password
refused 'not meant for code signing' --cert server.p12 --password-file password
refused 'no password' --cert good.p12

# The signed file, started as the shipped program: the first run asks,
# remembers and starts the viewer.
"$source_dir/scripts/win32-runtime.sh" run --timeout 240 -- env LAUNCHER_WINE_HANG_AFTER=90 \
  LAUNCHER_WINE_ROOT=/var/lib/launcher-wine/wine LAUNCHER="$work/signed/launcher.exe" \
  STANDIN_VIEWER="$viewer" "$source_dir/scripts/wine-session.sh" session \
  "$end_to_end_tests" --gtest_filter=EndToEnd.FirstRunAsksRemembersConfiguresAndStartsTheViewer ||
  fail "the signed launcher.exe failed the first-run test"
rm -rf "$work" "$out"
