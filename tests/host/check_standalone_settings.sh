#!/usr/bin/env bash
# The built Standalone started over damaged settings files, each in a temporary home
# (~/.config/Tolv_mark.settings): it must still be running after a few seconds, the damaged file
# must be kept byte for byte beside the new one (Tolv_mark.settings.damaged), standard error must say
# so once, and the window's title must say so. Then the settings a clean start writes must start
# again without any of that.
#
# Usage: check_standalone_settings.sh <Standalone binary>
# Needs an X display (ctest runs under xvfb-run; without DISPLAY the script starts one) and xwininfo.
set -euo pipefail
binary="$1"
[[ -x "$binary" ]] || { echo "no Standalone binary at $binary" >&2; exit 1; }

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a "$0" "$@"
fi
command -v xwininfo >/dev/null || { echo "xwininfo is needed (Debian package x11-utils)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seconds=3
failures=0

fail() {
    echo "FAIL [$1]: $2" >&2
    failures=$((failures + 1))
}

# Starts the Standalone with HOME=$1, waits, and leaves its pid in $pid and its standard error in
# $1/stderr. The caller stops it.
start() {
    HOME="$1" "$binary" >"$1/stdout" 2>"$1/stderr" &
    pid=$!
    sleep "$seconds"
}

stop() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

title_of() {
    xwininfo -root -tree | grep -F "$1" || true
}

has_title() { [[ -n "$(title_of "$1")" ]]; }

# Runs the command every half second, for up to 30 s more, until it succeeds while the Standalone
# started last still runs: on a loaded machine its window and the files it writes can take longer than
# the first few seconds. Fails when the time is up or the Standalone has stopped.
wait_until() {
    local tries=0
    until "$@"; do
        kill -0 "$pid" 2>/dev/null || return 1
        ((tries++ < 60)) || return 1
        sleep 0.5
    done
}

declare -a names contents
add() { names+=("$1"); contents+=("$2"); }

header='<?xml version="1.0" encoding="UTF-8"?>'
value() { printf '%s\n<PROPERTIES>\n  %s\n</PROPERTIES>\n' "$header" "$1"; }

add filterStateMinus5 "$(value '<VALUE name="filterState" val="-5.A"/>')"
add filterState2pow31 "$(value '<VALUE name="filterState" val="2147483647.AAAA"/>')"
add filterStateSizeOneTooFew "$(value '<VALUE name="filterState" val="3.AAAAAA"/>')"
add filterStateNotEncoded "$(value '<VALUE name="filterState" val="a saved state"/>')"
add audioSetupNotXml "$(value '<VALUE name="audioSetup" val="not a device setup"/>')"
add audioSetupOtherElement "$(value '<VALUE name="audioSetup"><OTHER/></VALUE>')"
add audioSetupRateNaN "$(value '<VALUE name="audioSetup"><DEVICESETUP audioDeviceRate="nan"/></VALUE>')"
add audioSetupRateNegative "$(value '<VALUE name="audioSetup"><DEVICESETUP audioDeviceRate="-48000"/></VALUE>')"
add audioSetupBufferText "$(value '<VALUE name="audioSetup"><DEVICESETUP audioDeviceBufferSize="lots"/></VALUE>')"
add audioSetupChannelsNotBinary "$(value '<VALUE name="audioSetup"><DEVICESETUP audioDeviceInChans="12ff"/></VALUE>')"
add shouldMuteInputText "$(value '<VALUE name="shouldMuteInput" val="perhaps"/>')"
add windowXText "$(value '<VALUE name="windowX" val="12px"/>')"
add windowYHuge "$(value '<VALUE name="windowY" val="99999999999999"/>')"
add notXml $'\x01\x02 not a settings file at all \xff'
add truncatedXml "$(printf '%s\n<PROPERTIES>\n  <VALUE name="filterState" val="12.AAA' "$header")"
add otherRootElement "$(printf '%s\n<SETTINGS/>\n' "$header")"
add empty ""

for i in "${!names[@]}"; do
    name="${names[$i]}"
    before=$failures
    home="$work/$name"
    mkdir -p "$home/.config"
    printf '%s' "${contents[$i]}" >"$home/.config/Tolv_mark.settings"
    cp "$home/.config/Tolv_mark.settings" "$home/original"

    start "$home"
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" && status=0 || status=$?
        fail "$name" "the Standalone stopped (status $status): $(tail -n 3 "$home/stderr")"
        continue
    fi
    wait_until has_title 'Tolv_mark (damaged settings set aside)' || true
    title="$(title_of 'Tolv_mark (damaged settings set aside)')"
    stop

    if ! cmp -s "$home/original" "$home/.config/Tolv_mark.settings.damaged"; then
        fail "$name" "the damaged file was not kept as Tolv_mark.settings.damaged"
    fi
    count="$(grep -c 'is damaged' "$home/stderr" || true)"
    if [[ "$count" != 1 ]]; then
        fail "$name" "standard error said it $count times: $(cat "$home/stderr")"
    fi
    if [[ -z "$title" ]]; then
        fail "$name" "no window titled 'Tolv_mark (damaged settings set aside)'"
    fi
    [[ $failures -eq $before ]] && echo "ok [$name]"
done

# A second damaged file keeps the first one kept.
home="$work/twice"
mkdir -p "$home/.config"
value '<VALUE name="filterState" val="-5.A"/>' >"$home/.config/Tolv_mark.settings"
cp "$home/.config/Tolv_mark.settings" "$home/first"
start "$home"
wait_until test -e "$home/.config/Tolv_mark.settings.damaged" || true
stop
value '<VALUE name="windowX" val="x"/>' >"$home/.config/Tolv_mark.settings"
cp "$home/.config/Tolv_mark.settings" "$home/second"
start "$home"
wait_until test -e "$home/.config/Tolv_mark.settings(2).damaged" || true
stop
if ! cmp -s "$home/first" "$home/.config/Tolv_mark.settings.damaged" ||
    ! cmp -s "$home/second" "$home/.config/Tolv_mark.settings(2).damaged"; then
    fail twice "the two damaged files were not both kept: $(ls "$home/.config")"
else
    echo "ok [twice]"
fi

# The settings a clean start writes when it quits (SIGINT makes a JUCE application quit: window
# position, input muting, audio setup), with a plug-in state in the encoded form, start again as they
# are.
home="$work/clean"
mkdir -p "$home/.config"
start "$home"
wait_until has_title '"Tolv_mark"' || true
kill -INT "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
if [[ ! -s "$home/.config/Tolv_mark.settings" ]] || ! grep -q windowX "$home/.config/Tolv_mark.settings"; then
    fail clean "a clean start wrote no settings when it quit"
else
    sed -i 's|</PROPERTIES>|  <VALUE name="filterState" val="5.AAAAAAA"/>\n</PROPERTIES>|' "$home/.config/Tolv_mark.settings"
    start "$home"
    wait_until has_title '"Tolv_mark"' || true
    kill -0 "$pid" 2>/dev/null || fail clean "the Standalone stopped over the settings it wrote"
    stop
    if grep -q 'damaged' "$home/stderr" || ls "$home/.config" | grep -q damaged; then
        fail clean "the settings it wrote were taken as damaged: $(cat "$home/stderr")"
    else
        echo "ok [clean]"
    fi
fi

if [[ $failures -gt 0 ]]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "every damaged settings file was set aside"
