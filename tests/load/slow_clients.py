#!/usr/bin/env python3
"""Slow clients from many addresses against the real program.

Starts `veltocorvane --headless` on a folder, then for each attack shape and
each group size opens 16 connections from every address of the group
(127.1.<n>.1: the whole 127/8 is loopback) that do the slow thing, while an
ordinary visitor on another address downloads a small file once every 100 ms.
The visitor must get at least 95% of its answers within 1 s, and a download
read at a phone's 20 KiB/s, running through all of it, must complete intact.

Shapes:
  body    a request body trickled a byte every 10 s (POST /api/login)
  reader  a large download read through a tiny window, a few bytes at a time
  head    a request head trickled a header line every 10 s, reconnecting
          whenever the server drops it

Run as root it moves itself into a network namespace of its own; otherwise it
uses the machine's loopback. Exit status 0 when every goal holds.
"""

import argparse
import asyncio
import hashlib
import json
import os
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse

PER_ADDRESS = 16
VISITOR = "127.0.0.99"
PHONE = "127.0.0.98"
PHONE_RATE = 20 * 1024
SMALL_BYTES = 64 * 1024
BIG_BYTES = 64 * 1024 * 1024


def attacker_address(group_index):
    return "127.1.%d.%d" % (group_index // 250, group_index % 250 + 1)


# The port is chosen at connect, for this destination only: a bind that picks
# it searches every port of the address, slow once thousands sit in TIME_WAIT.
IP_BIND_ADDRESS_NO_PORT = getattr(socket, "IP_BIND_ADDRESS_NO_PORT", 24)


def socket_from(address):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, 1)
    sock.bind((address, 0))
    return sock


async def open_from(address, port, receive_buffer=None):
    sock = socket_from(address)
    if receive_buffer:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    sock.setblocking(False)
    await asyncio.get_running_loop().sock_connect(sock, ("127.0.0.1", port))
    return sock


async def slow_connection(address, port, stop, opening, step, receive_buffer=None):
    """Keeps one slow connection from `address` going until `stop`: sends
    `opening`, then runs `step` while it returns true, and connects again
    whenever the server drops it."""
    loop = asyncio.get_running_loop()
    while not stop.is_set():
        sock = None
        try:
            sock = await open_from(address, port, receive_buffer)
            await loop.sock_sendall(sock, opening)
            while not stop.is_set() and await step(loop, sock):
                pass
        except (OSError, asyncio.TimeoutError):
            pass
        finally:
            if sock:
                sock.close()
        await asyncio.sleep(0.2)


def trickle(piece, every):
    """A step that sends `piece` once every `every` seconds."""
    async def step(loop, sock):
        await asyncio.sleep(every)
        await loop.sock_sendall(sock, piece)
        return True
    return step


async def read_slowly(loop, sock):
    """A step that reads 16 bytes every 2 s; false once the server has closed."""
    await asyncio.sleep(2)
    return bool(await asyncio.wait_for(loop.sock_recv(sock, 16), 5))


def slow_body(address, port, stop):
    return slow_connection(address, port, stop, (
        b"POST /api/login HTTP/1.1\r\nHost: t\r\nX-VeltoCorvane: 1\r\n"
        b"Content-Type: application/json\r\nContent-Length: 100000\r\n\r\n{"),
        trickle(b" ", 10))


def slow_reader(address, port, path, stop):
    return slow_connection(address, port, stop,
                           b"GET " + path.encode() + b" HTTP/1.1\r\nHost: t\r\n\r\n",
                           read_slowly, receive_buffer=1024)


def slow_head(address, port, stop):
    return slow_connection(address, port, stop, b"GET / HTTP/1.1\r\nHost: t\r\n",
                           trickle(b"X-Slow: 1\r\n", 10))


def fetch(address, port, path, rate=None, timeout=120):
    """One GET on a new connection; the body, or None on any failure."""
    sock = socket_from(address)
    sock.settimeout(timeout)
    try:
        sock.connect(("127.0.0.1", port))
        sock.sendall(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n")
        data = bytearray()
        start = time.monotonic()
        while True:
            piece = sock.recv(4096 if rate else 65536)
            if not piece:
                break
            data += piece
            if rate:
                ahead = len(data) / rate - (time.monotonic() - start)
                if ahead > 0:
                    time.sleep(ahead)
        head, _, body = bytes(data).partition(b"\r\n\r\n")
        if not head.startswith(b"HTTP/1.1 200"):
            return None
        return body
    except OSError:
        return None
    finally:
        sock.close()


async def visitor(port, path, seconds, expected):
    latencies = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        start = time.monotonic()
        body = await asyncio.to_thread(fetch, VISITOR, port, path, None, 5)
        elapsed = time.monotonic() - start
        latencies.append(elapsed if body == expected else float("inf"))
        if os.environ.get("VELTO_LOAD_DEBUG") and (body != expected or elapsed > 1.0):
            print("  slow visitor request: %.2f s, %s" % (elapsed, "ok" if body == expected else "failed"), flush=True)
        await asyncio.sleep(max(0.0, 0.1 - elapsed))
    return latencies


async def scenario(shape, addresses, port, paths, small, seconds, warmup):
    stop = asyncio.Event()
    tasks = []
    for group_index in range(addresses):
        address = attacker_address(group_index)
        for _ in range(PER_ADDRESS):
            if shape == "body":
                tasks.append(asyncio.create_task(slow_body(address, port, stop)))
            elif shape == "reader":
                tasks.append(asyncio.create_task(slow_reader(address, port, paths["big"], stop)))
            else:
                tasks.append(asyncio.create_task(slow_head(address, port, stop)))
    await asyncio.sleep(warmup)
    latencies = await visitor(port, paths["small"], seconds, small)
    stop.set()
    for task in tasks:
        task.cancel()
    await asyncio.gather(*tasks, return_exceptions=True)
    return latencies


def wait_for_port(port, limit=20.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        try:
            socket.create_connection(("127.0.0.1", port), 0.5).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def share_paths(port):
    body = fetch("127.0.0.1", port, "/api/shares")
    shares = json.loads(body)["shares"]
    name = urllib.parse.quote(shares[0]["name"])
    return {key: "/files/%s/%s.bin" % (name, key) for key in ("small", "big", "phone")}


async def run_all(args, port, small, phone_expected_sha):
    paths = share_paths(port)
    phone = asyncio.create_task(
        asyncio.to_thread(fetch, PHONE, port, paths["phone"], PHONE_RATE, 600))
    results = []
    for shape in args.shapes:
        for addresses in args.addresses:
            latencies = await scenario(shape, addresses, port, paths, small, args.seconds,
                                       args.warmup)
            fast = sum(1 for value in latencies if value <= 1.0)
            finite = sorted(value for value in latencies if value != float("inf"))
            median = finite[len(finite) // 2] if finite else float("inf")
            results.append((shape, addresses, len(latencies), fast, median))
            print("%-7s %3d addresses x %d connections: %3d of %3d visitor requests within 1 s "
                  "(%.0f%%), median %.1f ms" % (shape, addresses, PER_ADDRESS, fast,
                                                len(latencies), 100.0 * fast / max(1, len(latencies)),
                                                median * 1000), flush=True)
    phone_body = await phone
    phone_ok = phone_body is not None and hashlib.sha256(phone_body).hexdigest() == phone_expected_sha
    print("phone download at %d KiB/s through the attacks: %s" %
          (PHONE_RATE // 1024, "complete and identical" if phone_ok else "FAILED"), flush=True)
    ok = phone_ok
    for shape, addresses, total, fast, _ in results:
        if total == 0 or fast < 0.95 * total:
            ok = False
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True)
    parser.add_argument("--shapes", nargs="+", default=["body", "reader", "head"])
    parser.add_argument("--addresses", nargs="+", type=int, default=[4, 16, 64])
    parser.add_argument("--seconds", type=float, default=8.0, help="visitor time per scenario")
    parser.add_argument("--warmup", type=float, default=3.0)
    parser.add_argument("--port", type=int, default=18931)
    parser.add_argument("--no-netns", action="store_true")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()

    if os.geteuid() == 0 and not args.no_netns and not args.inside and shutil.which("ip"):
        namespace = "velto-load-%d" % os.getpid()
        subprocess.run(["ip", "netns", "add", namespace], check=True)
        try:
            subprocess.run(["ip", "-n", namespace, "link", "set", "lo", "up"], check=True)
            command = ["ip", "netns", "exec", namespace, sys.executable, os.path.abspath(__file__),
                       "--inside"] + sys.argv[1:]
            return subprocess.run(command).returncode
        finally:
            subprocess.run(["ip", "netns", "del", namespace])

    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 65536), hard))

    folder = tempfile.mkdtemp(prefix="velto-load-")
    try:
        share = os.path.join(folder, "share")
        data = os.path.join(folder, "data")
        os.makedirs(share)
        os.makedirs(data)
        small = os.urandom(SMALL_BYTES)
        phone = os.urandom(PHONE_RATE * 45)  # about 45 s at the phone's rate
        with open(os.path.join(share, "small.bin"), "wb") as f:
            f.write(small)
        with open(os.path.join(share, "phone.bin"), "wb") as f:
            f.write(phone)
        with open(os.path.join(share, "big.bin"), "wb") as f:
            f.truncate(BIG_BYTES)
        env = dict(os.environ, VELTO_CORVANE_DATA_DIR=data, VELTO_CORVANE_LOOPBACK="1")
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        server = subprocess.Popen([args.program, "--headless", "--share", share, "--port", str(args.port)],
                                  env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if not wait_for_port(args.port):
                print("the server did not start", file=sys.stderr)
                return 1
            ok = asyncio.run(run_all(args, args.port, small, hashlib.sha256(phone).hexdigest()))
            if server.poll() is not None:
                print("the server ended during the attacks", file=sys.stderr)
                ok = False
            return 0 if ok else 1
        finally:
            server.terminate()
            try:
                server.wait(10)
            except subprocess.TimeoutExpired:
                server.kill()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
