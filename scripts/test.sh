#!/usr/bin/env bash
# The one test command: sets up a fresh Debian 12 machine (scripts/setup.sh),
# then configures, builds and runs every test twice: with g++ (build/) and
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), warnings as errors in both.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
for preset in default asan; do
  dir=build
  [ "$preset" = default ] || dir="build-$preset"
  echo "== $preset: configure, build, test ($dir)"
  cmake --preset "$preset"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
