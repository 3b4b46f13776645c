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
# OpenSSL for Windows, the layer in the cache (built once; ./test.sh builds it beforehand).
"$top/tools/openssl-windows.sh" || {
    (($? == 3)) && skip "no OpenSSL source for Windows (tools/openssl-windows.sh)"
    echo "== Windows core under Wine: FAILED: OpenSSL for Windows did not build"
    exit 1
}
openssl="$("$top/tools/openssl-windows.sh" --prefix)"
source "$top/tools/wine-env.sh"
start_prefix

build_tree build-win -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" \
    -DOPENSSL_ROOT_DIR="$openssl" \
    -DKALDOR_CORE_ONLY=ON -DKALDOR_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$loader"

wait_prefix
wire_ports
start_wine_server
echo "== ctest build-win (Windows core under Wine $("$loader" --version 2>/dev/null))"
cd "$top/build-win"
status=0
ctest --output-on-failure --timeout 300 -j 2 || status=$?
# The test cases inside the programs, with the ones Wine cannot show.
report_cases "Windows core under Wine" "$top/build-win/Testing/Temporary/LastTest.log"
exit "$status"
