#!/usr/bin/env bash
# Sets up the machine, builds everything (native, sanitized, Windows, web) and
# runs every test: unit tests natively and under ASan+UBSan, the fuzz run, the
# Windows programs under Wine, and the web page in headless chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Each preset's workflow configures, builds and tests it (CMakePresets.json).
# The Windows and web tests run one at a time (their test presets say so);
# the others use every core.
export CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) CTEST_PARALLEL_LEVEL=$(nproc)
step() { printf '\n==== %s ====\n' "$*"; }

step "native: build and tests"
cmake --workflow --preset native

step "sanitized (ASan+UBSan, fuzz targets): build and tests"
cmake --workflow --preset sanitize

step "Windows: build, tests under Wine"
cmake --workflow --preset windows

step "web (WebAssembly, WebGL 2): build, tests in headless chromium"
cmake --workflow --preset web

step "all tests passed"
