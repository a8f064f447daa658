#!/usr/bin/env bash
# Installs everything the project needs on Debian 12 (bookworm): JUCE 7 from Debian, the compilers,
# patch (for cmake/patches), the test and benchmark libraries, Xvfb for the editor tests (and
# xwininfo, for the Standalone's window title), Debian's LV2 tools, binutils (nm for the check of the
# plug-ins' exported symbols) and clang-format 14 (the format check, scripts/format.sh).
set -euo pipefail

packages=(
    juce-modules-source cmake g++ make pkg-config patch binutils
    xvfb xauth fonts-dejavu-core x11-utils
    libgtest-dev googletest libbenchmark-dev
    lilv-utils sordi lv2-dev
    clang-14 libclang-rt-14-dev clang-format
)

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ] || [ "${TOLVMARK_FORCE_APT:-0}" = 1 ]; then
    echo "==> Installing: ${missing[*]:-(forced)}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
else
    echo "==> All packages are installed"
fi
