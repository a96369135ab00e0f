#!/usr/bin/env bash
# Installs what the browser tests of the generated page need: Debian's
# Chromium and Firefox ESR and, from the committed lock file, puppeteer-core,
# which only drives those two (no browser of its own is downloaded). Safe to
# run again: it installs only what is missing. Uses sudo when not run as root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

"$here/../../scripts/install-deps.sh" chromium firefox-esr

export PUPPETEER_SKIP_DOWNLOAD=1
installed="$here/node_modules/.installed-package-lock.json"
if ! cmp -s "$here/package-lock.json" "$installed" 2>/dev/null; then
  (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
  cp "$here/package-lock.json" "$installed"
fi
