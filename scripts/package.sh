#!/usr/bin/env bash
# Builds the Debian package tarvell_<version>_<arch>.deb: installs what is
# missing, builds the program, its driver library and the package's own
# files, installs them into a staging folder and packs that. The package
# goes to FOLDER (default: the build folder); its path is the last line
# printed.
#
#   scripts/package.sh [FOLDER]
#   scripts/package.sh --built [FOLDER]   # pack the build folder as it stands
#
# With --built nothing is installed, configured or built: the tree must hold
# a finished build (scripts/build.sh makes one). The package test packs the
# tree under test that way, which must not change while its tests run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARVELL_BUILD_DIR:-$root/build}
built=false
if [[ ${1:-} == --built ]]; then
  built=true
  shift
fi
output=${1:-$build}

if ! $built; then
  "$root/scripts/install-deps.sh"
  source "$root/scripts/compiler-cache.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${compiler_cache[@]}" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target Tarvell dlfirebird tarvell_package_files
fi

mkdir -p "$output"
output=$(cd "$output" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/log
# The install rules put every file under the staging folder as the package
# lays it out (stripped, run paths set for the installed place); CPack then
# packs that folder with the control fields of the build's own CPack
# configuration, and builds nothing.
if ! cmake --install "$build" --prefix "$work/stage" --strip >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
cat >"$work/CPackStaged.cmake" <<CONFIG
include("$build/CPackConfig.cmake")
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALLED_DIRECTORIES "$work/stage;/")
CONFIG
if ! cpack -G DEB --config "$work/CPackStaged.cmake" -B "$work/out" >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
made=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$log")
[[ -n $made && -f $made ]] || { cat "$log" >&2; echo "package.sh: no package made" >&2; exit 1; }
package=$output/$(basename "$made")
mv "$made" "$package"
echo "$package"
