#!/bin/sh
# Runs the test program $1 on a virtual X screen whose notification area is trayer's.
# Exits 77, which CTest counts as skipped, when xvfb-run or trayer is not installed.
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v trayer >/dev/null 2>&1; then
  echo "xvfb-run or trayer is not installed: no tray host to test with"
  exit 77
fi
exec xvfb-run -a -s "-screen 0 800x600x24" sh -c '
  trayer --edge top --align right --widthtype pixel --width 120 --height 24 \
         --transparent false >/dev/null 2>&1 &
  tray=$!
  ORVEL_TRAY_HOST=1 QT_QPA_PLATFORM=xcb "$0"
  status=$?
  kill $tray
  exit $status' "$1"
