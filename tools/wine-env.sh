# Sourced by the Windows steps (tools/wine-tests.sh, tools/wine-console.sh) after tools/setup.sh
# and a `skip` function of their own: the Wine loader, the prefix in build-win/wine/ (made once,
# with COM1 and COM2 mapped to two fixed links), the line between them, and the Wine server.
# Debian's 64-bit loader; the wine launcher script warns on every start that 32-bit Wine is missing.
loader=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then
        loader="$candidate"
        break
    fi
done
[[ -n "$loader" ]] || skip "no Wine loader found"
command -v wineserver >/dev/null || skip "no wineserver found"

wine_dir="$top/build-win/wine"
export WINEPREFIX="$wine_dir/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
mkdir -p "$wine_dir"

# Processes of the step (socat, Xvfb, kaldor-sim) end with it, and so does the Wine server.
step_pids=()
cleanup() { # also ends a prefix still being made
    wineserver -k >/dev/null 2>&1 || true
    local pid
    for pid in "${step_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# A new prefix with COM1 and COM2 mapped to the links that socat makes.
make_prefix() {
    rm -rf "$WINEPREFIX" "$wine_dir/prefix-ready"
    "$loader" wineboot --init || return 1
    local port
    for port in COM1 COM2; do
        "$loader" reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$wine_dir/${port,,}" /f || return 1
    done
    wineserver -w
    touch "$wine_dir/prefix-ready"
}

# Started early, where there is a build to wait for: wineboot spends most of its half minute waiting.
prefix_job=""
start_prefix() {
    if [[ ! -f "$wine_dir/prefix-ready" ]]; then
        echo "== Wine prefix: creating $WINEPREFIX"
        make_prefix >"$wine_dir/prefix.log" 2>&1 &
        prefix_job=$!
    fi
}
wait_prefix() {
    if [[ -n "$prefix_job" ]] && ! wait "$prefix_job"; then
        skip "the Wine prefix could not be made (see $wine_dir/prefix.log)"
    fi
    prefix_job=""
}

# wire_ports A B: socat joins the links behind Wine's COM1 and COM2 to the addresses A and B
# (default: a pair of joined pseudo-terminals, so that COM1 and COM2 are the two ends of a line).
wire_ports() {
    local a="${1:-pty,rawer,link=$wine_dir/com1}" b="${2:-pty,rawer,link=$wine_dir/com2}"
    rm -f "$wine_dir/com1" "$wine_dir/com2"
    socat "${socat_options[@]}" "$a" "$b" 2>"$wine_dir/socat.log" &
    step_pids+=($!)
    local links=() part _
    for part in "$a" "$b"; do
        [[ "$part" =~ link=([^,]+) ]] && links+=("${BASH_REMATCH[1]}")
    done
    for _ in $(seq 50); do
        ls "${links[@]}" >/dev/null 2>&1 && break
        sleep 0.1
    done
    ls "${links[@]}" >/dev/null 2>&1 || skip "socat made no pseudo-terminal (see $wine_dir/socat.log)"
}
socat_options=()

# One server for all programs: each then starts in a fraction of a second. Wine's own services
# start with the first program and keep its output open: start them here, so that they hold
# /dev/null and not the output of a test that CTest waits on. A server left from a run without
# a display would keep Wine's windows off the display: a fresh one starts after DISPLAY is set.
start_wine_server() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
    "$loader" wineboot >/dev/null 2>&1 || skip "Wine does not start here"
}

# count_cases LOG STATUS: test cases with that status (PASSED, SKIPPED) in a CTest log.
count_cases() { grep -hoE "^\[ +$2 +\] [0-9]+ tests?" "$1" | awk '{s += $(NF-1)} END {print s + 0}'; }
# report_cases LABEL LOG: the count, and the reasons of the cases that were skipped.
report_cases() {
    echo "== $1: $(count_cases "$2" PASSED) test cases passed, $(count_cases "$2" SKIPPED) skipped:"
    grep -hA1 ': Skipped$' "$2" | grep -vE ': Skipped$|^--$' | sort -u | sed 's/^/   /' || true
}
