#!/usr/bin/env bash
# Installs what is missing, builds quillory3 twice (a normal build and one
# with the address and undefined-behaviour sanitizers) and runs every test in
# both, the browser tests of the generated page included. Then checks that the
# C++ files are formatted as .clang-format describes; an unformatted file fails
# the run too, once the builds and tests have reported.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
tests/browser/install.sh

if [ "$(id -u)" -ne 0 ]; then
  echo "== not root: the test parts that need root are skipped, and each says so (ctest -V shows it)"
fi

jobs=$(nproc)
status=0
for variant in build:OFF build-sanitize:ON; do
  dir=${variant%%:*}
  sanitize=${variant##*:}
  echo "== ${dir} (sanitizers ${sanitize})"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORY_SANITIZE="$sanitize"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
done

echo "== formatting"
scripts/check-format.sh || status=1
exit $status
