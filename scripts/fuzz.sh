#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and fuzzes one of them on its seed corpus for a
# number of seconds (default 60).
#   scripts/fuzz.sh <target> [seconds] [extra libFuzzer options...]
# Targets: every fuzz/<Target>.cpp (README lists them). The seeds of a target are in
# fuzz/corpus/<name>, the name being the target's in lower case without "Fuzz" (TextConfigFuzz:
# textconfig). New inputs go to build-fuzz/corpus/<name> (the checked-in seeds
# stay as they are); a crash is written to build-fuzz/ as crash-<hash>. FUZZ_JOBS=n runs n fuzzing
# processes side by side, each logging to build-fuzz/fuzz-<n>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: scripts/fuzz.sh <target> [seconds] [libFuzzer options...]; targets:" $(cd fuzz && ls *Fuzz.cpp | sed 's/\.cpp$//') >&2
  exit 2
fi
target=$1
shift
name=$(echo "${target%Fuzz}" | tr '[:upper:]' '[:lower:]')
if [ ! -f "fuzz/$target.cpp" ] || [ ! -d "fuzz/corpus/$name" ]; then
  echo "fuzz.sh: no fuzz target $target (fuzz/$target.cpp with seeds in fuzz/corpus/$name)" >&2
  exit 2
fi
seconds=${1:-60}
shift || true

# libFuzzer comes with clang's runtime package.
for p in clang libclang-rt-14-dev; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$p"
  fi
done

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCX_BUILD_FUZZ=ON -DCX_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target "$target"

seeds=$PWD/fuzz/corpus/$name
cd build-fuzz
mkdir -p "corpus/$name"
jobs=${FUZZ_JOBS:-1}
options=(-max_total_time="$seconds" -artifact_prefix=./ -print_final_stats=1)
if [ "$jobs" -gt 1 ]; then
  options+=(-jobs="$jobs" -workers="$jobs")
fi
exec "fuzz/$target" "${options[@]}" "$@" "corpus/$name" "$seeds"
