#!/usr/bin/env bash
# Installs every Debian package the project needs, then configures and builds.
# Safe to run again: apt-get skips what is installed, CMake reuses the build tree.
#
#   scripts/setup.sh            install packages, configure, build (build/)
#   scripts/setup.sh --deps     install packages only
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  dpkg-dev file lintian
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libmodbus-dev
  libmariadb-dev mariadb-server mariadb-client
  libcurl4-openssl-dev stunnel4 python3 python3-aiosmtpd openssl ca-certificates
  clang-14 libclang-rt-14-dev clang-format
  policykit-1
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = "--deps" ] && exit 0

source "$here/scripts/compilercache.sh"
build_type=${BUILD_TYPE:-RelWithDebInfo}
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
    "${compiler_cache[@]}" ${CMAKE_ARGS:-}
cmake --build "$here/build"
