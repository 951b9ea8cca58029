#!/usr/bin/env bash
# Builds Gazorin and runs every test. Called by the README's test command and by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The release build: every program, plug-in and test.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The sanitizer build: every program and plug-in and the tests that need no display, with
# AddressSanitizer (leak checks on) and UndefinedBehaviorSanitizer; it also replays every fuzz
# target's seed corpus and regression files, and lets a random user loose on the desktop program.
CC=clang CXX=clang++ cmake -S . -B build-asan -DGAZORIN_SANITIZE=ON -DGAZORIN_BUILD_GUI=ON \
  -DGAZORIN_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only"
cmake --build build-asan -j"$jobs"
# A failed allocation returns null (and so raises std::bad_alloc) as it does without AddressSanitizer.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:detect_stack_use_after_return=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan-suppressions.txt:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-asan --output-on-failure -j"$jobs"
