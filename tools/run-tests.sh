#!/usr/bin/env bash
# Builds Gazorin and runs every test. Called by the README's test command and by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The release build: every program, plug-in and test.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
