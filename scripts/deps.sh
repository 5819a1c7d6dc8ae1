#!/usr/bin/env bash
# Installs the Debian 12 packages Karvex needs to build, run and test, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins libqt5sql5-sqlite
  libavdevice-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavfilter-dev
  libsdl2-dev libhidapi-dev libudev-dev libxcb1-dev nlohmann-json3-dev
  libsqlite3-dev qttranslations5-l10n
  # DICOM: the toolkit, its command-line tools and a real archive (Orthanc) for the tests;
  # dicom3tools' dciodvfy checks the objects we make against their definitions.
  libdcmtk-dev dcmtk orthanc dicom3tools
  fonts-liberation libgl1-mesa-dri
  xvfb xauth ffmpeg poppler-utils imagemagick xdotool sqlite3 openbox
  # The Debian package: building and checking it (x11-utils: xprop), and the scalable icon of
  # scripts/draw-artwork.cpp.
  dpkg-dev lintian desktop-file-utils appstream libqt5svg5-dev x11-utils
  # scripts/check-style.sh: formatting and static checks of the changed files.
  clang-format clang-tidy-14
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi
