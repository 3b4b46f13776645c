#!/usr/bin/env bash
# Installs what is missing, builds the tests with sanitizers into build-test/ and runs them all.
# Then the fuzz targets, built with clang into build-fuzz/: corpora replayed, each fuzzed for
# KALDOR_FUZZ_SECONDS (default 20) (tools/fuzz.sh).
# Beside them, for Windows:
#  - the Qt-free core built with mingw-w64 into build-win/, its tests under Wine (tools/wine-tests.sh);
#  - Qt for Windows and OpenSSL for Windows, built once per machine into a cache outside the tree
#    (tools/qt-windows.sh, tools/openssl-windows.sh), in the background while the Linux tests run;
#  - the whole console built for Windows into build-win-qt/, with its installer, tried under Wine
#    (tools/wine-console.sh).
# KALDOR_TIME_BUDGET (minutes, default 85) bounds the run: when Qt for Windows is still building
# with too little time left for the Windows console step, that step is skipped with its reason
# and the next run on the same machine resumes the Qt build.
source "$(dirname "$0")/tools/setup.sh"
budget=$((${KALDOR_TIME_BUDGET:-85} * 60))
console_step=$((20 * 60)) # the Windows console step: its build (about 10 min), the Wine checks (4 min)
ensure_packages
ensure_packages "$top/tools/packages-windows.txt" || true

# The Qt build in its own process group, niced below everything else, so that it takes what
# the tests leave of the machine and can be stopped as a whole.
qt_job=""
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    setsid nice -n 9 "$top/tools/qt-windows.sh" >"$top/qt-windows.log" 2>&1 &
    qt_job=$!
    echo "== Qt for Windows: in the background (log: qt-windows.log)"
fi
# OpenSSL for Windows (about 2 min on two cores), beside it and niced the same; both Windows
# steps link it.
openssl_job=""
if command -v x86_64-w64-mingw32-gcc >/dev/null; then
    setsid nice -n 9 "$top/tools/openssl-windows.sh" >"$top/openssl-windows.log" 2>&1 &
    openssl_job=$!
    echo "== OpenSSL for Windows: in the background (log: openssl-windows.log)"
fi
stop_qt() {
    [[ -n "$qt_job" ]] && kill -- -"$qt_job" 2>/dev/null
    [[ -n "$openssl_job" ]] && kill -- -"$openssl_job" 2>/dev/null
    qt_job=""
    openssl_job=""
}
trap stop_qt EXIT

build_tree build-test -DKALDOR_SANITIZE=ON -DKALDOR_TESTS=ON -DCMAKE_BUILD_TYPE=Debug
failed=()
if [[ -n "$openssl_job" ]]; then
    wait "$openssl_job" || true # its failure is said by the Windows steps, which build it again
    openssl_job=""
    cat "$top/openssl-windows.log"
fi
"$top/tools/wine-tests.sh" || failed+=("the Windows core under Wine")
echo "== ctest"
(
    cd "$top/build-test"
    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --output-on-failure --timeout 300 -j 2
) || failed+=("the Linux tests")
"$top/tools/fuzz.sh" || failed+=("the fuzz targets")

if [[ -n "$qt_job" ]]; then
    # Its progress so far, then as it comes.
    shown=0
    show_qt() {
        local total
        total=$(wc -l <"$top/qt-windows.log")
        ((total > shown)) && sed -n "$((shown + 1)),${total}p" "$top/qt-windows.log"
        shown=$total
    }
    while kill -0 "$qt_job" 2>/dev/null && ((SECONDS < budget - console_step)); do
        show_qt
        sleep 5
    done
    show_qt
    if kill -0 "$qt_job" 2>/dev/null; then
        stop_qt
        echo "== Windows console under Wine: SKIPPED: Qt for Windows was still building after" \
            "$((SECONDS / 60)) min of a ${KALDOR_TIME_BUDGET:-85} min budget; the next run resumes it"
    elif wait "$qt_job"; then
        qt_job=""
        "$top/tools/wine-console.sh" "$top/build-test/kaldor-sim" || failed+=("the Windows console under Wine")
    else
        qt_job=""
        failed+=("the build of Qt for Windows (qt-windows.log)")
    fi
fi
echo "== test.sh: $((SECONDS / 60)) min $((SECONDS % 60)) s"
if ((${#failed[@]} > 0)); then
    printf '== FAILED: %s\n' "${failed[@]}"
    exit 1
fi
