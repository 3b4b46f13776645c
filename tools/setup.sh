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

# The prebuilt layers for Windows (Qt, Qt Charts, OpenSSL): a cache outside the tree, each layer
# in a folder named by a hash of what made it, and archives of them that a later run unpacks.
cache_root="${KALDOR_CACHE:-$HOME/.cache/kaldor}"
shared_cache="${KALDOR_SHARED_CACHE:-$top/../shared/cache}"

# layer_place NAME STAMP: sets key (16 hex of the caller's key_text), name, prefix and the
# ready-stamp's path.
layer_place() {
    key="$(key_text | sha256sum | cut -c1-16)"
    name="$1-$key"
    prefix="$cache_root/$name"
    stamp="$prefix/$2"
}

# layer_start KEYFILE [--prefix | --archive DIR]: answers the options; otherwise ends the script
# with the prefix where the layer is in place already or unpacks from the shared cache.
layer_start() {
    local keyfile="$1"
    shift
    case "${1:-}" in
    --prefix)
        echo "$prefix"
        exit 0
        ;;
    --archive)
        layer_archive "$2"
        exit 0
        ;;
    esac
    if [[ -f "$stamp" ]]; then
        say "cached at $prefix"
        echo "$prefix"
        exit 0
    fi
    mkdir -p "$cache_root"
    if layer_unpack "$keyfile"; then
        echo "$prefix"
        exit 0
    fi
}

# layer_archive DIR: writes DIR/<name>.tar.xz of the finished layer and its .sha256.
layer_archive() {
    [[ -f "$stamp" ]] || { echo "no finished layer at $prefix" >&2; return 1; }
    mkdir -p "$1"
    tar -C "$cache_root" -cJf "$1/$name.tar.xz" "$name"
    (cd "$1" && sha256sum "$name.tar.xz" >"$name.tar.xz.sha256")
    echo "$1/$name.tar.xz"
}

# layer_unpack KEYFILE: the shared cache's archive of this layer, taken only where its .sha256
# and the key file inside both match ours; unpacked beside its place and moved there whole.
# Fails, saying why (through the caller's say), where there is none or it is refused.
layer_unpack() {
    local archive="$shared_cache/$name.tar.xz" staging="$cache_root/$name.new" expected actual
    [[ -f "$archive" ]] || return 1
    expected="$(cut -c1-64 "$archive.sha256" 2>/dev/null || true)"
    actual="$(sha256sum <"$archive" | cut -c1-64)"
    if [[ "$expected" != "$actual" ]]; then
        say "refusing $archive: its sha256 $actual is not the one in $archive.sha256 (${expected:-none}); building from the source"
        return 1
    fi
    say "unpacking $archive"
    rm -rf "$staging" "$prefix"
    mkdir -p "$staging"
    if tar -C "$staging" -xJf "$archive" && [[ -f "$staging/$name/${stamp##*/}" ]] &&
        diff -q <(key_text) "$staging/$name/$1" >/dev/null; then
        mv "$staging/$name" "$prefix"
        rm -rf "$staging"
        return 0
    fi
    say "the archive's key does not match this machine's; building from the source"
    rm -rf "$staging"
    return 1
}

# source_checked FILE SHA256: the file is there and is the one expected; says why not.
source_checked() {
    [[ -f "$1" ]] || { echo "no source at $1" >&2; return 1; }
    local actual
    actual="$(sha256sum <"$1" | cut -c1-64)"
    [[ "$actual" == "$2" ]] || { echo "refusing $1: its sha256 is $actual, not $2" >&2; return 1; }
}

# ensure_deb_src: a deb-src entry beside each of the machine's own deb entries (one-line lists
# and deb822 .sources alike), so that apt-get source fetches from the mirror apt already uses.
ensure_deb_src() {
    local out=/etc/apt/sources.list.d/kaldor-src.sources sudo="" entries
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    entries="$(deb_src_entries /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)"
    [[ -n "$entries" ]] || { echo "no deb entry in the apt sources to take a deb-src entry from" >&2; return 1; }
    echo "$entries" | $sudo tee "$out" >/dev/null
    $sudo apt-get update -qq
}

# deb_src_entries FILE...: the deb822 stanzas of deb-src entries for the files' deb entries.
# Options in brackets (signed-by, arch) carry over where apt's deb822 form has them.
deb_src_entries() {
    local file
    for file in "$@"; do
        [[ -f "$file" && "$file" != */kaldor-src.sources ]] || continue
        if [[ "$file" == *.sources ]]; then
            # Stanzas are separated by blank lines; a stanza whose Types include deb.
            awk 'function flush() { if (deb && body != "") printf "Types: deb-src\n%s\n", body; deb = 0; body = "" }
                /^[ \t]*#/ { next }
                /^[ \t]*$/ { flush(); next }
                tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1; next }
                { body = body $0 "\n" }
                END { flush() }' "$file"
        else
            awk '$1 != "deb" { next }
                { i = 2; signed = ""
                  if ($2 ~ /^\[/) { while (i <= NF) { o = $i; gsub(/[][]/, "", o)
                        if (o ~ /^signed-by=/) signed = substr(o, 11)
                        if ($i ~ /\]$/) { i++; break }
                        i++ } }
                  printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i + 1)
                  for (j = i + 2; j <= NF && $j !~ /^#/; j++) printf " %s", $j
                  printf "\n"
                  if (signed != "") printf "Signed-By: %s\n", signed
                  printf "\n" }' "$file"
        fi
    done
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
