#!/usr/bin/env bash
# Installs what the browser tests of the generated page need: Debian's
# Chromium and, from the committed lock file, playwright-core, which only
# drives that Chromium (no browser of its own is downloaded). Safe to run
# again: it installs only what is missing. Uses sudo when not run as root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

missing=()
dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed" || missing+=(chromium)
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "install.sh: needs root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
installed="$here/node_modules/.installed-package-lock.json"
if ! cmp -s "$here/package-lock.json" "$installed" 2>/dev/null; then
  (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
  cp "$here/package-lock.json" "$installed"
fi
