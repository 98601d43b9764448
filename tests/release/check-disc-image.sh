#!/usr/bin/env bash
# The publisher's disc image, made from copies of the demo disc:
# - a good folder gives an image with the installer in INSTALL\ and an
#   AUTORUN.INF that offers it, the same bytes every time;
# - a folder without the marker, the viewer or its data, or with a name the
#   image cannot carry or Windows cannot open, is refused with a message
#   naming the fault and the file, and so
#   is a publisher's own AUTORUN.INF unless --replace is given; a refusal
#   writes no image;
# - the label is carried as given, as the volume name and in AUTORUN.INF,
#   or refused with the rule: no option adds a line to AUTORUN.INF; an
#   epoch the image cannot date is refused; no output path puts the image
#   among the publisher's files or over the installer; any folder or image
#   name is taken.
#   check-disc-image.sh DEMO_DISC_FOLDER LAUNCHER_MSI
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
disc=$1 msi=$2
image() { "$source_dir/scripts/disc-image.sh" --unsigned --msi "$msi" --epoch 1700000000 "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"

fresh() {  # fresh NAME: a writable copy of the demo disc
  cp -r -- "$disc" "$1" && chmod -R u+w -- "$1"
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

# What every reader sees: folders 0755 and files 0644 in the Rock Ridge
# names, whoever made the image; every date the one given; the volume's
# publisher and application; the image's sum beside it.
modes=$(xorriso -indev one.iso -find / -exec lsdl 2>/dev/null | awk '{ print $1 }' | sort -u | tr '\n' ' ')
[ "$modes" = "-rw-r--r-- drwxr-xr-x " ] || fail "the image's modes are $modes"
dates=$(TZ=UTC xorriso -indev one.iso -find / -exec lsdl 2>/dev/null | awk '{ print $6, $7, $8 }' | sort -u)
[ "$dates" = "$(date -u -d @1700000000 '+%b %e %Y' | tr -s ' ')" ] || fail "the image's dates are $dates"
# ISO 9660 keeps these fields in capitals.
fields=$(xorriso -indev one.iso -pvd_info 2>/dev/null)
property() { msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
grep -qix "Publisher Id : $(property Manufacturer)" <<<"$fields" &&
  grep -qix "App Id       : $(property ProductName) $(property ProductVersion)" <<<"$fields" ||
  fail "the image's fields: $fields"
grep -qx "[0-9a-f]\{64\}  one.iso" SHA256SUMS && grep -qx "[0-9a-f]\{64\}  two.iso" SHA256SUMS &&
  sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS beside the images: $(cat SHA256SUMS)"
echo "accepted: modes $modes, publisher and application set, the sums beside the images"

# An unsigned installer goes on a disc only when asked for.
if "$source_dir/scripts/disc-image.sh" --msi "$msi" --epoch 1700000000 good unasked.iso >/dev/null 2>message; then
  fail "an unsigned installer was put on a disc unasked"
fi
grep -q 'is not signed' message && [ ! -e unasked.iso ] || fail "for an unsigned installer: $(cat message)"
image good asked.iso >/dev/null 2>message && grep -q 'unsigned' message ||
  fail "--unsigned did not say the installer is unsigned: $(cat message)"
"$source_dir/scripts/disc-image.sh" --help >help || fail "--help did not exit 0"
grep -q -- '--unsigned' help && [ "$(wc -l <help)" -gt 10 ] || fail "--help: $(cat help)"
echo "refused, as it should: an unsigned installer unless --unsigned; --help tells it all"

refused() {  # refused WORDS FOLDER [OPTION...]: no image, a message naming the fault
  refused_as out.iso "$@"
}
refused_as() {  # refused_as OUT WORDS FOLDER [OPTION...]
  local out=$1; shift
  rm -f out.iso
  if image "${@:3}" "$2" "$out" >/dev/null 2>message; then fail "$2 was imaged as $out with ${*:3}"; fi
  grep -qF -- "$1" message || fail "for $2 the message was: $(cat message)"
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
# Names Windows cannot open: each refused, the file named.
for name in 'ROADS.IVT ' 'ROADS.' 'a<b' 'a>b' 'a"b' 'a|b' CON nul.txt Com1.dat LPT9 aux.tar.gz; do
  fresh windows-name && touch "windows-name/B2020/IVT/$name"
  refused "B2020/IVT/$name: " windows-name
  rm -rf windows-name
done

# Any folder or image name: blanks, quotes, letters beyond ASCII, "=", a
# leading "-".
odd='-My "Disc", é=1'
fresh "$odd"
image -- "$odd" "-Image é.iso" >/dev/null || fail "the folder \"$odd\" was refused"
rm -rf content && xorriso -osirrox on -indev "./-Image é.iso" -extract / content 2>/dev/null
cmp -s content/INSTALL/LAUNCHER.MSI "$msi" && cmp -s content/KX31.TXT "./$odd/KX31.TXT" ||
  fail "the image of \"$odd\" does not carry the disc and the installer"
echo "accepted: a folder named \"$odd\", imaged as \"-Image é.iso\""
fresh own-autorun && printf '[autorun]\r\nopen=OWN.EXE\r\n' >own-autorun/autorun.inf
refused 'is there already' own-autorun
image --replace own-autorun out.iso >/dev/null || fail "--replace was not taken"
rm -rf content && xorriso -osirrox on -indev out.iso -extract / content 2>/dev/null
{ [ "$(ls content | grep -ic autorun.inf)" = 1 ] && ! grep -qs OWN.EXE content/*.INF content/*.inf; } ||
  fail "--replace did not put the setup's AUTORUN.INF in the publisher's place"
echo "replaced with --replace: the publisher's AUTORUN.INF"

# The label: as given, or refused with the rule.
image --label ATLAS_2020 good labelled.iso >/dev/null || fail "the label ATLAS_2020 was refused"
volume=$(xorriso -indev labelled.iso -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: //p')
[ "$volume" = ATLAS_2020 ] || fail "the volume name is \"$volume\", not ATLAS_2020"
rm -rf content && xorriso -osirrox on -indev labelled.iso -extract / content 2>/dev/null
grep -qx $'label=ATLAS_2020\r' content/AUTORUN.INF || fail "AUTORUN.INF: $(cat content/AUTORUN.INF)"
rule='1 to 16 of the characters A-Z 0-9 _'
refused "$rule" good --label $'KX31\r\nopen=OTHER.EXE'
refused "$rule" good --label kx31
refused "$rule" good --label 'KX31 DISC'
refused "$rule" good --label ABCDEFGHIJKLMNOPQ
refused "$rule" good --label ''
echo "accepted: the label as given, on the volume and in AUTORUN.INF"

# Dates the image cannot carry.
refused 'up to 5869583999 (2155-12-31)' good --epoch 5869584000
refused 'up to 5869583999 (2155-12-31)' good --epoch 1e9

# The publisher's folder and installer stay as they were.
before=$(find good -printf '%p %s %T@\n' | sort)
refused_as good/out.iso 'inside good' good
refused_as good/INSTALL/../IMAGE.ISO 'inside good' good
refused_as "$work/good" 'inside good' good
mkdir -p elsewhere
refused_as elsewhere 'a folder, not an image file' good
refused_as no-such-folder/out.iso 'no folder to write' good
cp "$msi" msi-copy.msi
refused_as msi-copy.msi 'the installer the image carries' good --msi msi-copy.msi
cmp -s msi-copy.msi "$msi" || fail "the installer was overwritten"
after=$(find good -printf '%p %s %T@\n' | sort)
[ "$before" = "$after" ] || fail "the publisher's folder changed"
echo "refused: every output path among the publisher's files; the folder unchanged"
