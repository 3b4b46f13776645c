#!/usr/bin/env bash
# Installs what is missing, builds the tests with sanitizers into build-test/ and runs them all;
# before that, builds the Qt-free core for Windows into build-win/ and runs its tests under Wine
# (tools/wine-tests.sh, which skips with a message where Wine cannot run).
source "$(dirname "$0")/tools/setup.sh"
ensure_packages
build_tree build-test -DKALDOR_SANITIZE=ON -DKALDOR_TESTS=ON -DCMAKE_BUILD_TYPE=Debug
wine_status=0
"$top/tools/wine-tests.sh" || wine_status=$?
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "== ctest"
cd "$top/build-test"
ctest --output-on-failure --timeout 300 -j 2
if ((wine_status != 0)); then
    echo "== Windows core under Wine: FAILED (see its ctest output above)"
    exit "$wine_status"
fi
