#!/usr/bin/env bash
# Source and compiled files under faults: a read error in the middle of the
# source, a folder where the source should be, includes that never end or
# block, a long game name, a compile killed part-way, a compiled file that is
# a link or write-protected. Each case checks the output, the exit status
# and that no good file was replaced or left beside.
set -u
program=$1
demo=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work" || exit 2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cp "$demo" game.adv
"$program" -c game >/dev/null || fail "the demo does not compile"
cp game.twk good.twk

# An I/O error on the third read of the source, the demo with comment lines
# after it (the reader reads large pieces): Error 3 at the line where it
# happened, nothing written.
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  { cat "$demo"; for i in $(seq 4000); do echo "| line $i of a comment that makes the source longer"; done; } >long.adv
  "$program" -c long >/dev/null || fail "the long source does not compile"
  cp long.twk long-good.twk
  out=$(strace -o /dev/null -P long.adv -e trace=read -e inject=read:error=EIO:when=3 \
        "$program" -c long 2>/dev/null)
  status=$?
  [ "$status" = 1 ] || fail "read error: status $status"
  [[ $out == "Error 3 at line "*" in file long.adv:"* ]] || fail "read error: output $out"
  [[ $out != *"Conversion complete"* ]] || fail "read error: compiled"
  cmp -s long.twk long-good.twk || fail "read error: long.twk replaced"
  rm -f long.adv long.twk long-good.twk
else
  echo "strace cannot trace here: the injected read error is skipped"
fi

# A folder named game.adv is no source: compile mode says it is not found,
# play falls back to the compiled file.
mkdir folder_game.adv
cp good.twk folder_game.twk
out=$("$program" -c folder_game </dev/null)
[ $? = 1 ] && [ "$out" = "File folder_game.adv not found!" ] || fail "folder source: $out"
cmp -s folder_game.twk good.twk || fail "folder source: compiled file replaced"

# Includes of endless or blocking files are refused at once with Error 3.
mkfifo pipe.adv
for name in /dev/zero /dev/urandom pipe.adv .; do
  printf '[Locations]\n#0,Dark,0,0\n@%s\n' "$name" >inc.adv
  out=$(timeout 10 "$program" -c inc </dev/null)
  status=$?
  [ "$status" = 1 ] || fail "include $name: status $status"
  [ "$out" = "$(printf 'Error 3 at line 3 in file inc.adv:\n@%s' "$name")" ] || fail "include $name: $out"
done

# A game name near the longest a file name allows still compiles: the
# temporary file's name is short.
long=$(printf 'n%.0s' $(seq 1 245))
cp game.adv "$long.adv"
out=$("$program" -c "$long")
[ "$out" = "Conversion complete" ] && cmp -s "$long.twk" good.twk || fail "long name: $out"
rm -f "$long.adv" "$long.twk"

# Compiles killed at random moments leave the older file whole and no file
# of their own.
for i in $(seq 1 60); do
  "$program" -c game >/dev/null &
  pid=$!
  sleep "0.00$((RANDOM % 9))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  cmp -s game.twk good.twk || { fail "kill $i: game.twk damaged"; break; }
done
# A kill in the instant between naming the new file and renaming it may leave
# it; the next compile clears it away.
"$program" -c game >/dev/null
leftovers=$(ls -A | grep -c -v -e '^game\.' -e '^good\.twk$' -e '^folder_game' -e '^pipe\.adv$' -e '^inc\.adv$')
[ "$leftovers" = 0 ] || fail "kills left files: $(ls -A)"

# A compiled file that is a link is written where the link points; the
# link stays. A write-protected one is refused and kept.
mkdir store
mv game.twk store/real.twk
ln -s store/real.twk game.twk
echo old >store/real.twk
out=$("$program" -c game)
[ "$out" = "Conversion complete" ] && [ -L game.twk ] && cmp -s store/real.twk good.twk || fail "linked: $out"
rm game.twk
echo protected >game.twk
chmod 444 game.twk
out=$("$program" -c game)
[ $? = 1 ] && [ "$out" = "Cannot write file game.twk!" ] && [ "$(cat game.twk)" = protected ] || fail "protected: $out"

exit $failed
