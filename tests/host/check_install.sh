#!/usr/bin/env bash
# Runs scripts/install.sh as a user would, with a temporary home and a temporary prefix, over the
# build folder the tests belong to, and checks that hosts find what it installed: exact copies of the
# built bundles where VST3 and LV2 hosts look (lilv finds the LV2 there, and JUCE's hosting loads
# and runs the installed VST3), a second install replacing the first cleanly, and bad arguments
# refused.
#   check_install.sh INSTALL_SCRIPT BUILD_DIR ARTEFACTS_DIR LV2_URI RENDER_TOOL DRY_WAV
set -euo pipefail
install="$1"
build_dir="$2"
artefacts="$3"
uri="$4"
render="$5"
dry="$6"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
vst3_module="Contents/$(uname -m)-linux/Tolv_mark.so"

run_install() {
    local home="$1"
    shift
    mkdir -p "$home"
    HOME="$home" TOLVMARK_BUILD_DIR="$build_dir" "$install" "$@" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log"; echo "install.sh $* failed"; return 1; }
}

# The VST3 folder $1 and the LV2 folder $2 hold the built bundles, and nothing else.
check_installed() {
    local vst3_dir="$1" lv2_dir="$2"
    [ -f "$vst3_dir/Tolv_mark.vst3/$vst3_module" ] || { echo "no $vst3_dir/Tolv_mark.vst3/$vst3_module"; exit 1; }
    diff -r "$artefacts/VST3/Tolv_mark.vst3" "$vst3_dir/Tolv_mark.vst3"
    diff -r "$artefacts/LV2/Tolv_mark.lv2" "$lv2_dir/Tolv_mark.lv2"
    [ "$(ls -A "$vst3_dir")" = Tolv_mark.vst3 ] || { echo "$vst3_dir holds more: $(ls -A "$vst3_dir")"; exit 1; }
    [ "$(ls -A "$lv2_dir")" = Tolv_mark.lv2 ] || { echo "$lv2_dir holds more: $(ls -A "$lv2_dir")"; exit 1; }

    local info
    info=$(LV2_PATH="$lv2_dir:/usr/lib/lv2" lv2info "$uri")
    grep -q -x -E "[[:space:]]*Bundle:[[:space:]]+file://$lv2_dir/Tolv_mark.lv2/" <<<"$info" ||
        { echo "lilv does not find the plug-in in $lv2_dir:"; echo "$info" | head -12; exit 1; }
}

# Default: the home folder's ~/.vst3 and ~/.lv2.
home="$work/home"
run_install "$home"
check_installed "$home/.vst3" "$home/.lv2"
"$render" --plugin "$home/.vst3/Tolv_mark.vst3" --in "$dry" --out "$work/wet.wav" >/dev/null
[ -s "$work/wet.wav" ] || { echo "the installed VST3 rendered nothing"; exit 1; }
echo "installed into $home: found and loaded"

# Again over that install, which has meanwhile gained a file the build does not make.
touch "$home/.lv2/Tolv_mark.lv2/left-over.ttl" "$home/.vst3/Tolv_mark.vst3/Contents/left-over"
run_install "$home"
check_installed "$home/.vst3" "$home/.lv2"
echo "installed again over it: replaced as a whole"

# With a prefix: DIR/lib/vst3 and DIR/lib/lv2, nothing in the home folder.
home="$work/home-untouched"
run_install "$home" --prefix "$work/prefix"
check_installed "$work/prefix/lib/vst3" "$work/prefix/lib/lv2"
[ -z "$(ls -A "$home")" ] || { echo "install.sh --prefix wrote into the home folder: $(ls -A "$home")"; exit 1; }
run_install "$home" "--prefix=$work/prefix2"
check_installed "$work/prefix2/lib/vst3" "$work/prefix2/lib/lv2"
echo "installed with --prefix: found"

home="$work/home-bad"
mkdir -p "$home"
for arguments in "--prefix" "--prefix=" "--destination $work/x" "$work/x"; do
    # shellcheck disable=SC2086 # each case is a list of words
    if HOME="$home" TOLVMARK_BUILD_DIR="$build_dir" "$install" $arguments >/dev/null 2>&1; then
        echo "install.sh accepted: $arguments"
        exit 1
    fi
done
if [ -e "$work/x" ] || [ -n "$(ls -A "$home")" ]; then
    echo "a refused install wrote files"
    exit 1
fi
echo "bad arguments refused"
