#!/usr/bin/env bash
# Times full-frame rendering and layout of a window-sized widget tree at
# 100 % and 200 %, headless, in a Release build, and renders the demo page
# and the page of every control in the three themes next to the build.
# Usage: bench/widget/run.sh [build-dir] [frames]   (default: build-bench, 200 frames)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
FRAMES="${2:-200}"

bench_build "$BUILD" widget_bench widget_shots

"$BUILD/bench/widget/widget_bench" "$FRAMES"
"$BUILD/bench/widget/widget_shots" "$BUILD/bench/widget/shots" 1
