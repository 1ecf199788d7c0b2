#!/usr/bin/env bash
# Runs every test the way CI does: installs what is missing, builds the fuzzers
# with clang, builds everything else under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs all tests with CTest (the fuzzers for a
# short time on their seed corpus). Extra arguments go to ctest, e.g. -L archive.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" --deps
source "$here/scripts/compilercache.sh"

CC=clang-14 CXX=clang++-14 cmake -S "$here" -B "$here/build-fuzz" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALA_FUZZ=ON "${compiler_cache[@]}"
cmake --build "$here/build-fuzz" --target fuzzers

cmake -S "$here" -B "$here/build-test" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALA_SANITIZE=ON \
    -DORVALA_FUZZ_BUILD_DIR="$here/build-fuzz" "${compiler_cache[@]}"
cmake --build "$here/build-test"

cd "$here/build-test"
ctest --output-on-failure --parallel "$(nproc)" "$@"
