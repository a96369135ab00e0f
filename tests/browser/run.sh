#!/usr/bin/env bash
# Runs the browser tests of the generated page:
#   run.sh <path of browser_scenarios>
# The Node suite starts its servers on ephemeral loopback ports, has the
# scenario builder write the teacher's tests into a temporary folder (the CGI
# address in pref.txt names one of those ports), then drives Chromium.
# Exit 77 (skipped) when Chromium or the Node packages are not installed.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

builder="${1:-}"
if [ -z "$builder" ] || [ ! -x "$builder" ]; then
  echo "run.sh: the scenario builder \"$builder\" is missing" >&2
  exit 1
fi
builder="$(cd "$(dirname "$builder")" && pwd)/$(basename "$builder")"
if [ ! -x /usr/bin/chromium ]; then
  echo "run.sh: /usr/bin/chromium is not installed (tests/browser/install.sh); skipped" >&2
  exit 77
fi
if ! command -v node >/dev/null 2>&1 || [ ! -f "$here/node_modules/playwright-core/package.json" ]; then
  echo "run.sh: node or tests/browser/node_modules is missing (tests/browser/install.sh); skipped" >&2
  exit 77
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/quillory-browser.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export QUILLORY_SCENARIO_BUILDER="$builder"
export QUILLORY_BROWSER_WORK="$work"
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1

cd "$here"
node --test --test-concurrency=1 --test-reporter=spec ./*.test.mjs
