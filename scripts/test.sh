#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
# The server tests reach a private Firebird server started here and stopped
# however the run ends; the script is named for the tests that stop and start
# servers of their own.
export TARVELL_FB_SCRIPT=$root/scripts/firebird-server.sh
export TARVELL_FB_SERVER=127.0.0.1 TARVELL_FB_PASSWORD=${TARVELL_FB_PASSWORD:-quorvane}
trap '"$TARVELL_FB_SCRIPT" stop' EXIT
TARVELL_FB_PORT=$("$TARVELL_FB_SCRIPT" start)
export TARVELL_FB_PORT
cd "$build"
ctest --output-on-failure -j 2
