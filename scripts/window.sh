#!/usr/bin/env bash
# Starts the window program on the shipped sample: installs the packages
# (scripts/setup.sh), builds Backup optimised, copies the sample files and
# job file into a work folder (as scripts/sample.sh does, without running a
# backup) and opens the main window on that job file. Needs a graphical
# session (X11 or Wayland); `xvfb-run scripts/window.sh` runs it without one.
#
#   scripts/window.sh            work folder ${TMPDIR:-/tmp}/backup-window
#   BUILD_DIR=dir scripts/window.sh   build somewhere else than build-release
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/sample-folder.sh

build="${BUILD_DIR:-build-release}"
work="${TMPDIR:-/tmp}/backup-window"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "No display: the window program needs a graphical session (DISPLAY or WAYLAND_DISPLAY)." >&2
  echo "Run it from a desktop, or without one as: xvfb-run scripts/window.sh" >&2
  exit 1
fi

scripts/setup.sh

echo "== build Backup ($build)"
cmake --preset release -B "$build" -DZK_TESTS=OFF >/dev/null
cmake --build "$build" --target Backup -j "$(nproc)"

echo "== work folder $work"
prepare_sample_folder "$work"

echo "== Backup --jobs $work/Backup.Xml"
exec "$build/apps/backup/Backup" --jobs "$work/Backup.Xml" "$@"
