#!/usr/bin/env bash
# Builds the launcher's MSI with wixl and finishes what wixl leaves out or
# gets wrong, so that the package is the same bytes on every build:
#   make-msi.sh WXS STAGE OUT.MSI EPOCH PACKAGE_CODE
# STAGE holds the files the WXS names, by name alone; their dates, the package's own and
# the cabinet's are EPOCH (seconds since 1970), and the package code (the
# summary's revision number) is PACKAGE_CODE instead of a random one.
set -euo pipefail
wxs=$1 stage=$2 out=$3 epoch=$4 package_code=$5
export TZ=UTC
at=$(date -u -d "@$epoch" '+%F %T')
frozen() { faketime -f "$at" "$@"; }
touch -d "@$epoch" "$stage"/*
cp "$wxs" "$stage/package.wxs"
rm -f "$out.tmp"
(cd "$stage" && frozen wixl -a x86 -o "$out.tmp" package.wxs)

query() { frozen msibuild "$out.tmp" -q "$1"; }
# The registry root that follows the install's scope (HKMU) is -1; wixl
# writes 4, which is no root at all.
query "UPDATE \`Registry\` SET \`Root\`=-1 WHERE \`Root\`=4"
# Our key goes as a whole on uninstall.
query "INSERT INTO \`Registry\` (\`Registry\`,\`Root\`,\`Key\`,\`Name\`,\`Component_\`) VALUES ('RemoveOwnKey',-1,'Software\\CD-ROM viewer launcher','-','StartMenuEntry')"
# Long names with the short names Windows Installer expects beside them.
query "UPDATE \`Directory\` SET \`DefaultDir\`='CDVIEW|CD-ROM viewer launcher' WHERE \`Directory\`='INSTALLFOLDER'"
query "UPDATE \`Shortcut\` SET \`Name\`='CDVIEWER|CD-ROM viewer' WHERE \`Shortcut\`='LauncherShortcut'"
# DISCPATH reaches the installation itself when it runs elevated.
query "UPDATE \`Property\` SET \`Value\`='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;DISCPATH' WHERE \`Property\`='SecureCustomProperties'"
frozen msibuild "$out.tmp" -s "CD-ROM viewer launcher" "$(msiinfo export "$out.tmp" Property |
  sed -n 's/^Manufacturer\t//p')" "Intel;1033" "{$package_code}"
mv "$out.tmp" "$out"
