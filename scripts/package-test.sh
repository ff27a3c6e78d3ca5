#!/usr/bin/env bash
# Builds the Debian package from an optimised build and checks it as a user
# would meet it: every installed file is in it, the desktop entry and the
# manual pages are well-formed, apt can resolve its dependencies, the
# packaged backup-cli runs the sample job from the user's configuration
# folder, the packaged window program started by a user under Xvfb makes
# its empty job file there, and the user unit passes systemd's check. Any failed check ends
# the script with "package-test: FAILED: ..." and exit code 1.
#
#   scripts/package-test.sh              builds in build-release
#   BUILD_DIR=dir scripts/package-test.sh
#
# Expects the packages of scripts/setup.sh (scripts/test.sh runs it first).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build-release}"
fail() {
  echo "package-test: FAILED: $*" >&2
  exit 1
}

echo "== package: configure and build ($build, installing under /usr)"
cmake --preset release -B "$build" -DZK_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null ||
  fail "cpack -G DEB did not build the package"
debs=("$build"/package/backup_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack left no single backup_*.deb in $build/package"
deb=$(realpath "${debs[0]}")
echo "== $deb"

work=$(mktemp -d "${TMPDIR:-/tmp}/backup-package.XXXXXX")
# The unpacked program folder is made read-only below.
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
# The unprivileged user below walks into this folder.
chmod 755 "$work"

echo "== the files in the package"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
expected=(
  /usr/bin/Backup
  /usr/bin/backup-cli
  /usr/share/applications/backup.desktop
  /usr/share/icons/hicolor/scalable/apps/backup.svg
  /usr/share/icons/hicolor/48x48/apps/backup.png
  /usr/share/icons/hicolor/256x256/apps/backup.png
  /usr/share/man/man1/backup-cli.1.gz
  /usr/share/man/man1/Backup.1.gz
  /usr/lib/systemd/user/backup-cli.service
)
for file in "${expected[@]}"; do
  grep -qxF "$file" "$work/contents" || fail "the package lacks $file"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libqt6widgets6 libdeflate0; do
  [[ "$depends" == *"$library"* ]] || fail "the package's dependencies (from dpkg-shlibdeps) lack $library"
done
# Remote copies need rclone only when a job names a remote target.
[[ "$depends" != *rclone* ]] || fail "the package requires rclone; it should only recommend it"
[[ "$(dpkg-deb -f "$deb" Recommends)" == *rclone* ]] || fail "the package does not recommend rclone"
# Qt's own buttons and dialogs in Hungarian.
[[ "$depends" == *qt6-translations-l10n* ]] || fail "the package does not depend on qt6-translations-l10n"

echo "== apt-get install --simulate"
apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log" >&2
  fail "apt cannot resolve the package's dependencies"
}
# The translations come with the package: apt installs them, or they are
# there already.
grep -q '^Inst qt6-translations-l10n' "$work/apt.log" ||
  dpkg-query -W -f='${Status}' qt6-translations-l10n 2>/dev/null | grep -q "install ok installed" ||
  fail "apt-get install --simulate does not bring qt6-translations-l10n"

root="$work/root"
dpkg -x "$deb" "$root"

echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/backup.desktop" ||
  fail "desktop-file-validate rejects backup.desktop"

echo "== the manual pages"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  # man-db's own reader, with the formatter's warnings on: any message on
  # standard error is a fault in the page.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^NAME' || fail "$(basename "$page") has no NAME section"
done
MANPATH="$root/usr/share/man" man -w backup-cli >/dev/null || fail "man backup-cli does not find the packaged page"

echo "== the packaged backup-cli runs the sample job from the user's configuration folder"
cli="$root/usr/bin/backup-cli"
version=$(dpkg-deb -f "$deb" Version)
[ "$("$cli" --version)" = "backup-cli $version.0" ] || fail "backup-cli --version does not say backup-cli $version.0"

# dpkg installs the program folder writable by root alone; so is the
# unpacked one here. Its user must not be able to write it, or the rule
# would pick the program's folder: as root (who may write any folder) the
# program runs as the user nobody, otherwise as the calling user.
chmod a-w "$root/usr/bin"
home="$work/home"
mkdir "$home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# A clean environment in the user's home: HOME set, XDG_CONFIG_HOME unset.
user_run() {
  (cd "$home" && env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "${as_user[@]}" "$@")
}
user_run test ! -w "$root/usr/bin" || fail "the unpacked program folder is writable for the test's user"

config="$home/.config/backup"
help=$(user_run "$cli" --help) || fail "backup-cli --help failed"
[ "$(tail -n 1 <<<"$help")" = "A mentésfájl most: $config/Backup.Xml" ] ||
  fail "backup-cli --help does not name $config/Backup.Xml: $(tail -n 1 <<<"$help")"
[ -d "$config" ] || fail "backup-cli did not make its configuration folder $config"

# The shipped sample job, its folders under the user's home (as
# scripts/sample.sh fills them in), copied in by the user.
cp -R samples/data "$work/data"
chmod -R a+rX "$work/data"
sample="$home/sample"
user_run mkdir "$sample"
user_run cp -R "$work/data" "$sample/data"
xml_path=$(printf '%s' "$sample" | sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g')
sed_path=$(printf '%s' "$xml_path" | sed -e 's/[\\|&]/\\&/g')
sed -e "s|@SAMPLE_DIR@|$sed_path|g" samples/Backup.Xml.in >"$work/Backup.Xml"
chmod a+r "$work/Backup.Xml"
user_run cp "$work/Backup.Xml" "$config/Backup.Xml"

user_run "$cli" run Minta </dev/null >"$work/run.log" 2>&1 || {
  cat "$work/run.log" >&2
  fail "backup-cli run Minta failed"
}
unzip -tq "$sample/mentes/Minta.Zip" >/dev/null || fail "the sample archive $sample/mentes/Minta.Zip does not test sound"
grep -q 'History=Ok;' "$config/Backup.Ini" 2>/dev/null || fail "no Ok history line (History=Ok;...) in $config/Backup.Ini"
[ -s "$config/Log.Txt" ] || fail "no run log in $config/Log.Txt"
[ "$(ls -A "$root/usr/bin" | sort | tr '\n' ' ')" = "Backup backup-cli " ] ||
  fail "the run wrote into the program folder: $(ls -A "$root/usr/bin" | tr '\n' ' ')"
echo "job file, history and log in $config: $(ls "$config" | tr '\n' ' ')"

echo "== the packaged window program's first start under Xvfb"
# A second user home, empty: the program makes its job file at once.
first="$work/first-home"
mkdir "$first"
[ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$first"
# The window stays open until timeout ends it, by then long after the start.
(cd "$first" && env -i HOME="$first" PATH=/usr/bin:/bin LANG=hu_HU.UTF-8 "${as_user[@]}" \
  xvfb-run -a -s "-screen 0 1024x768x24" timeout 8 "$root/usr/bin/Backup") >"$work/window.log" 2>&1 || true
[ -s "$first/.config/backup/Backup.Xml" ] || {
  cat "$work/window.log" >&2
  fail "Backup did not make $first/.config/backup/Backup.Xml on its first start"
}
grep -q '<Saving' "$first/.config/backup/Backup.Xml" || fail "the first job file is no empty job list"
[ "$(ls -A "$root/usr/bin" | sort | tr '\n' ' ')" = "Backup backup-cli " ] ||
  fail "the window program wrote into the program folder"

if command -v systemd-analyze >/dev/null; then
  echo "== systemd-analyze verify --user backup-cli.service"
  unit="$root/usr/lib/systemd/user/backup-cli.service"
  grep -qx 'ExecStart=/usr/bin/backup-cli serve' "$unit" || fail "the unit does not start /usr/bin/backup-cli serve"
  # The package is not installed here: the check runs on a copy that starts
  # the unpacked program (the line above holds the installed path), with
  # the unpacked manual pages for the unit's documentation link. systemd
  # reports a bad line and goes on, so any message fails the check.
  mkdir -p "$work/unit" "$work/runtime"
  chmod 700 "$work/runtime"
  sed -e "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$unit" >"$work/unit/backup-cli.service"
  messages=$(XDG_RUNTIME_DIR="$work/runtime" MANPATH="$root/usr/share/man" \
    systemd-analyze verify --user "$work/unit/backup-cli.service" 2>&1) ||
    fail "systemd-analyze verify rejects backup-cli.service: $messages"
  [ -z "$messages" ] || fail "systemd-analyze verify reports on backup-cli.service: $messages"
else
  echo "== systemd-analyze is not installed: the unit is not verified"
fi

echo "== package-test: all checks passed ($(basename "$deb"))"
