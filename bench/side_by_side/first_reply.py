#!/usr/bin/env python3
"""Time from process start to the first byte of an HTTP reply, for several
servers started in turn, round after round; prints one line per server:
name, then the median in ms, then the single samples.

    first_reply.py <runs> <name> <url> <command...> -- <name> <url> <command...> ...

Each command is started as given, the client retries its connection every
0.2 ms until the listener takes it, sends one GET of the URL and stops the
clock at the first byte received; then the server gets SIGTERM and must end.
"""
import signal
import socket
import statistics
import subprocess
import sys
import time
import urllib.parse

RETRY_SECONDS = 0.0002
LIMIT_SECONDS = 30


def first_byte(url, started):
    parts = urllib.parse.urlsplit(url)
    path = parts.path + ("?" + parts.query if parts.query else "")
    request = (f"GET {path} HTTP/1.1\r\nHost: {parts.hostname}\r\n"
               "Connection: close\r\n\r\n").encode()
    while time.perf_counter() - started < LIMIT_SECONDS:
        try:
            with socket.create_connection((parts.hostname, parts.port), timeout=LIMIT_SECONDS) as s:
                s.sendall(request)
                if s.recv(1):
                    return time.perf_counter() - started
        except (ConnectionRefusedError, ConnectionResetError):
            time.sleep(RETRY_SECONDS)
    raise RuntimeError("no answer from " + url)


def once(url, command):
    started = time.perf_counter()
    proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return first_byte(url, started)
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(LIMIT_SECONDS)


def main():
    runs = int(sys.argv[1])
    servers = []
    current = []
    for argument in sys.argv[2:] + ["--"]:
        if argument == "--":
            if current:
                servers.append((current[0], current[1], current[2:]))
            current = []
        else:
            current.append(argument)
    samples = {name: [] for name, _, _ in servers}
    for name, url, command in servers:
        once(url, command)  # first start: creates what later starts find
    for _ in range(runs):
        for name, url, command in servers:
            samples[name].append(once(url, command) * 1000)
    for name, _, _ in servers:
        values = " ".join(f"{v:.1f}" for v in samples[name])
        print(f"{name} {statistics.median(samples[name]):.1f} {values}")


if __name__ == "__main__":
    main()
