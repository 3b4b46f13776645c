#!/usr/bin/env bash
# Qt 6 for Windows: a static mingw-w64 build of Debian's source of the host's Qt version, made
# once per machine into a cache outside the tree, so the whole console cross-builds into one
# kaldor-console.exe.
#
#   tools/qt-windows.sh            make sure the cache holds the install; prints its prefix last
#   tools/qt-windows.sh --prefix   print the prefix the cache uses, build nothing
#   tools/qt-windows.sh --archive DIR
#                                  write DIR/qt6-windows-<key>.tar.xz of the install, which a
#                                  later run finds in ../shared/cache/ and unpacks instead of building,
#                                  and the archives of the Qt Charts and OpenSSL layers beside it
#                                  (tools/qt-charts-windows.sh, tools/openssl-windows.sh)
#
# The cache is keyed by a hash of Qt's version, the configure line, the patch and the cross
# compiler's version; the ready-stamp is written last, so an interrupted build is never taken
# for a finished one. Where ../shared/cache/ holds an archive with the same key, it is unpacked
# instead of building. The 2 GB build tree is deleted after the install.
source "$(dirname "$0")/setup.sh"
here="$top/tools"
patch_file="$here/qt-windows/qwindowsintegration-directwrite.patch"
toolchain="$top/cmake/mingw-w64-x86_64-posix.cmake"
cxx=x86_64-w64-mingw32-g++-posix

qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)"
[[ -n "$qt_version" ]] || { echo "qt-windows: qt6-base-dev is not installed" >&2; exit 1; }

# The configure line, without the prefix and the toolchain path that differ between machines.
configure_args=(-release -static -qt-host-path /usr -nomake examples -nomake tests -no-opengl
    -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz -qt-doubleconversion -no-libjpeg
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-concurrent
    -no-feature-printsupport -no-feature-dbus -no-feature-tabletevent -no-feature-direct2d
    -no-feature-vulkan)

key_text() {
    echo "qt6-base $qt_version"
    echo "configure ${configure_args[*]}"
    echo "compiler $("$cxx" --version 2>/dev/null | head -1)"
    echo "patch $(sha256sum <"$patch_file" | cut -c1-64)"
}
layer_place qt6-windows kaldor-qt-ready

if [[ "${1:-}" == "--prefix" ]]; then
    echo "$prefix"
    exit 0
fi
if [[ "${1:-}" == "--archive" ]]; then
    [[ -f "$stamp" ]] || { echo "qt-windows: no finished install at $prefix" >&2; exit 1; }
    mkdir -p "$2"
    tar -C "$cache_root" -cJf "$2/$name.tar.xz" "$name"
    echo "$2/$name.tar.xz"
    "$here/qt-charts-windows.sh" --archive "$2"
    "$here/openssl-windows.sh" --archive "$2"
    exit 0
fi

# Qt Charts, a layer of its own over the finished install; without it the console has no trends.
charts() {
    "$here/qt-charts-windows.sh" >&2 || echo "== Qt for Windows: no Qt Charts layer: the Windows console shows no trends" >&2
}

if [[ -f "$stamp" ]]; then
    echo "== Qt for Windows: cached at $prefix"
    charts
    echo "$prefix"
    exit 0
fi

# An archive of exactly this install: its key file must match ours line for line.
archive="$shared_cache/$name.tar.xz"
if [[ -f "$archive" ]]; then
    echo "== Qt for Windows: unpacking $archive"
    rm -rf "$prefix"
    mkdir -p "$cache_root"
    if tar -C "$cache_root" -xJf "$archive" && [[ -f "$stamp" ]] &&
        diff -q <(key_text) "$prefix/kaldor-qt-key" >/dev/null; then
        charts
        echo "$prefix"
        exit 0
    fi
    echo "== Qt for Windows: the archive does not match this machine's key; building instead"
    rm -rf "$prefix"
fi

work="$cache_root/$name.build"
log="$work/build.log"
rm -rf "$prefix"
# Debian's source of the installed version (which needs a deb-src entry), patched and configured.
fetch_and_configure() {
    rm -rf "$work"
    mkdir -p "$work"
    echo "== Qt for Windows: building Qt $qt_version (about 25 min on two idle cores, over an hour on a busy machine; log: $log)"
    if ! apt-cache showsrc qt6-base 2>/dev/null | grep -qx "Version: $qt_version"; then
        ensure_deb_src
    fi
    (cd "$work" && apt-get source -qq "qt6-base=$qt_version" >>"$log" 2>&1)
    local src
    src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)"
    [[ -d "$src" ]] || { echo "qt-windows: the source of qt6-base $qt_version could not be fetched" >&2; exit 1; }
    patch -d "$src" -p1 <"$patch_file" >>"$log"
    mkdir -p "$work/build"
    cd "$work/build"
    echo "== Qt for Windows: configure"
    nice -n 10 "$src/configure" -prefix "$prefix" "${configure_args[@]}" -- \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        >>"$log" 2>&1 || { tail -30 "$log" >&2; exit 1; }
    touch "$work/configured"
}

# A build that was stopped (a time budget, a reboot) goes on where it was.
if [[ -f "$work/build/build.ninja" && -f "$work/configured" ]]; then
    echo "== Qt for Windows: resuming the build in $work (log: $log)"
    cd "$work/build"
else
    fetch_and_configure
fi

echo "== Qt for Windows: build"
# Ninja's [done/total] lines, one a minute, as the progress of the long step.
progress() {
    local start=$SECONDS shown=$SECONDS line
    while IFS= read -r line; do
        echo "$line" >>"$log"
        case "$line" in
        "["[0-9]*/*"]"*)
            if ((SECONDS - shown >= 60)); then
                shown=$SECONDS
                echo "   ${line%% *} after $(((SECONDS - start) / 60)) min"
            fi
            ;;
        *"error:"* | "FAILED:"*) echo "$line" ;;
        esac
    done
}
if ! nice -n 10 cmake --build . --parallel "$(nproc)" 2>&1 | progress; then
    tail -30 "$log" >&2
    exit 1
fi
cmake --install . >>"$log" 2>&1

key_text >"$prefix/kaldor-qt-key"
cd /
rm -rf "$work"
touch "$stamp"
echo "== Qt for Windows: installed at $prefix"
charts
echo "$prefix"
