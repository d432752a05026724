#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
# The server tests reach a local Firebird server started here and stopped
# however the run ends.
export TARVELL_FB_SERVER=127.0.0.1 TARVELL_FB_PASSWORD=${TARVELL_FB_PASSWORD:-quorvane}
"$root/scripts/firebird-server.sh" start
trap '"$root/scripts/firebird-server.sh" stop' EXIT
cd "$build"
ctest --output-on-failure -j 2
