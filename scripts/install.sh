#!/usr/bin/env bash
# Installs the plug-ins where hosts look for them: the VST3 bundle into ~/.vst3 and the LV2 bundle
# into ~/.lv2, or into DIR/lib/vst3 and DIR/lib/lv2 with --prefix DIR. Builds the two formats first
# (nothing to do when they are up to date), in build/ or in the build folder TOLVMARK_BUILD_DIR names.
# An existing install of the plug-in is replaced as a whole.
#   scripts/install.sh [--prefix DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${TOLVMARK_BUILD_DIR:-$root/build}"

usage() {
    echo "usage: $0 [--prefix DIR]" >&2
    exit 2
}

prefix=""
while [ "$#" -gt 0 ]; do
    case "$1" in
        --prefix)
            if [ "$#" -lt 2 ] || [ -z "$2" ]; then usage; fi
            prefix="$2"
            shift 2
            ;;
        --prefix=?*)
            prefix="${1#--prefix=}"
            shift
            ;;
        -h | --help) usage ;;
        *) usage ;;
    esac
done

if [ -n "$prefix" ]; then
    mkdir -p "$prefix"
    prefix="$(cd "$prefix" && pwd)"
    vst3_dir="$prefix/lib/vst3"
    lv2_dir="$prefix/lib/lv2"
elif [ "$(uname -s)" = Darwin ]; then
    vst3_dir="$HOME/Library/Audio/Plug-Ins/VST3"
    lv2_dir="$HOME/Library/Audio/Plug-Ins/LV2"
else
    vst3_dir="$HOME/.vst3"
    lv2_dir="$HOME/.lv2"
fi

# A fresh build folder is configured as scripts/build.sh configures it, so that both can share it.
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    "$root/scripts/install-deps.sh"
    (cd "$root" && cmake --preset release -B "$build_dir")
fi
config="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")"
config="${config:-Release}"
cmake --build "$build_dir" --config "$config" --target Tolvmark_VST3 Tolvmark_LV2 \
    --parallel "$(nproc 2>/dev/null || echo 4)"

artefacts="$build_dir/Tolvmark_artefacts/$config"

# Copies bundle $1 into folder $2 in place of any earlier copy: the new copy is assembled beside the
# old one and swapped in, so files that an older version had and this one has not do not linger.
staging=""
trap '[ -z "$staging" ] || rm -rf "$staging"' EXIT
install_bundle() {
    local bundle="$1" dest_dir="$2"
    local name
    name="$(basename "$bundle")"
    [ -d "$bundle" ] || { echo "no $name in $artefacts" >&2; exit 1; }
    mkdir -p "$dest_dir"
    staging="$(mktemp -d "$dest_dir/.$name.XXXXXX")"
    cp -R "$bundle" "$staging/$name"
    rm -rf "${dest_dir:?}/$name"
    mv "$staging/$name" "$dest_dir/$name"
    rmdir "$staging"
    staging=""
    echo "  $dest_dir/$name"
}

echo "Installed:"
install_bundle "$artefacts/VST3/Tolv_mark.vst3" "$vst3_dir"
install_bundle "$artefacts/LV2/Tolv_mark.lv2" "$lv2_dir"
