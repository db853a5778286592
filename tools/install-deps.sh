#!/usr/bin/env bash
# Installs the Debian 12 packages that Kelvo needs; does nothing when they are
# all there already.
#   tools/install-deps.sh        building, packaging and running the applet
#   tools/install-deps.sh try    and tools/try-under-xvfb.sh's virtual desktop
#   tools/install-deps.sh test   and the test suite, benchmarks and fuzzing
set -euo pipefail

build=(
  build-essential cmake pkg-config file
  qt6-base-dev qt6-base-private-dev qt6-svg-dev qt6-wayland libwayland-dev libpulse-dev libsystemd-dev libxcb1-dev
)
try=(
  xvfb x11-utils trayer pulseaudio pulseaudio-utils sox imagemagick fonts-dejavu-core
)
test=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  pipewire pipewire-pulse wireplumber
  xauth x11-xserver-utils xdotool
  dbus sway waybar grim weston
  haskell-gtk-sni-tray-utils xfce4-panel
  bc locales
  clang libclang-rt-14-dev
  dpkg-dev desktop-file-utils appstream mandoc
)

case "${1:-build}" in
  build) packages=("${build[@]}") ;;
  try) packages=("${build[@]}" "${try[@]}") ;;
  test) packages=("${build[@]}" "${try[@]}" "${test[@]}") ;;
  *) echo "usage: $0 [build|try|test]" >&2; exit 2 ;;
esac

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
