#!/usr/bin/env bash
# Plays gfxrunner in a virtual X server with pictures: checks the pictures in
# the window (one plain, one scrambled) against ImageMagick's decoding, presses
# Ctrl+Print Screen and checks scrshot.bmp against the window as xwd reads it.
#   screenshot_window_test.sh GFXRUNNER PICSCRAMBLE PICTURE_FIXTURES TEST_FOLDER
set -u
program=$(realpath "$1")
scrambler=$(realpath "$2")
fixtures=$(realpath "$3")
tests=$(realpath "$4")

. "$(dirname "$(realpath "$0")")/window_support.sh"
enter_work_folder "$tests"/screenshot_window_game
mkdir pics
cp "$fixtures"/palette4.png pics/hall.png
"$scrambler" "$fixtures"/palette8.png pics/tower.png || exit 2
convert "$fixtures"/palette4.png hall.ppm
convert "$fixtures"/palette8.png tower.ppm

start_xvfb 1024x768
start_game 'Tarnwick Picture Test'

# The window as xwd dumps it, and as a PPM for frame.py.
snap() {
  xwd -silent -id "$window" -out window.xwd 2>/dev/null && convert window.xwd window.ppm 2>/dev/null
}

# frame.py question: 0 when a question stands on the bottom line of the main window.
# frame.py picture REFERENCE.ppm: 0 when the window's picture area shows the reference.
# frame.py raw: writes the window as frame.raw (800 x 600 colours, 0xRRGGBB, little-endian).
cat >frame.py <<'PY'
import struct, sys
def ppm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace() or data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1 if data[at:at + 1] == b"#" else at + 1
        start = at
        while not data[at:at + 1].isspace(): at += 1
        fields.append(data[start:at])
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:]
width, height, pixels = ppm("window.ppm")
if (width, height) != (800, 600):
    sys.exit("window is %dx%d" % (width, height))
if sys.argv[1] == "question":
    # Any text on the bottom line of the main window: the first question is asked.
    bottom = {pixels[(y * 800 + x) * 3:(y * 800 + x) * 3 + 3] for y in range(580, 594) for x in range(4, 300)}
    sys.exit(0 if len(bottom) > 1 else "no question yet")
elif sys.argv[1] == "picture":
    w, h, reference = ppm(sys.argv[2])
    for y in range(256):
        if pixels[y * 2400:y * 2400 + 1152] != reference[y * 1152:(y + 1) * 1152]:
            sys.exit("row %d of the picture differs" % y)
else:
    colours = [pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2] for i in range(0, len(pixels), 3)]
    open("frame.raw", "wb").write(struct.pack("<%dI" % len(colours), *colours))
PY

# Waits until the picture window shows the reference picture.
expect_picture() {
  local why=""
  for _ in $(seq 50); do
    if snap; then
      why=$(python3 frame.py picture "$1" 2>&1) && return 0
    fi
    sleep 0.2
  done
  fail "picture $1 not shown: $why"
}

keys() { xdotool key --window "$window" "$@"; }

for _ in $(seq 50); do snap && python3 frame.py question 2>/dev/null && break; sleep 0.2; done
keys n                       # no restored game
expect_picture hall.ppm
keys ctrl+Print
for _ in $(seq 50); do [ "$(stat -c %s scrshot.bmp 2>/dev/null)" = 481078 ] && break; sleep 0.2; done
[ "$(stat -c %s scrshot.bmp 2>/dev/null)" = 481078 ] || fail "no screenshot of 481078 bytes"
snap || fail "window not read"
python3 frame.py raw || fail "window not converted"
python3 "$tests"/screenshot_check.py scrshot.bmp frame.raw || fail "screenshot differs from the window"

# The scrambled picture of the next location, then a second screenshot replacing the first.
xdotool type --window "$window" "north"
keys Return
expect_picture tower.ppm
keys ctrl+Print
for _ in $(seq 50); do
  snap && python3 frame.py raw && python3 "$tests"/screenshot_check.py scrshot.bmp frame.raw >check.out && break
  sleep 0.2
done
[ "$(stat -c %s scrshot.bmp)" = 481078 ] || fail "second screenshot of $(stat -c %s scrshot.bmp) bytes"
grep -q "in the palette" check.out || fail "second screenshot differs from the window"
kill -0 "$game" 2>/dev/null || fail "the program ended"
echo "screenshot window test passed"
exit 0
