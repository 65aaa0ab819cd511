#!/usr/bin/env bash
# Real key input through the X server (xdotool's XTEST) on the probe's main window under Wine:
# Shift+Esc, Ctrl+Esc, Alt+Esc, Enter and F1 leave it open; Esc and Alt+F4 close it with exit
# code 0 and the exit routines run once. Also saves a screenshot of the window for review.
# Usage: frame_keys.sh <frame_probe.exe> <output folder> <command that runs a Windows program...>
set -uo pipefail
probe=$1 out=$2
wine_run=("${@:3}")
[ "${#wine_run[@]}" -gt 0 ] || { echo "usage: see the head of $0" >&2; exit 2; }
# The main window's title as the start-up sets it, as an anchored pattern for xdotool.
title=$(sed -n 's/^inline constexpr char kMainWindowTitle\[\] = "\(.*\)";$/\1/p' \
  "$(dirname "$0")/../../resources/design_ids.h")
title_pattern="^$(printf '%s' "$title" | sed 's/[.[\*^$]/\\&/g')\$"
skip=77
DISPLAY=$("${wine_run[@]}" --display)  # also makes sure the display and the wineserver are up
export DISPLAY
# shellcheck source=../e2e/checks.sh
. "$(dirname "$0")/../e2e/checks.sh"

# run_case <name> <closing keys> [screenshot]
run_case() {
  local name=$1 keys=$2 shot=${3:-}
  local log="$out/frame_keys_$name.log"
  rm -f "$log"
  "${wine_run[@]}" "$probe" normal "Z:${log//\//\\}" &
  local pid=$! window=""
  shown() {
    window=$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | tail -n 1)
    [ -n "$window" ]
  }
  if ! wait_for 30 shown; then kill "$pid" 2>/dev/null; fail "$name: no window"; return; fi
  # Without a window manager a click is what gives a Wine window the focus: clicked again each
  # second until it has it, for as long as a loaded machine may take.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local focused=no
  for _ in $(seq 30); do
    xdotool windowraise "$window"
    xdotool mousemove $((X + 117)) $((Y + 235)) click 1
    for _ in $(seq 10); do
      [ "$(xdotool getwindowfocus)" = "$window" ] && focused=yes && break 2
      sleep 0.1
    done
  done
  if [ "$focused" = no ]; then
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    echo "SKIP: another window kept the keyboard focus"; exit $skip
  fi
  if [ -n "$shot" ]; then
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
  fi
  for key in shift+Escape ctrl+Escape alt+Escape Return F1; do
    xdotool key "$key"
    sleep 0.3
  done
  # The probe logs each key its window is handed, in order; F1 (112) is the last one sent, so
  # once it is logged every key before it has been handled.
  wait_for 30 grep -q '^key 112$' "$log"
  if ! grep -q '^key 112$' "$log" || ! kill -0 "$pid" 2>/dev/null || grep -q '^destroyed$' "$log"; then
    fail "$name: a key other than Esc or Alt+F4 closed the window"
  fi
  xdotool key "$keys"
  expect_exit "$pid" 30 0 "$name: $keys"
  [ "$(grep -c '^exit routine first$' "$log")" = 1 ] || fail "$name: exit routine not run once"
  [ "$(grep -c '^exit routine second$' "$log")" = 1 ] || fail "$name: second routine not run once"
}

run_case escape Escape "$out/frame_screen.png"
run_case alt_f4 alt+F4
finish frame_keys
