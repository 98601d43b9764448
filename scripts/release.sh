#!/usr/bin/env bash
# Makes the release a publisher ships: build/release/disc-launcher-VERSION.zip
# with launcher.exe (the shipped 32-bit build), its installer launcher.msi,
# PUBLISHERS.TXT and SHA256SUMS; with --disc, also the disc image
# build/release/disc-launcher-VERSION.iso (scripts/disc-image.sh) made from
# that folder with the release's own launcher.msi, signed when the release
# is, and build/release/SHA256SUMS with its sum.
#
#   scripts/release.sh [--cert FILE.p12 [--password-file FILE]]
#                      [--timestamp URL] [--disc FOLDER [--label TEXT]]
#                      [--no-build]
#
# With --cert, launcher.exe is signed (Authenticode, SHA-256) with the
# certificate and key in the PKCS#12 file, the installer is made again
# around the signed launcher and its signed setup DLL and is signed itself,
# before the sums are made; every signature is verified. Its password
# comes from --password-file or from the environment variable
# RELEASE_CERT_PASSWORD, never from the command line. --timestamp has a
# time-stamp server countersign it, so that the signature outlives the
# certificate. The version, names and date are the build's
# (cmake/product.cmake), read from the manifest the build writes.
#
# The release is made aside and moved into place only when whole and
# verified: whatever the outcome, nothing of an earlier run stays under
# the names a successful run writes.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$source_dir/build/mingw32
out=$source_dir/build/release
cert= password_file= timestamp= disc= label= no_build=no

die() { echo "release: $*" >&2; exit 1; }
usage() {
  die "usage: $0 [--cert FILE.p12 [--password-file FILE]] [--timestamp URL] [--disc FOLDER [--label TEXT]] [--no-build]"
}
while [ $# -gt 0 ]; do
  case $1 in
    --cert|--password-file|--timestamp|--disc|--label) [ $# -ge 2 ] || usage ;;
  esac
  case $1 in
    --cert) cert=$(realpath -m -- "$2"); shift ;;
    --password-file) password_file=$(realpath -m -- "$2"); shift ;;
    --timestamp) timestamp=$2; shift ;;
    --disc) disc=$(realpath -m -- "$2"); shift ;;
    --label) label=$2; shift ;;
    --no-build) no_build=yes ;;
    *) usage ;;
  esac
  shift
done
cd "$source_dir"
[ -z "$cert" ] || [ -e "$cert" ] || die "no such file: $cert"
[ -z "$password_file" ] || [ -e "$password_file" ] || die "no such file: $password_file"
[ -z "$disc" ] || [ -d "$disc" ] || die "no such folder: $disc"

if [ $no_build = no ]; then
  ./scripts/install-deps.sh
  cmake --preset mingw32 >/dev/null
  cmake --build --preset mingw32 --target launcher launcher_msi -j"$(nproc)" >/dev/null
fi
manifest=$build/release.manifest
[ -r "$manifest" ] || die "no build to release: $manifest is missing (build the mingw32 preset)"
built() { sed -n "s/^$1=//p" "$manifest"; }
version=$(built version)
[ -n "$version" ] || die "$manifest names no version"
name=disc-launcher-$version

mkdir -p "$out"
rm -f "$out/$name.zip" "$out/$name.iso" "$out/SHA256SUMS"
stage=$(mktemp -d "$out/stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
umask 077
cp "$(built launcher)" "$stage/launcher.exe"
cp "$(built msi)" "$stage/launcher.msi"

# Signing: the certificate is checked first, so that a wrong one is named
# plainly instead of failing somewhere inside the signing tool.
password() {
  if [ -n "$password_file" ]; then
    [ -r "$password_file" ] || die "cannot read the password file $password_file"
    head -n1 "$password_file" | tr -d '\r\n' >"$stage/password"
  elif [ -n "${RELEASE_CERT_PASSWORD+set}" ]; then
    printf '%s' "$RELEASE_CERT_PASSWORD" >"$stage/password"
  else
    die "no password for $cert: give --password-file or set RELEASE_CERT_PASSWORD"
  fi
}

check_certificate() {
  [ -r "$cert" ] || die "cannot read the certificate $cert"
  openssl pkcs12 -in "$cert" -passin "file:$stage/password" -nokeys -clcerts \
    -out "$stage/cert.pem" 2>/dev/null ||
    die "cannot open $cert: wrong password, or not a PKCS#12 file"
  openssl pkcs12 -in "$cert" -passin "file:$stage/password" -nokeys \
    -out "$stage/chain.pem" 2>/dev/null
  openssl pkcs12 -in "$cert" -passin "file:$stage/password" -nocerts -nodes \
    2>/dev/null | grep -q 'PRIVATE KEY' || die "$cert holds no private key"
  grep -q 'BEGIN CERTIFICATE' "$stage/cert.pem" || die "$cert holds no certificate"
  local subject; subject=$(openssl x509 -in "$stage/cert.pem" -noout -subject)
  openssl x509 -in "$stage/cert.pem" -noout -checkend 0 >/dev/null ||
    die "the certificate has expired: $subject, $(openssl x509 -in "$stage/cert.pem" -noout -enddate)"
  openssl x509 -in "$stage/cert.pem" -noout -ext extendedKeyUsage 2>/dev/null |
    grep -q 'Code Signing' ||
    die "the certificate is not meant for code signing (no Code Signing extended key usage): $subject"
}

sign_file() {  # sign_file FILE: FILE (in the stage) signed and verified in place
  local stamping=()
  [ -z "$timestamp" ] || stamping=(-t "$timestamp")
  osslsigncode sign -pkcs12 "$cert" -readpass "$stage/password" -h sha256 \
    -n "$(built product_name)" "${stamping[@]}" \
    -in "$stage/$1" -out "$stage/$1.signed" >"$stage/sign.log" 2>&1 ||
    { cat "$stage/sign.log" >&2; die "signing $1 failed"; }
  osslsigncode verify -CAfile "$stage/chain.pem" -in "$stage/$1.signed" \
    >"$stage/verify.log" 2>&1 ||
    { cat "$stage/verify.log" >&2; die "the signature of $1 did not verify"; }
  mv "$stage/$1.signed" "$stage/$1"
}

# The installer carries the signed launcher and a signed setup DLL: it is
# made again around them, with the same dates, then signed itself. Its
# package code follows from its content, so it differs from the unsigned
# package's.
sign() {
  sign_file launcher.exe
  mkdir "$stage/msi"
  cp "$stage/launcher.exe" "$stage/msi/launcher.exe"
  cp "$(built setup_dll)" "$stage/msi/setup_actions.dll"
  cp "$(built icon)" "$stage/msi/launcher.ico"
  sign_file msi/setup_actions.dll
  app/installer/make-msi.sh "$(built msi_source)" "$stage/msi" \
    "$stage/launcher.msi" "$(built epoch)"
  rm -rf "$stage/msi"
  sign_file launcher.msi
  echo "signed and verified: $(openssl x509 -in "$stage/cert.pem" -noout -subject)"
}

if [ -n "$cert" ]; then
  password
  check_certificate
  sign
fi

mkdir "$stage/zip"
mv "$stage/launcher.exe" "$stage/launcher.msi" "$stage/zip/"
sed "s/@VERSION@/$version/" docs/publishers.txt | sed 's/$/\r/' >"$stage/zip/PUBLISHERS.TXT"
(cd "$stage/zip" && sha256sum launcher.exe launcher.msi PUBLISHERS.TXT >SHA256SUMS)
chmod 644 "$stage/zip"/*
# The zip's dates are the build's, as the launcher's is.
(cd "$stage/zip" && TZ=UTC touch -d "@$(built epoch)" ./* &&
 zip -q -X "$stage/$name.zip" launcher.exe launcher.msi PUBLISHERS.TXT SHA256SUMS)
unzip -tq "$stage/$name.zip" >/dev/null || die "the zip does not check"
chmod 644 "$stage/$name.zip"

# The image, with its line in a SHA256SUMS beside it.
if [ -n "$disc" ]; then
  mkdir "$stage/image"
  scripts/disc-image.sh --msi "$stage/zip/launcher.msi" --epoch "$(built epoch)" \
    ${label:+--label "$label"} -- "$disc" "$stage/image/$name.iso" >&2 ||
    die "the disc image was not made"
fi

mv "$stage/$name.zip" "$out/$name.zip"
echo "$out/$name.zip"
(cd "$stage/zip" && cat SHA256SUMS)
if [ -n "$disc" ]; then
  mv "$stage/image/$name.iso" "$stage/image/SHA256SUMS" "$out/"
  echo "$out/$name.iso"
  cat "$out/SHA256SUMS"
fi
