#!/usr/bin/env bash
# The self-extractor end to end under Wine, unattended: archives made now with zip, 7z and
# Python, joined to kzsfx.exe with cat, extracted with -y -o<dir> or tested with -t.
# Usage: stub_cli_test.sh <case> <kzsfx.exe> <work folder> <command that runs a Windows program...>
set -uo pipefail
case_name=$1
stub=$(realpath "$2")
work=$3
wine_run=("${@:4}")
[ "${#wine_run[@]}" -gt 0 ] || { echo "usage: see the head of $0" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
craft="python3 $here/stub_craft.py"

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
# shellcheck source=checks.sh
. "$here/checks.sh"

# run <exe> <args...>: runs under Wine; stdout in out.txt, stderr in err.txt, code in $code.
run() {
  local exe=$1
  shift
  "${wine_run[@]}" "$exe" "$@" > out.txt 2> err.txt
  code=$?
}

# run_in <folder> <exe> <args...>: run from inside <folder>; the outputs still land here.
run_in() {
  local folder=$1
  shift
  pushd "$folder" > /dev/null || exit 1
  run "$@"
  mv out.txt err.txt "$work/"
  popd > /dev/null || exit 1
}

expect_code() {  # <expected> <what>
  if [ "$code" -eq "$1" ]; then pass; else fail "$2: exit code $code, expected $1"; sed 's/^/  | /' out.txt err.txt; fi
}

expect_same_tree() {  # <expected tree> <extracted tree> <what>
  if diff -r "$1" "$2" > diff.txt 2>&1; then pass; else fail "$3: trees differ"; sed 's/^/  | /' diff.txt; fi
}

expect_text() {  # <file> <text> <what>
  if grep -qF -- "$2" "$1"; then pass; else fail "$3: '$2' not in $1"; sed 's/^/  | /' "$1"; fi
}

# Every file that did appear must be exactly the source's: nothing corrupt may look good.
expect_only_sound_files() {  # <source tree> <extracted tree> <what>
  local f
  while IFS= read -r -d '' f; do
    local rel=${f#"$2"/}
    if [ ! -f "$1/$rel" ] || ! cmp -s "$1/$rel" "$f"; then fail "$3: $rel is not the source's file"; else pass; fi
  done < <(find "$2" -type f -print0 2>/dev/null)
  if find "$2" -name '~kzsfx*' 2>/dev/null | grep -q .; then fail "$3: temporary files left"; fi
}

make_sfx() {  # <archive> <exe>
  cat "$stub" "$1" > "$2"
}

# A tree with nested, empty and binary content.
make_source() {  # <folder>
  mkdir -p "$1/docs/deep/deeper" "$1/empty" "$1/bin"
  seq 1 20000 > "$1/docs/numbers.txt"
  printf 'hello\r\nworld\r\n' > "$1/docs/deep/crlf.txt"
  : > "$1/docs/deep/deeper/zero-length"
  head -c 300000 /dev/urandom > "$1/bin/random.bin"
  printf 'top\n' > "$1/readme.txt"
}

# extract_and_compare <archive> <source tree> <label>: -y -o then -t, both against the source.
extract_and_compare() {
  make_sfx "$1" "$3.exe"
  extract_once "$2" "$3"
  test_once "$2" "$3"
}

extract_once() {  # <source tree> <label>: <label>.exe -y -o, the tree against the source
  local source=$1 label=$2
  run "$label.exe" -y "-o$label.out"
  expect_code 0 "$label -y"
  expect_same_tree "$source" "$label.out" "$label"
}

test_once() {  # <source tree> <label>: <label>.exe -t, a CRC line for each file of the source
  local source=$1 label=$2
  run "$label.exe" -t
  expect_code 0 "$label -t"
  $craft crc "$source" | while read -r crc size path; do
    grep -qE "^$crc +$size +OK +$(printf '%s' "$path" | sed 's/[.[\*^$]/\\&/g')\$" <(tr -d '\r' < out.txt) ||
      echo "missing: $crc $size $path"
  done > crc-missing.txt
  if [ -s crc-missing.txt ]; then fail "$label -t: CRC lines"; sed 's/^/  | /' crc-missing.txt out.txt; else pass; fi
}

case_formats() {
  make_source src
  (cd src && zip -qr ../deflate.zip . && zip -qr0 ../stored.zip . && zip -qr -Z bzip2 ../bzip2.zip . &&
    zip -qr -fz ../zip64.zip . && 7z a -tzip -mm=LZMA ../lzma.zip . > /dev/null &&
    7z a -tzip -mm=XZ ../xz.zip . > /dev/null && 7z a -tzip -mm=PPMd ../ppmd.zip . > /dev/null &&
    7z a ../lzma2.7z . > /dev/null && 7z a -m0=BZip2 ../bzip2.7z . > /dev/null &&
    7z a -m0=Deflate ../deflate.7z . > /dev/null && 7z a -m0=PPMd ../ppmd.7z . > /dev/null &&
    7z a -m0=Copy ../copy.7z . > /dev/null)
  python3 - <<'PY'
import os, zipfile
with zipfile.ZipFile("python.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in os.walk("src"):
        for name in dirs + files:
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, "src"))
PY
  for archive in deflate.zip stored.zip bzip2.zip zip64.zip lzma.zip xz.zip ppmd.zip python.zip lzma2.7z \
    bzip2.7z deflate.7z ppmd.7z copy.7z; do
    extract_and_compare "$archive" src "${archive/./-}"
  done
  # The format is known by content: a .kz holding a zip or a 7z extracts the same.
  cp deflate.zip zipped.kz
  cp lzma2.7z sevened.kz
  extract_and_compare zipped.kz src zipped-kz
  extract_and_compare sevened.kz src sevened-kz
  # zstd and xz by method number, beside stored and deflate.
  $craft methods methods.zip methods.tree
  extract_and_compare methods.zip methods.tree methods
  # An archive without entries extracts nothing and succeeds.
  $craft empty empty.zip empty.tree
  extract_and_compare empty.zip empty.tree empty
}

# The formats in two runs, for the 32-bit product under emulation, where each run costs a
# minute or more: a zip holding stored, deflate, zstd and xz entries extracted, a 7z (LZMA2)
# tested.
case_formats_smoke() {
  $craft methods methods.zip methods.tree
  make_sfx methods.zip methods.exe
  extract_once methods.tree methods
  make_source src
  (cd src && 7z a ../lzma2.7z . > /dev/null)
  make_sfx lzma2.7z lzma2-7z.exe
  test_once src lzma2-7z
}

case_names() {
  $craft gbk gbk.zip gbk.tree
  extract_and_compare gbk.zip gbk.tree gbk
  $craft unicode-field unicode.zip unicode.tree
  extract_and_compare unicode.zip unicode.tree unicode-field
  mkdir -p utf8.tree/文件夹 && printf 'x' > utf8.tree/文件夹/日本語テキスト.txt && printf 'y' > 'utf8.tree/emoji 😀.txt'
  python3 -c '
import zipfile
with zipfile.ZipFile("utf8.zip", "w") as z:  # non-ASCII names get the UTF-8 flag
    z.write("utf8.tree/文件夹/日本語テキスト.txt", "文件夹/日本語テキスト.txt")
    z.write("utf8.tree/emoji 😀.txt", "emoji 😀.txt")'
  extract_and_compare utf8.zip utf8.tree utf8-flag
  # Deeper than MAX_PATH: the destination works in "\\?\" paths.
  local deep=deep.tree
  for level in 1 2 3 4 5 6 7 8 9 10 11 12; do deep="$deep/folder-level-$level-with-a-long-name"; done
  mkdir -p "$deep" && printf 'deep\n' > "$deep/file.txt"
  (cd deep.tree && python3 -c '
import os, zipfile
with zipfile.ZipFile("../deep.zip", "w") as z:
    for folder, _, files in os.walk("."):
        for name in files:
            z.write(os.path.join(folder, name))')
  extract_and_compare deep.zip deep.tree beyond-max-path
  # Info-ZIP on Unix stores UTF-8 names without the flag: they must not be read as GBK.
  (cd utf8.tree && zip -qr ../infozip.zip . && 7z a ../names.7z . > /dev/null)
  extract_and_compare infozip.zip utf8.tree unflagged-utf8
  extract_and_compare names.7z utf8.tree names-7z
}

case_hostile() {
  $craft hostile hostile.zip hostile.tree
  mkdir -p box/dest outside
  make_sfx hostile.zip box/hostile.exe
  # A link planted inside the destination must not carry files outside it.
  ln -s ../../outside box/dest/via-link
  run_in box hostile.exe -y -odest
  expect_code 2 "hostile"
  rm box/dest/via-link
  expect_same_tree hostile.tree box/dest "hostile: only the honest files"
  if [ -n "$(ls -A outside)" ]; then fail "hostile: files outside the destination"; else pass; fi
  local listed
  listed=$(find box -mindepth 1 | sort | tr '\n' ' ')
  [ "$listed" = "box/dest box/dest/dir box/dest/dir/ok.txt box/dest/good.txt box/hostile.exe " ] &&
    pass || fail "hostile: unexpected paths: $listed"
  # Where the refused names would have landed had they been followed.
  local prefix
  prefix=$("${wine_run[@]}" --prefix)
  for place in "$work/evil.txt" "$work/evil2.txt" "$work/up.txt" /abs.txt /abs2.txt "$prefix/drive_c/drive.txt" \
    "$prefix/drive_c/drive2.txt" "$prefix/drive_c/long.txt" "$work/outside-target"; do
    [ ! -e "$place" ] && pass || fail "hostile: $place was written"
  done
  for name in ../evil.txt /abs.txt C:/drive.txt a/../../up.txt CON dir/aux.txt trailing. file.txt:stream link-out \
    via-link/escaped.txt; do
    expect_text err.txt "$name" "hostile report"
  done
  expect_text out.txt "拒绝了 16 个不安全的条目" "hostile summary"
}

case_damage() {
  # A wrong CRC: the file is removed and named, the others extract, -t says so too.
  $craft bad-crc badcrc.zip badcrc.tree
  make_sfx badcrc.zip badcrc.exe
  run badcrc.exe -y -obadcrc.out
  expect_code 2 "bad CRC"
  expect_same_tree badcrc.tree badcrc.out "bad CRC: sound files only"
  expect_text err.txt "broken.txt" "bad CRC report"
  run badcrc.exe -t
  expect_code 2 "bad CRC -t"
  if tr -d '\r' < out.txt | grep -E '^-{8} +0 +[^ ].*  broken\.txt$' | grep -qv '  OK  '; then pass; else
    fail "bad CRC -t listing"; fi
  [ ! -e broken.txt ] && pass || fail "-t wrote a file"

  $craft unknown-method unknown.zip unknown.tree
  make_sfx unknown.zip unknown.exe
  run unknown.exe -y -ounknown.out
  expect_code 2 "unknown method"
  expect_same_tree unknown.tree unknown.out "unknown method: the others extract"
  expect_text err.txt "wavpack.wav" "unknown method report"
  expect_text err.txt "不支持" "unknown method report"

  # A size no disk has: refused before anything is written, with the sizes in the message.
  $craft huge-claim huge.zip huge.tree
  make_sfx huge.zip huge.exe
  run huge.exe -y -ohuge.out
  expect_code 2 "declared size beyond the free space"
  expect_text err.txt "空间不足" "declared size beyond the free space"
  expect_text err.txt "1.0 PB" "declared size beyond the free space"
  [ ! -e huge.out ] && pass || fail "a folder was left for an archive that does not fit"

  # Killed in the middle of a file: the system deletes what the process held open, so no
  # file, whole-looking or not, is left under any name.
  python3 -c '
import zipfile
with zipfile.ZipFile("zeros.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("zeros.bin", "w", force_zip64=True) as f:
        for _ in range(1024):
            f.write(bytes(1 << 20))'
  make_sfx zeros.zip killed.exe
  "${wine_run[@]}" killed.exe -y -okilled.out > /dev/null 2>&1 &
  local runner=$!
  writing() { find killed.out -type f -size +1M 2> /dev/null | grep -q .; }
  if wait_for 120 writing; then
    kill -KILL "$runner"
    wait "$runner" 2> /dev/null
    left() { find killed.out -type f 2> /dev/null | grep -q .; }
    wait_for 30 eval '! left' && pass || fail "a killed extraction left $(find killed.out -type f)"
  else
    fail "no file being written"
    kill "$runner"
  fi

  make_source src
  (cd src && zip -qr ../sound.zip . && 7z a -tzip -mm=Deflate64 ../deflate64.zip . > /dev/null &&
    7z a ../sound.7z . > /dev/null && 7z a -psecret ../encrypted.7z . > /dev/null &&
    7z a -psecret -mhe=on ../hidden.7z . > /dev/null)
  python3 - <<'PY'
data = open("sound.zip", "rb").read()
flipped = bytearray(data); flipped[len(data) // 3] ^= 0xFF
open("flipped.zip", "wb").write(flipped)
open("truncated.zip", "wb").write(data[: len(data) // 2])
seven = open("sound.7z", "rb").read()
open("truncated.7z", "wb").write(seven[: len(seven) - 60])
flipped7 = bytearray(seven); flipped7[len(seven) // 3] ^= 0xFF
open("flipped.7z", "wb").write(flipped7)
PY
  local archive
  for archive in flipped.zip truncated.zip deflate64.zip truncated.7z flipped.7z encrypted.7z hidden.7z; do
    make_sfx "$archive" damaged.exe
    run damaged.exe -y "-o${archive/./-}.out"
    expect_code 2 "$archive"
    [ -s err.txt ] && pass || fail "$archive: no message on stderr"
    expect_only_sound_files src "${archive/./-}.out" "$archive"
  done
  expect_text err.txt "错误" "header-encrypted 7z message"
}

case_password() {
  make_source src
  local gbk_password
  gbk_password=$(printf '\xd6\xd0\xce\xc4')  # "中文" in GBK, as zip -P on a Chinese system stores it
  (cd src && zip -qr -P secret ../zipcrypto.zip . && 7z a -tzip -mem=AES256 -psecret ../aes.zip . > /dev/null &&
    zip -qr -P "$gbk_password" ../gbk-password.zip .)
  local archive
  for archive in zipcrypto.zip aes.zip; do
    make_sfx "$archive" locked.exe
    run locked.exe -y -psecret "-o$archive.right"
    expect_code 0 "$archive right password"
    expect_same_tree src "$archive.right" "$archive right password"
    run locked.exe -y -pwrong "-o$archive.wrong"
    expect_code 2 "$archive wrong password"
    expect_text err.txt "密码错误" "$archive wrong password message"
    expect_only_sound_files src "$archive.wrong" "$archive wrong password"
    # Info-ZIP leaves empty files unencrypted; anything with content needs the password.
    if find "$archive.wrong" -type f -size +0 | grep -q .; then fail "$archive: files from a wrong password"; else pass; fi
    run locked.exe -y "-o$archive.none"
    expect_code 2 "$archive no password"
    expect_text err.txt "需要密码" "$archive no password message"
  done
  make_sfx gbk-password.zip gbk.exe
  run gbk.exe -y -p中文 -ogbk.out
  expect_code 0 "password in the ANSI code page"
  expect_same_tree src gbk.out "password in the ANSI code page"
}

case_cli() {
  # Only KnownDLLs load before main() restricts the DLL search, and ntdll, which every process
  # has before any DLL is looked for: anything else could be a planted DLL beside a download.
  i686-w64-mingw32-objdump -p "$stub" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' > imports.txt
  local dll
  while read -r dll; do
    case $dll in
      advapi32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | ole32.dll | \
        ntdll.dll | oleaut32.dll | shell32.dll | shlwapi.dll | user32.dll) pass ;;
      *) fail "imports $dll before the DLL search is restricted" ;;
    esac
  done < imports.txt

  make_source src
  (cd src && zip -qr ../multi.zip .)
  make_sfx multi.zip tool.exe
  for args in "-q" "-y -x" "-o" "-p" "-y stray" "-oA -oB" "/y"; do
    # shellcheck disable=SC2086
    run tool.exe $args
    expect_code 7 "bad command line '$args'"
    expect_text err.txt "用法" "bad command line '$args' usage"
  done
  run tool.exe -?
  expect_code 0 "-?"
  expect_text out.txt "-o<" "-? usage"

  # -t writes nothing at all.
  mkdir quiet && cp tool.exe quiet/
  run_in quiet tool.exe -t
  expect_code 0 "-t"
  [ "$(ls quiet)" = "tool.exe" ] && pass || fail "-t wrote files: $(ls quiet)"

  # Default destination: several top-level items go into a folder named after the exe...
  mkdir beside && cp tool.exe beside/
  run_in beside tool.exe -y
  expect_code 0 "default destination"
  expect_same_tree src beside/tool "default destination: subfolder named after the exe"
  # ...one top-level folder goes beside the exe...
  mkdir one && (cd src && zip -qr ../one.zip docs) && make_sfx one.zip one/one.exe
  run_in one one.exe -y
  expect_code 0 "single folder"
  expect_same_tree src/docs one/docs "single folder: beside the exe"
  # ...unless that item has the exe's own name, which would replace the running program.
  mkdir clash && printf 'payload\n' > clash.exe.txt && cp clash.exe.txt setup.exe &&
    zip -q clash.zip setup.exe && rm setup.exe && make_sfx clash.zip clash/setup.exe
  run_in clash setup.exe -y
  expect_code 0 "own name"
  cmp -s clash/setup/setup.exe clash.exe.txt && pass || fail "own name: not in a subfolder"

  # ...and a name of dots ("...exe" has the stem "..") never makes it the folder above: the
  # stem must pass as a safe name like any entry's, else the files go into a fixed folder.
  mkdir -p dots/inner && cp tool.exe dots/inner/...exe
  run_in dots/inner ...exe -y
  expect_code 0 "name of dots"
  expect_same_tree src "dots/inner/解压的文件" "name of dots: the fixed folder"
  [ "$(ls dots)" = "inner" ] && pass || fail "name of dots: wrote beside its folder: $(ls dots)"

  # -o creates missing parents; -y replaces an existing file.
  run tool.exe -y "-onew/deeper/still"
  expect_code 0 "-o with missing parents"
  expect_same_tree src new/deeper/still "-o with missing parents"
  printf 'stale' > new/deeper/still/readme.txt
  run tool.exe -y "-onew/deeper/still"
  expect_code 0 "-y overwrite"
  cmp -s src/readme.txt new/deeper/still/readme.txt && pass || fail "-y did not replace the file"

  # Payloads that are not archives: a clear message and exit code 2.
  head -c 5000 /dev/urandom > noise.bin
  make_sfx noise.bin noise.exe
  run noise.exe -y -onoise.out
  expect_code 2 "unrecognised payload"
  expect_text err.txt "不是可识别的压缩包" "unrecognised payload message"
  [ ! -e noise.out ] && pass || fail "unrecognised payload left a folder"
  cp "$stub" bare.exe
  run bare.exe -y -obare.out
  expect_code 2 "nothing appended"
  [ -s err.txt ] && pass || fail "nothing appended: no message"
}

case_zone() {
  make_source src
  (cd src && zip -qr ../marked.zip .)
  make_sfx marked.zip marked.exe
  # Wine keeps a stream "name:Zone.Identifier" as a sibling file of that name; the stub reads
  # and writes it through the same W calls that reach the NTFS stream on Windows.
  printf '[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.invalid/marked.exe\r\n' > mark.txt
  cp mark.txt marked.exe:Zone.Identifier
  run marked.exe -y -omarked.out
  expect_code 0 "marked"
  local file
  while IFS= read -r -d '' file; do
    case $file in *:Zone.Identifier) continue ;; esac
    cmp -s mark.txt "$file:Zone.Identifier" && pass || fail "no mark on $file"
  done < <(find marked.out -type f -print0)
  # A mark that is not a zone record still means "downloaded": the Internet zone.
  printf 'garbage' > marked.exe:Zone.Identifier
  printf '[ZoneTransfer]\r\nZoneId=3\r\n' > internet.txt
  run marked.exe -y -ogarbled.out
  cmp -s internet.txt garbled.out/readme.txt:Zone.Identifier && pass ||
    fail "a garbled mark was not replaced by the Internet zone"
  # A mark that is there but cannot be read is a mark all the same: here the "stream" is a
  # folder, which opens with an access error.
  rm marked.exe:Zone.Identifier
  mkdir marked.exe:Zone.Identifier
  run marked.exe -y -ounreadable.out
  expect_code 0 "unreadable mark"
  cmp -s internet.txt unreadable.out/readme.txt:Zone.Identifier && pass ||
    fail "an unreadable mark was taken for no mark"
  rmdir marked.exe:Zone.Identifier
  # No mark, no stream.
  run marked.exe -y -oplain.out
  if find plain.out -name '*:Zone.Identifier' | grep -q .; then fail "marks without a marked exe"; else pass; fi
}

case_large() {
  # A Zip64 archive past 4 GiB, stored sparsely: the data is read through, never held. The peak
  # is the kernel's count for the process (wine-run becomes the program), not a sample that a
  # fast machine could miss. time's report is its last line, read in English.
  $craft big big.exe "$stub" 4400000000 > expected.txt
  LC_ALL=C /usr/bin/time -f %M -o peak.txt "${wine_run[@]}" big.exe -t > out.txt 2> err.txt
  code=$?
  local peak
  peak=$(tail -n 1 peak.txt)
  expect_code 0 "beyond 4 GiB"
  while read -r crc size path; do expect_text out.txt "$crc" "beyond 4 GiB: $path CRC"; done < expected.txt
  echo "peak resident memory while testing 4.4 GB: ${peak} KiB"
  [ "$peak" -gt 0 ] && [ "$peak" -lt 100000 ] && pass || fail "memory grew to ${peak} KiB"
  rm -f big.exe  # sparse, but 4.4 GB to any tool that copies the build folder
}

# Installer scripts in zip comments, each zip made into an exe by a real drop onto Quillet
# (QUILLET_EXE, DRAG_DRIVER), with SETUP_PROBE as the program Setup runs: it appends its
# working folder and arguments to $KZSFX_PROBE_LOG and exits with 42.
case_installer() {
  : "${QUILLET_EXE:?}" "${DRAG_DRIVER:?}" "${SETUP_PROBE:?}"
  DISPLAY=$("${wine_run[@]}" --display)
  export DISPLAY
  windows_path() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
  unix_path() { "${wine_run[@]}" winepath.exe -u "$1" 2> /dev/null | tr -d '\r'; }
  export KZSFX_PROBE_LOG
  KZSFX_PROBE_LOG=$(windows_path probe.log)
  local local_app_data temp_folder
  local_app_data=$("${wine_run[@]}" cmd.exe /c 'echo %LOCALAPPDATA%' | tr -d '\r')
  temp_folder=$("${wine_run[@]}" cmd.exe /c 'echo %TEMP%' | tr -d '\r')
  local known="kzsfx-e2e-$$"
  rm -rf "$(unix_path "$local_app_data\\$known")"

  mkdir -p src/资料
  cp "$SETUP_PROBE" src/probe.exe
  seq 1 5000 > src/资料/numbers.txt
  head -c 100000 /dev/urandom > src/data.bin
  (cd src && zip -qr -X ../known.zip . &&
    printf ';kzsfx\r\nTitle=E2E\r\nPath=%%LOCALAPPDATA%%\\%s\r\nSetup=probe.exe first "second arg"\r\n' "$known" |
    zip -qz ../known.zip &&
    zip -qr -X ../temp.zip . && printf ';kzsfx\nTempMode\nSilent=2\nSetup=probe.exe handover\n' | zip -qz ../temp.zip &&
    zip -qr -X ../unknown.zip . && printf ';kzsfx\nPath=unknown.out\nDestination=x\n' | zip -qz ../unknown.zip &&
    zip -qr -X ../outside.zip . && printf ';kzsfx\nPath=outside.out\nSetup=..\\probe.exe\n' | zip -qz ../outside.zip &&
    zip -qr -X ../plain.zip . && printf 'commit 3f2a9c1 https://example.org/kzsfx\n' | zip -qz ../plain.zip)

  # Real drops: Quillet writes <name>.exe beside each zip, by its own copy, in its own time.
  "${wine_run[@]}" "$QUILLET_EXE" > /dev/null 2>&1 &
  local quillet=$! name deadline
  for name in known temp unknown outside plain; do
    "${wine_run[@]}" "$DRAG_DRIVER" --title "Quillet 0.1" --keys none "$(windows_path "$name.zip")" > drag.txt 2>&1 ||
      { fail "$name: the drop did not happen"; sed 's/^/  | /' drag.txt; }
    cat "$stub" "$name.zip" > "$name.expected"
    deadline=$((SECONDS + 60))
    until cmp -s "$name.expected" "$name.exe" || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
    cmp -s "$name.expected" "$name.exe" && pass || fail "$name.exe is not the stub followed by $name.zip"
  done
  kill "$quillet"
  wait "$quillet" 2> /dev/null

  # Records every window mapped on the display from start to stop: marks set on the root
  # window bracket the run in the event stream, so nothing depends on timing.
  local watcher
  mark() {  # <count the watcher must have seen>
    xprop -root -f KZSFX_E2E_MARK 8s -set KZSFX_E2E_MARK "$1"
    local deadline=$((SECONDS + 30))
    until [ "$(grep -c 'KZSFX_E2E_MARK' windows.txt)" -ge "$1" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.1; done
  }
  watch_start() {
    stdbuf -oL xev -root -event substructure -event property > windows.txt 2>&1 &
    watcher=$!
    local deadline=$((SECONDS + 30))
    until grep -q 'PropertyNotify' windows.txt 2> /dev/null || [ "$SECONDS" -ge "$deadline" ]; do
      xprop -root -f KZSFX_E2E_READY 8s -set KZSFX_E2E_READY 1
      sleep 0.1
    done
    mark 1
  }
  watch_stop() {  # prints the windows mapped in between
    mark 2
    kill "$watcher"
    wait "$watcher" 2> /dev/null
    [ "$(grep -c 'KZSFX_E2E_MARK' windows.txt)" -ge 2 ] || echo "the watcher missed its end mark"
    sed -n '/KZSFX_E2E_MARK/,/KZSFX_E2E_MARK/p' windows.txt | grep 'MapNotify'
  }

  expect_log() {  # <what> <expected probe.log lines...>
    local what=$1
    shift
    printf '%s\n' "$@" > probe.expected
    if cmp -s probe.expected probe.log; then pass; else
      fail "$what: Setup's log"
      diff probe.expected probe.log | sed 's/^/  | /'
    fi
  }
  expect_absent() {  # <path> <what>
    if [ -e "$1" ]; then fail "$2: $1 exists"; else pass; fi
  }

  check_known() {
    local landed
    landed=$(unix_path "$local_app_data\\$known")
    expect_same_tree src "$landed" "known folder"
    expect_log "known folder" "cwd=$local_app_data\\$known" "arg=first" "arg=second arg"
    rm -rf "$landed"
  }
  check_no_setup() {
    expect_same_tree src "$(unix_path "$local_app_data\\$known")" "-n"
    expect_absent probe.log "-n"
    rm -rf "$(unix_path "$local_app_data\\$known")"
  }
  check_script_shown() {
    expect_text out.txt 'Setup=probe.exe first "second arg"' "-t"
    expect_absent "$(unix_path "$local_app_data\\$known")" "-t"
  }
  check_temp_silent() {
    local cwd
    cwd=$(sed -n 's/^cwd=//p' probe.log)
    case "$cwd" in
      "$temp_folder"\\kzsfx-*) pass ;;
      *) fail "TempMode: Setup ran in '$cwd', not in a folder of its own under $temp_folder" ;;
    esac
    # The probe hands over to a copy of itself and exits: the copy still reads the tree.
    expect_log "TempMode" "cwd=$cwd" "arg=handover" "handed=data.bin present"
    [ -n "$cwd" ] && expect_absent "$(unix_path "$cwd")" "TempMode's folder after Setup"
    if [ -s mapped.txt ]; then fail "Silent=2: windows were mapped"; sed 's/^/  | /' mapped.txt; else pass; fi
  }
  check_unknown() {
    expect_text err.txt '第 3 行' "unknown key"
    expect_text err.txt 'Destination=x' "unknown key"
    expect_absent unknown.out "unknown key"
    expect_absent probe.log "unknown key"
  }
  check_outside() {
    expect_text err.txt '第 3 行' "Setup outside"
    expect_text err.txt 'Setup=..\probe.exe' "Setup outside"
    expect_absent outside.out "Setup outside"
    expect_absent probe.log "Setup outside"
  }
  check_plain() {
    expect_same_tree src plain.out "ordinary comment"
    expect_absent probe.log "ordinary comment"
  }

  # case | exe | arguments (comma-separated, - for none) | exit code | check
  local label exe arguments expected check
  while read -r label exe arguments expected check; do
    rm -f probe.log
    local -a args=()
    [ "$arguments" != - ] && IFS=, read -r -a args <<< "$arguments"
    if [ "$label" = temp-silent ]; then watch_start; fi
    # A window waiting for a click would wait for ever: the run has a deadline.
    timeout 120 "${wine_run[@]}" "$exe.exe" "${args[@]}" > out.txt 2> err.txt
    code=$?
    if [ "$label" = temp-silent ]; then watch_stop > mapped.txt; fi
    expect_code "$expected" "$label"
    "$check"
  done << 'TABLE'
known-folder   known   -y      42 check_known
no-setup       known   -y,-n   0  check_no_setup
script-shown   known   -t      0  check_script_shown
temp-silent    temp    -       42 check_temp_silent
unknown-key    unknown -y      2  check_unknown
setup-outside  outside -y      2  check_outside
ordinary       plain   -y,-oplain.out 0 check_plain
TABLE
}

"case_${case_name//-/_}"
finish "$case_name"
