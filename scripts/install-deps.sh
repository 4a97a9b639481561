#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the station
# need.  Safe to run again: only missing packages are installed.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config
  libwxgtk3.2-dev libgtk-3-dev libx11-dev libxcb1-dev libxcb-shm0-dev libopencv-dev libjpeg62-turbo-dev libsqlite3-dev sqlite3
  libudev-dev libasound2-dev
  # run time
  libreoffice-writer-nogui fonts-wqy-zenhei xdg-utils
  # tests, fuzzing and benchmarks
  xvfb xauth xdotool x11-utils imagemagick unzip libgtest-dev libgmock-dev libbenchmark-dev libyuv-dev
  ffmpeg libxdamage-dev
  blackbox  # a small window manager for the roads run under one
  clang libclang-rt-14-dev
  # resource generator (tools/make_resources.py)
  python3 python3-pil
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
