#!/bin/sh
# delay_import.sh <nm> <dlltool> <import library> <dll name> <output library>
# Makes a delay-loading import library with the exports of an ordinary one: the DLL is then
# loaded on first call, by which time the stub has restricted DLL search to System32.
set -eu
nm=$1 dlltool=$2 import=$3 dll=$4 output=$5
def=${output%.a}.def
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" -g "$import" | sed -n 's/^[0-9a-f]* T _\([A-Za-z_][A-Za-z0-9_]*@[0-9]*\)$/\1/p' | sort -u
} > "$def"
"$dlltool" --kill-at --input-def "$def" --output-delaylib "$output" --dllname "$dll"
