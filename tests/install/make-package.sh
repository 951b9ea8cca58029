#!/usr/bin/env bash
# make-package.sh CPACK CONFIG FOLDER: builds the Debian package into an emptied FOLDER;
# skipped (exit 77) without dpkg-deb and dpkg-shlibdeps.
set -euo pipefail
cpack=$1 config=$2 folder=$3
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v $tool > /dev/null || { echo "$tool is not installed: no package"; exit 77; }
done
rm -rf "$folder"
"$cpack" --config "$config" -G DEB -B "$folder"
