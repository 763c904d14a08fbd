#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test. Exits non-zero when anything fails.
# The same variables as scripts/setup.sh choose the build (CX_SANITIZE=1, CX_TSAN=1, CXX=clang++).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${CX_BUILD_DIR:-build}
if [ "${CX_SANITIZE:-0}" = 1 ]; then build_dir=${CX_BUILD_DIR:-build-asan};
elif [ "${CX_TSAN:-0}" = 1 ]; then build_dir=${CX_BUILD_DIR:-build-tsan};
elif [ "${CXX:-}" = clang++ ]; then build_dir=${CX_BUILD_DIR:-build-clang}; fi
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)"
