#!/usr/bin/env python3
"""Start-up time of the console with a large settings file.

    bench/startup_settings.py BUILD/kaldor-console [MEGABYTES]

Writes a settings file of the given size (10 MB by default: the console's own values and
many foreign ones), starts the console on a pseudo-terminal as COM1 and prints the time from
the start until the link request reaches the line, then ends the console.
"""
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time

LINK_REQUEST = bytes([0x55, 0x55, 0x55, 0x01, 0x80, 0x80])


def write_settings(path, megabytes):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write("[General]\nDefaultComPort=1\nApplicationTop=40\nApplicationLeft=40\n"
                "ApplicationHeight=450\nApplicationWidth=800\n")
        line = "x" * 90
        n = 0
        while f.tell() < megabytes * 1024 * 1024:
            f.write("Foreign%07d=%s\n" % (n, line))
            n += 1


def main():
    console = os.path.abspath(sys.argv[1])
    megabytes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    with tempfile.TemporaryDirectory() as home:
        write_settings(os.path.join(home, "OLV", "Kaldor_Console.conf"), megabytes)
        master, slave = pty.openpty()
        env = dict(os.environ, XDG_CONFIG_HOME=home, XDG_RUNTIME_DIR=home,
                   QT_QPA_PLATFORM="offscreen", KALDOR_COM1=os.ttyname(slave))
        for n in range(2, 7):
            env["KALDOR_COM%d" % n] = "/nonexistent/kaldor%d" % n
        start = time.monotonic()
        proc = subprocess.Popen([console], env=env, stderr=subprocess.DEVNULL)
        seen = b""
        deadline = start + 120
        while LINK_REQUEST not in seen and time.monotonic() < deadline:
            if select.select([master], [], [], 0.5)[0]:
                seen += os.read(master, 64)
        elapsed = time.monotonic() - start
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        if LINK_REQUEST in seen:
            print("%.1f MB settings: link request after %.2f s" % (megabytes, elapsed))
        else:
            print("%.1f MB settings: no link request within 120 s" % megabytes)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
