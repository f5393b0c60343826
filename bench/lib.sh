# shellcheck shell=bash
# Shell helpers the benchmark scripts share; sourced, never run:
#   source "$(dirname "$0")/../lib.sh"
# Every helper is prefixed bench_. A script sets ROOT (the source tree) first
# when it needs bench_build or bench_start_ours.

# Fails with a hint when one of the tools is not installed.
bench_need() { # tool...
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
    done
}

# Builds targets in a Release build folder made on first use (without the
# tests), or in an existing folder as it is configured.
bench_build() { # build-dir target...
    local build="$1"
    shift
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF >/dev/null
    fi
    ninja -C "$build" -j2 "$@" >/dev/null
}

# A work folder removed on exit (kept with BENCH_KEEP set), with the
# processes started through bench_track stopped first. Sets WORK.
BENCH_PIDS=()
bench_work() { # mktemp template
    WORK="$(mktemp -d "$1")"
    trap bench_cleanup EXIT
}
bench_track() { # pid
    BENCH_PIDS+=("$1")
}
bench_cleanup() {
    local pid
    for pid in "${BENCH_PIDS[@]}"; do
        if kill "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null || true; fi
    done
    if [ -n "${BENCH_KEEP:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}

bench_free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# Waits until a URL answers (tries every 0.1 s); exits the script when it
# never does, showing the log file if one is given.
bench_wait_for() { # url [tries] [log]
    local _
    for _ in $(seq 1 "${2:-100}"); do
        curl -s -o /dev/null "$1" && return 0
        sleep 0.1
    done
    echo "no answer from $1"
    [ -z "${3:-}" ] || cat "$3"
    exit 1
}

# The program users run, headless, with a private home and data folder under
# <folder>, on loopback only. config.json there holds UPnP off and one share
# "bench" of <path> with the given guest rights (a JSON list, e.g.
# '["read"]'). Standard output and error go to <folder>/ours.out. Sets
# OURS_PID; bench_track stops it on exit. An optional JSON object of more
# server settings (e.g. '{"https": true}') joins config.json's "server", and
# BENCH_OURS_LOOPBACK=0 lets it listen on every address (only inside a
# network namespace of the benchmark's own).
bench_start_ours() { # build-dir folder port share-path guest-rights [server-settings]
    local program="$1/app/veltocorvane" home="$2" data="$2/data"
    [ -x "$program" ] || { echo "build $program first: ninja -C $1 veltocorvane"; exit 1; }
    mkdir -p "$data" "$home/config" "$home/state" "$home/xdg-data" "$home/run"
    chmod 700 "$home/run"
    python3 - "$data/config.json" "$3" "$4" "$5" "${6:-{\}}" <<'PY'
import json, sys
path, port, share, guest = sys.argv[1], int(sys.argv[2]), sys.argv[3], json.loads(sys.argv[4])
config = {"version": 1, "server": {"port": port, "upnp": False, **json.loads(sys.argv[5])},
          "shares": [{"id": "00000000000000b1", "name": "bench", "path": share,
                      "readOnly": guest == ["read"], "guest": guest}],
          "accounts": []}
with open(path, "w") as f:
    json.dump(config, f)
PY
    env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
        XDG_DATA_HOME="$home/xdg-data" XDG_RUNTIME_DIR="$home/run" VELTO_CORVANE_DATA_DIR="$data" \
        VELTO_CORVANE_LOOPBACK="${BENCH_OURS_LOOPBACK:-1}" "$program" --headless --port "$3" > "$home/ours.out" 2>&1 &
    OURS_PID=$!
    bench_track "$OURS_PID"
}

# Numbers: medians, best values, ratios and rates, printed as python prints them.
bench_median() { python3 -c "import statistics, sys; print(statistics.median(float(x) for x in sys.argv[1:]))" "$@"; }
bench_best() { # max|min value...
    python3 -c "import sys; v=[float(x) for x in sys.argv[2:]]; print(max(v) if sys.argv[1]=='max' else min(v))" "$@"
}
bench_ratio() { python3 -c "print(round($1 / $2, 2))"; }
bench_now() { date +%s.%N; }
bench_mbps() { # bytes seconds
    python3 -c "print(round($1 / $2 / 1e6, 1))"
}
bench_load() { cut -d' ' -f1-3 /proc/loadavg; }
