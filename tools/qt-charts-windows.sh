#!/usr/bin/env bash
# Qt Charts for Windows: the module built from its source tarball against the cached static Qt
# for Windows (tools/qt-windows.sh), installed as a layer of its own beside it, so the Windows
# console draws the station log's trends. tools/qt-windows.sh runs it once its own install is
# ready; a console built without the layer shows the events only.
#
#   tools/qt-charts-windows.sh             make sure the cache holds the layer; prints its prefix last
#   tools/qt-charts-windows.sh --prefix    print the prefix the cache uses, build nothing
#   tools/qt-charts-windows.sh --archive DIR
#                                          write DIR/qt6-charts-windows-<key>.tar.xz and its .sha256
#
# The key: the source's hash, the Qt install's key, the compiler and the configure line. An
# archive is taken only where its .sha256 and the key file inside both match; an archive or a
# source that does not is refused with a message. The layer is unpacked or installed beside its
# final place and moved there whole, with the ready-stamp, so a half-built layer is never used.
source "$(dirname "$0")/setup.sh"
here="$top/tools"
source_tar="${KALDOR_CHARTS_SOURCE:-$top/../shared/src/qtcharts-6.4.2-source.tar.xz}"
source_sha256=7a21da06f6378432722856eafd5efd24f84db9b25159eb7a99b66ba6d0cfdc81
cxx=x86_64-w64-mingw32-g++-posix
say() { echo "== Qt Charts for Windows: $*"; }

qt="$("$here/qt-windows.sh" --prefix)"
# Only the line series and the two axes the trends use; the other chart types are left out.
configure_args=(-no-feature-charts-spline-chart -no-feature-charts-area-chart
    -no-feature-charts-scatter-chart -no-feature-charts-bar-chart -no-feature-charts-pie-chart
    -no-feature-charts-boxplot-chart -no-feature-charts-candlestick-chart)
key_text() {
    echo "qtcharts-source sha256 $source_sha256"
    echo "qt $(basename "$qt")"
    echo "compiler $("$cxx" --version 2>/dev/null | head -1)"
    echo "configure ${configure_args[*]}"
}
layer_place qt6-charts-windows kaldor-charts-ready

layer_start kaldor-charts-key "$@"
[[ -f "$qt/kaldor-qt-ready" ]] || { echo "qt-charts-windows: Qt for Windows is not built at $qt" >&2; exit 1; }
source_checked "$source_tar" "$source_sha256" ||
    { echo "qt-charts-windows: the Windows console is built without the trends" >&2; exit 1; }

# Made beside the final place, moved there whole.
staging="$cache_root/$name.new"
rm -rf "$staging" "$prefix"
work="$cache_root/$name.build"
log="$work/build.log"
rm -rf "$work"
mkdir -p "$work/build"
say "building from $(basename "$source_tar") (log: $log)"
start=$SECONDS
tar -C "$work" -xJf "$source_tar"
src="$(find "$work" -maxdepth 1 -type d -name 'qtcharts-*' | head -1)"
[[ -d "$src" ]] || { echo "qt-charts-windows: $source_tar holds no qtcharts-* folder" >&2; exit 1; }
cd "$work/build"
failed() {
    tail -30 "$log" >&2
    echo "qt-charts-windows: the build failed (log: $log): the Windows console is built without the trends" >&2
    exit 1
}
# Qt's toolchain file names the cross compiler's as it was where Qt was built: ours instead.
nice -n 10 "$qt/bin/qt-configure-module" "$src" "${configure_args[@]}" -- \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" >>"$log" 2>&1 || failed
nice -n 10 cmake --build . --parallel "$(nproc)" >>"$log" 2>&1 || failed
cmake --install . --prefix "$staging" >>"$log" 2>&1 || failed
key_text >"$staging/kaldor-charts-key"
touch "$staging/kaldor-charts-ready"
mv "$staging" "$prefix"
cd /
rm -rf "$work"
say "installed at $prefix in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s"
echo "$prefix"
