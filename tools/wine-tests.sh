#!/usr/bin/env bash
# The Windows step of ./test.sh: builds the Qt-free core and its tests for Windows with mingw-w64
# into build-win/ and runs them under Wine. The Wine prefix lives in build-win/wine/ and is made
# once. Its registry maps COM1 and COM2 to two fixed links, which socat points at a pair of
# joined pseudo-terminals for each run, so the Win32 serial port under test (COM1) and the test
# amplifier (COM2) talk over a real line.
# Exits 0 with a message when the step cannot run here; a failing test fails it.
source "$(dirname "$0")/setup.sh"

skip() {
    echo "== Windows core under Wine: SKIPPED: $*"
    exit 0
}

if ! ensure_packages "$top/tools/packages-windows.txt"; then
    skip "the packages in tools/packages-windows.txt could not be installed"
fi
# Debian's 64-bit loader; the wine launcher script warns on every start that 32-bit Wine is missing.
loader=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then
        loader="$candidate"
        break
    fi
done
[[ -n "$loader" ]] || skip "no Wine loader found"
command -v wineserver >/dev/null || skip "no wineserver found"

wine_dir="$top/build-win/wine"
export WINEPREFIX="$wine_dir/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
mkdir -p "$wine_dir"

socat_pid=""
cleanup() { # also ends a prefix still being made
    wineserver -k >/dev/null 2>&1 || true
    if [[ -n "$socat_pid" ]]; then
        kill "$socat_pid" 2>/dev/null || true
        wait "$socat_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# A new prefix with COM1 and COM2 mapped to the links that socat makes.
make_prefix() {
    rm -rf "$WINEPREFIX" "$wine_dir/prefix-ready"
    "$loader" wineboot --init || return 1
    local port
    for port in COM1 COM2; do
        "$loader" reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$wine_dir/${port,,}" /f || return 1
    done
    wineserver -w
    touch "$wine_dir/prefix-ready"
}

# Made while the core builds: wineboot spends most of its half minute waiting.
prefix_job=""
if [[ ! -f "$wine_dir/prefix-ready" ]]; then
    echo "== Wine prefix: creating $WINEPREFIX"
    make_prefix >"$wine_dir/prefix.log" 2>&1 &
    prefix_job=$!
fi

build_tree build-win -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" \
    -DKALDOR_CORE_ONLY=ON -DKALDOR_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$loader"

if [[ -n "$prefix_job" ]] && ! wait "$prefix_job"; then
    skip "the Wine prefix could not be made (see $wine_dir/prefix.log)"
fi

rm -f "$wine_dir/com1" "$wine_dir/com2"
socat pty,rawer,link="$wine_dir/com1" pty,rawer,link="$wine_dir/com2" 2>"$wine_dir/socat.log" &
socat_pid=$!
for _ in $(seq 50); do
    [[ -e "$wine_dir/com1" && -e "$wine_dir/com2" ]] && break
    sleep 0.1
done
[[ -e "$wine_dir/com1" && -e "$wine_dir/com2" ]] || skip "socat made no pseudo-terminal pair (see $wine_dir/socat.log)"

# One server for all test programs: each then starts in a fraction of a second. Wine's own
# services start with the first program and keep its output open: start them here, so that they
# hold /dev/null and not the output of a test that CTest waits on.
wineserver -p >/dev/null 2>&1
"$loader" wineboot >/dev/null 2>&1 || skip "Wine does not start here"
echo "== ctest build-win (Windows core under Wine $("$loader" --version 2>/dev/null))"
cd "$top/build-win"
status=0
ctest --output-on-failure --timeout 300 -j 2 || status=$?
# The test cases inside the programs, with the ones Wine cannot show.
log="$top/build-win/Testing/Temporary/LastTest.log"
count() { grep -hoE "^\[ +$1 +\] [0-9]+ tests?" "$log" | awk '{s += $(NF-1)} END {print s + 0}'; }
echo "== Windows core under Wine: $(count PASSED) test cases passed, $(count SKIPPED) skipped:"
grep -hA1 ': Skipped$' "$log" | grep -vE ': Skipped$|^--$' | sort -u | sed 's/^/   /' || true
exit "$status"
