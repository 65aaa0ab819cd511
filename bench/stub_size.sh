#!/usr/bin/env bash
# Prints the size of the self-extractor stub (kzsfx.exe) against its goal and what each library
# contributes to it, from a linker map of the very same link. Usage: bench/stub_size.sh [build dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/mingw}" && pwd)
goal=680960

stub=$(find "$build" -path '*/stub/*' -name kzsfx.exe -type f -not -path '*/CMakeFiles/*' | sort | head -n 1)
[ -n "$stub" ] || { echo "stub_size: no kzsfx.exe under $build (build the kzsfx target first)" >&2; exit 1; }
size=$(stat -c %s "$stub")
echo "kzsfx.exe: $size bytes; goal: well under $goal bytes; $((size * 100 / goal))% of it used," \
  "$((goal - size)) bytes to spare"

# Relink with a map into a scratch folder: same command, only the output and the map differ.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
link=$(ninja -C "$build" -t commands kzsfx | tail -n 1)
out=$(realpath --relative-to="$build" "$stub")
link=${link/ -o $out / -o $scratch/kzsfx.exe -Wl,-Map=$scratch/kzsfx.map }
(cd "$build" && eval "$link") >/dev/null
relinked=$(stat -c %s "$scratch/kzsfx.exe")
[ "$relinked" -eq "$size" ] || echo "note: the relinked stub has $relinked bytes, not $size"

echo
echo "Sections (bytes):"
LC_ALL=C i686-w64-mingw32-objdump -h "$stub" | while read -r index name size _; do
  if [[ $index =~ ^[0-9]+$ ]]; then printf '  %-8s %8d\n' "$name" "$((16#$size))"; fi
done

python3 - "$scratch/kzsfx.map" <<'PY'
import collections, re, sys

text = open(sys.argv[1], errors="replace").read()
body = text[text.find("Linker script and memory map"):]
by_library = collections.Counter()
by_object = collections.Counter()
entry = re.compile(r"^ (\.[^\s]+)\s*\n?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)$", re.M)
for section, size, origin in entry.findall(body):
    if section.startswith((".debug", ".stab", ".bss")) or section == ".tbss":
        continue
    size = int(size, 16)
    library = origin.split("(")[0].rsplit("/", 1)[-1]
    if "(" not in origin:
        library = "objects of the stub itself" if "kzsfx" in origin or "stub" in origin else library
    by_library[library] += size
    member = re.sub(r".*\(|\)$", "", origin) if "(" in origin else origin.rsplit("/", 1)[-1]
    by_object[f"{library}: {member}"] += size

total = sum(by_library.values())
print(f"\nContributed bytes by library (code, data, unwind tables; {total} in all):")
for name, size in by_library.most_common():
    if size >= 256:
        print(f"  {size:8d}  {100 * size / total:5.1f}%  {name}")
# What the stub's build keeps out on purpose; a change that brings one back shows here.
print("\nRuntime parts kept out of the stub:")
for label, marker in (("C++ exceptions (throw, personality)", "eh_personality.o"),
                      ("DWARF unwinder", "unwind-dw2"),
                      ("winpthread", "libpthread.a("),
                      ("std::string instantiations of libstdc++", "string-inst.o"),
                      ("MinGW's C99 printf", "mingw_pformat.o")):
    print(f"  {label:40s} {'LINKED' if marker in text else 'absent'}")
print("\nLargest objects:")
for name, size in by_object.most_common(20):
    print(f"  {size:8d}  {name}")
PY

echo
sfx=/usr/lib/p7zip/7zCon.sfx
if [ -f "$sfx" ]; then
  echo "For comparison: $sfx, $(stat -c %s "$sfx") bytes ($(LC_ALL=C file -b "$sfx" | cut -d, -f1-2));"
  echo "Debian ships no Windows 7z.sfx, so there is no like-for-like 7-Zip stub to compare with."
else
  echo "No 7-Zip SFX module installed (Debian's p7zip ships no Windows 7z.sfx)."
fi
