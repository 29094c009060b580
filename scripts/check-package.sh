#!/usr/bin/env bash
# Builds the Debian package (scripts/build-package.sh) and checks it:
#   - lintian reports no error and no warning (its whole output is printed);
#   - the desktop entry and the AppStream metainfo pass their validators;
#   - the package holds the programs, the manual pages, the manual, the
#     example, the desktop entry, the metainfo and every icon;
#   - karvel-batch unpacked from the package (dpkg-deb -x) sorts each bundled
#     example into the same outputs, byte for byte, as the reference program.
#
#   scripts/check-package.sh [REFERENCE_KARVEL_BATCH]
# The reference is the package build's own karvel-batch unless one is given.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(scripts/build-package.sh out/package)
reference=$(realpath "${1:-out/package/batch/karvel-batch}")
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Depends

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== lintian"
lintian --pedantic --display-info "$deb" 2>&1 | grep -v '^running with root privileges' |
  tee "$scratch/lintian.txt"
if grep -E '^[EW]: ' "$scratch/lintian.txt" >/dev/null; then
  echo "check-package: lintian reports errors or warnings" >&2
  exit 1
fi

root=$scratch/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
expected=(
  usr/bin/karvel usr/bin/karvel-batch
  usr/share/man/man1/karvel.1.gz usr/share/man/man1/karvel-batch.1.gz
  usr/share/doc/karvel/karvel.txt usr/share/doc/karvel/README.md
  usr/share/doc/karvel/copyright usr/share/doc/karvel/changelog.gz
  "usr/share/doc/karvel/examples/#src" "usr/share/doc/karvel/examples/#kwd"
  usr/share/applications/karvel.desktop usr/share/metainfo/org.example.karvel.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/karvel.svg
)
for size in 16 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/karvel.png")
done
for file in "${expected[@]}"; do
  if [ ! -s "$root/$file" ]; then
    echo "check-package: the package lacks $file" >&2
    exit 1
  fi
done
diff -r examples "$share/doc/karvel/examples"
for size in 16 32 48 64 128 256; do
  file -b "$share/icons/hicolor/${size}x${size}/apps/karvel.png" | grep -q "PNG image data, $size x $size," ||
    { echo "check-package: the ${size}x${size} icon is not a $size x $size picture" >&2; exit 1; }
done

echo "== desktop entry and metainfo"
desktop-file-validate "$share/applications/karvel.desktop"
appstreamcli validate --no-net "$share/metainfo/org.example.karvel.metainfo.xml"

echo "== the unpacked karvel-batch on the bundled examples"
# sort_example PROGRAM EXAMPLE_FOLDER RUN_FOLDER
sort_example() {
  local program=$1 example=$2 dir=$3
  mkdir -p "$dir"
  cp "$example/#src" "$example/#kwd" "$dir"
  (cd "$dir" && "$program" rst_dst=N debug >list) || return 1
  # The last protocol line holds the seconds the run took.
  sed -i -E 's/^The program worked [0-9]+ seconds$/The program worked S seconds/' "$dir/#log"
}
examples=0
while read -r example; do
  folder=$(dirname "$example")
  run=$scratch/runs/${folder#"$share/doc/karvel/"}
  sort_example "$root/usr/bin/karvel-batch" "$folder" "$run/packaged"
  sort_example "$reference" "$folder" "$run/reference"
  for output in list '#dst' '#dbl' '#rst' '#log'; do
    if ! cmp "$run/packaged/$output" "$run/reference/$output"; then
      diff "$run/reference/$output" "$run/packaged/$output" | head -20 >&2 || true
      echo "check-package: the packaged karvel-batch wrote a different $output for $folder" >&2
      exit 1
    fi
  done
  if [ ! -s "$run/packaged/#dst" ] || [ ! -s "$run/packaged/#dbl" ]; then
    echo "check-package: $folder sorted into an empty #dst or #dbl" >&2
    exit 1
  fi
  examples=$((examples + 1))
done < <(find "$share/doc/karvel/examples" -name '#src' | sort)
echo "check-package: the package is sound ($examples examples sorted alike)"
