#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests, fuzz targets and
# benchmarks need.
# Does nothing when they are all present; uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  clang libclang-rt-14-dev lld
  qt6-base-dev libgl-dev
  googletest libgtest-dev libgmock-dev
  libfbclient2 firebird-dev firebird3.0-server-core firebird3.0-utils firebird3.0-server
  fonts-arphic-uming
  xvfb xauth
  iproute2
  dpkg-dev file librsvg2-bin desktop-file-utils lintian
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)

echo "Installing: ${missing[*]}"
# The server package asks for a SYSDBA password on first install; answer it
# up front so the install never stops for a question.
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password masterkey" |
  "${as_root[@]}" debconf-set-selections
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
