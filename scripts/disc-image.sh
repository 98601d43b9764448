#!/usr/bin/env bash
# Makes the disc image a publisher masters: the product's disc folder, with
# the launcher's installer in INSTALL\ and an AUTORUN.INF that offers it.
#
#   scripts/disc-image.sh [--msi FILE | --unsigned] [--label TEXT]
#                         [--epoch SECONDS] [--replace] [--] DISC_FOLDER OUT.iso
#
# The installer is the release's: launcher.msi in the zip scripts/release.sh
# made (build/release/disc-launcher-VERSION.zip), or --msi FILE. It must be
# signed: an unsigned package goes on a disc only with --unsigned, which
# also takes the mingw32 build's own launcher.msi when no --msi is given.
# The command says which package it put on the disc, and who signed it.
#
# Any folder and file name will do for DISC_FOLDER and OUT.iso: blanks,
# quotes, letters beyond ASCII, a leading "-" (after "--").
# The folder is checked first: it must hold the marker (a file KX31.*, in
# the folder or in its INSTALL folder), the viewer IVIEWP32.EXE and the
# viewer's data folder B2020\IVT, and every name must be one that the
# image's Joliet names carry and that Windows can open and tell apart
# (scripts/disc_names.py says which, naming the file). The installer goes
# in as INSTALL\LAUNCHER.MSI, its icon as INSTALL\LAUNCHER.ICO. A file of
# the publisher's own under one of these names, or AUTORUN.INF, is never
# overwritten unless --replace is given. The image is ISO 9660 with Joliet
# names and Rock Ridge ones, every folder 0755 and every file 0644 there,
# whoever made it; its publisher is the package's, its application the
# product and version. Every date in it is --epoch (by default
# SOURCE_DATE_EPOCH, else the build's date), so the same folder gives the
# same bytes. --label (by default KX31) is the disc's volume name and
# AUTORUN.INF's label, as given: 1 to 16 of A-Z, 0-9 and _, what both
# carry unchanged. The image's SHA-256 goes into SHA256SUMS beside it (a
# line of another file there stays). The image goes nowhere inside
# DISC_FOLDER, nor over the installer: the publisher's files are never
# changed. On any refusal nothing is written.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
manifest=$source_dir/build/mingw32/release.manifest
built() { [ -r "$manifest" ] && sed -n "s/^$1=//p" "$manifest"; }
msi= unsigned=no label=KX31 epoch=${SOURCE_DATE_EPOCH:-$(built epoch || true)} replace=no

usage_text="usage: $0 [--msi FILE | --unsigned] [--label TEXT] [--epoch SECONDS] [--replace] [--] DISC_FOLDER OUT.iso"
usage() { echo "$usage_text" >&2; exit 2; }
refuse() { echo "disc-image: $*; no image written" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case $1 in
    --msi|--label|--epoch) [ $# -ge 2 ] || usage ;;
  esac
  case $1 in
    --help|-h) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; echo "$usage_text"; exit 0 ;;
    --msi) msi=$2; shift ;;
    --unsigned) unsigned=yes ;;
    --label) label=$2; shift ;;
    --epoch) epoch=$2; shift ;;
    --replace) replace=yes ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
  shift
done
[ $# = 2 ] || usage
disc=${1%/} out=$2
# A path that starts with "-" would be taken for an option by the tools.
case $disc in -*) disc=./$disc ;; esac
case $out in -*) out=./$out ;; esac
case $msi in -*) msi=./$msi ;; esac
[ -n "$epoch" ] || epoch=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package: the one given, or the release's, or with --unsigned the
# build's own.
if [ -z "$msi" ]; then
  version=$(built version || true)
  release=$source_dir/build/release/disc-launcher-$version.zip
  if [ -n "$version" ] && [ -f "$release" ]; then
    unzip -p "$release" launcher.msi >"$work/release.msi" ||
      refuse "$release holds no launcher.msi"
    msi=$work/release.msi shown=$release
  elif [ $unsigned = yes ]; then
    msi=$(built msi || true)
  else
    refuse "no release to take the installer from: make one with scripts/release.sh, give --msi FILE, or --unsigned for the build's unsigned one"
  fi
fi
[ -f "$msi" ] || refuse "no installer at ${msi:-build/mingw32} (build the mingw32 preset, or give --msi)"
shown=${shown:-$msi}
verified=$(osslsigncode verify -in "$msi" 2>&1 || true)
signer=$(sed -n '/^Signer.s certificate:/,/Subject:/s/^.*Subject: *//p' <<<"$verified" | head -n1)
if grep -q 'has no signature' <<<"$verified"; then
  [ $unsigned = yes ] ||
    refuse "$shown is not signed: sign the release (scripts/release.sh --cert), or give --unsigned to put an unsigned installer on the disc"
  echo "disc-image: the installer is $shown, unsigned" >&2
elif [ -n "$signer" ]; then
  echo "disc-image: the installer is $shown, signed by $signer" >&2
else
  refuse "$shown: its signature cannot be read (osslsigncode verify says: $(tail -n1 <<<"$verified"))"
fi
[ -d "$disc" ] || refuse "$disc is not a folder"
# The latest date ISO 9660 writes in a file's record: 2155-12-31 23:59:59.
latest=5869583999
[[ $epoch =~ ^[0-9]{1,10}$ ]] && [ "$epoch" -le $latest ] ||
  refuse "--epoch \"$epoch\" is not a time the image can carry: 0 (1980-01-01) or seconds since 1970, up to $latest (2155-12-31)"
# The volume name holds ISO 9660's d-characters, and Joliet's 16 of them.
[[ $label =~ ^[A-Z0-9_]{1,16}$ ]] ||
  refuse "--label \"$label\" is not a disc label: 1 to 16 of the characters A-Z 0-9 _"
# The image never lands among the publisher's files.
disc_real=$(realpath -e -- "$disc") out_real=$(realpath -m -- "$out")
case $out_real/ in "$disc_real"/*) refuse "$out is inside $disc, which the image is made of" ;; esac
[ "$out_real" != "$(realpath -e -- "$msi")" ] || refuse "$out is the installer the image carries"
[ ! -d "$out" ] || refuse "$out is a folder, not an image file"
[ -d "$(dirname "$out_real")" ] || refuse "$(dirname "$out") is no folder to write $out in"

# Names as Windows matches them: in any letter case.
entries() {  # entries FOLDER TYPE NAME: what FOLDER holds under NAME, a line each
  find "$1" -mindepth 1 -maxdepth 1 -type "$2" -iname "$3" 2>/dev/null
}
holds() {  # holds FOLDER TYPE NAME: whether FOLDER holds something under NAME
  [ -n "$(entries "$1" "$2" "$3" | head -n1)" ]
}
holds_marker() { holds "$1" f 'KX31.*' || holds "$1" f KX31; }
in_each() {  # in_each FOLDER NAME TEST...: whether TEST holds in a folder NAME of FOLDER
  local folder=$1 name=$2 sub; shift 2
  while IFS= read -r sub; do "$@" "$sub" && return 0; done < <(entries "$folder" d "$name")
  return 1
}
holds_data() { holds "$1" d IVT; }
holds_marker "$disc" || in_each "$disc" INSTALL holds_marker ||
  refuse "no marker: $disc holds no file KX31.*, nor does its INSTALL folder"
holds "$disc" f IVIEWP32.EXE || refuse "no viewer: $disc holds no IVIEWP32.EXE"
in_each "$disc" B2020 holds_data || refuse "no viewer data: $disc holds no folder B2020\\IVT"

names=$(python3 "$source_dir/scripts/disc_names.py" "$disc") ||
  refuse "names the image cannot carry:
$names"

# What the image adds must not silently replace the publisher's own files.
# The setup goes into the disc's own INSTALL folder, whatever its case.
install=$(entries "$disc" d INSTALL | head -n1)
install=${install##*/}
added=(AUTORUN.INF "${install:-INSTALL}/LAUNCHER.MSI" "${install:-INSTALL}/LAUNCHER.ICO")
exclude=()
for name in "${added[@]}"; do
  folder=$disc; [ "${name%/*}" = "$name" ] || folder=$disc/${name%/*}
  [ -d "$folder" ] || continue
  while IFS= read -r existing; do
    [ $replace = yes ] || refuse "$existing is there already: give --replace to put the setup's own in its place"
    exclude+=(-m "$existing")
  done < <(entries "$folder" f "${name##*/}")
done

# The autorun offer and the image name the product and its publisher as
# its installer does.
property() {
  msiinfo export "$msi" Property 2>/dev/null | tr -d '\r' | sed -n "s/^$1\t//p"
}
product=$(property ProductName) || refuse "$msi is not a Windows Installer package"
[ -n "$product" ] || refuse "$msi names no product"
publisher=$(property Manufacturer) product_version=$(property ProductVersion)
# Windows reads AUTORUN.INF in the ANSI code page, a line at a time.
[ -z "$(printf '%s' "$product$publisher" | LC_ALL=C tr -d ' -~')" ] ||
  refuse "$msi names its product \"$product\" or publisher \"$publisher\": AUTORUN.INF and the image take printable ASCII only"
# Windows reads AUTORUN.INF in the ANSI code page, with CR LF line ends.
printf '%s\r\n' '[autorun]' 'shellexecute=INSTALL\LAUNCHER.MSI' \
  'icon=INSTALL\LAUNCHER.ICO' "label=$label" \
  "action=Install the $product" >"$work/AUTORUN.INF"
cp "$msi" "$work/LAUNCHER.MSI"
msiinfo extract "$msi" Icon.launcher.ico >"$work/LAUNCHER.ICO" ||
  refuse "$msi holds no icon launcher.ico"

# xorriso takes a date of 0 for "none given" and would use today's; the
# earliest date of a DOS or disc file system stands in for it.
[ "$epoch" != 0 ] || epoch=315532800
date=$(date -u -d "@$epoch" +%Y%m%d%H%M%S00)
# A graft point's source path carries "=" and "\\" escaped.
graft() { local path=${1//\\/\\\\}; printf '%s' "${path//=/\\=}"; }
SOURCE_DATE_EPOCH=$epoch xorriso -as mkisofs -quiet -J -R -V "$label" 2>"$work/xorriso.log" \
  -uid 0 -gid 0 -dir-mode 0755 -file-mode 0644 \
  -publisher "$publisher" -A "$product $product_version" \
  --modification-date="$date" --set_all_file_dates "$date" \
  "${exclude[@]}" -graft-points -o "$work/image.iso" \
  /="$(graft "$disc")" /AUTORUN.INF="$(graft "$work/AUTORUN.INF")" \
  "/${added[1]}=$(graft "$work/LAUNCHER.MSI")" "/${added[2]}=$(graft "$work/LAUNCHER.ICO")" ||
  { cat "$work/xorriso.log" >&2; refuse "xorriso failed"; }
chmod 644 "$work/image.iso"
mv -- "$work/image.iso" "$out"
# The image's line in SHA256SUMS beside it, any line for another file kept.
sums=$(dirname -- "$out")/SHA256SUMS image_name=$(basename -- "$out")
{ [ ! -f "$sums" ] || awk -v name="$image_name" 'substr($0, 67) != name' "$sums"
  (cd "$(dirname -- "$out")" && sha256sum -- "$image_name"); } >"$work/SHA256SUMS"
cat "$work/SHA256SUMS" >"$sums"
echo "$out"
