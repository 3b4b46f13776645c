#!/usr/bin/env bash
# The Windows step of ./test.sh: builds the Qt-free core and its tests for Windows with mingw-w64
# into build-win/ and runs them under Wine. The Wine prefix lives in build-win/wine/ and is made
# once. Its registry maps COM1 and COM2 to two fixed links, which socat points at a pair of
# joined pseudo-terminals for each run, so the Win32 serial port under test (COM1) and the test
# amplifier (COM2) talk over a real line.
# Exits 0 with a message when the step cannot run here; a failing test fails it.
source "$(dirname "$0")/setup.sh"

skip() {
    echo "== Windows core under Wine: SKIPPED: $*"
    exit 0
}

if ! ensure_packages "$top/tools/packages-windows.txt"; then
    skip "the packages in tools/packages-windows.txt could not be installed"
fi
# OpenSSL for Windows, the layer in the cache (built once; ./test.sh builds it beforehand).
"$top/tools/openssl-windows.sh" || {
    (($? == 3)) && skip "no OpenSSL source for Windows (tools/openssl-windows.sh)"
    echo "== Windows core under Wine: FAILED: OpenSSL for Windows did not build"
    exit 1
}
openssl="$("$top/tools/openssl-windows.sh" --prefix)"
source "$top/tools/wine-env.sh"
start_prefix

build_tree build-win -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" \
    -DOPENSSL_ROOT_DIR="$openssl" \
    -DKALDOR_CORE_ONLY=ON -DKALDOR_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$loader"

wait_prefix
wire_ports
start_wine_server

# The remote line over TLS across the loopback, for link_tls_wine_test: keys made here; the Linux
# ser2net with ssl(clientauth) and an authdir that allows user.crt, in front of a line that echoes;
# kaldor-sim.exe serving TLS to user.crt alone.
start_tls_servers() {
    local dir="$wine_dir/tls" name port sim_address
    if ! command -v openssl >/dev/null || [[ ! -x /usr/sbin/ser2net ]]; then
        echo "   no openssl or ser2net here: the TLS cases skip"
        return
    fi
    rm -rf "$dir"
    mkdir -p "$dir/auth/dl1abc/allowed_certs"
    for name in station:station user:dl1abc stranger:dl1abc; do
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 \
            -subj "/CN=${name#*:}" -keyout "$dir/${name%:*}.key" -out "$dir/${name%:*}.crt" \
            -config <(printf '[req]\ndistinguished_name = dn\nx509_extensions = ext\n[dn]\n[ext]\nbasicConstraints = CA:FALSE\n') \
            2>/dev/null || { echo "   openssl made no keys: the TLS cases skip"; return; }
    done
    cp "$dir/user.crt" "$dir/auth/dl1abc/allowed_certs/"
    openssl rehash "$dir/auth/dl1abc/allowed_certs"
    socat pty,rawer,link="$dir/line" EXEC:cat 2>/dev/null &
    step_pids+=($!)
    for port in $(seq 47010 47090); do
        ss -ltnH "sport = :$port" 2>/dev/null | grep -q . || break
    done
    printf '%%YAML 1.1\n---\nconnection: &tls\n  accepter: telnet(rfc2217),ssl(key=%s,cert=%s,clientauth),tcp,127.0.0.1,%s\n  connector: serialdev,%s,9600n81,local\n  options:\n    authdir: %s\n' \
        "$dir/station.key" "$dir/station.crt" "$port" "$dir/line" "$dir/auth" >"$dir/ser2net.yaml"
    /usr/sbin/ser2net -n -u -c "$dir/ser2net.yaml" >"$dir/ser2net.log" 2>&1 &
    step_pids+=($!)
    # The simulator under Wine, its files by their Windows paths; its first line is its address.
    coproc TLS_SIM { exec "$loader" "$top/build-win/kaldor-sim.exe" --rfc2217 0 --tls-cert "Z:$dir/station.crt" \
        --tls-key "Z:$dir/station.key" --client-ca "Z:$dir/user.crt" </dev/null 2>"$dir/sim.log"; }
    step_pids+=("$TLS_SIM_PID")
    read -r -t 30 sim_address <&"${TLS_SIM[0]}" || sim_address=""
    sim_address="${sim_address%$'\r'}"
    for _ in $(seq 50); do
        ss -ltnH "sport = :$port" 2>/dev/null | grep -q . && break
        sleep 0.1
    done
    export KALDOR_TLS_DIR="Z:$dir" KALDOR_TLS_SER2NET="rfc2217s://127.0.0.1:$port" KALDOR_TLS_SIM="$sim_address"
    echo "   TLS: ser2net at $KALDOR_TLS_SER2NET, kaldor-sim.exe at ${sim_address:-(none: $dir/sim.log)}"
    start_linux_station "$dir"
}

# The Linux kaldor-station (of the Linux build, where there is one) in front of a line that
# echoes, serving the Windows console's link over TLS: KALDOR_TLS_STATION.
start_linux_station() {
    local dir="$1" build station_address=""
    for build in build-test build; do
        [[ -x "$top/$build/kaldor-station" ]] && break
    done
    if [[ ! -x "$top/$build/kaldor-station" ]]; then
        echo "   no Linux kaldor-station built: its TLS case skips"
        return
    fi
    socat pty,rawer,link="$dir/station-line" EXEC:cat 2>/dev/null &
    step_pids+=($!)
    for _ in $(seq 50); do
        [[ -e "$dir/station-line" ]] && break
        sleep 0.1
    done
    # Its address, the first line on standard output (bash keeps one coprocess: the simulator's).
    "$top/$build/kaldor-station" --device "$dir/station-line" --listen 127.0.0.1:0 \
        --tls-cert "$dir/station.crt" --tls-key "$dir/station.key" --authdir "$dir/auth" \
        --operators dl1abc </dev/null >"$dir/station.out" 2>"$dir/station.log" &
    step_pids+=($!)
    for _ in $(seq 100); do
        station_address="$(head -1 "$dir/station.out" 2>/dev/null)"
        [[ -n "$station_address" ]] && break
        sleep 0.1
    done
    export KALDOR_TLS_STATION="$station_address"
    echo "   TLS: the Linux kaldor-station at ${station_address:-(none: $dir/station.log)}"
}
start_tls_servers
echo "== ctest build-win (Windows core under Wine $("$loader" --version 2>/dev/null))"
cd "$top/build-win"
status=0
ctest --output-on-failure --timeout 300 -j 2 || status=$?

# kaldor-station.exe serving Linux clients, once the tests have left COM1: pyserial's rfc2217://
# gets the frames written at COM2's far end, and its keys come back there; over TLS (with the
# keys start_tls_servers made) the allowed user is told its role, and a stranger nothing.
station_under_wine() {
    local tls="$wine_dir/tls" tls_options=() plain tls_port who text told
    if ! /usr/bin/python3 -c 'import serial.rfc2217' 2>/dev/null; then
        echo "== kaldor-station.exe under Wine: SKIPPED: no python3-serial"
        return 0
    fi
    [[ -f "$tls/user.crt" ]] && tls_options=(--listen 127.0.0.1:0 --tls-cert "Z:$tls/station.crt"
        --tls-key "Z:$tls/station.key" --authdir "Z:$tls/auth")
    # Its addresses, one a line on standard output: over TLS when asked for, and plain.
    "$loader" "$top/build-win/kaldor-station.exe" --device COM1 --plain 127.0.0.1:0 "${tls_options[@]}" \
        --local-user dl1abc --operators dl1abc </dev/null >"$wine_dir/station.out" 2>"$wine_dir/station.log" &
    step_pids+=($!)
    for _ in $(seq 300); do
        grep -q '^rfc2217://' "$wine_dir/station.out" 2>/dev/null && break
        sleep 0.1
    done
    plain="$(grep -m1 '^rfc2217://' "$wine_dir/station.out" | tr -d '\r')"
    tls_port="$(grep -m1 '^rfc2217s://' "$wine_dir/station.out" | tr -d '\r')"
    tls_port="${tls_port##*:}"
    if [[ -z "${plain:-}" ]] || ! /usr/bin/python3 "$top/tests/station/station_client.py" "$plain" "$wine_dir/com2"; then
        echo "== kaldor-station.exe under Wine: FAILED (plain ${plain:-: no address}; see $wine_dir/station.log)"
        cat "$wine_dir/station.log"
        return 1
    fi
    for who in user stranger; do
        [[ -n "${tls_port:-}" ]] || break
        # The Telnet greeting's IAC WILL COM-PORT-OPTION, then the station's words.
        text="$( (printf '\xff\xfb\x2c'; sleep 2) | timeout 10 openssl s_client -connect "127.0.0.1:$tls_port" \
            -cert "$tls/$who.crt" -key "$tls/$who.key" -quiet 2>/dev/null | tr -c '[:print:]' ' ')"
        told=no
        [[ $text == *"kaldor-station "*" operator"* ]] && told=yes
        if [[ ($who == user && $told == no) || ($who == stranger && $told == yes) ]]; then
            echo "== kaldor-station.exe under Wine: FAILED (TLS as $who: '$text'; see $wine_dir/station.log)"
            cat "$wine_dir/station.log"
            return 1
        fi
    done
    echo "== kaldor-station.exe under Wine: served a Linux client${tls_port:+, and over TLS refused a stranger}"
}
station_under_wine || status=1
# The test cases inside the programs, with the ones Wine cannot show.
report_cases "Windows core under Wine" "$top/build-win/Testing/Temporary/LastTest.log"
exit "$status"
