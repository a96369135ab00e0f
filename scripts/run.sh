#!/usr/bin/env bash
# Installs what is missing, builds quillory3 and opens it. The window needs a
# display (X11 or Wayland).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target quillory3
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: quillory3 is built (build/quillory3), but there is no display to open its window on:" >&2
  echo "run it on a desktop (X11 or Wayland), where DISPLAY or WAYLAND_DISPLAY is set." >&2
  exit 1
fi
exec build/quillory3
