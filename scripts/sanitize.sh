#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the whole test suite
# there. Any sanitizer report aborts the test that made it, so the run fails.
#   scripts/sanitize.sh [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

krm_install
# Benchmarks are not run here; building them would only cost time.
krm_build build-asan -DKRM_SANITIZE=ON -DKRM_BUILD_BENCH=OFF

supp="$PWD/scripts/lsan.supp"
# Errors stop the process at once (the build also sets
# -fno-sanitize-recover=all), with a stack, and the test fails. A system
# library's own fault is suppressed by name (scripts/asan.supp).
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:strict_string_checks=1:suppressions=$PWD/scripts/asan.supp"
# Leaks are checked: a window or buffer the program forgets to free is a real
# fault, and Qt itself leaves nothing behind at exit on this platform; the
# few system-library caches that live until exit are suppressed by name.
export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
export QT_QPA_PLATFORM=offscreen

cd build-asan
ctest --output-on-failure -j2 "$@"
