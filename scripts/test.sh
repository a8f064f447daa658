#!/usr/bin/env bash
# Runs the whole test suite: installs the dependencies, checks the formatting (scripts/format.sh
# --check, so a drift fails in seconds, before any build), builds everything in Release and runs every
# test (in-process unit tests, tests of the built VST3 and LV2 binaries through JUCE's hosting,
# Debian's LV2 validator, benchmark smoke runs) under a virtual X display; then the hardening checks
# (sanitizer builds and runs, each fuzzer for a minute, an hour of audio through the soak test).
# Stops with a non-zero exit at the first failing step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$root/build"

"$root/scripts/install-deps.sh"
"$root/scripts/format.sh" --check
"$root/scripts/build.sh" "$build_dir"

jobs="$(nproc 2>/dev/null || echo 4)"
(
    cd "$build_dir"
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure --parallel "$jobs" --timeout 1800
)

"$root/scripts/hardening.sh" 60 3600
