#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the application
# need; packages already present are not fetched again.
set -euo pipefail
PACKAGES=(
  g++ cmake ninja-build pkg-config python3 curl time
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  libjpeg-dev desktop-file-utils appstream dpkg-dev
  xvfb xauth imagemagick xdg-utils fonts-dejavu-core fonts-dejavu-extra
  fp-utils-3.2.2 locales libsqlite3-dev libssl-dev openssl ca-certificates libutf8proc-dev
  nginx-light lintian man-db bash-completion at-spi2-core python3-pyatspi dbus-daemon
  nlohmann-json3-dev libsecret-1-dev gnome-keyring libsecret-tools openbox xdotool x11-utils
  libsystemd-dev systemd dunst libpq-dev postgresql libidn2-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
