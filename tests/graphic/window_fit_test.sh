#!/usr/bin/env bash
# Plays gfxrunner in a virtual X server without a window manager: the frame
# fitted into windows of other shapes and sizes (1920 x 1080, 640 x 480), the
# screenshot staying 800 x 600, and fullscreen on F11 and Alt+Enter, the
# window covering the screen by itself and going back after.
#   window_fit_test.sh GFXRUNNER WINDOW_READER WINDOW_CLOSER GAME_FOLDER
set -u
program=$(realpath "$1")
reader=$(realpath "$2")
closer=$(realpath "$3")
game_dir=$(realpath "$4")

. "$(dirname "$(realpath "$0")")/window_support.sh"
enter_work_folder "$game_dir"

SCREEN_WIDTH=2000
SCREEN_HEIGHT=1200
start_xvfb "${SCREEN_WIDTH}x${SCREEN_HEIGHT}"
start_game 'Tarnwick Window Test'


# The window's position and size as the X server has them: "X Y WIDTH HEIGHT".
geometry() {
  xwininfo -id "$window" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print x, y, w, h}'
}

expect_geometry() {
  local seen=""
  for _ in $(seq 50); do
    seen=$(geometry)
    [ "$seen" = "$1" ] && return 0
    sleep 0.1
  done
  fail "window geometry $seen, expected $1"
}

# Waits until the reader finds the frame placed as given: "WIDTH HEIGHT LEFT TOP".
expect_placement() { expect_read "$1" placement; }

expect_window_pixel() { expect_read "$3" window "$1" "$2"; }

# How many frame pixels of a box are nearer the text colour than the background.
expect_count() { expect_read "$5" count "$1" "$2" "$3" "$4" F0F0F0; }

# Opened at the largest whole factor that fits the screen.
expect_geometry "200 0 1600 1200"
expect_text 4 580 "Restore? "

# 1920 x 1080: scale 1.8, the frame 1440 x 1080 at x 240, the margins in the background.
xdotool windowmove "$window" 0 0 windowsize "$window" 1920 1080
expect_placement "1440 1080 240 0"
[ "$("$reader" window.xwd scale)" = "1.8 240 0" ] || fail "scale $("$reader" window.xwd scale)"
expect_text 4 580 "Restore? "
keys n
expect_text 4 580 ">_ "
expect_text 4 260 "Hall"
expect_text 388 4 "A hall.  "
expect_window_pixel 239 540 202088
expect_window_pixel 1680 540 202088
expect_window_pixel 240 0 F0F0F0
expect_window_pixel 1679 1079 F0F0F0

# The screenshot is the 800 x 600 frame whatever the window's size.
keys ctrl+Print
for _ in $(seq 50); do [ "$(stat -c %s scrshot.bmp 2>/dev/null)" = 481078 ] && break; sleep 0.1; done
[ "$(stat -c %s scrshot.bmp 2>/dev/null)" = 481078 ] || fail "no screenshot of 481078 bytes"
dimensions=$(python3 -c 'import struct, sys; print(*struct.unpack_from("<ii", open(sys.argv[1], "rb").read(), 18))' scrshot.bmp)
[ "$dimensions" = "800 600" ] || fail "screenshot of $dimensions pixels"

# Alt+Enter and F11 toggle fullscreen: the window covers the screen, then goes
# back; neither is a key of the line being typed.
xdotool type --delay 20 "take"
expect_text 4 580 ">take_ "
for toggle in alt+Return F11; do
  keys "$toggle"
  expect_geometry "0 0 $SCREEN_WIDTH $SCREEN_HEIGHT"
  expect_placement "1600 1200 200 0"
  expect_text 4 580 ">take_ "
  expect_window_pixel 100 600 202088
  keys "$toggle"
  expect_geometry "0 0 1920 1080"
  expect_placement "1440 1080 240 0"
  expect_text 4 580 ">take_ "
  expect_window_pixel 100 600 202088
done
xdotool type --delay 20 " lamp"
keys Return
expect_text 4 580 ">_ "
expect_text 4 548 ">take lamp"
expect_text 4 564 "Taken."

# 640 x 480: the whole frame scaled down, its frame lines where they belong,
# and the text typed on the input line.
xdotool windowsize "$window" 640 480
expect_placement "640 480 0 0"
expect_count 0 10 0 590 581
expect_count 799 10 799 590 581
expect_count 384 10 384 310 301
expect_count 10 256 380 256 371
expect_count 10 320 790 320 781
expect_count 200 10 200 250 0
expect_count 20 580 120 593 0
xdotool type --delay 20 "take lamp"
for _ in $(seq 50); do
  snap && [ "$("$reader" window.xwd count 20 580 120 593 F0F0F0)" -gt 100 ] && break
  sleep 0.1
done
[ "$("$reader" window.xwd count 20 580 120 593 F0F0F0)" -gt 100 ] || fail "no text on the input line"

"$closer" "$window"
expect_exit
[ -s game.err ] && fail "output on standard error"
echo "window fit test passed"
exit 0
