#!/usr/bin/env bash
# Installs the dependencies, builds the plug-ins (VST3, LV2, Standalone) and runs the bundled dry test
# sound through the built VST3, loaded with JUCE's own plug-in hosting as a host would load it.
# It builds only the three formats and the render tool. The build folder is configured as the test
# command configures it (tests and benchmarks on), so scripts/test.sh run later in the same folder
# builds everything else and reuses what this built.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root/scripts/install-deps.sh"

jobs="$(nproc 2>/dev/null || echo 4)"
(cd "$root" && cmake --preset release -B "$root/build" -DTOLVMARK_BUILD_HOST_TOOLS=ON)
cmake --build "$root/build" --parallel "$jobs" \
    --target Tolvmark_VST3 Tolvmark_LV2 Tolvmark_Standalone tolvmark_render

artefacts="$root/build/Tolvmark_artefacts/Release"
dry="$root/resources/demo/dry.wav"
wet="$root/build/demo/wet.wav"
mkdir -p "$(dirname "$wet")"

"$root/build/tools/render/tolvmark_render" --plugin "$artefacts/VST3/Tolv_mark.vst3" --in "$dry" --out "$wet" \
    --program "${TOLVMARK_PROGRAM:-0}"

echo
echo "Plug-ins built in $artefacts:"
echo "  VST3:       $artefacts/VST3/Tolv_mark.vst3"
echo "  LV2:        $artefacts/LV2/Tolv_mark.lv2"
echo "  Standalone: $artefacts/Standalone/Tolv_mark"
echo "Dry sound:    $dry"
echo "Wet sound:    $wet"
