#!/usr/bin/env bash
# Makes the archive the end-to-end tests drop onto Quillet: a tree of files zipped as pack.zip.
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out/src/sub/deeper"
cd "$out/src"
printf 'hello from Quillet\r\n' > hello.txt
head -c 300000 /dev/urandom > sub/random.bin
seq 1 20000 > sub/deeper/numbers.txt
: > empty.txt
zip -qr -X ../pack.zip .
