#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test. Exits non-zero when anything fails.
#
# By default (and in CI) two passes run:
#   1. the release build in build/ with every test;
#   2. one clang build in build-ci/ with AddressSanitizer and UndefinedBehaviorSanitizer (halting
#      on the first report) and the fuzz targets: every test again, every fuzz target's seed
#      corpus replayed, and each target fuzzed for CX_FUZZ_SECONDS (default 5) seconds of new
#      inputs.
# The same variables as scripts/setup.sh choose a single build instead (CX_SANITIZE=1, CX_TSAN=1,
# CXX=clang++); CX_ONE_PASS=1 runs the first pass only.
#
# Each pass runs the tests that need no display first, then the display tests (label x11) one at a
# time on a virtual X server (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

single=0
if [ "${CX_SANITIZE:-0}" = 1 ] || [ "${CX_TSAN:-0}" = 1 ] || [ -n "${CXX:-}" ] || [ -n "${CX_BUILD_DIR:-}" ]; then
  single=1
fi

# The tests of one build: those without a display in parallel, then the display tests in turn on
# a virtual 1280x1024 screen of their own.
run_tests() {
  ctest --test-dir "$1" --output-on-failure --parallel "$jobs" -LE x11
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$1" --output-on-failure -L x11
}

# OpenGL renders off-screen through Mesa: pinned to its llvmpipe rasteriser with two threads, so
# every machine draws the same pixels at the same cost.
export GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=2

scripts/setup.sh
build_dir=${CX_BUILD_DIR:-build}
if [ "${CX_SANITIZE:-0}" = 1 ]; then build_dir=${CX_BUILD_DIR:-build-asan};
elif [ "${CX_TSAN:-0}" = 1 ]; then build_dir=${CX_BUILD_DIR:-build-tsan};
elif [ "${CXX:-}" = clang++ ]; then build_dir=${CX_BUILD_DIR:-build-clang}; fi
run_tests "$build_dir"

if [ "$single" = 1 ] || [ "${CX_ONE_PASS:-0}" = 1 ]; then exit 0; fi

echo "test: second pass, clang with AddressSanitizer, UndefinedBehaviorSanitizer and the fuzz targets"
# Optimised a little and with line tables only: the checked build stays quick to link and run,
# and its reports still name files and lines.
CC=clang CXX=clang++ cmake -S . -B build-ci -G Ninja -DCX_SANITIZE=ON -DCX_BUILD_FUZZ=ON \
  -DCX_BUILD_BENCH=OFF -DCX_FUZZ_SECONDS="${CX_FUZZ_SECONDS:-3}" -DCMAKE_BUILD_TYPE=None \
  "-DCMAKE_C_FLAGS=-O1 -gline-tables-only" "-DCMAKE_CXX_FLAGS=-O1 -gline-tables-only" >/dev/null
cmake --build build-ci --parallel "$jobs"
run_tests build-ci
