#!/usr/bin/env bash
# Measures the plug-in's CPU cost: the engine in process (Google Benchmark, per rate, layout, voicing and
# cascade stages, plus the time a program change and reset() hold the audio thread), then the whole built
# VST3 through JUCE's plug-in hosting side by side with Dragonfly Hall Reverb's LV2, the built VST3's block
# times in real time while settings that clear the reverb change, and prints a summary.
#
#   scripts/benchmark.sh [--short] [--build-dir DIR]
#
# --short runs everything for a few seconds only (for CI: it checks that the benchmarks run, and its
# figures are rough). Installs Debian's dragonfly-reverb-lv2 when it is missing. Quiet machines give the
# steadiest figures; the load average is printed with the results.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$root/build"
short=0

while [ $# -gt 0 ]; do
    case "$1" in
        --short) short=1 ;;
        --build-dir) build_dir="$2"; shift ;;
        *) echo "usage: $0 [--short] [--build-dir DIR]" >&2; exit 2 ;;
    esac
    shift
done

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi

# The comparison plug-in.
if ! dpkg-query -W -f='${Status}' dragonfly-reverb-lv2 2>/dev/null | grep -q "install ok installed"; then
    echo "==> Installing dragonfly-reverb-lv2"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends dragonfly-reverb-lv2
fi

echo "==> Building the benchmarks in $build_dir"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset release -B "$build_dir")
fi
cmake --build "$build_dir" -j4 --target tolvmark_engine_benchmark tolvmark_host_benchmark \
    tolvmark_realtime_benchmark tolvmark_instance_benchmark

engine_bin="$build_dir/benchmarks/tolvmark_engine_benchmark"
host_bin="$build_dir/benchmarks/tolvmark_host_benchmark"
realtime_bin="$build_dir/benchmarks/tolvmark_realtime_benchmark"
instance_bin="$build_dir/benchmarks/tolvmark_instance_benchmark"
out_dir="$build_dir/benchmark-results"
mkdir -p "$out_dir"

echo "==> Load before the run: $(uptime)"

echo "==> Engine benchmark (in process)"
if [ "$short" = 1 ]; then
    "$engine_bin" --benchmark_min_time=0.05 --benchmark_out="$out_dir/engine.json" --benchmark_out_format=json
else
    "$engine_bin" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out="$out_dir/engine.json" --benchmark_out_format=json
fi

echo "==> Whole plug-in through JUCE's hosting, beside Dragonfly Hall Reverb"
if [ "$short" = 1 ]; then
    "$host_bin" --short | tee "$out_dir/host.txt"
else
    "$host_bin" | tee "$out_dir/host.txt"
fi

echo "==> Block times in real time while pre-delay, oversampling and programs change"
if [ "$short" = 1 ]; then
    "$realtime_bin" --short | tee "$out_dir/realtime.txt"
else
    "$realtime_bin" | tee "$out_dir/realtime.txt"
fi

echo "==> Creation, preparation and memory per instance, beside Dragonfly Hall Reverb"
if [ "$short" = 1 ]; then
    "$instance_bin" --short | tee "$out_dir/instance.txt"
else
    "$instance_bin" | tee "$out_dir/instance.txt"
fi

echo "==> Load after the run: $(uptime)"

# Summary of the engine figures: the minimum (or the median of the repetitions) per case.
python3 - "$out_dir/engine.json" <<'EOF'
import json, sys
data = json.load(open(sys.argv[1]))
rows = {}
for b in data["benchmarks"]:
    if b.get("error_occurred"):
        print("ERROR in", b["name"], b.get("error_message", ""))
        continue
    aggregate = b.get("aggregate_name", "")
    if aggregate not in ("", "median"):
        continue
    name = b["run_name"] if "run_name" in b else b["name"]
    rows[name] = b
print()
print("Engine in process (median of repetitions where repeated):")
print("  %-58s %14s" % ("case", "CPU s/audio s"))
for name, b in rows.items():
    if "cpu_s_per_audio_s" in b:
        print("  %-58s %14.5f" % (name.split("/", 1)[1] + "  " + b.get("label", ""), b["cpu_s_per_audio_s"]))
print()
print("Time the audio thread is kept waiting (wall clock, per call):")
for name, b in rows.items():
    if name.startswith(("programChangeBlocking", "resetBlocking")):
        unit = b.get("time_unit", "us")
        print("  %-58s %10.1f %s" % (name + "  " + b.get("label", ""), b["real_time"], unit))
EOF

echo
echo "Results: $out_dir/engine.json, $out_dir/host.txt, $out_dir/realtime.txt"
