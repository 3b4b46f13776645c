# Sourced by run.sh and test.sh: installs what is missing and builds one tree.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# ensure_packages [LIST]: the Debian packages named in LIST (default tools/packages.txt).
ensure_packages() {
    local list="${1:-$top/tools/packages.txt}"
    local missing=()
    local pkg
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done <"$list"
    if ((${#missing[@]} == 0)); then
        echo "== packages: all present"
        return
    fi
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    echo "== packages: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build_tree DIR [cmake options...]
build_tree() {
    local dir="$1"
    shift
    echo "== configure $dir"
    cmake -S "$top" -B "$top/$dir" "$@" >/dev/null
    echo "== build $dir"
    cmake --build "$top/$dir" -j "$(nproc)"
}
