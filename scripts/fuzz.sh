#!/usr/bin/env bash
# Builds the libFuzzer targets (every tests/fuzz/<Name>Fuzzer.cpp becomes tolvmark_fuzz_<name>) with
# clang-14 and address, undefined and fuzzer instrumentation in build-asan-fuzz (the build directory
# scripts/sanitizers.sh asan shares), and runs each one for the given number of seconds, starting from
# its checked-in seed corpus tests/fuzz/corpus/<name> when there is one. Inputs found along the way are
# kept in build-asan-fuzz/corpus/<name>; a crash, sanitizer report or timeout leaves its input in
# build-asan-fuzz/artifacts/<name>/ and makes the script exit non-zero (after running the others).
#
# Usage: scripts/fuzz.sh [seconds-per-fuzzer] [name...]   (default 60 s, every fuzzer)
#   e.g. scripts/fuzz.sh 3600 sequence
# Environment: TOLVMARK_JOBS (parallel build jobs, default nproc), TOLVMARK_BUILD_ROOT (where the build
# directory goes, default the checkout).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
jobs="${TOLVMARK_JOBS:-$(nproc)}"
build_dir="${TOLVMARK_BUILD_ROOT:-$root}/build-asan-fuzz"

if [[ $# -gt 0 ]]; then
    names=("$@")
else
    names=()
    for source in "$root"/tests/fuzz/*Fuzzer.cpp; do
        stem="$(basename "$source" Fuzzer.cpp)"
        names+=("${stem,,}")
    done
fi
[[ ${#names[@]} -gt 0 ]] || { echo "!! no fuzz targets found" >&2; exit 1; }

# The preset scripts/sanitizers.sh asan uses as well: both scripts share this build directory.
(cd "$root" && cmake --preset asan-fuzz -B "$build_dir" >/dev/null)

targets=()
for name in "${names[@]}"; do
    targets+=("tolvmark_fuzz_$name")
done
start=$SECONDS
cmake --build "$build_dir" -j"$jobs" --target "${targets[@]}"
echo "== fuzzer build: $((SECONDS - start)) s"

failed=()
for name in "${names[@]}"; do
    target="tolvmark_fuzz_$name"
    corpus="$build_dir/corpus/$name"
    artifacts="$build_dir/artifacts/$name/"
    mkdir -p "$corpus" "$artifacts"
    dirs=("$corpus")
    [[ -d "$root/tests/fuzz/corpus/$name" ]] && dirs+=("$root/tests/fuzz/corpus/$name")
    # Extra libFuzzer flags for this target, if any: tests/fuzz/<name>.flags ('#' starts a comment).
    flags=()
    if [[ -f "$root/tests/fuzz/$name.flags" ]]; then
        read -r -a flags <<<"$(sed -e 's/#.*//' "$root/tests/fuzz/$name.flags" | tr '\n' ' ')"
    fi

    echo "== $target for $seconds s"
    if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/tests/sanitizers/ubsan.supp" \
        LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0" \
        "$build_dir/tests/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -timeout=30 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts" ${flags[@]+"${flags[@]}"} \
        "${dirs[@]}"; then
        echo "!! $target FAILED; the input is in $artifacts" >&2
        failed+=("$name")
    fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "!! fuzzers that failed: ${failed[*]}" >&2
    exit 1
fi
echo "== every fuzzer ran $seconds s without a finding"
