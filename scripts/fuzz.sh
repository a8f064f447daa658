#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address, undefined and fuzzer instrumentation) in build-fuzz
# and runs each one for the given number of seconds (default 60), starting from its checked-in seed
# corpus. Inputs found along the way are kept in build-fuzz/corpus/<target>; a crash leaves its input
# in build-fuzz/artifacts and makes the script fail.
#
#   scripts/fuzz.sh [seconds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build_dir="$root/build-fuzz"

CC="${CC:-clang-14}" CXX="${CXX:-clang++-14}" cmake -S "$root" -B "$build_dir" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVMARK_BUILD_FUZZERS=ON \
    -DTOLVMARK_BUILD_TESTS=OFF \
    -DTOLVMARK_BUILD_HOST_TOOLS=OFF \
    -DTOLVMARK_BUILD_BENCHMARKS=OFF \
    "-DTOLVMARK_SANITIZE=address,undefined,fuzzer-no-link"

# fuzz target name -> seed corpus directory under tests/fuzz/corpus
targets=("tolvmark_state_fuzzer:state")

for entry in "${targets[@]}"; do
    target="${entry%%:*}"
    cmake --build "$build_dir" -j4 --target "$target"
done

status=0
for entry in "${targets[@]}"; do
    target="${entry%%:*}"
    seeds="$root/tests/fuzz/corpus/${entry##*:}"
    corpus="$build_dir/corpus/$target"
    artifacts="$build_dir/artifacts/$target/"
    mkdir -p "$corpus" "$artifacts"

    echo "== $target for ${seconds} s"
    if ! "$build_dir/tests/fuzz/$target" \
        -max_total_time="$seconds" -max_len=8192 -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$artifacts" "$corpus" "$seeds"; then
        echo "!! $target failed; inputs are in $artifacts"
        status=1
    fi
done

exit "$status"
