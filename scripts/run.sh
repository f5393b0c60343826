#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it, sharing PATH (a
# folder or a file; the current folder when none is given) for this run.
# Usage: scripts/run.sh [PATH] [--port N] [--share MORE_PATH]...
# The desktop window is not part of the build yet, so the program runs without
# a window (headless) whether or not a display exists; stop it with Ctrl+C.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
# A folder of its own: the program alone, without tests and benchmarks.
BUILD="${VELTO_RUN_BUILD_DIR:-$ROOT/build-run}"

share="$PWD"
if [ "$#" -gt 0 ] && [ "${1#--}" = "$1" ]; then
    share="$1"
    shift
fi

"$ROOT/scripts/install-deps.sh" --run
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVELTO_TESTS=OFF -DVELTO_BENCH=OFF ${VELTO_CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD" --target veltocorvane
exec "$BUILD/app/veltocorvane" --headless --share "$share" "$@"
