#!/usr/bin/env bash
# Formats our C++ sources with clang-format 14 and the .clang-format at the root.
#   scripts/format.sh           rewrites every file that differs
#   scripts/format.sh --check   changes nothing; lists the files that differ and fails if there are any
# The files: *.h and *.cpp under source/, tests/, tools/, benchmarks/ and resources/skin/painter/,
# skipping build folders (any folder whose name starts with "build") and JUCE.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

check=0
case "${1:-}" in
    "") ;;
    --check) check=1 ;;
    *)
        echo "usage: $0 [--check]" >&2
        exit 2
        ;;
esac

clang_format="${CLANG_FORMAT:-}"
if [ -z "$clang_format" ]; then
    for candidate in clang-format-14 clang-format; do
        if command -v "$candidate" > /dev/null 2>&1; then
            clang_format="$candidate"
            break
        fi
    done
fi
if [ -z "$clang_format" ]; then
    echo "clang-format not found: run scripts/install-deps.sh (Debian's clang-format, version 14)" >&2
    exit 1
fi
version="$("$clang_format" --version)"
case "$version" in
    *"version 14."*) ;;
    *) echo "warning: the style is kept with clang-format 14; $clang_format is: $version" >&2 ;;
esac

cd "$root"
files=()
while IFS= read -r -d '' file; do
    files+=("$file")
done < <(find source tests tools benchmarks resources/skin/painter \
    \( -type d \( -name 'build*' -o -name JUCE -o -name '.*' \) -prune \) \
    -o \( -type f \( -name '*.h' -o -name '*.cpp' \) -print0 \) 2> /dev/null | LC_ALL=C sort -z)

if [ "${#files[@]}" -eq 0 ]; then
    echo "no sources found under $root" >&2
    exit 1
fi

if [ "$check" -eq 0 ]; then
    "$clang_format" -i --style=file "${files[@]}"
    echo "==> Formatted ${#files[@]} files"
    exit 0
fi

differ=()
for file in "${files[@]}"; do
    if ! "$clang_format" --style=file --dry-run --Werror "$file" > /dev/null 2>&1; then
        differ+=("$file")
    fi
done

if [ "${#differ[@]}" -gt 0 ]; then
    echo "==> ${#differ[@]} of ${#files[@]} files differ from .clang-format:" >&2
    printf '  %s\n' "${differ[@]}" >&2
    echo "Run scripts/format.sh to format them (or: $clang_format -i --style=file <file>)." >&2
    exit 1
fi
echo "==> Format check: ${#files[@]} files match .clang-format"
