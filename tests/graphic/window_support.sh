# Steps shared by the window tests, sourced after the test has set `program`
# (gfxrunner) and, where it reads the window back, `reader` (window_reader):
# a work folder removed at the end with the X server and the game, the
# failure report, a virtual X server, the game started and its window found,
# window dumps, keys, and waits for what the reader should see.

# Sanitizer builds: the system libraries under SDL keep some memory to the end.
export LSAN_OPTIONS="suppressions=$(dirname "${BASH_SOURCE[0]}")/sdl_leaks.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

work=$(mktemp -d)
xvfb=""
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -f game.err ] && { echo "--- standard error:"; cat game.err; }
  exit 1
}

# Copies a game folder into the work folder and goes there.
enter_work_folder() {
  cp -r "$1"/. "$work"/
  cd "$work" || exit 2
}

# A virtual X server of WIDTHxHEIGHT on a free display number, no window manager.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>display.txt 2>xvfb.log &
  xvfb=$!
  for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
  [ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
  export DISPLAY=":$(head -n1 display.txt)"
}

# Starts the program on the game with the options given and waits for its
# window, titled TITLE: start_game TITLE [OPTION...]
start_game() {
  local title=$1
  shift
  "$program" "$@" game </dev/null >game.out 2>game.err &
  game=$!
  window=$(timeout 10 xdotool search --sync --name "^$title\$" | head -n1)
  [ -n "$window" ] || fail "no window titled after the game"
  xdotool windowfocus --sync "$window"
}

snap() {
  xwd -silent -id "$window" -out window.xwd 2>/dev/null
}

# Keys go through the XTEST extension to the focused window, as typed keys do.
keys() { xdotool key --delay 20 "$@"; }
type_line() { xdotool type --delay 20 "$1"; keys Return; }

# Waits until a reader request answers as expected: expect_read EXPECTED REQUEST...
# (the window may still show what it held before it changed).
expect_read() {
  local expected=$1 seen=""
  shift
  for _ in $(seq 100); do
    if snap; then
      seen=$("$reader" window.xwd "$@")
      [ "$seen" = "$expected" ] && return 0
    fi
    sleep 0.1
  done
  fail "$* is '$seen', expected '$expected'"
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
  fail "expected '$text' at ($x,$y), saw '$seen' (placement $("$reader" window.xwd placement))"
}

# Waits for the program to end; checks its status.
expect_exit() {
  for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$game" 2>/dev/null && fail "the program did not end"
  wait "$game"
  local status=$?
  game=""
  [ "$status" = 0 ] || fail "exit status $status"
}
