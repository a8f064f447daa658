#!/usr/bin/env bash
# Lists the dynamic symbols that a built plug-in binary defines and fails unless they are exactly the
# format's entry points, each exported as a function. Any other exported name (our classes, the skin
# data, JUCE, or a standard-library template instantiated in the binary) is looked up in the host
# process's global scope first, so two plug-ins exporting the same name can end up calling each
# other's code or sharing each other's data.
#   check_exported_symbols.sh BINARY ENTRY_POINT...
set -euo pipefail
binary="$1"
shift
entry_points=("$@")
[ "${#entry_points[@]}" -gt 0 ] || { echo "usage: $0 BINARY ENTRY_POINT..."; exit 2; }
[ -f "$binary" ] || { echo "no binary at $binary"; exit 1; }

# "address type name" for each defined dynamic symbol.
listing=$("${NM:-nm}" -D --defined-only "$binary")
echo "$listing"

failed=0
for entry in "${entry_points[@]}"; do
    if ! awk -v name="$entry" '$NF == name && $(NF - 1) == "T" { found = 1 } END { exit !found }' <<<"$listing"; then
        echo "entry point $entry is not exported as a function"
        failed=1
    fi
done

stray=$(awk '{ print $NF }' <<<"$listing" | grep -v -x -F -f <(printf '%s\n' "${entry_points[@]}") || true)
if [ -n "$stray" ]; then
    echo "$(wc -l <<<"$stray") symbols exported besides the entry points:"
    c++filt <<<"$stray" | sed 's/^/  /'
    failed=1
fi

[ "$failed" -eq 0 ] || exit 1
echo "$(basename "$binary") exports only: ${entry_points[*]}"
