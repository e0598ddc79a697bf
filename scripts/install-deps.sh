#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run its demo, and to
# make and check its .deb and .rpm (dpkg-dev, file, rpm, lintian, desktop-file-utils,
# appstream). The tray tests run the program on a desktop of their own: a notification
# area (trayer), a notification service (dunst) on a private session bus (dbus-daemon,
# dbus-send, dbus-monitor); the tray pictures are taken with xwd, xdotool and ImageMagick.
# As root it installs what is missing; otherwise it prints the command and fails.
set -euo pipefail
packages=(cmake ninja-build g++ make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-serialport-dev qt6-translations-l10n libgl-dev qt6-qpa-plugins xvfb xauth poppler-utils fonts-dejavu-core
          locales dpkg-dev file rpm lintian desktop-file-utils appstream
          dbus-daemon dbus-bin trayer dunst x11-apps xdotool imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The tests and the demo also use the Russian locale, as a clinic's machine has it.
has_ru_locale() { locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; }
[ ${#missing[@]} -eq 0 ] && has_ru_locale && exit 0
if [ "$(id -u)" -ne 0 ]; then
  [ ${#missing[@]} -gt 0 ] && { echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2; }
  has_ru_locale || echo "Missing locale. Run as root: localedef -i ru_RU -f UTF-8 ru_RU.UTF-8" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
has_ru_locale || localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
