#!/usr/bin/env bash
# Runs the in-process tests under the sanitizers:
#   build-asan: every unit test (tolvmark_tests) with AddressSanitizer + UndefinedBehaviorSanitizer;
#   build-tsan: the multi-threaded test (ThreadSafety.*) with ThreadSanitizer.
# Both build in RelWithDebInfo (optimised, with line numbers in reports) and reuse their build
# directories between runs. Reports in JUCE's own code are suppressed by tests/sanitizers/*.supp (each
# entry says why); any other report fails the run.
#
# Usage: scripts/sanitizers.sh [asan|tsan|all]   (default all)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
which="${1:-all}"
jobs="${TOLVMARK_JOBS:-4}"
supp="$root/tests/sanitizers"

# A virtual display for the editor tests when none is there.
run_with_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    fi
}

configure() { # <dir> <sanitizers>
    cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
        -DTOLVMARK_SANITIZE="$2" -DTOLVMARK_BUILD_HOST_TOOLS=OFF -DTOLVMARK_BUILD_BENCHMARKS=OFF \
        -DTOLVMARK_BUILD_FUZZERS=OFF >/dev/null
}

if [[ "$which" == all || "$which" == asan ]]; then
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer: tolvmark_tests"
    start=$SECONDS
    configure "$root/build-asan" address,undefined
    cmake --build "$root/build-asan" -j"$jobs" --target tolvmark_tests
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1" \
    LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp" \
        run_with_display "$root/build-asan/tolvmark_tests" --gtest_brief=1
    echo "== ASan+UBSan done in $((SECONDS - start)) s"
fi

if [[ "$which" == all || "$which" == tsan ]]; then
    echo "== ThreadSanitizer: ThreadSafety.*"
    start=$SECONDS
    configure "$root/build-tsan" thread
    cmake --build "$root/build-tsan" -j"$jobs" --target tolvmark_tests
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp" \
        run_with_display "$root/build-tsan/tolvmark_tests" --gtest_filter='ThreadSafety.*'
    echo "== TSan done in $((SECONDS - start)) s"
fi
