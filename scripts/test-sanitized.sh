#!/usr/bin/env bash
# Builds Karvex with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs the
# whole suite there under a virtual X display. Any memory error, leak of our own or undefined
# behaviour fails the test it happens in.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
if [ ! -f build-asan/build.ninja ]; then
  # -O1 keeps the sanitized tests fast enough; -g1 is enough for the reports' stack traces.
  cmake -S . -B build-asan -G Ninja -DKARVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1"
fi
export CCACHE_BASEDIR="$PWD"
# At most two jobs: a sanitized compile takes much memory.
cmake --build build-asan -j"$(( $(nproc) < 2 ? $(nproc) : 2 ))"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/sanitize/ubsan.supp"
cd build-asan
xvfb-run -a -s "-screen 0 1600x1000x24" \
  ctest --output-on-failure -j"$(nproc)" --timeout 900
