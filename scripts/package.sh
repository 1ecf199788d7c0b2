#!/usr/bin/env bash
# Builds the Debian package orvala-suite_<version>_amd64.deb with CPack, in a
# build folder of its own: Debian's release and hardening flags, no tests, no
# benchmarks, no sanitizers, build paths mapped away. Prints the package's path.
#
#   scripts/package.sh [BUILD_DIR]     default: build-package/
#
# Then: sudo apt install ./build-package/orvala-suite_<version>_amd64.deb
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$here/build-package}" && cd "${1:-$here/build-package}" && pwd)
"$here/scripts/setup.sh" --deps

# Optimisation comes from dpkg-buildflags (-O2, as Debian builds), not from
# CMake's Release -O3. dpkg-buildflags maps the folder it is called from; the
# build folder may lie elsewhere, so it is mapped as well.
cd "$here"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
prefix_map="-ffile-prefix-map=$here=. -ffile-prefix-map=$build=."
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS) $prefix_map"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) $prefix_map"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$here" -B "$build" -G Ninja "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG -DCMAKE_INSTALL_PREFIX=/usr \
    -DORVALA_TESTS=OFF -DORVALA_BENCH=OFF -DORVALA_SANITIZE=OFF -DORVALA_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)

version=$(sed -n 's/^project(orvala VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
package="$build/orvala-suite_${version}_$(dpkg --print-architecture).deb"
[ -f "$package" ] || { echo "package.sh: $package was not made" >&2; exit 1; }
echo "$package"
