#!/usr/bin/env bash
# The whole console for Windows: cross-builds it against the cached Qt for Windows
# (tools/qt-windows.sh) into build-win-qt/, with its tests and the installer, and tries it under
# Wine on an Xvfb display:
#   1. the window tests, with COM1 wired to COM2 as in the core step;
#   2. kaldor-console.exe on COM1 with the Linux kaldor-sim at the far end of the line: it asks
#      for the status, the amplifier answers, a shortcut's frame reaches it; a screenshot;
#   3. a second start, which brings the first console forward with its message and ends;
#   4. the installer: silent install, the installed program as in 2, silent uninstall, and
#      nothing left behind but the user's settings.
# Usage: tools/wine-console.sh [LINUX-KALDOR-SIM]   (default build-test/kaldor-sim or build/kaldor-sim)
# Exits 0 with a message when the step cannot run here; a failing check fails it.
source "$(dirname "$0")/setup.sh"
label="Windows console under Wine"
skip() {
    echo "== $label: SKIPPED: $*"
    exit 0
}
status=0
fail() {
    echo "== $label: FAILED: $*"
    status=1
}

qt="$("$top/tools/qt-windows.sh" --prefix)"
[[ -f "$qt/kaldor-qt-ready" ]] || skip "Qt for Windows is not built (tools/qt-windows.sh)"
openssl="$("$top/tools/openssl-windows.sh" --prefix)"
[[ -f "$openssl/kaldor-openssl-ready" ]] || skip "OpenSSL for Windows is not built (tools/openssl-windows.sh)"
sim="${1:-}"
for candidate in "$top/build-test/kaldor-sim" "$top/build/kaldor-sim"; do
    [[ -z "$sim" && -x "$candidate" ]] && sim="$candidate"
done
[[ -x "$sim" ]] || skip "no Linux kaldor-sim to link to (build it first)"
for tool in Xvfb xdotool import socat; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
source "$top/tools/wine-env.sh"
start_prefix

# The Qt Charts layer, where it is built, for the station log's trends.
charts="$("$top/tools/qt-charts-windows.sh" --prefix)"
[[ -f "$charts/kaldor-charts-ready" ]] || charts=""
build_tree build-win-qt -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_ADDITIONAL_PACKAGES_PREFIX_PATH="$charts" \
    -DOPENSSL_ROOT_DIR="$openssl" \
    -DKALDOR_CHARTS_SOURCE="${KALDOR_CHARTS_SOURCE:-$top/../shared/src/qtcharts-6.4.2-source.tar.xz}" \
    -DKALDOR_OPENSSL_SOURCE="${KALDOR_OPENSSL_SOURCE:-$top/../shared/src/openssl_3.0.22.orig.tar.gz}" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKALDOR_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$loader"
out="$top/build-win-qt"
wait_prefix

# Wine's window driver needs a display before its first program; the window tests use Windows'
# own platform plugin on it.
display=""
for n in $(seq 90 99); do
    [[ -e "/tmp/.X11-unix/X$n" || -e "/tmp/.X$n-lock" ]] && continue
    display=":$n"
    break
done
[[ -n "$display" ]] || skip "no free X display number"
# Wide enough for the window tests' resizing at 150 %.
Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >"$wine_dir/xvfb.log" 2>&1 &
step_pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
unset QT_QPA_PLATFORM

# 1. Every window test; e2e_test runs on the simulator's remote line, its pseudo-terminal cases
# skip themselves.
wire_ports
start_wine_server
# The tests keep their settings under an application name of their own: a user's settings,
# seeded here, are still there and unchanged afterwards.
user_key='HKCU\Software\OLV\Kaldor_Console'
user_settings() { "$loader" reg query "$user_key" /s 2>/dev/null | tr -d '\r' | grep -v '^$' || true; }
"$loader" reg delete "$user_key" /f >/dev/null 2>&1 || true
for value in DefaultComPort=3 ApplicationTop=77 ApplicationLeft=66 ApplicationHeight=450 ApplicationWidth=800; do
    "$loader" reg add "$user_key" /v "${value%=*}" /t REG_DWORD /d "${value#*=}" /f >/dev/null
done
user_before="$(user_settings)"
echo "== ctest build-win-qt (the window tests under Wine)"
(cd "$out" && ctest -L qt --output-on-failure --timeout 300) || fail "window tests"
report_cases "$label, window tests" "$out/Testing/Temporary/LastTest.log"
[[ "$(user_settings)" == "$user_before" ]] ||
    fail "the window tests changed $user_key: $(diff <(echo "$user_before") <(user_settings) | tr '\n' ' ')"

# 1b. Every caption fits its box at 96, 120 and 144 DPI, as Windows' scaling of 100, 125 and
# 150 % sets them (Wine's LogPixels); the window in standby and operate at 144 DPI, as pictures.
set_dpi() {
    "$loader" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    "$loader" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
        /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    start_wine_server
}
for dpi in 96 120 144; do
    set_dpi "$dpi"
    echo "== $label: the captions at $dpi DPI"
    (cd "$out" && ctest -R '^window_layout_test$' --output-on-failure --timeout 300) ||
        fail "a caption does not fit its box at $dpi DPI"
done
for shot in standby:0 operate:2; do
    "$loader" "$out/tools/shots/window-shot.exe" "$out/wine-144dpi-${shot%:*}.png" "${shot#*:}" \
        >/dev/null 2>&1 || fail "no picture of ${shot%:*} at 144 DPI"
    echo "   screenshot: $out/wine-144dpi-${shot%:*}.png"
done
set_dpi 96
cleanup_line() {
    kill "${step_pids[-1]}" 2>/dev/null || true
    wait "${step_pids[-1]}" 2>/dev/null || true
    unset 'step_pids[-1]'
}
cleanup_line
# A fresh server: nothing the tests left (a window, the single-instance mutex) meets the console.
start_wine_server

# The bytes socat carried one way (">" from COM1 to the amplifier, "<" back), as one hex line.
line_bytes() {
    awk -v dir="$1" '/^[<>] / { on = ($1 == dir); next } on && /^ [0-9a-f]/ { printf "%s", $0 }' \
        "$wine_dir/socat.log"
}
windows_named() { xdotool search --name "$1" 2>/dev/null | wc -l; }
shown() { (($(windows_named "$1") > 0)); } # shown TITLE-PATTERN
wait_for() { # wait_for SECONDS COMMAND...: until the command succeeds
    local limit=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < limit)) || return 1
        sleep 0.5
    done
}

# 2. The program on COM1 with the simulator at the far end: LinkRequest out, status frames in,
# the OPERATE shortcut's frame out. The window is the one whose title is the console's. The
# window tests leave settings behind in the registry: a user's first settings are COM1 alone.
"$loader" reg delete 'HKCU\Software\OLV\Kaldor_Console' /f >/dev/null 2>&1 || true
"$loader" reg add 'HKCU\Software\OLV\Kaldor_Console' /v DefaultComPort /t REG_DWORD /d 1 /f >/dev/null
console_pid=""
run_console() { # run_console EXE SHOT
    local exe="$1" shot="$2" device
    coproc SIM { exec "$sim" </dev/null 2>"$wine_dir/sim.log"; }
    step_pids+=("$SIM_PID")
    read -r -t 10 device <&"${SIM[0]}" || { fail "kaldor-sim gave no device"; return; }
    socat_options=(-x)
    wire_ports "pty,rawer,link=$wine_dir/com1" "$device,rawer"
    socat_options=()
    "$loader" "$exe" >"$wine_dir/console.log" 2>&1 &
    console_pid=$!
    if ! wait_for 60 shown '^KALDOR Console Rel'; then
        import -window root "$shot"
        fail "no console window within 60 s ($exe; the screen is in $shot)"
        return
    fi
    wait_for 20 grep -q "55 55 55 01 80 80" <(line_bytes ">") || fail "no LinkRequest on COM1"
    wait_for 20 grep -q "aa aa 1e" <(line_bytes "<") || fail "no status frame from the amplifier"
    sleep 2 # a few frames drawn
    local window
    window="$(xdotool search --name '^KALDOR Console Rel' | head -1)"
    # No window manager: focus the window, then type as the keyboard does (Wine ignores keys
    # sent to a window as events).
    xdotool windowfocus "$window" 2>/dev/null || true
    sleep 0.5
    xdotool key alt+o
    wait_for 30 grep -q "55 55 55 02 10 1c 2c" <(line_bytes ">") ||
        fail "the OPERATE shortcut (Alt+O) sent no OPERATE frame"
    sleep 2
    import -window root "$shot"
    echo "   screenshot: $shot"
}
stop_console() {
    "$loader" taskkill /f /im kaldor-console.exe >/dev/null 2>&1 || true
    if [[ -n "$console_pid" ]]; then
        wait "$console_pid" 2>/dev/null || true
    fi
    console_pid=""
    cleanup_line # socat
    cleanup_line # kaldor-sim
}
echo "== $label: kaldor-console.exe on COM1, linked to $sim"
run_console "$out/kaldor-console.exe" "$out/wine-console.png"

# 3. A second start: the first comes forward with its message box (the box's title is the
# caption alone), and the second ends once the box is answered.
if [[ -n "$console_pid" ]]; then
    "$loader" "$out/kaldor-console.exe" >"$wine_dir/second.log" 2>&1 &
    second=$!
    if wait_for 30 shown '^KALDOR Console$'; then
        xdotool windowfocus "$(xdotool search --name '^KALDOR Console$' | head -1)" 2>/dev/null || true
        sleep 0.5
        xdotool key Return
        wait_for 20 eval '! kill -0 $second 2>/dev/null' || fail "a second start did not end once answered"
        ! shown '^KALDOR Console$' || fail "the message box stayed after Enter"
    else
        fail "the running console showed no message at a second start"
    fi
    kill "$second" 2>/dev/null || true
fi
stop_console

# 2b. A port past COM9: COM12 mapped to the line and assigned to COM1, as Devices... stores it;
# the console links up through it.
"$loader" reg add 'HKLM\Software\Wine\Ports' /v COM12 /d "$wine_dir/com1" /f >/dev/null
"$loader" reg add "$user_key" /v ComDevice1 /d COM12 /f >/dev/null
start_wine_server
echo "== $label: COM1 assigned to COM12"
run_console "$out/kaldor-console.exe" "$out/wine-com12.png"
stop_console
"$loader" reg delete "$user_key" /v ComDevice1 /f >/dev/null 2>&1 || true
"$loader" reg delete 'HKLM\Software\Wine\Ports' /v COM12 /f >/dev/null 2>&1 || true
start_wine_server

# 2c. A prompt exit: from Yes to "Do you really want to terminate this application?" to the
# process's end, measured from outside, on the line to the simulator. This display has no window
# manager, and Wine's X11 driver waits up to 2 s for one to withdraw each window hidden (the box,
# then the window) before it goes on: Wine's own wait, measured first and only shown. Windows not
# left to a window manager ("Managed" off) are hidden at once, as under a window manager; that
# exit is the console's own, and is held to 500 ms.
exit_time() { # exit_time SHOT: sets exit_ms, or fails
    exit_ms=""
    run_console "$out/kaldor-console.exe" "$1"
    [[ -n "$console_pid" ]] || return 0
    xdotool windowfocus "$(xdotool search --name '^KALDOR Console Rel' | head -1)" 2>/dev/null || true
    sleep 0.5
    xdotool key alt+F4
    if wait_for 10 shown '^KALDOR Console$'; then
        xdotool windowfocus "$(xdotool search --name '^KALDOR Console$' | head -1)" 2>/dev/null || true
        sleep 0.5
        local answered ended
        answered=$(date +%s%N)
        xdotool key alt+y
        for _ in $(seq 1000); do # 20 s at most, to the 20 ms
            kill -0 "$console_pid" 2>/dev/null || break
            sleep 0.02
        done
        ended=$(date +%s%N)
        exit_ms=$(((ended - answered) / 1000000))
    else
        fail "closing the window asked nothing"
    fi
    stop_console
}
x11_key='HKCU\Software\Wine\X11 Driver'
echo "== $label: the exit's time"
exit_time "$out/wine-exit-waiting.png"
[[ -n "$exit_ms" ]] && echo "   from Yes to the end, Wine waiting for a window manager: $exit_ms ms"
"$loader" reg add "$x11_key" /v Managed /d N /f >/dev/null
start_wine_server
exit_time "$out/wine-exit.png"
if [[ -n "$exit_ms" ]]; then
    echo "   from Yes to the end: $exit_ms ms"
    ((exit_ms <= 500)) || fail "the exit took $exit_ms ms after Yes (at most 500)"
fi
"$loader" reg delete "$x11_key" /v Managed /f >/dev/null 2>&1 || true
start_wine_server

# 4. The installer, as a user would run it, silently.
setup="$(ls "$out"/kaldor-console-setup-*.exe 2>/dev/null | head -1)"
installed="$WINEPREFIX/drive_c/Program Files/KALDOR Console"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KALDOR Console"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KaldorConsole'
if [[ -z "$setup" ]]; then
    fail "no installer was built"
else
    echo "== $label: $(basename "$setup") /S"
    "$loader" "$setup" /S || fail "the installer failed"
    for file in kaldor-console.exe kaldor-sim.exe uninstall.exe NOTICE.txt source/openssl-LICENSE.txt; do
        [[ -f "$installed/$file" ]] || fail "the installer left out $file"
    done
    # The console's source as installed has every folder and file of the tree (a folder left out
    # of the list in packaging/windows/ makes a source that does not build).
    left_out="$(comm -23 <(git -C "$top" ls-files | cut -d/ -f1 | grep -v '^\.' | sort -u) \
        <(cmake -E tar tf "$installed/source/kaldor-console-"*"-source.zip" | cut -d/ -f1 | sort -u) | tr '\n' ' ')"
    [[ -z "$left_out" ]] || fail "the installed source lacks $left_out"
    for link in "KALDOR Console.lnk" "KALDOR Console (simulated amplifier).lnk"; do
        [[ -f "$menu/$link" ]] || fail "no Start-menu entry $link"
    done
    "$loader" reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 ||
        fail "no Add/Remove Programs entry"
    run_console "$installed/kaldor-console.exe" "$out/wine-installed.png"
    stop_console
    "$loader" "$installed/uninstall.exe" /S || fail "the uninstaller failed"
    # The uninstaller runs on from a copy of itself in the temporary folder.
    wait_for 30 test ! -e "$installed" || fail "uninstalling left $installed"
    [[ ! -e "$menu" ]] || fail "uninstalling left the Start-menu folder"
    ! "$loader" reg query "$uninstall_key" >/dev/null 2>&1 || fail "uninstalling left the Add/Remove Programs entry"
    "$loader" reg query 'HKCU\Software\OLV\Kaldor_Console' /v DefaultComPort >/dev/null 2>&1 ||
        fail "uninstalling removed the user's settings"
fi

# 5. The programs' resources: the icon (16 to 256 px) and the version information, read from the
# files as Windows' shell reads them; and kaldor-console.com, which passes the console's output
# and exit code to the prompt.
check_resources() {
    command -v wrestool >/dev/null || { fail "wrestool is missing (icoutils)"; return; }
    local exe version ico="$wine_dir/icon.ico"
    version="$(sed -n 's/^project(KaldorConsole VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")"
    for exe in kaldor-console.exe kaldor-sim.exe kaldor-console.com; do
        wrestool -x -t 14 "$out/$exe" >"$ico" 2>/dev/null
        local sizes
        sizes="$(icotool -l "$ico" 2>/dev/null | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')"
        [[ "$sizes" == "16 24 32 48 64 128 256 " ]] || fail "$exe: icon sizes '${sizes}', not 16 to 256"
        local info
        info="$(wrestool -x -R -t 16 "$out/$exe" 2>/dev/null | tr -d '\0')"
        for want in "CompanyName" "OLV" "ProductName" "KALDOR Console" "ProductVersion" "$version" \
            "GPL-3.0-or-later"; do
            [[ "$info" == *"$want"* ]] || fail "$exe: no '$want' in its version information"
        done
        # The manifest, read back: never elevated on its own, Windows 10 and 11, long paths.
        local manifest
        manifest="$(wrestool -x -R -t 24 "$out/$exe" 2>/dev/null | tr -d '\0')"
        for want in 'level="asInvoker"' '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' '<longPathAware' ; do
            [[ "$manifest" == *"$want"* ]] || fail "$exe: no '$want' in its manifest"
        done
        [[ "$manifest" != *dpiAware* ]] || fail "$exe: its manifest takes the DPI awareness from Qt"
    done
    # The finish page starts the console through the shell, as the user, not elevated.
    local finish
    finish="$(makensis -PPO -DVERSION=0 "$top/packaging/windows/kaldor-console.nsi" 2>/dev/null | grep '^Exec .*kaldor-console.exe')"
    [[ "$finish" == *'$WINDIR\explorer.exe'* ]] ||
        fail "the finish page does not start the console through explorer.exe: $finish"
    echo "   manifest: asInvoker, Windows 10 and 11, long paths; finish page: $(echo "$finish" | tr -s ' \n' ' ')"
    local text code=0
    text="$("$loader" "$out/kaldor-console.com" --version 2>&1)" || code=$?
    [[ $code -eq 0 && "$text" == *"KALDOR Console $version"*"License GPL-3.0-or-later"* ]] ||
        fail "kaldor-console.com --version: exit $code, '$text'"
    code=0
    text="$("$loader" "$out/kaldor-console.com" --no-such-option 2>&1)" || code=$?
    [[ $code -eq 2 && "$text" == *"'no-such-option'"* ]] ||
        fail "kaldor-console.com --no-such-option: exit $code (not 2), '$text'"
    echo "   resources: icon 16 to 256 px and version $version in the exes; kaldor-console.com passes output and exit code"
}

# 6. The installer and uninstaller refuse while a console runs (it holds "OneInstanceAllowed"):
# silently they end at once with an error and change nothing. The install goes to a folder
# without blanks, so the uninstaller can run in place (_?=) and end with its own exit code, not
# that of the copy it starts in %TEMP%.
check_refusal() {
    local folder='C:\KaldorRefusal' here="$WINEPREFIX/drive_c/KaldorRefusal"
    echo "== $label: installing and uninstalling while a console or the station runs"
    "$loader" "$setup" /S "/D=$folder" || { fail "the installer failed"; return; }
    "$loader" "$here/kaldor-console.exe" --simulate >"$wine_dir/refusal.log" 2>&1 &
    local running=$!
    if wait_for 60 shown '^KALDOR Console Rel'; then
        local stamp
        stamp="$(stat -c %Y "$here/kaldor-console.exe")"
        ! "$loader" "$setup" /S "/D=$folder" || fail "the installer ran on while a console ran"
        [[ "$(stat -c %Y "$here/kaldor-console.exe")" == "$stamp" ]] || fail "the refused installer wrote files"
        ! "$loader" "$here/uninstall.exe" /S "_?=$folder" || fail "the uninstaller ran on while a console ran"
        [[ -f "$here/kaldor-console.exe" ]] || fail "the refused uninstaller removed the console"
    else
        fail "no console window for the refusal check"
    fi
    "$loader" taskkill /f /im kaldor-console.exe >/dev/null 2>&1 || true
    wait "$running" 2>/dev/null || true
    # The station too: a running program cannot be replaced. Its device may come later.
    "$loader" "$here/kaldor-station.exe" --device COM9 --plain 127.0.0.1:0 >"$wine_dir/refusal-station.out" 2>&1 &
    running=$!
    if wait_for 30 grep -q '^rfc2217://' "$wine_dir/refusal-station.out"; then
        ! "$loader" "$setup" /S "/D=$folder" || fail "the installer ran on while kaldor-station ran"
    else
        fail "kaldor-station did not start for the refusal check"
    fi
    "$loader" taskkill /f /im kaldor-station.exe >/dev/null 2>&1 || true
    wait "$running" 2>/dev/null || true
    "$loader" "$here/uninstall.exe" /S || fail "the uninstaller failed once the console ended"
    wait_for 30 test ! -e "$here" || fail "uninstalling left $here"
}

# 7. An upgrade: an older installer (the same files packed as version 0.0.1) into a folder of the
# user's choice, then this one over it, silently and without a folder: it takes the earlier one.
# One Add/Remove entry with the newer version, the settings kept, and after the uninstall no
# program file and no Start-menu entry.
check_upgrade() {
    local stage="$out/packaging/windows/stage" older="$wine_dir/kaldor-console-setup-0.0.1.exe" version
    local here="$WINEPREFIX/drive_c/KaldorConsole"
    version="$(sed -n 's/^project(KaldorConsole VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")"
    echo "== $label: upgrade from 0.0.1 to $version"
    makensis -V2 -DVERSION=0.0.1 -DCONSOLE="$stage/kaldor-console.exe" -DCOM="$stage/kaldor-console.com" \
        -DSIM="$stage/kaldor-sim.exe" -DSTATION="$stage/kaldor-station.exe" -DNOTICE="$stage/NOTICE.txt" \
        -DSOURCE="$stage/source.zip" \
        -DOUTFILE="$older" "$top/packaging/windows/kaldor-console.nsi" >/dev/null || { fail "no older installer"; return; }
    "$loader" "$older" /S '/D=C:\KaldorConsole' || fail "the older installer failed"
    [[ -f "$here/source/kaldor-console-0.0.1-source.zip" ]] || fail "the older install has no source"
    "$loader" reg add 'HKCU\Software\OLV\Kaldor_Console' /v DefaultStartupDelay /t REG_DWORD /d 7300 /f >/dev/null
    "$loader" "$setup" /S || fail "the newer installer failed over the older"
    [[ ! -e "$installed" ]] || fail "the newer install went to $installed, not to the earlier folder"
    local entries values
    entries="$("$loader" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
        grep -cE 'DisplayName +REG_SZ +KALDOR Console' || true)"
    ((entries == 1)) || fail "$entries Add/Remove entries after the upgrade, not one"
    values="$("$loader" reg query "$uninstall_key" 2>/dev/null | tr -d '\r')"
    echo "   Add/Remove after the upgrade:"
    grep -E 'REG_' <<<"$values" | sed 's/^ */     /'
    grep -qE "DisplayVersion +REG_SZ +$version\$" <<<"$values" || fail "DisplayVersion is not $version"
    grep -qE 'InstallLocation +REG_SZ +C:\\KaldorConsole$' <<<"$values" || fail "InstallLocation is not the earlier folder"
    grep -qE "EstimatedSize +REG_DWORD +0x[1-9a-f]" <<<"$values" || fail "no EstimatedSize"
    [[ ! -e "$here/source/kaldor-console-0.0.1-source.zip" ]] || fail "the older source stayed"
    [[ -f "$here/source/kaldor-console-$version-source.zip" ]] || fail "no source of $version"
    "$loader" reg query 'HKCU\Software\OLV\Kaldor_Console' /v DefaultStartupDelay 2>/dev/null | grep -q 0x1c84 ||
        fail "the upgrade lost the settings"
    "$loader" "$here/uninstall.exe" /S || fail "the uninstaller failed"
    wait_for 30 test ! -e "$here" || fail "uninstalling the upgrade left $(find "$here" -type f | head -3)"
    [[ ! -e "$menu" ]] || fail "uninstalling the upgrade left the Start-menu folder"
    "$loader" reg delete 'HKCU\Software\OLV\Kaldor_Console' /v DefaultStartupDelay /f >/dev/null 2>&1 || true
}
check_resources
if [[ -n "$setup" ]]; then
    check_refusal
    check_upgrade
fi
((status == 0)) && echo "== $label: passed"
exit "$status"
