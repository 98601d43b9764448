#!/usr/bin/env bash
# Builds the launcher's MSI with wixl and finishes what wixl leaves out or
# gets wrong, so that the package is the same bytes on every build:
#   make-msi.sh WXS STAGE OUT.MSI EPOCH
# STAGE holds the files the WXS names, by name alone; their dates, the
# package's own and the cabinet's are EPOCH (seconds since 1970), and the
# package code (the summary's revision number) follows from the package's
# content instead of being a random one: the same bytes give the same
# code, and packages that differ in anything have different ones.
set -euo pipefail
wxs=$1 stage=$2 out=$3 epoch=$4
export TZ=UTC
at=$(date -u -d "@$epoch" '+%F %T')
frozen() { faketime -f "$at" "$@"; }
touch -d "@$epoch" "$stage"/*
cp "$wxs" "$stage/package.wxs"
rm -f "$out.tmp"
(cd "$stage" && frozen wixl -a x86 -o "$out.tmp" package.wxs)

query() { frozen msibuild "$out.tmp" -q "$1"; }
# table NAME: the package's table, a row a line (msiinfo ends them CR LF).
table() { msiinfo export "$out.tmp" "$1" | tr -d '\r'; }
# column TABLE KEY N: field N of the row KEY (the first field) of TABLE.
column() { table "$1" | awk -F'\t' -v key="$2" -v n="$3" '$1 == key { print $n }'; }
# An 8.3 name beside a long one: its first eight letters and digits, in
# capitals, as "SHORT|long name".
both_names() {
  local short
  short=$(printf '%s' "$1" | tr -cd 'A-Za-z0-9' | tr 'a-z' 'A-Z' | cut -c1-8)
  [ -n "$short" ] || { echo "make-msi: no 8.3 name for \"$1\"" >&2; return 1; }
  printf '%s|%s' "$short" "$1"
}
product=$(column Property ProductName 2)
folder=$(both_names "$(column Directory INSTALLFOLDER 3)")
shortcut=$(both_names "$(column Shortcut LauncherShortcut 3)")
own_key=$(table Registry | awk -F'\t' '$4 == "StartMenuEntry" { print $3 }')
# The registry root that follows the install's scope (HKMU) is -1; wixl
# writes 4, which is no root at all.
query "UPDATE \`Registry\` SET \`Root\`=-1 WHERE \`Root\`=4"
# The steps that undo ours run only when an installation rolls back: wixl
# makes every custom action immediate or deferred, never rollback.
query "UPDATE \`CustomAction\` SET \`Type\`=3393 WHERE \`Action\`='UndoWriteLocation' OR \`Action\`='UndoForgetLocation'"
# Our key goes as a whole on uninstall.
query "INSERT INTO \`Registry\` (\`Registry\`,\`Root\`,\`Key\`,\`Name\`,\`Component_\`) VALUES ('RemoveOwnKey',-1,'$own_key','-','StartMenuEntry')"
# Long names with the short names Windows Installer expects beside them.
query "UPDATE \`Directory\` SET \`DefaultDir\`='$folder' WHERE \`Directory\`='INSTALLFOLDER'"
query "UPDATE \`Shortcut\` SET \`Name\`='$shortcut' WHERE \`Shortcut\`='LauncherShortcut'"
# DISCPATH reaches the installation itself when it runs elevated.
query "UPDATE \`Property\` SET \`Value\`='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;DISCPATH' WHERE \`Property\`='SecureCustomProperties'"
summary() {  # summary PACKAGE_CODE
  frozen msibuild "$out.tmp" -s "$product" "$(column Property Manufacturer 2)" \
    "Intel;1033" "{$1}"
}
summary 00000000-0000-0000-0000-000000000000
package_code=$(sha256sum "$out.tmp" | tr 'a-f' 'A-F' |
  sed -E 's/^(.{8})(.{4})(.{4})(.{4})(.{12}).*/\1-\2-\3-\4-\5/')
summary "$package_code"
mv "$out.tmp" "$out"
