#!/usr/bin/env bash
# Plays the demo walkthrough under valgrind memcheck with a plain build's
# ttyrunner: no memory errors, no lost blocks, and no memory still held at
# exit that grows with play (the full walkthrough against its first moves).
# Skipped, with a note, when valgrind is not installed.
#   valgrind_walkthrough.sh BUILD_DIR
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(cd "$1" && pwd)/ttyrunner
case_dir=$root/tests/demo/walkthrough

if ! command -v valgrind >/dev/null; then
  echo "valgrind walkthrough: skipped (valgrind is not installed)"
  exit 0
fi
[ -x "$program" ] || { echo "valgrind walkthrough: $program is missing"; exit 1; }
[ -f "$case_dir/input" ] || { echo "valgrind walkthrough: no walkthrough input yet"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Plays the first $2 lines of the walkthrough (all when empty) in a fresh
# folder $1; prints the bytes still reachable at exit.
play() {
  local dir=$work/$1
  mkdir -p "$dir"
  cp "$root/games/demo.adv" "$dir/demo.adv"
  if [ -n "$2" ]; then head -n "$2" "$case_dir/input" >"$dir/input"; else cp "$case_dir/input" "$dir/input"; fi
  (cd "$dir" && LC_ALL=C timeout 600 valgrind -q --error-exitcode=99 --leak-check=full \
      --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
      --log-file=valgrind.log "$program" demo <input >actual.out)
  local status=$?
  if [ $status -ne 0 ] || grep -q 'ERROR SUMMARY: [1-9]' "$dir/valgrind.log"; then
    echo "valgrind walkthrough: memcheck found errors ($1, status $status):" >&2
    head -n 60 "$dir/valgrind.log" >&2
    return 1
  fi
  (cd "$dir" && LC_ALL=C valgrind --leak-check=full --show-leak-kinds=reachable \
      --log-file=reachable.log "$program" demo <input >/dev/null)
  grep -o 'still reachable: [0-9,]* bytes' "$dir/reachable.log" | tr -dc 0-9
  echo
}

short=$(play short 3) || exit 1
full=$(play full "") || exit 1
if ! cmp -s "$work/full/actual.out" "$case_dir/expected"; then
  echo "valgrind walkthrough: the output differs from the walkthrough's expected output"
  diff -u --text "$case_dir/expected" "$work/full/actual.out" | head -n 40
  exit 1
fi
if [ "${full:-0}" -gt "${short:-0}" ]; then
  echo "valgrind walkthrough: memory held at exit grows with play (${short:-0} -> ${full:-0} bytes)"
  exit 1
fi
echo "valgrind walkthrough: ok (no errors, no leaks; ${full:-0} bytes held at exit after the whole walkthrough, ${short:-0} after 3 moves)"
