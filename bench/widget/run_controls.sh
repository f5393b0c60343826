#!/usr/bin/env bash
# Times frames of a 1 000 000-row list view during a scripted scroll and of a
# 10 000-character text box per keystroke, headless, in a Release build.
# Usage: bench/widget/run_controls.sh [build-dir] [frames]   (default: build-bench, 600 frames)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
FRAMES="${2:-600}"

bench_build "$BUILD" widget_controls_bench

"$BUILD/bench/widget/widget_controls_bench" "$FRAMES"
