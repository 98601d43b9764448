#!/usr/bin/env bash
# Makes the disc image a publisher masters: the product's disc folder, with
# the launcher's installer in INSTALL\ and an AUTORUN.INF that offers it.
#
#   scripts/disc-image.sh [--msi FILE] [--label TEXT] [--epoch SECONDS]
#                         [--replace] [--] DISC_FOLDER OUT.iso
#
# Any folder and file name will do for DISC_FOLDER and OUT.iso: blanks,
# quotes, letters beyond ASCII, a leading "-" (after "--").
# The folder is checked first: it must hold the marker (a file KX31.*, in
# the folder or in its INSTALL folder), the viewer IVIEWP32.EXE and the
# viewer's data folder B2020\IVT, and every name must be one that the
# image's Joliet names carry and that Windows can open and tell apart
# (scripts/disc_names.py says which, naming the file). The installer
# (--msi, by default the mingw32 build's launcher.msi) goes in as
# INSTALL\LAUNCHER.MSI, its icon as INSTALL\LAUNCHER.ICO. A file of the
# publisher's own under one of these names, or AUTORUN.INF, is never
# overwritten unless --replace is given. The image is ISO 9660 with Joliet
# names; every date in it is --epoch (by default SOURCE_DATE_EPOCH, or
# 1980-01-01), so the same folder gives the same bytes. --label (by default
# KX31) is the disc's volume name and AUTORUN.INF's label, as given: 1 to
# 16 of A-Z, 0-9 and _, what both carry unchanged. The image goes nowhere
# inside DISC_FOLDER, nor over the installer: the publisher's files are
# never changed. On any refusal nothing is written.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
msi=$source_dir/build/mingw32/app/installer/launcher.msi
icon=$source_dir/app/launcher.ico
label=KX31 epoch=${SOURCE_DATE_EPOCH:-0} replace=no

usage() {
  echo "usage: $0 [--msi FILE] [--label TEXT] [--epoch SECONDS] [--replace] [--] DISC_FOLDER OUT.iso" >&2
  exit 2
}
refuse() { echo "disc-image: $*; no image written" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case $1 in
    --msi|--label|--epoch) [ $# -ge 2 ] || usage ;;
  esac
  case $1 in
    --msi) msi=$2; shift ;;
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
[ -d "$disc" ] || refuse "$disc is not a folder"
[ -f "$msi" ] || refuse "no installer at $msi (build the mingw32 preset, or give --msi)"
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

# The autorun offer names the product as its installer does.
product=$(msiinfo export "$msi" Property 2>/dev/null | tr -d '\r' |
  sed -n 's/^ProductName\t//p') || refuse "$msi is not a Windows Installer package"
[ -n "$product" ] || refuse "$msi names no product"
# Windows reads AUTORUN.INF in the ANSI code page, a line at a time.
[ -z "$(printf '%s' "$product" | LC_ALL=C tr -d ' -~')" ] ||
  refuse "$msi names its product \"$product\": AUTORUN.INF takes printable ASCII only"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Windows reads AUTORUN.INF in the ANSI code page, with CR LF line ends.
printf '%s\r\n' '[autorun]' 'shellexecute=INSTALL\LAUNCHER.MSI' \
  'icon=INSTALL\LAUNCHER.ICO' "label=$label" \
  "action=Install the $product" >"$work/AUTORUN.INF"
cp "$msi" "$work/LAUNCHER.MSI"
cp "$icon" "$work/LAUNCHER.ICO"

# xorriso takes a date of 0 for "none given" and would use today's; the
# earliest date of a DOS or disc file system stands in for it.
[ "$epoch" != 0 ] || epoch=315532800
date=$(date -u -d "@$epoch" +%Y%m%d%H%M%S00)
# A graft point's source path carries "=" and "\\" escaped.
graft() { local path=${1//\\/\\\\}; printf '%s' "${path//=/\\=}"; }
SOURCE_DATE_EPOCH=$epoch xorriso -as mkisofs -quiet -J -V "$label" 2>"$work/xorriso.log" \
  --modification-date="$date" --set_all_file_dates "$date" \
  "${exclude[@]}" -graft-points -o "$work/image.iso" \
  /="$(graft "$disc")" /AUTORUN.INF="$(graft "$work/AUTORUN.INF")" \
  "/${added[1]}=$(graft "$work/LAUNCHER.MSI")" "/${added[2]}=$(graft "$work/LAUNCHER.ICO")" ||
  { cat "$work/xorriso.log" >&2; refuse "xorriso failed"; }
mv -- "$work/image.iso" "$out"
echo "$out"
