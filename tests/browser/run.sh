#!/usr/bin/env bash
# Runs the browser tests of the generated page, the whole suite once in each
# engine (Debian's Chromium, then Firefox ESR):
#   run.sh <path of browser_scenarios>
# The Node suite starts its servers on ephemeral loopback ports, has the
# scenario builder write the teacher's tests into a temporary folder (the CGI
# address in pref.txt names one of those ports), then drives the browser.
# QUILLORY_BROWSER_ENGINES="chromium" (or "firefox") runs one engine only.
# Exit 77 (skipped) when a browser or the Node packages are not installed.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

builder="${1:-}"
if [ -z "$builder" ] || [ ! -x "$builder" ]; then
  echo "run.sh: the scenario builder \"$builder\" is missing" >&2
  exit 1
fi
builder="$(cd "$(dirname "$builder")" && pwd)/$(basename "$builder")"
for browser in /usr/bin/chromium /usr/bin/firefox-esr; do
  if [ ! -x "$browser" ]; then
    echo "run.sh: $browser is not installed (tests/browser/install.sh); skipped" >&2
    exit 77
  fi
done
if ! command -v node >/dev/null 2>&1 || [ ! -f "$here/node_modules/puppeteer-core/package.json" ]; then
  echo "run.sh: node or tests/browser/node_modules is missing (tests/browser/install.sh); skipped" >&2
  exit 77
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/quillory-browser.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export QUILLORY_SCENARIO_BUILDER="$builder"
export QUILLORY_BROWSER_WORK="$work"
export PUPPETEER_SKIP_DOWNLOAD=1

cd "$here"
status=0
for engine in ${QUILLORY_BROWSER_ENGINES:-chromium firefox}; do
  echo "== browser suite in $engine"
  QUILLORY_BROWSER_ENGINE="$engine" node --test --test-concurrency=1 --test-reporter=spec ./*.test.mjs || status=1
done
exit $status
