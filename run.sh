#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the console with the given arguments.
source "$(dirname "$0")/tools/setup.sh"
ensure_packages
build_tree build -DKALDOR_TESTS=OFF
echo "== start build/kaldor-console $*"
exec "$top/build/kaldor-console" "$@"
