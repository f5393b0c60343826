#!/usr/bin/env bash
# Installs dependencies, builds, and runs every test label.
# Usage: scripts/test.sh [ctest arguments...]   e.g. scripts/test.sh -LE 'slow|browser'
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${VELTO_BUILD_DIR:-$ROOT/build}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVELTO_WERROR=ON ${VELTO_CMAKE_ARGS:-}
cmake --build "$BUILD"
cd "$BUILD"
exec ctest --output-on-failure "$@"
