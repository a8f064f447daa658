#!/usr/bin/env bash
# Release hardening for CI, after scripts/test.sh (whose Release build in build/ the soak reuses):
#   1. ASan+UBSan: clang-14 build (build-asan-fuzz, shared with the fuzzers) and run of every unit test;
#   2. TSan: gcc build (build-tsan) and run of the multi-threaded tests;
#   3. every libFuzzer target for a bounded time (built in build-asan-fuzz, so only the fuzzers' own
#      files compile here, and JUCE's format wrappers for the two targets of the wrappers' state);
#   4. the soak (one hour of audio by default, about a minute and a half).
# Stops at the first failing step with a non-zero exit; prints the time of every step at the end.
# Measured from clean build directories at -j6 on a shared 8-core machine: ASan+UBSan 326 s (build 183,
# tests 143), TSan 176 s (build 134, tests 42), fuzzing 35 s build (about 50 s more for the wrapper
# targets) + 5 x the fuzz seconds, soak 82 s; about 27 minutes with the defaults.
#
# Usage: scripts/hardening.sh [fuzz-seconds-per-fuzzer] [soak-seconds-of-audio]   (defaults 180 and 3600)
# Environment: TOLVMARK_JOBS (parallel build jobs, default nproc), TOLVMARK_BUILD_ROOT (where the
# sanitizer and fuzzer build directories go, default the checkout).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fuzz_seconds="${1:-180}"
soak_seconds="${2:-3600}"
export TOLVMARK_JOBS="${TOLVMARK_JOBS:-$(nproc)}"

summary=()
total_start=$SECONDS
step() { # <name> <command...>
    local name="$1" start=$SECONDS
    shift
    echo "==== $name"
    if ! "$@"; then
        echo "!!!! $name FAILED after $((SECONDS - start)) s" >&2
        exit 1
    fi
    summary+=("$(printf '%-34s %5d s' "$name" $((SECONDS - start)))")
    echo "==== $name: passed in $((SECONDS - start)) s"
}

step "ASan+UBSan (build + unit tests)" "$root/scripts/sanitizers.sh" asan
step "TSan (build + threaded tests)" "$root/scripts/sanitizers.sh" tsan
step "fuzzing (${fuzz_seconds} s per fuzzer)" "$root/scripts/fuzz.sh" "$fuzz_seconds"
step "soak (${soak_seconds} s of audio)" "$root/scripts/soak.sh" "$soak_seconds"

echo "==== hardening passed in $((SECONDS - total_start)) s (-j$TOLVMARK_JOBS):"
printf '  %s\n' "${summary[@]}"
