#!/usr/bin/env bash
# lintian-package.sh FOLDER: lintian on the Debian package in FOLDER; errors fail, warnings
# are shown.
set -euo pipefail
command -v lintian > /dev/null || { echo "lintian is not installed: check skipped"; exit 77; }
shopt -s nullglob
packages=("$1"/gazorin_*.deb)
[ ${#packages[@]} -eq 1 ] || { echo "expected one gazorin_*.deb in $1"; exit 1; }
lintian --fail-on error --display-info "${packages[0]}"
