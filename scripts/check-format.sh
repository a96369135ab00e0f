#!/usr/bin/env bash
# Checks that every C++ file of quillory3 is formatted as .clang-format
# describes, and names the files that are not. In a git checkout the files are
# the tracked .cpp and .h files; elsewhere, those under the source folders.
# Exits non-zero when a file is not formatted or clang-format fails.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null 2>&1 ||
  { echo "check-format.sh: clang-format is missing; scripts/install-deps.sh installs it" >&2; exit 1; }

clang-format --style=file --assume-filename=check.cpp --dump-config >/dev/null ||
  { echo "check-format.sh: clang-format cannot use .clang-format (above)" >&2; exit 1; }

files=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
else
  mapfile -d '' files < <(find app bench builder framework templates tests -name node_modules -prune -o \
                            \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
fi

unformatted=()
checked=0
status=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue  # tracked but deleted in this working tree
  checked=$((checked + 1))
  if ! out=$(clang-format --dry-run --Werror "$f" 2>&1); then
    # Anything but a formatting difference (a bad .clang-format, a crash) is
    # shown as clang-format reports it.
    if grep -q -- '-Wclang-format-violations' <<<"$out"; then
      unformatted+=("$f")
    else
      echo "check-format.sh: clang-format failed on $f:" >&2
      echo "$out" >&2
      status=1
    fi
  fi
done

if ((${#unformatted[@]})); then
  {
    echo "check-format.sh: ${#unformatted[@]} C++ file(s) not formatted as .clang-format describes:"
    printf '  %s\n' "${unformatted[@]}"
    echo "Format them with ($(clang-format --version | sed 's/^ *//')):"
    echo "  clang-format -i ${unformatted[*]}"
  } >&2
  exit 1
fi
if ((status == 0)); then
  echo "check-format.sh: ${checked} C++ files formatted as .clang-format describes"
fi
exit $status
