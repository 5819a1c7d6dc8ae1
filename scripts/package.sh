#!/usr/bin/env bash
# Builds the Debian package karvex_<version>_amd64.deb into the repository folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
(cd build && cpack -G DEB)
cp build/karvex_*.deb .
ls -1 karvex_*.deb
