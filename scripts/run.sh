#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo database beside the
# program when there is none, and starts the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/scripts/demo-database.sh" "$build/bin"
source "$root/scripts/firebird-lock.sh"
exec "$build/bin/Tarvell"
