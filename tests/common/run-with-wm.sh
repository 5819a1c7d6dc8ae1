#!/bin/sh
# Runs a test program on a virtual X display of its own with a window manager (openbox), as
# on a desktop: window flags, stacking and full screen then go through a real window manager.
# The display is private, so the manager cannot disturb tests that share ./test.sh's display.
set -eu
exec xvfb-run -a -s "-screen 0 1600x1000x24" sh -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  # Ready when the manager announces itself on the root window.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
  done
  KARVEX_TEST_WM=openbox "$@"
  status=$?
  kill $wm 2>/dev/null || true
  exit $status
' sh "$@"
