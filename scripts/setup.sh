#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and
# generates the locales the tests use. Idempotent; works as root or through
# sudo. With --windows it also installs the Windows cross builds' tools
# (scripts/test-windows.sh).
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libx11-dev libxext-dev libxft-dev libfontconfig-dev libxres-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  xvfb xdotool xclip x11-utils x11-xserver-utils python3
  fonts-horai-umefont locales
  openbox
)
# qmk-results' tests: its HTML report in a real browser, its SVG charts
# checked by an XML parser, its Prometheus export read by the client
# library's own parser.
packages+=(chromium libxml2-utils python3-prometheus-client)
# Icons, the .deb and its checks (scripts/check-package.sh).
packages+=(
  zlib1g-dev dpkg-dev file desktop-file-utils appstream mandoc lintian fontconfig
)
locales=(en_US.UTF-8 ja_JP.UTF-8 de_DE.UTF-8)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Another apt or dpkg (on a freshly started desktop, the daily update) holds
# the package manager's locks while it works: wait for it, and say so, for
# at most half an hour. apt-get itself waits for the dpkg lock too, in case
# another one takes it between the look and the call.
lock_files=/var/lib/dpkg/lock-frontend$'\n'/var/lib/dpkg/lock$'\n'/var/lib/apt/lists/lock$'\n'/var/cache/apt/archives/lock
wait_for_package_manager() {
  local waited=0
  while as_root lslocks --noheadings --output PATH 2>/dev/null | grep -qxF "$lock_files"; do
    if [ "$waited" -eq 0 ]; then
      echo "setup: waiting for another package manager (apt or dpkg) to finish ..."
    elif [ "$waited" -ge 1800 ]; then
      echo "setup: the package manager is still busy after 30 minutes; run this again later" >&2
      exit 1
    fi
    sleep 5
    waited=$((waited + 5))
  done
}
apt_get() {
  wait_for_package_manager
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}
add_architecture() {
  wait_for_package_manager
  as_root dpkg --add-architecture "$1"
}

# Windows cross builds: MinGW-w64 (both targets), GoogleTest's sources to
# build with it, and Wine, 64- and 32-bit, with the X libraries its display
# driver loads at run time.
if [ "${1:-}" = --windows ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture (32-bit Wine)"
    add_architecture i386
    apt_get update -qq
  fi
  packages+=(
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools googletest
    wine wine64 wine32:i386
  )
  for lib in libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1; do
    packages+=("$lib" "$lib:i386")
  done
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
need_gen=0
for l in "${locales[@]}"; do
  key=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  if ! grep -qx "$key" <<<"$have"; then
    as_root sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    need_gen=1
  fi
done
if [ "$need_gen" -eq 1 ]; then
  echo "setup: generating locales"
  as_root locale-gen >/dev/null
fi

# With --arm64 (scripts/test.sh), on an amd64 machine: the arm64 cross
# build, tested under user-mode emulation: Debian's cross compiler and
# qemu-aarch64, and the target's libraries from Debian's arm64 architecture,
# installed beside the build machine's (multiarch). Running the program
# needs none of it.
if [ "${1:-}" = --arm64 ] && [ "$(dpkg --print-architecture)" = amd64 ]; then
  arm64_tools=(g++-aarch64-linux-gnu qemu-user)
  arm64_libraries=(libx11-dev libxext-dev libxft-dev libfontconfig-dev libxres-dev libgtest-dev libgmock-dev libbenchmark-dev libstdc++6)
  arm64_missing=()
  for p in "${arm64_tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || arm64_missing+=("$p")
  done
  for p in "${arm64_libraries[@]}"; do
    dpkg-query -W -f='${Status}' "$p:arm64" 2>/dev/null | grep -q "install ok installed" || arm64_missing+=("$p:arm64")
  done
  if [ "${#arm64_missing[@]}" -gt 0 ]; then
    echo "setup: installing ${arm64_missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
      add_architecture arm64
    fi
    apt_get update -qq
    apt_get install -y -qq --no-install-recommends "${arm64_missing[@]}" >/dev/null
  fi
fi
