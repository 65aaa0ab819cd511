#!/usr/bin/env bash
# The self-extractor's dialog driven with xdotool under Wine's Xvfb: destination, Extract,
# progress with an overwrite question in the middle, summary, Close; then runs cancelled at
# the question and in the middle of a large file, Enter pressed during an extraction, and a
# password asked again. Screenshots of each view are kept in the work folder for review.
# It runs the test build kzsfx_hooked, which notes in hooks/events.txt each command its dialog
# handles and each view it shows, and holds its extraction in the middle of a file until the
# test creates hooks/release: the test acts while the worker is held, never racing it.
# Usage: stub_dialog_test.sh <kzsfx_hooked.exe> <kzsfx.exe, the product> <work folder>
#        <command that runs a Windows program...>
set -uo pipefail
stub=$(realpath "$1")
product=$(realpath "$2")
work=$3
wine_run=("${@:4}")
[ "${#wine_run[@]}" -gt 0 ] || { echo "usage: see the head of $0" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/hooks"
cd "$work" || exit 1
DISPLAY=$("${wine_run[@]}" --display)  # also makes sure the prefix and the display exist
export DISPLAY
hooks=$PWD/hooks
export KZSFX_TEST_FOLDER="Z:${hooks//\//\\}"

# shellcheck source=checks.sh
. "$here/checks.sh"

# The hooks are the test build's alone.
carries_hooks() {
  python3 -c 'import sys; sys.exit("KZSFX_TEST_FOLDER".encode("utf-16-le") not in open(sys.argv[1], "rb").read())' "$1"
}
carries_hooks "$stub" && pass || fail "the test build carries no hooks"
carries_hooks "$product" && fail "the product kzsfx.exe carries the test hooks" || pass

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
# the focus, so it never lands elsewhere. The window is looked up by its title each round, and
# every match is tried: Wine may put a new X window behind the same Windows one.
press() {  # <exact title> <key>
  local deadline=$((SECONDS + 30)) window poll
  while [ "$SECONDS" -lt "$deadline" ]; do
    for window in $(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null); do
      xdotool windowraise "$window"
      xdotool mousemove --window "$window" 60 8 click 1
      for poll in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        if [ "$(xdotool getwindowfocus 2> /dev/null)" = "$window" ]; then
          xdotool key "$2"
          return 0
        fi
        # A click on a modal box does not always move the X focus to it: then it is given
        # directly, and Wine activates the window that receives it.
        [ "$poll" = 10 ] && xdotool windowfocus "$window" 2> /dev/null
        sleep 0.1
      done
    done
    sleep 0.2
  done
  echo "could not give the focus to the window titled $1"
  return 1
}

# Moves a window clear of the middle of the screen, where other programs' windows open.
place() {  # <window> <x> <y>
  xdotool windowmove "$1" "$2" "$3"
  sleep 0.5
}

# launch <exe> [<entry> <bytes>]: starts a run with no events noted yet, held once <bytes> of
# the archive are written and <entry> is in hand, when those are given.
launch() {
  rm -f "$hooks/events.txt" "$hooks/release"
  KZSFX_TEST_HOLD_ENTRY=${2:-} KZSFX_TEST_HOLD_AT=${3:-} "${wine_run[@]}" "$1" &
  runner=$!
}
release() { : > "$hooks/release"; }
times_noted() {  # <line>: how often the run has noted it so far
  local count
  count=$(grep -cxF "$1" "$hooks/events.txt" 2> /dev/null)
  echo "${count:-0}"
}
noted() { [ "$(times_noted "$1")" -ge "${2:-1}" ]; }  # <line> [<times>]: at least that often

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

launch "$title.exe"
if ! dialog=$(find_window "$title" 60); then
  fail "the dialog did not appear"
  kill "$runner"
  exit 1
fi
place "$dialog" 300 200
snapshot "$dialog" setup.png
pass

press "$title" Return  # Extract is the default button
if question=$(find_window "确认覆盖文件" 60); then
  pass
  place "$question" 320 420
  snapshot "$dialog" progress.png
  snapshot "$question" overwrite.png
  press "确认覆盖文件" Return  # Overwrite is the default
else
  fail "no overwrite question"
fi

if wait_for 120 noted "view summary"; then
  snapshot "$dialog" summary.png
  press "$title" Return  # Close is the default in the summary
else
  fail "the extraction did not reach its summary"
fi
expect_exit "$runner" 30 0 "a clean extraction"
diff -r src "$title" > diff.txt && pass || { fail "extracted tree differs"; cat diff.txt; }

# Cancelling at the question stops the run: nothing after it, no half-written file.
rm -rf "$title"
mkdir -p "$title/资料"
printf 'stale\n' > "$title/资料/说明.txt"
launch "$title.exe"
if dialog=$(find_window "$title" 60); then
  place "$dialog" 300 200
  press "$title" Return
  if question=$(find_window "确认覆盖文件" 60); then
    place "$question" 320 420
    press "确认覆盖文件" Escape
  else
    fail "no overwrite question in the cancelled run"
  fi
else
  fail "the dialog did not appear for the cancelled run"
fi
expect_exit "$runner" 30 255 "cancelling at the question"
cmp -s src/first.bin "$title/first.bin" && pass || fail "the file before the cancel is missing"
[ "$(cat "$title/资料/说明.txt")" = stale ] && pass || fail "the existing file was touched"
[ ! -e "$title/second.bin" ] && pass || fail "a file after the cancel was written"
if find "$title" -name '~kzsfx*' | grep -q .; then fail "temporary files left"; else pass; fi

# A large file, held half way: the worker stops after the block that reaches 256 MiB and
# waits there until the test releases it.
python3 -c '
import zipfile
with zipfile.ZipFile("zeros.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("zeros.bin", "w", force_zip64=True) as f:
        block = bytes(1 << 20)
        for _ in range(512):
            f.write(block)'
busy=kzsfx-busy-$$
cat "$stub" zeros.zip > "$busy.exe"
half=$((256 << 20))
# One top-level item: it goes beside the exe, here.
# A new file is written under its own name, pending deletion until committed; one that
# replaces another under a temporary name.
writing() { find . -maxdepth 1 \( -name '~kzsfx*' -o -name zeros.bin \) -size +1M | grep -q .; }
temporaries_left() { find . -maxdepth 1 -name '~kzsfx*' | grep -q .; }

# Cancel in the middle of the file with the dialog's own key: the worker, released once the
# dialog has taken the cancel, must stop, discard the file and end with 255.
launch "$busy.exe" zeros.bin "$half"
if dialog=$(find_window "$busy" 60); then
  place "$dialog" 300 200
  press "$busy" Return
  if wait_for 120 noted "held zeros.bin"; then
    writing && pass || fail "no file being written in the middle of zeros.bin"
    snapshot "$dialog" progress-live.png
    press "$busy" Escape
    wait_for 30 noted "command 2 progress" || fail "the dialog did not take Esc during the extraction"
  else
    fail "the extraction did not reach the middle of zeros.bin"
  fi
else
  fail "the dialog did not appear for the large archive"
fi
release
expect_exit "$runner" 120 255 "cancelling mid-file"
left=$(find . -maxdepth 1 \( -name '~kzsfx*' -o -name zeros.bin \))
[ -z "$left" ] && pass || fail "cancelling mid-file left $left"

# Enter while the worker is writing is no second Extract (which would swap the destination
# under the worker): the dialog takes both presses in its progress view, shows that view only
# once, and the run goes on to its summary and ends cleanly. It starts afresh, whatever the
# cancelled run left.
rm -f zeros.bin ./~kzsfx*
launch "$busy.exe" zeros.bin "$half"
if dialog=$(find_window "$busy" 60); then
  place "$dialog" 300 200
  press "$busy" Return
  if wait_for 120 noted "held zeros.bin"; then
    press "$busy" Return
    press "$busy" Return
    wait_for 30 noted "command 1 progress" 2 || fail "the dialog did not take Enter during the extraction"
  else
    fail "the extraction did not reach the middle of zeros.bin before Enter"
  fi
  release
  if wait_for 120 noted "view summary"; then
    [ "$(times_noted "view progress")" = 1 ] && pass || fail "Enter started a second extraction"
    [ "$(stat -c %s zeros.bin 2> /dev/null)" = 536870912 ] && ! temporaries_left && pass ||
      fail "the extraction did not finish after Enter"
    snapshot "$dialog" enter-summary.png
    press "$busy" Return  # Close
  else
    fail "the extraction did not reach its summary after Enter"
  fi
else
  fail "the dialog did not appear for the Enter run"
fi
expect_exit "$runner" 30 0 "Enter during the extraction"
left=$(find . -maxdepth 1 -name '~kzsfx*')
[ -z "$left" ] && pass || fail "Enter during the extraction left $left"
rm -f zeros.bin

# An encrypted archive: the dialog asks for the password; a wrong one brings the question back.
mkdir -p secret.src/内容
printf 'classified\n' > secret.src/内容/机密.txt
seq 1 5000 > secret.src/numbers.txt
(cd secret.src && zip -qr -P secret ../secret.zip .)
locked=kzsfx-locked-$$
cat "$stub" secret.zip > "$locked.exe"
launch "$locked.exe"
if dialog=$(find_window "$locked" 60); then
  place "$dialog" 300 200
  press "$locked" alt+p  # the label's mnemonic moves to the password box
  xdotool type --delay 50 wrong
  snapshot "$dialog" password.png
  xdotool key Return
  if prompt=$(find_window "输入密码" 60); then
    pass
    place "$prompt" 320 420
    snapshot "$prompt" password-again.png
    press "输入密码" Tab  # from the default button back into the box
    xdotool key shift+Tab
    xdotool type --delay 50 secret
    xdotool key Return
  else
    fail "no question after a wrong password"
  fi
  if wait_for 60 noted "view summary"; then
    diff -r secret.src "$locked" > /dev/null 2>&1 && pass || fail "the right password did not extract the files"
    snapshot "$dialog" password-summary.png
    press "$locked" Return
  else
    fail "the password run did not reach its summary"
  fi
else
  fail "the dialog did not appear for the encrypted archive"
fi
expect_exit "$runner" 30 0 "the right password"

# Keep the screenshots, not the hundreds of megabytes around them.
find . -mindepth 1 -maxdepth 1 ! -name '*.png' -exec rm -rf {} +
echo "screenshots in $work: $(cd "$work" && ls ./*.png | tr '\n' ' ')"
finish dialog
