#!/usr/bin/env bash
# The DPI check: runs the DPI test program (dpi_e2e_test.cpp) under Wine once per DPI given, in a
# Wine prefix of its own whose LogPixels (HKCU\Control Panel\Desktop, read by every Wine process
# as it starts) it sets, so that the other tests' prefix stays at 96 whatever happens here. Its
# Wine server is restarted for each DPI, and each DPI gets a virtual screen that holds the main
# window at that DPI.
#   dpi_check.sh 32|64 TEST_PROGRAM DPI...
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/lib.sh"
use_windows_setup "$1"
program=$2
shift 2
export WINEPREFIX=$WINEPREFIX-dpi
server=${WINESERVER:-wineserver}
prepare_wine >/dev/null
status=0
for dpi in "$@"; do
  "$server" -k 2>/dev/null || true
  "$server" -w
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  width=$((1280 * dpi / 96))
  height=$((1024 * dpi / 96))
  echo "== $dpi DPI"
  VIGILON_DPI=$dpi xvfb-run -a -s "-screen 0 ${width}x${height}x24" "$WINE" "$program" || status=1
done
"$server" -k 2>/dev/null || true
exit $status
