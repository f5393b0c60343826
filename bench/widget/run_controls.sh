#!/usr/bin/env bash
# Times frames of a 1 000 000-row list view during a scripted scroll and of a
# 10 000-character text box per keystroke, headless, in a Release build.
# Usage: bench/widget/run_controls.sh [build-dir] [frames]   (default: build-bench, 600 frames)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
FRAMES="${2:-600}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" -j2 widget_controls_bench >/dev/null

"$BUILD/bench/widget/widget_controls_bench" "$FRAMES"
