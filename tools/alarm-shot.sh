#!/usr/bin/env bash
# Pictures of the alarms on a desktop with a tray: Xvfb, openbox and trayer, then
# alarm-shot (built into BUILD, default build-test) saves operate.png and alert.png into OUT.
#   tools/alarm-shot.sh [OUT [BUILD]]
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
out="${1:-$top/build-test/alarm-shot}"
build="${2:-$top/build-test}"
ensure_packages "$top/tools/packages-alarm-shot.txt"
cmake --build "$build" --target alarm-shot -j 2 >/dev/null
mkdir -p "$out"

display=":$((90 + RANDOM % 9))"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x640x24 -nolisten tcp & pids+=($!)
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox & pids+=($!)
# The tray in the top right corner, as a panel's would be.
trayer --edge top --align right --widthtype request --height 28 --SetDockType true --transparent false --tint 0x303030 & pids+=($!)
sleep 1
ASAN_OPTIONS=detect_leaks=0 env -u DBUS_SESSION_BUS_ADDRESS "$(find "$build" -name alarm-shot -type f -perm -u+x | head -1)" \
    "$out/operate.png" "$out/alert.png"
echo "== pictures: $out/operate.png $out/alert.png"
