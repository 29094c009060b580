#!/usr/bin/env bash
# Installs what is needed, builds Karvel and runs it on the bundled example.
#
# With a display, the dialog opens in a copy of examples/ (out/example): press
# Start and it processes the example with its default file names. Without a
# display, karvel-batch runs on the same copy and prints its output list.
# With the argument "utf8" it runs the example's UTF-8 twin (examples/utf8/).
set -euo pipefail
example=examples
if [ "${1:-}" = utf8 ]; then
  example=examples/utf8
fi
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B out/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DKARVEL_BUILD_BENCH=OFF
cmake --build out/release -j "$(nproc)"

rm -rf out/example
mkdir -p out/example
cp "$example"/'#src' "$example"/'#kwd' out/example/
cd out/example

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x ../release/app/karvel ]; then
  echo "Starting the dialog in $(pwd); press Start to process the example."
  exec ../release/app/karvel
fi
echo "No display: running karvel-batch on the example in $(pwd) instead."
../release/batch/karvel-batch
echo
echo "Outputs in $(pwd): #dst (sorted themes), #dbl (similar blocks), #rst (the rest), #log (protocol)."
