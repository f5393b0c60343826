#!/usr/bin/env python3
"""Time from process start to the first byte of an HTTP answer: the headless
program (sharing a folder, UPnP off, loopback only, temporary data folder) and,
for reference, nginx serving a folder. Each is started RUNS times; the client
retries the connection every 0.2 ms until the listener takes it, sends one GET
and stops the clock at the first byte received.

    first_byte.py <veltocorvane> [runs]
"""
import json
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

RETRY_SECONDS = 0.0002
LIMIT_SECONDS = 30


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def first_byte(port, path, started):
    request = f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode()
    while time.perf_counter() - started < LIMIT_SECONDS:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=LIMIT_SECONDS) as s:
                s.sendall(request)
                if s.recv(1):
                    return time.perf_counter() - started
        except (ConnectionRefusedError, ConnectionResetError):
            time.sleep(RETRY_SECONDS)
    raise RuntimeError("no answer")


def run_ours(program, work):
    data = os.path.join(work, "data")
    share = os.path.join(work, "share")
    os.makedirs(data)
    os.makedirs(share)
    with open(os.path.join(share, "hello.txt"), "w") as f:
        f.write("hello")
    with open(os.path.join(data, "config.json"), "w") as f:
        json.dump({"server": {"upnp": False}}, f)
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": work,
           "XDG_CONFIG_HOME": work + "/config", "XDG_STATE_HOME": work + "/state",
           "XDG_DATA_HOME": work + "/xdg-data", "VELTO_CORVANE_DATA_DIR": data,
           "VELTO_CORVANE_LOOPBACK": "1"}
    port = free_port()
    started = time.perf_counter()
    proc = subprocess.Popen([program, "--headless", "--port", str(port), "--share", share],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return first_byte(port, "/files/share/hello.txt", started)
    finally:
        proc.send_signal(signal.SIGTERM)
        if proc.wait(LIMIT_SECONDS) != 0:
            raise RuntimeError("unclean stop")


def run_nginx(work):
    www = os.path.join(work, "www")
    os.makedirs(www)
    with open(os.path.join(www, "hello.txt"), "w") as f:
        f.write("hello")
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""daemon off; master_process off; worker_processes 1;
pid {work}/nginx.pid; error_log {work}/error.log; events {{}}
http {{ access_log off; server {{ listen 127.0.0.1:{port}; root {www}; }}
  client_body_temp_path {work}; proxy_temp_path {work}; fastcgi_temp_path {work};
  uwsgi_temp_path {work}; scgi_temp_path {work}; }}
""")
    started = time.perf_counter()
    proc = subprocess.Popen(["nginx", "-c", conf, "-p", work],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return first_byte(port, "/hello.txt", started)
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(LIMIT_SECONDS)


def report(name, samples):
    ms = sorted(s * 1000 for s in samples)
    print(f"{name:<28} median {statistics.median(ms):7.2f} ms   min {ms[0]:7.2f} ms   "
          f"max {ms[-1]:7.2f} ms   ({len(ms)} runs)")


def main():
    program = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    results = {"veltocorvane --headless": [], "nginx (reference)": []}
    for _ in range(runs):
        for name in results:
            work = tempfile.mkdtemp(prefix="velto-first-byte-")
            os.chmod(work, 0o755)
            try:
                if name.startswith("nginx"):
                    if shutil.which("nginx"):
                        results[name].append(run_nginx(work))
                else:
                    results[name].append(run_ours(program, work))
            finally:
                shutil.rmtree(work, ignore_errors=True)
    print("Process start to first served byte (loopback):")
    for name, samples in results.items():
        if samples:
            report(name, samples)


if __name__ == "__main__":
    main()
