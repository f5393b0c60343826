#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
# Usage: scripts/run.sh                        the desktop window when a display
#                                              exists, else the headless server
#                                              sharing the current folder
#        scripts/run.sh [--headless] [PATH] [--port N] [--share MORE_PATH]... [--upnp]
#                                              the headless server sharing PATH
#                                              (the current folder when none is
#                                              given) for this run; stop it with
#                                              Ctrl+C
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
# A folder of its own: the program alone, without tests and benchmarks.
BUILD="${VELTO_RUN_BUILD_DIR:-$ROOT/build-run}"

headless=0
if [ "${1:-}" = "--headless" ]; then
    headless=1
    shift
fi
# Any PATH or option asks for the headless server, and so does a session
# without a display.
if [ "$#" -gt 0 ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    headless=1
fi

share="$PWD"
if [ "$#" -gt 0 ] && [ "${1#--}" = "$1" ]; then
    share="$1"
    shift
fi

"$ROOT/scripts/install-deps.sh" --run
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVELTO_TESTS=OFF -DVELTO_BENCH=OFF ${VELTO_CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD" --target veltocorvane

if [ "$headless" -eq 0 ]; then
    # The window and its tray icon; a second run shows the running one.
    exec "$BUILD/app/veltocorvane"
fi
exec "$BUILD/app/veltocorvane" --headless --share "$share" "$@"
