#!/usr/bin/env bash
# Checks the build step that completes the LV2 bundle's description after JUCE's generator, on copies
# of the built bundle: regenerating the bundle's files as a rebuild does (JUCE's helper, then the step)
# gives the built bundle again, running the step twice changes nothing, and the step fails, naming the
# file, when the generated files do not read as it expects.
#   check_lv2_description_step.sh CMAKE STEP_SCRIPT LV2_HELPER BUNDLE EXTRA_TTL URI
set -euo pipefail
cmake="$1"
step="$2"
helper="$3"
bundle="$(realpath "$4")"
extra="$5"
uri="$6"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
copy="$work/$(basename "$bundle")"
library="$(basename "$(find "$bundle" -maxdepth 1 -name '*.so' | head -1)")"

fresh_copy() {
    rm -rf "$copy"
    cp -R "$bundle" "$copy"
}
run_step() {
    "$cmake" -DBUNDLE="$copy" -DEXTRA="$extra" -DURI="$uri" -P "$step"
}

fresh_copy
"$helper" "$copy/$library" >/dev/null
run_step
diff -r "$bundle" "$copy" || { echo "regenerating the description does not give the built bundle"; exit 1; }
echo "regenerated: same as the built bundle"

run_step
diff -r "$bundle" "$copy" || { echo "a second run of the step changed the bundle"; exit 1; }
echo "second run: no change"

# file|sed expression that turns JUCE's output into something the step must refuse.
cases=(
    'manifest.ttl|s/^\ta lv2:Plugin ;$/\ta lv2:Plugin , lv2:DelayPlugin ;/'
    'dsp.ttl|s/^\tdoap:maintainer \[$/\tdoap:developer [/'
    'dsp.ttl|s/^\t\tfoaf:homepage \(.*\)$/\t\tfoaf:homepage \1\n\t\tfoaf:mbox <support@corvane.example> ;/'
)
for case in "${cases[@]}"; do
    file="${case%%|*}"
    expression="${case#*|}"
    fresh_copy
    "$helper" "$copy/$library" >/dev/null
    cp "$copy/$file" "$work/generated.ttl"
    sed -i "$expression" "$copy/$file"
    ! cmp -s "$work/generated.ttl" "$copy/$file" || { echo "JUCE's $file has no match for: $expression"; exit 1; }
    if output=$(run_step 2>&1); then
        echo "the step accepted $file edited by: $expression"
        exit 1
    fi
    grep -q -F "$file" <<<"$output" || { echo "the step's error does not name $file:"; echo "$output"; exit 1; }
    echo "refused ($file): $expression"
done
echo "LV2 description step OK"
