#!/usr/bin/env bash
# Installs what Halvex needs to build, run and test on Debian 12. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-multimedia-dev qt6-translations-l10n
  qt6-qpa-plugins libxkbcommon-dev
  xdotool x11-xserver-utils python3 python3-pil file desktop-file-utils appstream lintian
  libbenchmark-dev libqpdf-dev
  clang libclang-rt-14-dev
  fonts-noto-core fonts-noto-ui-core
  xvfb xauth x11-apps x11-utils imagemagick poppler-utils
  python3-vobject abook
  radicale xandikos qtkeychain-qt6-dev openssl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
