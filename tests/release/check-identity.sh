#!/usr/bin/env bash
# The product's identity, set as a publisher sets it, with cache values on
# a copy of the sources: each value shows in the version resource, the
# package and the disc image's AUTORUN.INF and fields, and the package's
# code differs from the shipped one's. A value no file could carry is
# refused at configure, naming the rule.
#   check-identity.sh SOURCE_DIR SHIPPED_MSI WORK_DIR
set -euo pipefail
source_dir=$1 shipped_msi=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/sources"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/sources" -xf -
cd "$work/sources"
cp app/launcher.ico "$work/atlas.ico" && printf 'x' >>"$work/atlas.ico"
identity=(-DLAUNCHER_VERSION=2.3.4 "-DLAUNCHER_PRODUCT_NAME=Atlas 2020 viewer"
          "-DLAUNCHER_PUBLISHER=Atlas Maps Ltd" "-DLAUNCHER_SHORTCUT_NAME=Atlas 2020"
          -DLAUNCHER_UPGRADE_CODE=0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0
          "-DLAUNCHER_ICON=$work/atlas.ico" -DLAUNCHER_SUPPORT_URL=https://atlas.example/support
          "-DLAUNCHER_COPYRIGHT=Copyright (C) 2020 Atlas Maps Ltd" -DLAUNCHER_SOURCE_DATE_EPOCH=1600000000)
cmake --preset mingw32 "${identity[@]}" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "the identity was refused"; }
cmake --build --preset mingw32 --target launcher launcher_msi -j"$(nproc)" >"$work/build.log" 2>&1 ||
  { tail -20 "$work/build.log"; fail "the launcher with that identity did not build"; }
exe=build/mingw32/app/launcher.exe msi=build/mingw32/app/installer/launcher.msi

resource=$(i686-w64-mingw32-windres -J coff -O rc -i "$exe")
for value in '"CompanyName", "Atlas Maps Ltd"' '"ProductName", "Atlas 2020 viewer"' \
             '"LegalCopyright", "Copyright (C) 2020 Atlas Maps Ltd"' '"FileVersion", "2.3.4.0"'; do
  grep -qF "$value" <<<"$resource" || fail "the version resource lacks $value: $resource"
done
property() { msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
[ "$(property Manufacturer)|$(property ProductName)|$(property ProductVersion)" = \
  "Atlas Maps Ltd|Atlas 2020 viewer|2.3.4" ] || fail "the package's properties: $(msiinfo export "$msi" Property)"
[ "$(property UpgradeCode)" = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}" ] || fail "the upgrade code: $(property UpgradeCode)"
[ "$(property ARPURLINFOABOUT)|$(property ARPHELPLINK)" = \
  "https://atlas.example/support|https://atlas.example/support" ] || fail "the support links are not in the package"
msiinfo export "$msi" Shortcut | grep -q '|Atlas 2020' || fail "the Start-menu entry is not named Atlas 2020"
cmp -s <(msiinfo extract "$msi" Icon.launcher.ico) "$work/atlas.ico" || fail "the package's icon is not the one given"
code() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }
[ "$(code "$msi")" != "$(code "$shipped_msi")" ] || fail "the package code is the shipped package's"
msiinfo suminfo "$msi" | grep -qx "Created: $(date -u -d @1600000000 '+%a %b %e %T %Y')" ||
  fail "the package is not dated by SOURCE_DATE_EPOCH: $(msiinfo suminfo "$msi" | grep Created)"

./scripts/disc-image.sh --unsigned --msi "$msi" -- "$source_dir/build/mingw32/demo/disc" \
  "$work/atlas.iso" >/dev/null 2>&1 || fail "no image with that identity"
xorriso -osirrox on -indev "$work/atlas.iso" -extract /AUTORUN.INF "$work/AUTORUN.INF" 2>/dev/null
grep -qx $'action=Install the Atlas 2020 viewer\r' "$work/AUTORUN.INF" || fail "AUTORUN.INF: $(cat "$work/AUTORUN.INF")"
xorriso -indev "$work/atlas.iso" -pvd_info 2>/dev/null | grep -qix 'Publisher Id : Atlas Maps Ltd' ||
  fail "the image's publisher is not Atlas Maps Ltd"
echo "set: the version resource, the package, AUTORUN.INF and the image carry the identity given"

if cmake --preset mingw32 '-DLAUNCHER_PUBLISHER=Atlas "Maps"' >"$work/refused.log" 2>&1; then
  fail "a publisher with quotes was taken"
fi
grep -q 'LAUNCHER_PUBLISHER "Atlas "Maps"" holds a character' "$work/refused.log" ||
  fail "the refusal: $(cat "$work/refused.log")"
echo "refused, as it should: a publisher with quotes, naming the rule"
cd / && rm -rf "$work"
