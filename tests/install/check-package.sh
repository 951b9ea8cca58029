#!/usr/bin/env bash
# check-package.sh FOLDER: lintian on the Debian package in FOLDER (errors fail, warnings are
# shown), then AppStream's check of the package's file tree (metadata, desktop entry, icon).
set -euo pipefail
command -v lintian > /dev/null || { echo "lintian is not installed: check skipped"; exit 77; }
shopt -s nullglob
packages=("$1"/gazorin_*.deb)
[ ${#packages[@]} -eq 1 ] || { echo "expected one gazorin_*.deb in $1"; exit 1; }
lintian --fail-on error --display-info "${packages[0]}"

if command -v appstreamcli > /dev/null; then
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "${packages[0]}" "$root"
  appstreamcli validate-tree --no-net "$root"
fi
