#!/usr/bin/env bash
# Installs every Debian package that building, running and testing VOXA needs.
# Idempotent: packages already installed are skipped, so both README commands can call it every time.
set -euo pipefail

packages=(
  # toolchain and test frameworks (python3: scripts/check-layers)
  build-essential cmake pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev
  # runtime dependencies
  libsdl1.2-dev libsdl-mixer1.2-dev libsdl-image1.2-dev libgl-dev libgl1-mesa-dev libgl1-mesa-dri liblzo2-dev
  # the model import tool; PNG and JPEG writers for the picture tests' fixtures
  libassimp-dev libpng-dev libjpeg-dev
  # headless display, real input events, image/sound checks
  xvfb xauth xdotool libxtst-dev imagemagick sox lame libmp3lame-dev
  # a test locale with a comma as decimal separator (localedef charmaps)
  locales
  # asset generation: fonts rendered with FreeType
  libfreetype-dev fonts-dejavu-core
  # benchmark baseline (pathfinding), fuzzing, memory checking
  libboost-graph-dev clang libclang-rt-14-dev valgrind
  # load for the repeated test runs of scripts/flake-check --stress
  stress
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
