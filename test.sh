#!/usr/bin/env bash
# Installs what is missing, builds the tests with sanitizers into build-test/ and runs them all.
source "$(dirname "$0")/tools/setup.sh"
ensure_packages
build_tree build-test -DKALDOR_SANITIZE=ON -DKALDOR_TESTS=ON -DCMAKE_BUILD_TYPE=Debug
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "== ctest"
cd "$top/build-test"
ctest --output-on-failure --timeout 300 -j 2
