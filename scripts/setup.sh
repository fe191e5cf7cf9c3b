#!/usr/bin/env bash
# Installs what the build needs from Debian's packages; silent when all is there.
set -euo pipefail
need=(cmake g++ make pkg-config libgtest-dev libgmock-dev qt6-base-dev qt6-base-dev-tools libgl-dev clang libclang-rt-14-dev
      dpkg-dev desktop-file-utils file groff-base jq lintian qt6-svg-dev xvfb openbox x11-utils)
# xmllint checks the JUnit report of pelto modultest.
need+=(libxml2-utils)
# The console's font package, named in one place for the build and packaging.
need+=("$(sed -n 's/^set(PELTO_FONT_PACKAGE "\(.*\)")$/\1/p' "$(dirname "$0")/../cmake/font.cmake")")
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
