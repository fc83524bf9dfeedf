#!/usr/bin/env bash
# Installs the Debian packages Oculant builds and tests with. Idempotent: does nothing when
# everything is present. Uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  libudev-dev libsystemd-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  fonts-wqy-microhei
  xvfb xauth imagemagick
  desktop-file-utils
  lintian appstream
  clang libclang-rt-14-dev
  libsqlite3-dev libpq-dev libssl-dev postgresql libxml2-utils
  chromium python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
