#!/usr/bin/env bash
# Configures and builds every target (plug-in formats, tests, tools, benchmarks) in Release.
#   scripts/build.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$root/build}"
shift || true

jobs="$(nproc 2>/dev/null || echo 4)"
(cd "$root" && cmake --preset release -B "$build_dir" "$@")
cmake --build "$build_dir" --parallel "$jobs"
