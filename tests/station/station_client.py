#!/usr/bin/python3
# A third-party RFC 2217 client of kaldor-station (pyserial's rfc2217://), for a station that runs
# where the tests cannot reach it from inside (kaldor-station.exe under Wine): writes frames at
# the amplifier's end of the line, and checks that they reach the client and that the client's
# keys, as the holder's, reach the amplifier. Exits 0 when both do.
#   station_client.py rfc2217://127.0.0.1:PORT AMPLIFIER-DEVICE
import sys
import threading
import time

import serial

url, device = sys.argv[1], sys.argv[2]
amp = serial.Serial(device, 9600, timeout=0.2)
console = serial.serial_for_url(url, baudrate=9600, timeout=3)
frame = bytes([0xAA, 0xAA, 0x03, 0xFF, 0x10, 0x20, 0x33])  # 0xFF doubled on the Telnet line
keys = bytes([0x55, 0xFF, 0x01])
done = threading.Event()


def feed():
    while not done.is_set():
        amp.write(frame)
        time.sleep(0.05)


feeder = threading.Thread(target=feed)
feeder.start()
got = b''
deadline = time.time() + 10
while frame not in got and time.time() < deadline and len(got) < 100000:
    got += console.read(64)
console.write(keys)
back = b''
deadline = time.time() + 5
while keys not in back and time.time() < deadline:
    back += amp.read(16)
done.set()
feeder.join()
print("frames reached the client:", frame in got, "; its keys reached the amplifier:", keys in back)
sys.exit(0 if frame in got and keys in back else 1)
