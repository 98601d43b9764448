#!/usr/bin/env bash
# Installs what building and testing the launcher needs on Debian 12.
# Installs only what is missing; safe to run again.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev clang libclang-rt-14-dev hyperfine
          g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
          wine wine64 wine64-preloader xvfb xauth xdotool imagemagick xorriso binutils python3
          mmdebstrap uidmap bubblewrap e2fsprogs osslsigncode openssl zip unzip wixl msitools faketime)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # wine64 recommends wine32:i386, which breaks the wine command on
  # kernels without 32-bit support: no recommends. Its preloader, only
  # suggested, is what Wine starts every process through when it is there:
  # it reserves the address ranges Windows programs need before anything
  # else can take them.
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
