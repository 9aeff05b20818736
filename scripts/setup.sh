#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Idempotent: installs only what is missing, so it is quick on a ready machine.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libmpv-dev libgumbo-dev zlib1g-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libspng-dev libstb-dev
  fonts-nanum fonts-dejavu-core qt6-translations-l10n
  xvfb xauth x11-utils desktop-file-utils
  curl ccache
  pngcheck python3-pil
  dbus-daemon playerctl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
