#!/usr/bin/env bash
# The self-extractor core's speed against 7-Zip's own extractor on the same archives.
# Goal: extraction takes at most 1.5x the time of `7z x` (libarchive's decoders against
# 7-Zip's). Usage: bench/stub_core.sh BENCH_BINARY
set -euo pipefail
bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/src" <<'PY'
import os, random, sys
rnd = random.Random(5)
root = sys.argv[1]
words = [b'alpha', b'beta', b'gamma', b'delta', b'\xe4\xb8\xad\xe6\x96\x87', b'archive']
for d in range(20):
    os.makedirs(f'{root}/dir{d}', exist_ok=True)
    for f in range(20):
        with open(f'{root}/dir{d}/text{f}.txt', 'wb') as out:
            out.write(b' '.join(rnd.choice(words) for _ in range(60000)))
    with open(f'{root}/dir{d}/noise.bin', 'wb') as out:
        out.write(rnd.randbytes(2_000_000))
PY
(cd "$work/src" && zip -q -r -6 "$work/deflate.zip" . && 7z a -bd -t7z -mx=5 "$work/lzma2.7z" . >/dev/null \
  && zip -q -r -0 "$work/stored.zip" .)

seconds() { local s; s=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $s" | bc; }
printf '%-12s %10s %10s %8s\n' archive core_s 7z_s ratio
for archive in deflate.zip lzma2.7z stored.zip; do
  rm -rf "$work/out" "$work/ref"; mkdir -p "$work/out"
  core=$(seconds "$bench" "$work/$archive" "$work/out")
  ref=$(seconds 7z x -bd -y "-o$work/ref" "$work/$archive")
  diff -r "$work/out" "$work/ref" >/dev/null || echo "warning: $archive extracted differently from 7z"
  # bc's decimal point, read back whatever decimal sign the user's locale has.
  LC_ALL=C printf '%-12s %10.3f %10.3f %8.2f\n' "$archive" "$core" "$ref" "$(echo "$core / $ref" | bc -l)"
done
"$bench" -t "$work/lzma2.7z" "$work/out"
