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
(cd "$build" && "$root/scripts/isolated.sh" ctest --output-on-failure -j 2)

# The same tests once more, built unoptimised with the address and
# undefined-behaviour sanitizers in a tree of their own; any report fails the
# run. The Firebird client's own allocations are not ours, so leaks are not
# looked for. The sanitizer runtime intercepts dlopen, which then no longer
# honours the $ORIGIN run path: the driver libraries are found through
# LD_LIBRARY_PATH instead.
sanitized=${TARVELL_SANITIZER_BUILD_DIR:-$root/build-asan}
sanitize=-fsanitize=address,undefined
source "$root/scripts/compiler-cache.sh"
cmake -S "$root" -B "$sanitized" "${compiler_cache[@]}" -DCMAKE_BUILD_TYPE=Debug -DTARVELL_BENCHMARKS=OFF -DTARVELL_PACKAGING=OFF \
  -DCMAKE_CXX_FLAGS="$sanitize -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_SHARED_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$sanitized" -j "$(nproc)"
(cd "$sanitized" &&
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LD_LIBRARY_PATH="$sanitized/bin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  "$root/scripts/isolated.sh" ctest --output-on-failure -j 2)
