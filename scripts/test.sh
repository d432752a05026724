#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless:
# on the normal build, again on a build with the address and
# undefined-behaviour sanitizers, then the fuzz targets for a bounded time.
# Each phase's time is printed as it ends.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
sanitized=${TARVELL_SANITIZER_BUILD_DIR:-$root/build-asan}
fuzzed=${TARVELL_FUZZ_BUILD_DIR:-$root/build-fuzz}

phase_started=$SECONDS
phase_done() {
  echo "test.sh: $1 took $((SECONDS - phase_started)) s" >&2
  phase_started=$SECONDS
}

"$root/scripts/install-deps.sh"
phase_done "installing packages"
"$root/scripts/build.sh"
phase_done "the build"
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
phase_done "the tests"

# The same tests once more, built unoptimised with the address and
# undefined-behaviour sanitizers in a tree of their own; any report fails the
# run. The Firebird client's own allocations are not ours, so leaks are not
# looked for. The sanitizer runtime intercepts dlopen, which then no longer
# honours the $ORIGIN run path: the driver libraries are found through
# LD_LIBRARY_PATH instead.
sanitize=-fsanitize=address,undefined
source "$root/scripts/compiler-cache.sh"
cmake -S "$root" -B "$sanitized" "${compiler_cache[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_UNITY_BUILD=ON -DTARVELL_BENCHMARKS=OFF -DTARVELL_PACKAGING=OFF \
  -DCMAKE_CXX_FLAGS="$sanitize -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_SHARED_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$sanitized" -j "$(nproc)"
phase_done "the sanitizer build"
(cd "$sanitized" &&
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LD_LIBRARY_PATH="$sanitized/bin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  "$root/scripts/isolated.sh" ctest --output-on-failure -j 2)
phase_done "the sanitizer tests"

# The fuzz targets (tests/fuzz): a small tree of clang's with only the
# libraries they reach, each target run for a bounded time from its seed
# corpus under both sanitizers. A crash, a hang or a report fails the run.
cmake -S "$root/tests/fuzz" -B "$fuzzed" "${compiler_cache[@]}" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$fuzzed" -j "$(nproc)"
phase_done "the fuzz build"
if ! (cd "$fuzzed" && ctest -N | grep -q 'Test *#'); then
  echo "test.sh: $fuzzed holds no fuzz target (clang++ cannot build them?)" >&2
  exit 1
fi
(cd "$fuzzed" && ctest --output-on-failure -j 2)
phase_done "fuzzing"
