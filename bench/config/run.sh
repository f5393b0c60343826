#!/usr/bin/env bash
# Times VerifyPassword (PBKDF2-HMAC-SHA256, 600000 iterations, 16-byte salt,
# 32-byte key) against the same derivation by the openssl command and by
# Python's hashlib, in one run, and prints the ratios.
# Usage: bench/config/run.sh [build-dir] [rounds]   (default: build-bench, 5 rounds)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
ROUNDS="${2:-5}"

bench_build "$BUILD" password_bench

ours=$("$BUILD/bench/config/password_bench" "$ROUNDS")

salt=00112233445566778899aabbccddeeff
start=$(date +%s%N)
for _ in $(seq "$ROUNDS"); do
    openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:"correct horse battery staple" \
        -kdfopt hexsalt:$salt -kdfopt iter:600000 PBKDF2 >/dev/null
done
end=$(date +%s%N)
openssl_ms=$(awk -v ns=$((end - start)) -v n="$ROUNDS" 'BEGIN { printf "%.1f", ns / n / 1e6 }')

python_ms=$(python3 - "$ROUNDS" "$salt" <<'PY'
import hashlib, sys, time
rounds, salt = int(sys.argv[1]), bytes.fromhex(sys.argv[2])
start = time.perf_counter()
for _ in range(rounds):
    hashlib.pbkdf2_hmac("sha256", b"correct horse battery staple", salt, 600000, 32)
print(f"{(time.perf_counter() - start) / rounds * 1000:.1f}")
PY
)

echo "== VerifyPassword, PBKDF2-HMAC-SHA256 x 600000, $ROUNDS rounds each =="
printf '%-34s %8s ms\n' "VerifyPassword" "$ours"
printf '%-34s %8s ms   ratio ours/peer %s\n' "openssl kdf (incl. process start)" "$openssl_ms" \
    "$(awk -v a="$ours" -v b="$openssl_ms" 'BEGIN { printf "%.2f", a / b }')"
printf '%-34s %8s ms   ratio ours/peer %s\n' "python3 hashlib.pbkdf2_hmac" "$python_ms" \
    "$(awk -v a="$ours" -v b="$python_ms" 'BEGIN { printf "%.2f", a / b }')"
