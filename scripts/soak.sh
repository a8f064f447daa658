#!/usr/bin/env bash
# Soak: plays a long stretch of audio with random automation through the built VST3 (faster than real
# time), checks that the output stays finite and that a decaying tail costs no more time than a loud
# passage. An hour of audio takes about a minute and a half on a quiet machine.
#
# Usage: scripts/soak.sh [seconds-of-audio]   (default 3600, one hour)
# Uses the Release build in build/ (the one scripts/test.sh makes; TOLVMARK_SOAK_BUILD names another),
# configuring it first if it does not exist yet, and builds only what the soak needs.
# Environment: TOLVMARK_JOBS (parallel build jobs, default nproc).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-3600}"
jobs="${TOLVMARK_JOBS:-$(nproc)}"
build="${TOLVMARK_SOAK_BUILD:-$root/build}"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    (cd "$root" && cmake --preset release -B "$build" >/dev/null)
fi
cmake --build "$build" -j"$jobs" --target tolvmark_host_tests

start=$SECONDS
TOLVMARK_SOAK_SECONDS="$seconds" "$build/tests/tolvmark_host_tests" --gtest_filter='Soak.*'
echo "== soak of $seconds s of audio passed in $((SECONDS - start)) s"
