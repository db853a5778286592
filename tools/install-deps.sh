#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Kelvo
# need; does nothing when they are all there already.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-svg-dev libpulse-dev libsystemd-dev libxcb1-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber
  xvfb xauth x11-xserver-utils trayer xdotool x11-utils imagemagick
  qt6-wayland dbus sway waybar grim weston
  haskell-gtk-sni-tray-utils xfce4-panel
  fonts-dejavu-core sox bc locales
  clang libclang-rt-14-dev
  dpkg-dev file desktop-file-utils appstream mandoc
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
