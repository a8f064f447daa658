#!/usr/bin/env bash
# Release hardening for CI: the sanitizer runs, every fuzzer for a bounded time and a short soak.
# Reuses build-asan, build-tsan, build-fuzz and build-soak between runs.
#
# Usage: scripts/hardening.sh [fuzz-seconds-per-fuzzer] [soak-seconds-of-audio]   (defaults 60 and 300)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fuzz_seconds="${1:-60}"
soak_seconds="${2:-300}"

step() { # <name> <command...>
    local name="$1" start=$SECONDS
    shift
    echo "==== $name"
    "$@"
    echo "==== $name: passed in $((SECONDS - start)) s"
}

step "sanitizers" "$root/scripts/sanitizers.sh" all
step "fuzzing" "$root/scripts/fuzz.sh" "$fuzz_seconds"
step "soak" "$root/scripts/soak.sh" "$soak_seconds"
