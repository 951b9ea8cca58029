#!/usr/bin/env bash
# Installs the Debian packages listed in tools/debian-packages.txt that are not installed yet,
# and those of tools/debian-packages-windows.txt (Wine and the mingw-w64 cross compilers, for
# Windows plug-ins) unless GAZORIN_NO_WINE=1. For Wine's 32-bit part it enables dpkg's i386
# architecture: a change to the system's package configuration.
# Run as root (or with sudo available) on a fresh Debian machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here/debian-packages.txt")
[ "${GAZORIN_NO_WINE:-0}" = 1 ] || lists+=("$here/debian-packages-windows.txt")
mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "${lists[@]}" | grep -v '^$')

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Enabling dpkg's i386 architecture (for Wine's 32-bit part; GAZORIN_NO_WINE=1 skips Wine)"
  "${as_root[@]}" dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
