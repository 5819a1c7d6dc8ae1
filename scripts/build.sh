#!/usr/bin/env bash
# Configures (once) and builds Karvex in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
# Relative paths in ccache's keys let checkouts in other folders share the cache.
export CCACHE_BASEDIR="$PWD"
cmake --build build -j"$(nproc)"
