#!/usr/bin/env bash
# Plays gfxrunner in a virtual X server: a command writes sixty lines, Page Up
# and Page Down move the view back through the lines that scrolled away, a
# typed key brings the live view back with the key on the edit line. Keys go
# in with xdotool, the window is read back with xwd.
#   scrollback_window_test.sh GFXRUNNER WINDOW_READER WINDOW_CLOSER GAME_FOLDER
set -u
program=$(realpath "$1")
reader=$(realpath "$2")
closer=$(realpath "$3")
game_dir=$(realpath "$4")

# Sanitizer builds: the system libraries under SDL keep some memory to the end.
export LSAN_OPTIONS="suppressions=$(dirname "$(realpath "$0")")/sdl_leaks.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

work=$(mktemp -d)
xvfb=""
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$game_dir"/. "$work"/
cd "$work" || exit 2

fail() {
  echo "FAIL: $*"
  [ -f game.err ] && { echo "--- standard error:"; cat game.err; }
  exit 1
}

# A screen larger than the window but less than twice it: the window opens at
# 800 x 600 and the frame fills it unscaled.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>display.txt 2>xvfb.log &
xvfb=$!
for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY=":$(head -n1 display.txt)"

"$program" game </dev/null >game.out 2>game.err &
game=$!
window=$(timeout 10 xdotool search --sync --name '^Tarnwick Scrollback Test$' | head -n1)
[ -n "$window" ] || fail "no window titled after the game"
xdotool windowfocus --sync "$window"

snap() {
  xwd -silent -id "$window" -out window.xwd 2>/dev/null
}

# Waits until the text stands at (x, y) of the frame.
expect_text() {
  local x=$1 y=$2 text=$3 seen=""
  for _ in $(seq 100); do
    if snap; then
      seen=$("$reader" window.xwd text "$x" "$y" "${#text}")
      [ "$seen" = "$text" ] && return 0
    fi
    sleep 0.1
  done
  fail "expected '$text' at ($x,$y), saw '$seen'"
}

# Waits until a frame pixel has the colour.
expect_pixel() {
  local x=$1 y=$2 colour=$3 seen=""
  for _ in $(seq 100); do
    if snap; then
      seen=$("$reader" window.xwd pixel "$x" "$y")
      [ "$seen" = "$colour" ] && return 0
    fi
    sleep 0.1
  done
  fail "pixel ($x,$y) is $seen, expected $colour"
}

keys() { xdotool key --delay 20 "$@"; }

expect_text 4 580 "Restore? "
keys n
expect_text 4 580 ">_ "
xdotool type --delay 20 read
keys Return

# The box: Line 45 to Line 60 and the edit line; above it, kept, the question,
# the command and Line 01 to Line 44.
expect_text 4 580 ">_ "
expect_text 4 564 "Line 60"
expect_text 4 324 "Line 45"
expect_pixel 795 322 000000

# A page back, then another: the marker hangs from the top frame line.
keys Prior
expect_text 4 324 "Line 28"
expect_text 4 580 "Line 44"
expect_pixel 795 322 F0F0F0
keys Prior
expect_text 4 324 "Line 11"
expect_text 4 580 "Line 27"
keys Next
expect_text 4 324 "Line 28"
keys Prior Prior
expect_text 4 324 "Restore?n"
expect_text 4 340 ">read "

# A typed key: the live view as it was, with the key on the edit line.
keys k
expect_text 4 580 ">k_ "
expect_text 4 564 "Line 60"
expect_text 4 324 "Line 45"
expect_pixel 795 322 000000

"$closer" "$window"
for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.2; done
kill -0 "$game" 2>/dev/null && fail "the program did not end"
wait "$game"
status=$?
game=""
[ "$status" = 0 ] || fail "exit status $status"
[ -s game.err ] && fail "output on standard error"
echo "scrollback window test passed"
exit 0
