#!/usr/bin/env bash
# Runs one transcript or message case: a folder with the game's files and
#   args      the program's arguments (default: game)
#   input     standard input (default: none)
#   expected  the exact standard output
#   status    the expected exit status (default: 0)
#   locale    the LC_ALL to run under (default: C)
#   check     optional script run afterwards in the work folder (files, bytes);
#             it finds the program in $PROGRAM and the output in actual.out
# The case runs in a fresh copy of its folder, so files it writes are dropped.
set -u
program=$1
export PROGRAM=$program
case_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$case_dir"/. "$work"/
cd "$work" || exit 2

args=game
[ -f args ] && args=$(cat args)
input=/dev/null
[ -f input ] && input=input
locale=C
[ -f locale ] && locale=$(cat locale)

# shellcheck disable=SC2086
LC_ALL=$locale timeout 20 "$program" $args <"$input" >actual.out
status=$?
want_status=0
[ -f status ] && want_status=$(cat status)

failed=0
if ! cmp -s expected actual.out; then
  echo "output differs from expected (--- expected, +++ actual):"
  diff -u --text expected actual.out | head -n 80
  failed=1
fi
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"
  failed=1
fi
if [ -f check ] && ! LC_ALL=$locale bash ./check; then
  echo "check script failed"
  failed=1
fi
exit $failed
