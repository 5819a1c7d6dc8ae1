#!/usr/bin/env bash
# Sets everything up and starts Karvex in the working folder "workdir/".
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
./scripts/build.sh
if [ "$(id -u)" -eq 0 ] && [ -d /etc/udev/rules.d ]; then
  if ! cmp -s packaging/70-karvex-camera.rules /etc/udev/rules.d/70-karvex-camera.rules; then
    cp packaging/70-karvex-camera.rules /etc/udev/rules.d/
    command -v udevadm >/dev/null && udevadm control --reload-rules 2>/dev/null || true
  fi
fi
mkdir -p workdir
./scripts/install-language.sh workdir/language
cd workdir
exec ../build/karvex "$@"
