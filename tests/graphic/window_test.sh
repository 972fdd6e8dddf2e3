#!/usr/bin/env bash
# Plays gfxrunner in a virtual X server: types commands and answers questions
# with xdotool, reads the window back with xwd, checks the title with xprop,
# resizes the window and closes it as a window manager would. The first
# session keeps a transcript, which must read as ttyrunner's record of the
# same commands and answers.
#   window_test.sh GFXRUNNER WINDOW_READER WINDOW_CLOSER GAME_FOLDER TTYRUNNER
set -u
program=$(realpath "$1")
reader=$(realpath "$2")
closer=$(realpath "$3")
game_dir=$(realpath "$4")
console=$(realpath "$5")

. "$(dirname "$(realpath "$0")")/window_support.sh"
enter_work_folder "$game_dir"

# Without a display there is no window: the message and status 1.
env -u DISPLAY "$program" game </dev/null >nodisplay.out 2>nodisplay.err
status=$?
[ "$status" = 1 ] || fail "status $status without a display"
grep -q '^GrSetMode: ' nodisplay.err || fail "no GrSetMode message: $(cat nodisplay.err)"

start_xvfb 1800x1400

start_window_game() {
  start_game 'Tarnwick Window Test' "$@"
  xdotool mousemove --window "$window" 400 300
}

expect_pixel() {
  local kind=$1 x=$2 y=$3 colour=$4 seen
  seen=$("$reader" window.xwd "$kind" "$x" "$y")
  [ "$seen" = "$colour" ] || fail "$kind ($x,$y) is $seen, expected $colour"
}

start_window_game --transcript=window.txt
props=$(xprop -id "$window" WM_NAME WM_ICON_NAME)
grep -q 'WM_NAME(STRING) = "Tarnwick Window Test"' <<<"$props" || fail "window name: $props"
grep -q 'WM_ICON_NAME(STRING) = "Tarnwick Window Test"' <<<"$props" || fail "icon name: $props"

expect_text 4 580 "Restore? "
expect_pixel pixel 0 0 F0F0F0
expect_pixel pixel 100 100 202088
keys n
expect_text 4 564 "Restore?n"
expect_text 4 580 ">_ "
expect_text 4 260 "Hall"
expect_text 4 300 "Moves 0"
expect_text 388 4 "A hall.  "

type_line "take lamp"
expect_text 4 580 ">_ "
expect_text 4 548 ">take lamp"
expect_text 4 564 "Taken."
expect_text 4 300 "Moves 1"

# History and Backspace.
keys Up
expect_text 4 580 ">take lamp_"
keys BackSpace BackSpace BackSpace BackSpace BackSpace
expect_text 4 580 ">take_     "

# The screenshot key leaves the line as it was.
keys ctrl+Print
type_line "s"
expect_text 4 580 ">_ "
expect_text 4 548 ">takes "
expect_text 4 564 "What? "
[ -f scrshot.bmp ] || fail "no screenshot written"
size=$(stat -c %s scrshot.bmp)
[ "$size" = 481078 ] || fail "screenshot of $size bytes"

# A wider window shows the frame scaled by 2, centred on the background.
xdotool windowmove "$window" 0 0 windowsize "$window" 1700 1200
for _ in $(seq 50); do
  snap && [ "$("$reader" window.xwd scale)" = "2 50 0" ] && break
  sleep 0.2
done
[ "$("$reader" window.xwd scale)" = "2 50 0" ] || fail "window not resized: $("$reader" window.xwd scale)"
expect_text 4 300 "Moves 2"
expect_pixel window 10 10 202088
expect_pixel window 1690 1190 202088
expect_pixel window 50 0 F0F0F0
expect_pixel window 51 1 F0F0F0
expect_pixel window 52 2 202088

# Quit, play again, quit and decline: the program ends by itself.
type_line "quit"
expect_text 4 580 "Really quit? "
keys y
expect_text 4 580 "Save first? "
keys n
expect_text 4 580 "Play again? "
keys y
expect_text 4 580 "Restore? "
expect_text 4 564 "         "
keys n
expect_text 4 300 "Moves 0"

# Ctrl+Z takes the turn back, with the event after it; Ctrl+Y does it again.
type_line "take lamp"
expect_text 4 300 "Moves 1"
keys ctrl+z
expect_text 4 300 "Moves 0"
keys ctrl+y
expect_text 4 300 "Moves 1"
type_line "quit"
expect_text 4 580 "Really quit? "
keys y n
expect_text 4 580 "Play again? "
keys n 2>/dev/null     # the window may be gone before the key is released
expect_exit

# The record: the header, then every prompt with the line entered (edited,
# recalled, the screenshot key left out) and every answer, as the console
# records the same lines.
head -n 1 window.txt | grep -Eq '^Tarnwick [0-9.]+ transcript of game, [0-9-]+ [0-9:]+ UTC, seed [0-9]+$' \
  || fail "transcript header: $(head -n 1 window.txt)"
grep -qx '>take lamp' window.txt && grep -qx '>takes' window.txt && grep -qx 'Play again? y' window.txt \
  || fail "typed lines missing from the transcript: $(cat window.txt)"
printf '%s\n' n 'take lamp' takes quit y n y n 'take lamp' '\undo' '\redo' quit y n n \
  | "$console" --transcript=console.txt game >/dev/null 2>&1
diff <(tail -n +2 console.txt) <(tail -n +2 window.txt) >transcript.diff \
  || fail "transcript differs from the console's (< console, > window): $(cat transcript.diff)"

# Closing the window ends the program cleanly.
start_window_game
expect_text 4 580 "Restore? "
"$closer" "$window"
expect_exit
[ -s game.err ] && fail "output on standard error"
echo "window test passed"
exit 0
