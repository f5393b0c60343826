#!/usr/bin/env bash
# Search by name on a tree of 200 000 files in 20 000 folders, warm cache:
# the server's /api/search against `find DIR -iname '*word*'` on the same
# tree, for a word in 1 % of the names (the whole tree is walked), a word in
# no name, and a word in every name (the search stops at its result limit);
# then the web client's time from navigation to its first result row.
# Usage: bench/search/run.sh [build-dir] [runs]   (default: build-bench, a Release build; 5)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
RUNS="${2:-5}"
FOLDERS=20000
FILES_PER_FOLDER=10

bench_need curl find python3 node
bench_build "$BUILD" veltocorvane
bench_work "${TMPDIR:-/tmp}/velto-bench-search-XXXXXX"
TREE="$WORK/tree"

echo "== search: $((FOLDERS * FILES_PER_FOLDER)) files in $FOLDERS folders (load $(bench_load)) =="
python3 - "$TREE" "$FOLDERS" "$FILES_PER_FOLDER" <<'PY'
import os, sys
tree, folders, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
words = ["사진", "photo", "Résumé", "문서", "notes", "여행", "invoice", "보고서"]
for folder in range(folders):
    # 200 groups of 100 folders, two levels deep.
    path = os.path.join(tree, f"group {folder // 100:03d}", f"{words[folder % len(words)]} {folder:05d}")
    os.makedirs(path)
    for file in range(per):
        n = folder * per + file
        # One name in a hundred holds "quarterly".
        word = "Quarterly report" if n % 100 == 7 else words[n % len(words)]
        os.close(os.open(os.path.join(path, f"{word} {n:06d}.txt"), os.O_CREAT | os.O_WRONLY, 0o600))
PY

PORT="$(bench_free_port)"
bench_start_ours "$BUILD" "$WORK/ours" "$PORT" "$TREE" '["read"]'
BASE="http://127.0.0.1:$PORT"
bench_wait_for "$BASE/api/shares" 100 "$WORK/ours/ours.out"

# Warm the cache: every folder and inode read once by each side.
find "$TREE" -iname '*warm*' > /dev/null
curl -s -o /dev/null "$BASE/api/search?share=bench&q=warm"

measure() { # word
    local word="$1" label find_times=() ours_times=() first_times=() i start end found results reply
    for i in $(seq 1 "$RUNS"); do
        start="$(bench_now)"
        found="$(find "$TREE" -iname "*$word*" | wc -l)"
        end="$(bench_now)"
        find_times+=("$(python3 -c "print(round(($end - $start) * 1000))")")

        reply="$(curl -s -o "$WORK/reply.json" -w '%{time_starttransfer} %{time_total}' \
            "$BASE/api/search?share=bench&q=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$word")")"
        first_times+=("$(python3 -c "print(round(${reply% *} * 1000))")")
        ours_times+=("$(python3 -c "print(round(${reply#* } * 1000))")")
    done
    results="$(python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); print(len(r["items"]), "truncated" if r["truncated"] else "complete")' "$WORK/reply.json")"
    # The label padded by its width on screen (a Hangul syllable takes two columns).
    label="$(python3 -c 'import sys, unicodedata; s = sys.argv[1]; w = sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in s); print(s + " " * max(0, 24 - w))' "\"$word\"")"
    printf '%s find %6s ms (%6s names)   ours %6s ms, first byte %6s ms (%s)\n' "$label" \
        "$(bench_median "${find_times[@]}")" "$found" "$(bench_median "${ours_times[@]}")" \
        "$(bench_median "${first_times[@]}")" "$results"
}

measure "quarterly"
measure "QUARTERLY report"
measure "nowhere"
measure "보고서"
measure "txt"

echo "== web client: navigation to the first result row =="
VELTO_SOURCE_DIR="$ROOT" VELTO_BINARY_DIR="$BUILD" node "$ROOT/bench/search/first_result.mjs" "$BASE" "$RUNS" quarterly 보고서
