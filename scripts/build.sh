#!/usr/bin/env bash
# Configures and builds into build/ (or $TARVELL_BUILD_DIR): everything, or
# only the targets named on the command line.
#
#   scripts/build.sh                      # program, libraries, tests, benchmarks
#   scripts/build.sh Tarvell dlfirebird   # what the program needs to run
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
source "$root/scripts/compiler-cache.sh"
# Unity builds: every library and test program compiles its sources a few
# to one translation unit, so the headers they share (Qt's, GoogleTest's,
# the layers below) are parsed once per batch rather than once per file.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON "${compiler_cache[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
