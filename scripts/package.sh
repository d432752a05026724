#!/usr/bin/env bash
# Builds the Debian package tarvell_<version>_<arch>.deb: installs what is
# missing, builds the program, its driver library and the package's own
# files, and packs them. The package goes to FOLDER (default: the build
# folder); its path is the last line printed.
#
#   scripts/package.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
output=${1:-$build}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target Tarvell dlfirebird tarvell_package_files

mkdir -p "$output"
output=$(cd "$output" && pwd)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$output" >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
rm -rf "$output/_CPack_Packages"
package=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$log")
[[ -n $package && -f $package ]] || { cat "$log" >&2; echo "package.sh: no package made" >&2; exit 1; }
echo "$package"
