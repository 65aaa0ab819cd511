#!/usr/bin/env bash
# The self-extractor's dialog driven with xdotool under Wine's Xvfb: destination, Extract,
# progress with an overwrite question in the middle, summary, Close; then a run cancelled
# in the middle. Screenshots of each view are kept in the work folder for review.
# Usage: stub_dialog_test.sh <kzsfx.exe> <work folder>
set -uo pipefail
stub=$(realpath "$1")
work=$2
here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../scripts/wine-run"

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
DISPLAY=$("$wine_run" --display)  # also makes sure the prefix and the display exist
export DISPLAY

# shellcheck source=checks.sh
. "$here/checks.sh"

# find_window <exact title> <seconds>: prints the X window id once it is mapped.
find_window() {
  local deadline=$((SECONDS + $2)) id
  while [ "$SECONDS" -lt "$deadline" ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# snapshot <window> <file>: the screen area of the window (Xvfb has no compositor).
snapshot() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}

# Keys go to the focused window; without a window manager a click on the caption gives focus.
# Another program's window may open on top at any moment: the key is sent only once ours has
# the focus, so it never lands elsewhere.
press() {  # <window> <key>
  local attempt
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    xdotool windowraise "$1"
    xdotool mousemove --window "$1" 60 8 click 1
    sleep 0.3
    if [ "$(xdotool getwindowfocus 2> /dev/null)" = "$1" ]; then
      xdotool key "$2"
      return 0
    fi
  done
  echo "could not give the focus to window $1"
  return 1
}

# Moves a window clear of the middle of the screen, where other programs' windows open.
place() {  # <window> <x> <y>
  xdotool windowmove "$1" "$2" "$3"
  sleep 0.5
}

# The archive: a large stored file, a file that already exists at the destination, another
# large file. The overwrite question stops the worker half way, so the progress view holds.
# Titles carry our process id: another build's run of this test may share the display.
title=kzsfx-dialog-$$
mkdir -p src/资料
head -c 60000000 /dev/zero > src/first.bin
printf 'from the archive\n' > src/资料/说明.txt
head -c 60000000 /dev/zero | tr '\0' 'x' > src/second.bin
# Python flags its UTF-8 names; Info-ZIP's zip stores them unflagged, which reads as GBK.
(cd src && python3 -c '
import zipfile
with zipfile.ZipFile("../payload.zip", "w", zipfile.ZIP_STORED) as z:
    for name in ("first.bin", "资料/说明.txt", "second.bin"):
        z.write(name)')
cat "$stub" payload.zip > "$title.exe"
mkdir -p "$title/资料"
printf 'stale\n' > "$title/资料/说明.txt"

"$wine_run" "$title.exe" &
runner=$!
if ! dialog=$(find_window "$title" 30); then
  fail "the dialog did not appear"
  kill "$runner"
  exit 1
fi
place "$dialog" 300 200
snapshot "$dialog" setup.png
pass

press "$dialog" Return  # Extract is the default button
if question=$(find_window "确认覆盖文件" 30); then
  pass
  place "$question" 320 420
  snapshot "$dialog" progress.png
  snapshot "$question" overwrite.png
  press "$question" Return  # Overwrite is the default
else
  fail "no overwrite question"
fi

complete() { cmp -s src/second.bin "$title/second.bin"; }
wait_for 60 complete || fail "the extraction did not finish"
sleep 1
snapshot "$dialog" summary.png
press "$dialog" Return  # Close is the default in the summary
if wait_for 20 bash -c "! kill -0 $runner 2> /dev/null"; then
  wait "$runner"
  code=$?
  [ "$code" -eq 0 ] && pass || fail "exit code $code after a clean extraction"
else
  fail "the dialog did not close"
  kill "$runner"
fi
diff -r src "$title" > diff.txt && pass || { fail "extracted tree differs"; cat diff.txt; }

# Cancelling at the question stops the run: nothing after it, no half-written file.
rm -rf "$title"
mkdir -p "$title/资料"
printf 'stale\n' > "$title/资料/说明.txt"
"$wine_run" "$title.exe" &
runner=$!
if dialog=$(find_window "$title" 30); then
  place "$dialog" 300 200
  press "$dialog" Return
  if question=$(find_window "确认覆盖文件" 30); then
    place "$question" 320 420
    press "$question" Escape
    if wait_for 20 bash -c "! kill -0 $runner 2> /dev/null"; then
      wait "$runner"
      code=$?
      [ "$code" -eq 255 ] && pass || fail "exit code $code after cancelling, expected 255"
    else
      fail "the dialog did not close after cancelling"
      kill "$runner"
    fi
  else
    fail "no overwrite question in the cancelled run"
  fi
else
  fail "the dialog did not appear for the cancelled run"
fi
cmp -s src/first.bin "$title/first.bin" && pass || fail "the file before the cancel is missing"
[ "$(cat "$title/资料/说明.txt")" = stale ] && pass || fail "the existing file was touched"
[ ! -e "$title/second.bin" ] && pass || fail "a file after the cancel was written"
if find "$title" -name '~kzsfx*' | grep -q .; then fail "temporary files left"; else pass; fi

# Cancel in the middle of a large file: the dialog's own button, the worker still writing.
python3 -c '
import zipfile
with zipfile.ZipFile("zeros.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("zeros.bin", "w", force_zip64=True) as f:
        block = bytes(1 << 20)
        for _ in range(512):
            f.write(block)'
busy=kzsfx-busy-$$
cat "$stub" zeros.zip > "$busy.exe"
"$wine_run" "$busy.exe" &
runner=$!
if dialog=$(find_window "$busy" 30); then
  place "$dialog" 300 200
  press "$dialog" Return
  # One top-level item: it goes beside the exe, here.
  writing() { find . -maxdepth 1 \( -name '~kzsfx*' -o -name zeros.bin \) -size +1M | grep -q .; }
  wait_for 30 writing || fail "no file being written"
  sleep 0.5  # a few of the dialog's progress ticks
  snapshot "$dialog" progress-live.png
  press "$dialog" Escape
  if wait_for 30 bash -c "! kill -0 $runner 2> /dev/null"; then
    wait "$runner"
    code=$?
    [ "$code" -eq 255 ] && pass || fail "exit code $code after cancelling mid-file, expected 255"
  else
    fail "the dialog did not close after cancelling mid-file"
    kill "$runner"
  fi
  left=$(find . -maxdepth 1 \( -name '~kzsfx*' -o -name zeros.bin \))
  [ -z "$left" ] && pass || fail "cancelling mid-file left $left"
else
  fail "the dialog did not appear for the large archive"
  kill "$runner"
fi

# Enter while the worker is writing is no second Extract (which would swap the destination
# under the worker): the run goes on to its summary and ends cleanly.
"$wine_run" "$busy.exe" &
runner=$!
if dialog=$(find_window "$busy" 30); then
  place "$dialog" 300 200
  press "$dialog" Return
  wait_for 30 writing || fail "no file being written before Enter"
  press "$dialog" Return
  press "$dialog" Return
  writing && pass || fail "the extraction ended before Enter was pressed: nothing was tested"
  whole() { [ "$(stat -c %s zeros.bin 2> /dev/null)" = 536870912 ] && ! writing; }
  wait_for 60 whole || fail "the extraction did not finish after Enter"
  sleep 1
  if find_window "确认覆盖文件" 1 > /dev/null; then fail "Enter started a second extraction"; fi
  snapshot "$dialog" enter-summary.png
  press "$dialog" Return  # Close
  if wait_for 20 bash -c "! kill -0 $runner 2> /dev/null"; then
    wait "$runner"
    code=$?
    [ "$code" -eq 0 ] && pass || fail "exit code $code after Enter during the extraction, expected 0"
  else
    fail "the dialog did not close after Enter during the extraction"
    kill "$runner"
  fi
  left=$(find . -maxdepth 1 -name '~kzsfx*')
  [ -z "$left" ] && pass || fail "Enter during the extraction left $left"
else
  fail "the dialog did not appear for the Enter run"
  kill "$runner"
fi
rm -f zeros.bin

# An encrypted archive: the dialog asks for the password; a wrong one brings the question back.
mkdir -p secret.src/内容
printf 'classified\n' > secret.src/内容/机密.txt
seq 1 5000 > secret.src/numbers.txt
(cd secret.src && zip -qr -P secret ../secret.zip .)
locked=kzsfx-locked-$$
cat "$stub" secret.zip > "$locked.exe"
"$wine_run" "$locked.exe" &
runner=$!
if dialog=$(find_window "$locked" 30); then
  place "$dialog" 300 200
  press "$dialog" alt+p  # the label's mnemonic moves to the password box
  xdotool type --delay 50 wrong
  sleep 0.3
  snapshot "$dialog" password.png
  xdotool key Return
  if prompt=$(find_window "输入密码" 30); then
    pass
    place "$prompt" 320 420
    snapshot "$prompt" password-again.png
    press "$prompt" Tab  # from the default button back into the box
    xdotool key shift+Tab
    xdotool type --delay 50 secret
    xdotool key Return
  else
    fail "no question after a wrong password"
  fi
  unlocked() { diff -r secret.src "$locked" > /dev/null 2>&1; }
  wait_for 30 unlocked && pass || fail "the right password did not extract the files"
  sleep 1
  snapshot "$dialog" password-summary.png
  press "$dialog" Return
  if wait_for 20 bash -c "! kill -0 $runner 2> /dev/null"; then
    wait "$runner"
    code=$?
    [ "$code" -eq 0 ] && pass || fail "exit code $code after the right password"
  else
    fail "the dialog did not close after the password run"
    kill "$runner"
  fi
else
  fail "the dialog did not appear for the encrypted archive"
  kill "$runner"
fi

# Keep the screenshots, not the hundreds of megabytes around them.
find . -mindepth 1 -maxdepth 1 ! -name '*.png' -exec rm -rf {} +
echo "screenshots in $work: $(cd "$work" && ls ./*.png | tr '\n' ' ')"
finish dialog
