#!/usr/bin/env bash
# Sets up the machine, builds everything (native, sanitized, Windows, web) and
# runs every test: unit tests natively and under ASan+UBSan, the fuzz run, the
# Windows programs under Wine, and the web page in headless chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
step() { printf '\n==== %s ====\n' "$*"; }

step "native build"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"

step "native tests"
ctest --preset native -j "$jobs"

step "sanitized build (ASan+UBSan, fuzz targets)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"

step "sanitized tests"
ctest --preset sanitize -j "$jobs"

step "Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

step "Windows tests under Wine"
ctest --preset windows -j 1

step "web build (WebAssembly, WebGL 2)"
cmake --preset web >/dev/null
cmake --build --preset web -j "$jobs"

step "web tests in headless chromium"
ctest --preset web -j 1

step "all tests passed"
