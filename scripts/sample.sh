#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to a real backup: installs the
# packages (scripts/setup.sh), builds backup-cli optimised, copies the
# shipped sample files and job file into a work folder, runs the job
# "Minta" there, then lists and tests the archive and prints the job's log.
#
#   scripts/sample.sh            work folder ${TMPDIR:-/tmp}/backup-sample
#   BUILD_DIR=dir scripts/sample.sh   build somewhere else than build-release
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/sample-folder.sh

build="${BUILD_DIR:-build-release}"
work="${TMPDIR:-/tmp}/backup-sample"

scripts/setup.sh

echo "== build backup-cli ($build)"
cmake --preset release -B "$build" -DZK_TESTS=OFF >/dev/null
cmake --build "$build" --target backup-cli -j "$(nproc)"
cli="$build/apps/backup-cli/backup-cli"

echo "== work folder $work"
prepare_sample_folder "$work"

"$cli" --jobs "$work/Backup.Xml" list

echo "== backup-cli --jobs $work/Backup.Xml run Minta"
"$cli" --jobs "$work/Backup.Xml" run Minta

archive="$work/mentes/Minta.Zip"
echo "== the archive: unzip -l $archive"
unzip -l "$archive"
echo "(Names outside ASCII are stored in the DOS code page CP852, as Windows"
echo " reads them, with their UTF-8 form in a Unicode Path field beside, which"
echo " unzip, 7z and bsdtar show.)"
bsdtar -tf "$archive"
unzip -tq "$archive"
echo "== backup-cli verify Minta"
"$cli" --jobs "$work/Backup.Xml" verify Minta

echo "== the job's log: $work/mentes/Minta.Log"
cat "$work/mentes/Minta.Log"
echo "== the history: $work/Backup.Ini"
cat "$work/Backup.Ini"
