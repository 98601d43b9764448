#!/usr/bin/env bash
# Makes the release a publisher ships: build/release/disc-launcher-VERSION.zip
# with launcher.exe (the shipped 32-bit build), its installer launcher.msi,
# PUBLISHERS.TXT and SHA256SUMS.
#
#   scripts/release.sh [--cert FILE.p12 [--password-file FILE]]
#                      [--timestamp URL] [--no-build]
#
# With --cert, launcher.exe is signed (Authenticode, SHA-256) with the
# certificate and key in the PKCS#12 file, the installer is made again
# around the signed launcher and its signed setup DLL and is signed itself,
# before the sums are made; every signature is verified. Its password comes from --password-file or from the
# environment variable RELEASE_CERT_PASSWORD, never from the command line.
# --timestamp has a time-stamp server countersign it, so that the signature
# outlives the certificate. The version is the CMake project's version. A
# failed release leaves no zip behind.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$source_dir/build/mingw32
out=$source_dir/build/release
cert= password_file= timestamp= no_build=no

die() { echo "release: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case $1 in
    --cert) cert=$(realpath "$2"); shift ;;
    --password-file) password_file=$(realpath "$2"); shift ;;
    --timestamp) timestamp=$2; shift ;;
    --no-build) no_build=yes ;;
    *) die "usage: $0 [--cert FILE.p12 [--password-file FILE]] [--timestamp URL] [--no-build]" ;;
  esac
  shift
done
cd "$source_dir"

if [ $no_build = no ]; then
  ./scripts/install-deps.sh
  cmake --preset mingw32 >/dev/null
  cmake --build --preset mingw32 --target launcher launcher_msi -j"$(nproc)" >/dev/null
fi
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cached CMAKE_PROJECT_VERSION)
[ -n "$version" ] || die "no project version in $build/CMakeCache.txt"
zip_name=disc-launcher-$version.zip

mkdir -p "$out"
stage=$(mktemp -d "$out/stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
umask 077
cp "$build/app/launcher.exe" "$stage/launcher.exe"
cp "$build/app/installer/launcher.msi" "$stage/launcher.msi"

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
    -n "$(cached LAUNCHER_PRODUCT_NAME)" "${stamping[@]}" \
    -in "$stage/$1" -out "$stage/$1.signed" >"$stage/sign.log" 2>&1 ||
    { cat "$stage/sign.log" >&2; die "signing $1 failed"; }
  osslsigncode verify -CAfile "$stage/chain.pem" -in "$stage/$1.signed" \
    >"$stage/verify.log" 2>&1 ||
    { cat "$stage/verify.log" >&2; die "the signature of $1 did not verify"; }
  mv "$stage/$1.signed" "$stage/$1"
}

# The installer carries the signed launcher and a signed setup DLL: it is
# made again around them, with the same package code and dates, then
# signed itself.
sign() {
  sign_file launcher.exe
  mkdir "$stage/msi"
  cp "$stage/launcher.exe" "$stage/msi/launcher.exe"
  cp "$build/app/installer/launcher_msi/setup_actions.dll" \
     "$build/app/installer/launcher_msi/launcher.ico" "$stage/msi/"
  sign_file msi/setup_actions.dll
  local code
  code=$(msiinfo suminfo "$stage/launcher.msi" | sed -n 's/^Revision number (UUID): {\(.*\)}$/\1/p')
  app/installer/make-msi.sh "$build/app/installer/launcher_msi.wxs" "$stage/msi" \
    "$stage/launcher.msi" "$(cached LAUNCHER_MSI_EPOCH)" "$code"
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
# The zip's dates are the build's time stamp, as the launcher's is.
epoch=$(cached LAUNCHER_SOURCE_DATE_EPOCH)
(cd "$stage/zip" && TZ=UTC touch -d "@${epoch:-0}" ./* &&
 zip -q -X "$stage/$zip_name" launcher.exe launcher.msi PUBLISHERS.TXT SHA256SUMS)
chmod 644 "$stage/$zip_name"
mv "$stage/$zip_name" "$out/$zip_name"
echo "$out/$zip_name"
(cd "$stage/zip" && cat SHA256SUMS)
