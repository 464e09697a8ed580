#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12, as root, without questions.
# Does nothing when everything is already there.
set -euo pipefail

need_pkgs=(locales cmake make g++ clang libclang-rt-14-dev libgtest-dev python3
           g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
           wine wine32:i386 wine64 xvfb xauth xdotool x11-apps imagemagick fonts-ipafont-gothic)

missing=()
for p in "${need_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# Wine turns the program's Shift_JIS file names into the Linux locale's encoding, so the
# Japanese UTF-8 locale must exist for Japanese file and folder names to work.
need_locale=0
locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' || need_locale=1

[ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "deps: missing packages (${missing[*]}) or the ja_JP.UTF-8 locale; run 'make deps' as root" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
