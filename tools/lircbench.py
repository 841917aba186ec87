#!/usr/bin/env python3
"""A LIRC server for tools/bench.sh, on 127.0.0.1:PORT, that the program under test connects to.

  lircbench.py send PORT PRESSES GAP_MS   accepts one client, then sends PRESSES button lines
                                          (KEY_PLAY of the remote BENCH, each a new press), GAP_MS
                                          apart; prints "key KEY_PLAY at T" for each line, T the
                                          moment after the line was handed to the socket in
                                          microseconds of CLOCK_MONOTONIC_RAW (Wine's
                                          QueryPerformanceCounter, which the key sink logs with)
  lircbench.py restart PORT AWAY...       accepts one client, then for each AWAY (seconds) closes
                                          the connection and the listener (a server that
                                          restarts), listens again after AWAY seconds and prints
                                          "restart AWAY MS": the ms from listening to the client's
                                          connection
Both give up after 60 s without a client.
"""
import socket
import sys
import time


def now_us():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1e6


def listen(port):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(4)
    s.settimeout(60)
    return s


def main():
    mode, port = sys.argv[1], int(sys.argv[2])
    server = listen(port)
    client, _ = server.accept()
    if mode == "send":
        presses, gap = int(sys.argv[3]), float(sys.argv[4]) / 1000
        time.sleep(1)  # the client's first read is posted
        for _ in range(presses):
            client.sendall(b"0000000020df10ef 00 KEY_PLAY BENCH\n")
            print("key KEY_PLAY at %.0f" % now_us(), flush=True)
            time.sleep(gap)
        time.sleep(1)
    else:
        for away in sys.argv[3:]:
            client.close()
            server.close()
            time.sleep(float(away))
            server = listen(port)
            up = time.monotonic()
            client, _ = server.accept()
            print("restart %s %.0f" % (away, (time.monotonic() - up) * 1000), flush=True)
            time.sleep(0.5)
    client.close()
    server.close()


if __name__ == "__main__":
    main()
