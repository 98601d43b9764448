#!/usr/bin/env bash
# The publisher's disc image, made from copies of the demo disc:
# - a good folder gives an image with the installer in INSTALL\ and an
#   AUTORUN.INF that offers it, the same bytes every time;
# - a folder without the marker, the viewer or its data, or with a name the
#   image cannot carry, is refused with a message naming the fault, and so
#   is a publisher's own AUTORUN.INF unless --replace is given; a refusal
#   writes no image.
#   check-disc-image.sh DEMO_DISC_FOLDER LAUNCHER_MSI
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
disc=$1 msi=$2
image() { "$source_dir/scripts/disc-image.sh" --msi "$msi" --epoch 1700000000 "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"

fresh() {  # fresh NAME: a writable copy of the demo disc
  cp -r "$disc" "$1" && chmod -R u+w "$1"
}
fresh good
image good one.iso >/dev/null || fail "the demo disc was refused"
image good two.iso >/dev/null
cmp -s one.iso two.iso || fail "two images of one folder differ"
xorriso -osirrox on -indev one.iso -extract / content 2>/dev/null
cmp -s content/INSTALL/LAUNCHER.MSI "$msi" || fail "the image does not carry the installer"
grep -q '^shellexecute=INSTALL\\LAUNCHER.MSI'$'\r''$' content/AUTORUN.INF ||
  fail "AUTORUN.INF does not offer the installer: $(cat content/AUTORUN.INF)"
cmp -s content/KX31.TXT good/KX31.TXT || fail "the disc's own files are not in the image"
echo "accepted: the demo disc, twice the same bytes, the installer offered"

refused() {  # refused WORDS FOLDER [OPTION]: no image, a message naming the fault
  rm -f out.iso
  if image "${@:3}" "$2" out.iso >/dev/null 2>message; then fail "$2 was imaged"; fi
  grep -q "$1" message || fail "for $2 the message was: $(cat message)"
  [ ! -e out.iso ] || fail "$2 left an image"
  echo "refused, as it should: $(tr "\n" " " <message)"
}
fresh no-marker && rm no-marker/KX31.TXT
refused 'no marker' no-marker
fresh marker-in-install && mv marker-in-install/KX31.TXT marker-in-install/INSTALL/kx31.txt
image marker-in-install out.iso >/dev/null || fail "a marker in INSTALL was not taken"
fresh no-viewer && rm no-viewer/IVIEWP32.EXE
refused 'no viewer' no-viewer
fresh no-data && rm -r no-data/B2020/IVT
refused 'no viewer data' no-data
fresh bad-name && touch 'bad-name/B2020/a:b'
refused 'a character Joliet names cannot hold' bad-name
fresh long-name && touch "long-name/$(printf 'x%.0s' {1..65}).txt"
refused 'over 64' long-name
fresh same-name && touch same-name/B2020/Notes same-name/B2020/NOTES
refused 'cannot tell it from' same-name
fresh own-autorun && printf '[autorun]\r\nopen=OWN.EXE\r\n' >own-autorun/autorun.inf
refused 'is there already' own-autorun
image --replace own-autorun out.iso >/dev/null || fail "--replace was not taken"
rm -rf content && xorriso -osirrox on -indev out.iso -extract / content 2>/dev/null
{ [ "$(ls content | grep -ic autorun.inf)" = 1 ] && ! grep -qs OWN.EXE content/*.INF content/*.inf; } ||
  fail "--replace did not put the setup's AUTORUN.INF in the publisher's place"
echo "replaced with --replace: the publisher's AUTORUN.INF"
