#!/usr/bin/env bash
# Installs every Debian package the build needs that is missing, then configures and builds.
#   scripts/setup.sh                 release build with tests in build/
#   CX_SANITIZE=1 scripts/setup.sh   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   CX_TSAN=1 scripts/setup.sh       ThreadSanitizer build in build-tsan/
#   CXX=clang++ scripts/setup.sh     build with clang (in build-clang/ unless CX_BUILD_DIR is set)
set -euo pipefail
cd "$(dirname "$0")/.."

# libclang-rt-14-dev carries libFuzzer and the sanitizer runtimes of clang 14, Debian 12's clang.
# fonts-droid-fallback and fonts-wqy-microhei draw Chinese, Japanese and Korean text (the first has
# only a few Hangul syllables); desktop-file-utils is for the tests only (they validate the desktop
# entries the installer writes).
packages=(cmake ninja-build g++ clang libclang-rt-14-dev lld pkg-config libgtest-dev libgmock-dev zlib1g-dev libssl-dev libbenchmark-dev curl
          libpixman-1-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
          fonts-droid-fallback fonts-wqy-microhei desktop-file-utils
          xvfb xauth libx11-dev libxext-dev libxtst-dev libosmesa6-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# One locale with a decimal comma, so the tests that number texts ignore the process locale run.
# Best effort: without it those tests skip themselves.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  if ! command -v localedef >/dev/null 2>&1 || [ ! -d /usr/share/i18n/locales ] || [ ! -f /usr/share/i18n/locales/de_DE ]; then
    export DEBIAN_FRONTEND=noninteractive
    { "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends locales ||
      { "${sudo_cmd[@]}" apt-get update -qq && "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends locales; }; } >/dev/null 2>&1 || true
  fi
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
fi

build_dir=${CX_BUILD_DIR:-build}
cmake_args=(-G Ninja)
if [ "${CX_SANITIZE:-0}" = 1 ]; then
  build_dir=${CX_BUILD_DIR:-build-asan}
  cmake_args+=(-DCX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
elif [ "${CX_TSAN:-0}" = 1 ]; then
  build_dir=${CX_BUILD_DIR:-build-tsan}
  cmake_args+=(-DCX_TSAN=ON -DCMAKE_BUILD_TYPE=Debug)
elif [ "${CXX:-}" = clang++ ]; then
  build_dir=${CX_BUILD_DIR:-build-clang}
fi
[ "${CX_WERROR:-0}" = 1 ] && cmake_args+=(-DCX_WERROR=ON)

cmake -S . -B "$build_dir" "${cmake_args[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
