#!/bin/sh
# delay_import.sh <nm> <dlltool> <import library> <dll name> <output library>
# Makes a delay-loading import library with the exports of an ordinary one: the DLL is then
# loaded on first call, by which time the program has restricted DLL search to System32.
set -eu
nm=$1 dlltool=$2 import=$3 dll=$4 output=$5
def=${output%.a}.def
# i686 names carry the stdcall decoration (_Name@N), which --kill-at strips from the DLL's
# names; x86_64 has one calling convention and undecorated names.
symbols=$(LC_ALL=C "$nm" -g "$import")
if echo "$symbols" | grep -q ' T _[A-Za-z0-9_]*@[0-9]*$'; then
  exports=$(echo "$symbols" | sed -n 's/^[0-9a-f]* T _\([A-Za-z_][A-Za-z0-9_]*@[0-9]*\)$/\1/p')
  kill_at=--kill-at
else
  exports=$(echo "$symbols" | sed -n 's/^[0-9a-f]* T \([A-Za-z_][A-Za-z0-9_]*\)$/\1/p')
  kill_at=
fi
[ -n "$exports" ] || { echo "delay_import.sh: no exports found in $import" >&2; exit 1; }
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  echo "$exports" | LC_ALL=C sort -u
} > "$def"
"$dlltool" $kill_at --input-def "$def" --output-delaylib "$output" --dllname "$dll"
