#!/usr/bin/env bash
# Installs what the browser tests of the generated page need: Debian's
# Chromium and, from the committed lock file, playwright-core, which only
# drives that Chromium (no browser of its own is downloaded). Safe to run
# again: what is already there is left as it is. Runs as root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

missing=()
command -v chromium >/dev/null 2>&1 || missing+=(chromium)
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
fi

export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
installed="$here/node_modules/.installed-package-lock.json"
if ! cmp -s "$here/package-lock.json" "$installed" 2>/dev/null; then
  (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts)
  cp "$here/package-lock.json" "$installed"
fi
