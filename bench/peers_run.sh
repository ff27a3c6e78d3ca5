#!/usr/bin/env bash
# Measures `backup-cli run --no-throttle` on 1 and 2 compression threads
# against other archivers, each in a child process under GNU time, over two
# trees: the mixed corpus of bench/cli_run.sh (made by it when missing) and
# a copy of /usr/include and /usr/share/doc (symbolic links left out, so
# that every program packs the same files). One table: wall time, archive
# size, peak RSS, and the time and size ratios to `zip -9 -r`.
# Usage: bench/peers_run.sh [work folder, default /tmp/zk-peers-bench]
# (CLI_WORK names the cli_run.sh work folder, default /tmp/zk-cli-bench;
# BUILD_DIR overrides build-release)
set -euo pipefail
work="${1:-/tmp/zk-peers-bench}"
cli_work="${CLI_WORK:-/tmp/zk-cli-bench}"
build="${BUILD_DIR:-build-release}"
cd "$(dirname "$0")/.."
[ -f "$cli_work/generated" ] || BUILD_DIR="$build" bench/cli_run.sh "$cli_work"
cmake --preset release -B "$build" -DZK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target backup-cli
cli="$(cd "$build" && pwd)/apps/backup-cli/backup-cli"
# Debian 12's 7zip package names its program 7zz, p7zip's is 7z.
sevenzip=$(command -v 7zz || command -v 7z || echo 7z)
for tool in zip "$sevenzip" bsdtar pigz /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done

mkdir -p "$work"
tree="$work/tree"
if [ ! -f "$work/copied" ]; then
  rm -rf "$tree" && mkdir -p "$tree"
  cp -a /usr/include "$tree/include"
  cp -a /usr/share/doc "$tree/doc"
  find "$tree" -type l -delete
  touch "$work/copied"
fi

# Runs the command under GNU time; prints "seconds peak-KiB".
measure() {
  local report="$work/time.txt"
  /usr/bin/time -v -o "$report" "$@" >/dev/null 2>&1
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Maximum resident set size/ { k = $2 }
              END { printf "%.2f %d\n", s, k }' "$report"
}

# One row: name, seconds, KiB, archive; the ratios come from zip's row.
rows="$work/rows.txt"
row() { printf "%s\t%s\t%s\t%s\n" "$1" "$2" "$3" "$(stat -c %s "$4")" >>"$rows"; }

bench_tree() {
  local label="$1" source="$2" out="$work/out"
  local parent base
  parent=$(dirname "$source")
  base=$(basename "$source")
  echo "== $label: $(find "$source" -type f | wc -l) files, $(du -sb "$source" | cut -f1) bytes"
  rm -rf "$out" && mkdir -p "$out"
  cat >"$out/Backup.Xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Saving><Item Name="Bench"><OutputFolder>$out/zip</OutputFolder>
<PackMode>1</PackMode><AddFiles><Item Name="$source"><SubDir>1</SubDir></Item></AddFiles></Item></Saving>
EOF
  local s k
  for threads in 1 2; do
    rm -rf "$out/zip" && sync
    read -r s k < <(measure "$cli" --no-throttle --threads "$threads" --jobs "$out/Backup.Xml" run Bench)
    unzip -tq "$out/zip/Bench.Zip" >/dev/null
    row "$label/backup-cli run --threads $threads" "$s" "$k" "$out/zip/Bench.Zip"
  done
  sync
  read -r s k < <(cd "$parent" && measure zip -9 -r -q "$out/zip9.zip" "$base")
  row "$label/zip -9 -r" "$s" "$k" "$out/zip9.zip"
  sync
  # 7z warns (status 1) about files it cannot read; the archive is kept.
  read -r s k < <(cd "$parent" && measure "$sevenzip" a -tzip -mx9 -mmt2 "$out/7z.zip" "$base")
  row "$label/7z a -tzip -mx9 -mmt2" "$s" "$k" "$out/7z.zip"
  sync
  read -r s k < <(cd "$parent" && measure bsdtar --format zip -cf "$out/bsdtar.zip" "$base")
  row "$label/bsdtar --format zip" "$s" "$k" "$out/bsdtar.zip"
  sync
  read -r s k < <(cd "$parent" && measure sh -c 'tar -cf - "$1" | pigz -9 >"$2"' sh "$base" "$out/pigz.tgz")
  row "$label/tar | pigz -9" "$s" "$k" "$out/pigz.tgz"
}

: >"$rows"
bench_tree corpus "$cli_work/corpus"
bench_tree tree "$tree"

echo
echo "| tree | program | wall time | ratio to zip -9 | archive | size vs zip -9 | peak RSS |"
echo "|---|---|---|---|---|---|---|"
awk -F'\t' '{ split($1, n, "/"); tree[NR] = n[1]; name[NR] = n[2]; s[NR] = $2; k[NR] = $3; b[NR] = $4
              if (n[2] == "zip -9 -r") { zs[n[1]] = $2; zb[n[1]] = $4 } }
            END { for (i = 1; i <= NR; ++i)
                    printf "| %s | `%s` | %.2f s | %.2f | %d B | %+.2f %% | %.1f MiB |\n", tree[i], name[i], s[i],
                           s[i] / zs[tree[i]], b[i], 100 * (b[i] - zb[tree[i]]) / zb[tree[i]], k[i] / 1024 }' "$rows"
