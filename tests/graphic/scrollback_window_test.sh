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

. "$(dirname "$(realpath "$0")")/window_support.sh"
enter_work_folder "$game_dir"

# A screen larger than the window but less than twice it: the window opens at
# 800 x 600 and the frame fills it unscaled.
start_xvfb 1024x768
start_game 'Tarnwick Scrollback Test'

# Waits until a frame pixel has the colour.
expect_pixel() { expect_read "$3" pixel "$1" "$2"; }

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
expect_exit
[ -s game.err ] && fail "output on standard error"
echo "scrollback window test passed"
exit 0
