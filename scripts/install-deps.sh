#!/usr/bin/env bash
# Installs, with apt, only the packages this project needs that are not yet on the machine.
# Used by `make run`, `make test` and CI. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  fonts-wqy-microhei
  xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev
  # PC/SC: the Mifare driver's pcscd road, and the virtual reader its tests run on.
  pcscd vsmartcard-vpcd libpcsclite-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Missing packages and no root: install ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
