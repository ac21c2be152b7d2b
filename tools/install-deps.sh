#!/bin/bash
# Installs what the build, the tests and the demo need on a Debian bookworm
# machine, as root: the mingw-w64 cross compiler, Wine (32-bit, with the i386
# architecture), wixl, Xvfb, clang for the sanitizer and fuzz builds,
# osslsigncode and openssl for signing, python3-fuse for the fleet's layer
# that forgets what was not flushed, and the UTF-8 locales the locale tests
# run under.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev \
  g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 wine64 \
  msitools wixl xvfb xauth x11-utils imagemagick fonts-dejavu-core \
  python3 python3-pytest locales curl time \
  libmsi-dev libglib2.0-dev pkg-config osslsigncode openssl python3-fuse >/dev/null

# Wine takes the user locale from LC_ALL; the Unix locale must exist for
# file names outside ASCII to map.
cat > /etc/locale.gen <<'LOCALES'
en_US.UTF-8 UTF-8
en_GB.UTF-8 UTF-8
de_AT.UTF-8 UTF-8
de_DE.UTF-8 UTF-8
fr_FR.UTF-8 UTF-8
ja_JP.UTF-8 UTF-8
zh_CN.UTF-8 UTF-8
zh_HK.UTF-8 UTF-8
zh_TW.UTF-8 UTF-8
ru_RU.UTF-8 UTF-8
pt_PT.UTF-8 UTF-8
LOCALES
locale-gen >/dev/null
