#!/usr/bin/env bash
# Installs what is missing, builds the program and the driver library it
# loads (the tests and benchmarks are left to scripts/test.sh), prepares the
# demo database beside the program when there is none, and starts the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" Tarvell dlfirebird
"$root/scripts/demo-database.sh" "$build/bin"
source "$root/scripts/firebird-lock.sh"
exec "$build/bin/Tarvell"
