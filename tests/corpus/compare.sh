#!/usr/bin/env bash
# Builds the same random tests with the program at a git revision and with the
# working tree, and compares every file that "Done" wrote, byte for byte.
#
#   tests/corpus/compare.sh <revision> [count] [seed]
#
# Needs a normal build of the working tree in build/ (scripts/test.sh makes it),
# or another build folder named by QUILLORY_BUILD.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
rev="${1:?usage: compare.sh <revision> [count] [seed]}"
count="${2:-300}"
seed="${3:-1}"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillory-corpus.XXXXXX")"
trap 'git -C "$root" worktree remove --force "$work/src" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

python3 "$root/tests/corpus/make_corpus.py" "$seed" "$count" > "$work/corpus.json"

git -C "$root" worktree add --detach -q "$work/src" "$rev"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORY_BENCH=OFF >/dev/null
cmake --build "$work/build" --target browser_scenarios >/dev/null
build="${QUILLORY_BUILD:-$root/build}"
cmake --build "$build" --target browser_scenarios >/dev/null

"$work/build/tests/browser_scenarios" "$work/corpus.json" "$work/before" >/dev/null 2>"$work/before.log"
"$build/tests/browser_scenarios" "$work/corpus.json" "$work/after" >/dev/null 2>"$work/after.log"
files=$(find "$work/before" -name '*.js' -o -name '*.html' | wc -l)
if diff -r "$work/before" "$work/after" >/dev/null; then
  echo "identical: $count tests, $files files ($rev and the working tree)"
else
  diff -rq "$work/before" "$work/after" | head -20
  echo "DIFFERENT output between $rev and the working tree" >&2
  exit 1
fi
