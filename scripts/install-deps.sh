#!/usr/bin/env bash
# Installs what building and testing quillory3 needs, from Debian's packages,
# and any further packages named on the command line:
#   install-deps.sh [package...]
# Safe to run again: it installs only what is missing. Uses sudo when not run
# as root.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev pkg-config xvfb libx11-dev libxdamage-dev
          libacl1-dev acl
          clang-format
          "$@")
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "install-deps.sh: needs root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  # sudo drops the caller's environment, so the setting goes through env.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# The browser tests' packages each name the oldest Node.js they run on.
node "$(dirname "$0")/check-node.mjs" "$(dirname "$0")/../tests/browser/package-lock.json"
