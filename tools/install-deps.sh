#!/bin/sh
# Installs what building and testing need on Debian 12, skipping what is there.
set -e
# dpkg-dev (dpkg-shlibdeps) and file let CPack work out the Debian package's
# library dependencies; desktop-file-utils checks the desktop entry.
packages="build-essential cmake qt6-base-dev qt6-serialport-dev libgl-dev fonts-ipafont-gothic qt6-translations-l10n
          dpkg-dev file desktop-file-utils"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
