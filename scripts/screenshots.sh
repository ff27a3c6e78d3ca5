#!/usr/bin/env bash
# Renders every window offscreen in a fixed state to PNG files in
# docs/screenshots/ (or the folder given), the pictures the README shows.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build -j "$(nproc)" --target ui_screenshots
QT_QPA_PLATFORM=offscreen build/tests/ui/ui_screenshots "$out"
