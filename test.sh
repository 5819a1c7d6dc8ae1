#!/usr/bin/env bash
# Sets everything up, builds and runs the whole test suite under a virtual X display.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
./scripts/build.sh
cd build
xvfb-run -a -s "-screen 0 1600x1000x24" \
  ctest --output-on-failure -j"$(nproc)" --timeout 600
