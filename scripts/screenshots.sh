#!/usr/bin/env bash
# Makes the pictures of the user guide (docs/images/*.png) from the program as it is now:
# builds the tour program, runs it on a private virtual display with a window manager (so
# the windows have their title bars), and renders the report it saves as a picture too.
#   scripts/screenshots.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/images

./scripts/deps.sh
# Window frames in the pictures come from openbox; everything else is in deps.sh.
if ! command -v openbox >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends openbox
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target karvex-tour karvex-dicom-shots karvex-fake-v4l2 -j"$(nproc)"

for n in $(seq 170 199); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break; done
Xvfb :$n -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT
wm=""
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
DISPLAY=:$n openbox >/dev/null 2>&1 & wm=$!
sleep 1

mkdir -p "$out"
rm -f "$out"/*.png
# The camera is an emulated UVC camera (see tests/README.md), so the Format menu shows.
DISPLAY=:$n LD_PRELOAD="$PWD/$build/tools/fakev4l2/libkarvex-fake-v4l2.so" "$build/karvex-tour" "$out"
# The DICOM settings and the worklist, against an Orthanc and a worklist started for them; the
# picture of failing tests is for looking at the wrapped reasons, not for the guide.
DISPLAY=:$n "$build/karvex-dicom-shots" "$out" en-US
rm -f "$out/dicom-settings-failed.png"

# The first page of the saved report, at a size that fits the guide.
pdftoppm -png -r 64 -singlefile "$out/report.pdf" "$out/report-page"
rm -f "$out/report.pdf"
ls -1 "$out"
