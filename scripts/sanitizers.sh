#!/usr/bin/env bash
# Runs the in-process tests under the sanitizers:
#   asan: every unit test (tolvmark_tests) with AddressSanitizer + UndefinedBehaviorSanitizer (and leak
#         checking), built with clang-14 in build-asan-fuzz. That build directory is shared with
#         scripts/fuzz.sh: it is instrumented with address,undefined,fuzzer-no-link, so one JUCE build
#         serves both the unit tests and the libFuzzer targets.
#   tsan: the multi-threaded tests (ThreadSafety.*, ReverbNetworkConcurrency.*, EngineRealtime.*,
#         EditorTest.*) with ThreadSanitizer, built with gcc in build-tsan.
# Both build in RelWithDebInfo (optimised, with line numbers in reports), configured by the presets
# asan-fuzz and tsan of CMakePresets.json, build only the targets they need and reuse their build
# directories between runs. Reports in JUCE's own code are suppressed by
# tests/sanitizers/*.supp (each entry says why); any other report stops the run with a non-zero exit.
#
# Usage: scripts/sanitizers.sh [asan|tsan|all]   (default all)
# Environment: TOLVMARK_JOBS (parallel build jobs, default nproc), TOLVMARK_BUILD_ROOT (where the build
# directories go, default the checkout).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
which="${1:-all}"
jobs="${TOLVMARK_JOBS:-$(nproc)}"
build_root="${TOLVMARK_BUILD_ROOT:-$root}"
supp="$root/tests/sanitizers"

case "$which" in
    asan | tsan | all) ;;
    *)
        echo "usage: $0 [asan|tsan|all]" >&2
        exit 2
        ;;
esac

# A virtual display for the editor tests when none is there.
run_with_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
    fi
}


if [[ "$which" == all || "$which" == asan ]]; then
    dir="$build_root/build-asan-fuzz"
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer: build tolvmark_tests in $dir"
    start=$SECONDS
    (cd "$root" && cmake --preset asan-fuzz -B "$dir" >/dev/null)
    cmake --build "$dir" -j"$jobs" --target tolvmark_tests
    echo "== ASan+UBSan build: $((SECONDS - start)) s"
    start=$SECONDS
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1" \
    LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp" \
        run_with_display "$dir/tests/tolvmark_tests" --gtest_brief=1
    echo "== ASan+UBSan run of tolvmark_tests passed in $((SECONDS - start)) s"
fi

if [[ "$which" == all || "$which" == tsan ]]; then
    dir="$build_root/build-tsan"
    echo "== ThreadSanitizer: build tolvmark_tests in $dir"
    start=$SECONDS
    (cd "$root" && cmake --preset tsan -B "$dir" >/dev/null)
    cmake --build "$dir" -j"$jobs" --target tolvmark_tests
    echo "== TSan build: $((SECONDS - start)) s"
    start=$SECONDS
    TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp" \
        run_with_display "$dir/tests/tolvmark_tests" --gtest_brief=1 \
        --gtest_filter='ThreadSafety.*:ReverbNetworkConcurrency.*:EngineRealtime.*:EditorTest.*'
    echo "== TSan run passed in $((SECONDS - start)) s"
fi
