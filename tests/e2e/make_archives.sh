#!/usr/bin/env bash
# Makes the archives the end-to-end tests drop onto Quillet: a tree of files zipped as
# pack.zip (and the same bytes as pack.kz), a file with a wrong extension, and a zip inside a
# folder whose name needs quoting on a command line.
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out/src/sub/deeper" "$out/a b&c"
cd "$out/src"
printf 'hello from Quillet\r\n' > hello.txt
head -c 300000 /dev/urandom > sub/random.bin
seq 1 20000 > sub/deeper/numbers.txt
: > empty.txt
zip -qr -X ../pack.zip .
cd "$out"
cp pack.zip pack.kz
cp pack.zip "a b&c/ar%20ch.zip"
printf 'not an archive\n' > notes.rar
cp pack.zip second.zip
