#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run its demo.
# As root it installs what is missing; otherwise it prints the command and fails.
set -euo pipefail
packages=(cmake ninja-build g++ make pkg-config googletest libgtest-dev libgmock-dev
          qt6-base-dev libgl-dev qt6-qpa-plugins xvfb xauth poppler-utils fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
