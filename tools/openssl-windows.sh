#!/usr/bin/env bash
# OpenSSL 3 for Windows: static libcrypto and libssl built with mingw-w64 from the upstream
# source tarball, as a layer of its own in the cache outside the tree, so the Windows console
# and the Windows core speak TLS with the same library as on Linux.
#
#   tools/openssl-windows.sh             make sure the cache holds the layer; prints its prefix last
#   tools/openssl-windows.sh --prefix    print the prefix the cache uses, build nothing
#   tools/openssl-windows.sh --archive DIR
#                                        write DIR/openssl-windows-<key>.tar.xz and its .sha256
#
# The key: the source's hash, the compiler and the configure line. An archive is taken only where
# its .sha256 and the key file inside both match; a source whose hash differs is refused. The
# layer is made beside its place and moved there whole, the ready-stamp in it written last.
source "$(dirname "$0")/setup.sh"
source_tar="${KALDOR_OPENSSL_SOURCE:-$top/../shared/src/openssl_3.0.22.orig.tar.gz}"
source_sha256=67ebca7e50d17383028045486653492195b83db95f8558709701bb47b5c1ef81
cross=x86_64-w64-mingw32-
say() { echo "== OpenSSL for Windows: $*"; }

# Static, and without what the console does not load: engines, modules, the legacy provider.
# no-autoload-config: the built-in config path is /usr/local/ssl, on Windows a folder any user
# may create at the root of the drive; a planted openssl.cnf there must not weaken the console.
configure_args=(mingw64 no-shared no-tests no-dso no-engine no-legacy no-autoload-config
    --cross-compile-prefix="$cross")
key_text() {
    echo "openssl-source sha256 $source_sha256"
    echo "compiler $("${cross}gcc" --version 2>/dev/null | head -1)"
    echo "configure ${configure_args[*]}"
}
layer_place openssl-windows kaldor-openssl-ready

layer_start kaldor-openssl-key "$@"
# Exit status 3: no source to build from (a missing or refused tarball).
source_checked "$source_tar" "$source_sha256" || { echo "openssl-windows: no TLS layer for Windows" >&2; exit 3; }

staging="$cache_root/$name.new"
work="$cache_root/$name.build"
log="$work/build.log"
rm -rf "$work" "$staging" "$prefix"
mkdir -p "$work"
say "building from $(basename "$source_tar") (log: $log)"
start=$SECONDS
tar -C "$work" -xzf "$source_tar"
src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "openssl-*" | head -1)"
[[ -d "$src" ]] || { echo "openssl-windows: $source_tar holds no openssl-* folder" >&2; exit 1; }
failed() {
    tail -30 "$log" >&2
    echo "openssl-windows: the build failed (log: $log)" >&2
    exit 1
}
cd "$src"
nice -n 10 ./Configure "${configure_args[@]}" >>"$log" 2>&1 || failed
nice -n 10 make -j "$(nproc)" build_libs >>"$log" 2>&1 || failed
# The headers (generated ones included) and the two libraries are all a static link needs.
mkdir -p "$staging/include/openssl" "$staging/lib"
cp include/openssl/*.h "$staging/include/openssl/"
cp libcrypto.a libssl.a "$staging/lib/"
cp LICENSE.txt "$staging/"
key_text >"$staging/kaldor-openssl-key"
touch "$staging/kaldor-openssl-ready"
mv "$staging" "$prefix"
cd /
rm -rf "$work"
say "installed at $prefix in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s"
echo "$prefix"
