#!/bin/sh
# Installs what building and testing need on Debian 12, skipping what is there.
# libxkbcommon-dev is only looked for by Qt's own CMake files; with it there,
# configuring prints no "Could NOT find XKB".
set -e
# dpkg-dev (dpkg-shlibdeps) and file let CPack work out the Debian package's
# library dependencies; desktop-file-utils checks the desktop entry, lintian
# the package, man-db (man) renders the manual pages, poppler-utils (pdfinfo,
# pdftotext, pdftoppm) reads the PDF files of the chart sheet in the tests;
# bash-completion loads trv5kb's completion in the user's shell; ser2net is
# the serial device server the tests of network ports write through.
# The Windows build (cmake --preset windows) cross-compiles with mingw-w64
# through Ninja and makes its installer with nsis; its tests run the Windows
# programs under Wine (wine, wine64) on an Xvfb display, typing into the
# window with xdotool. The Japanese font above serves Wine as well.
packages="build-essential cmake qt6-base-dev qt6-serialport-dev libgl-dev libxkbcommon-dev fonts-ipafont-gothic
          qt6-translations-l10n dpkg-dev file desktop-file-utils lintian man-db poppler-utils bash-completion
          ser2net g++-mingw-w64-x86-64-posix ninja-build nsis wine wine64 xvfb xdotool"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

as_root() {
    echo "install-deps.sh: run it as root instead, for example: su -c tools/install-deps.sh" >&2
    echo "(or give this user the right to use sudo, and run it again)." >&2
    exit 1
}
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
    # Say what is about to happen before sudo asks, and what to do when it refuses.
    if ! sudo -n true 2>/dev/null; then
        echo "install-deps.sh: these packages are missing:$missing" >&2
        echo "Installing them needs root: sudo asks for this user's password now." >&2
        sudo -v || { echo "install-deps.sh: sudo refused, nothing was installed." >&2; as_root; }
    fi
else
    echo "install-deps.sh: these packages are missing:$missing" >&2
    echo "Installing them needs root, and this system has no sudo." >&2
    as_root
fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
