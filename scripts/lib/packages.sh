# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages given as arguments that are not installed yet; silent when every
# one is there. Works as root or through sudo.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Needs root or sudo to install: ${missing[*]}" >&2; return 1; }
    sudo=(sudo)
  fi
  echo "Installing ${missing[*]} ..."
  export DEBIAN_FRONTEND=noninteractive
  if ! "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    "${sudo[@]}" apt-get update -qq >/dev/null
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# What building the program needs.
ORVEL_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libglib2.0-dev libsqlite3-dev libplist-dev
  nlohmann-json3-dev libgtkmm-4.0-dev libwebkitgtk-6.0-dev libmpv-dev libepoxy-dev libx11-dev libxext-dev
  libpulse-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libsoup-3.0-dev libdbusmenu-glib-dev libgstreamer1.0-dev librsvg2-common gettext)
# What playing needs at run time beyond the libraries: the web engine's decoders for WebM and MP4,
# its way to the sound server, and the SVG loader that draws the toolbar's icons.
ORVEL_RUN_PACKAGES=(gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav librsvg2-common
  gstreamer1.0-gl gstreamer1.0-pulseaudio)
# What running the player on a machine without a display needs (scripts/run.sh, end-to-end tests).
ORVEL_DISPLAY_PACKAGES=(xvfb xauth openbox x11-utils wmctrl ffmpeg dbus xdotool)
# What building and running the tests needs on top (openssl makes the certificate of a local
# https server; man-db checks the manual page; locales makes the French locale of the test that
# runs the player in French; pipewire-pulse and wireplumber are the sound server of a stock
# desktop, which the web audio route is tested on beside PulseAudio).
ORVEL_TEST_PACKAGES=(libgtest-dev libgmock-dev clang-format git pulseaudio pulseaudio-utils
  desktop-file-utils appstream libglib2.0-bin at-spi2-core libatspi2.0-dev openssl man-db locales
  mutter playerctl pipewire-pulse wireplumber)
# What building the Debian package needs on top (scripts/build-deb.sh).
ORVEL_PACKAGE_PACKAGES=(debhelper dpkg-dev lintian)
# What building the benchmarks needs on top.
ORVEL_BENCH_PACKAGES=(libbenchmark-dev mpv libavfilter-dev)
# What building and running the fuzz targets needs on top: clang and its libFuzzer runtime.
ORVEL_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
