#!/usr/bin/env bash
# ttyrunner --decompile on compiled files it cannot use: a missing file, a
# source without its compiled file, a wrong magic, an empty file, files cut
# short (decompressed and compressed) and counts beyond their data. Each ends
# with a message on standard error, nothing on standard output and status 1.
# A sound compiled file is decompiled even when a different source lies
# beside it: only the compiled file is read. A source that cannot be written
# out ends with status 1 too.
# usage: damaged_files.sh TTYRUNNER DEMO_SOURCE
set -u
program=$1
demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
cp "$demo" demo.adv
"$program" -c demo </dev/null >/dev/null || { echo "the demo does not compile"; exit 1; }
mv demo.twk good.twk
rm demo.adv

failed=0
# expect_refused CASE: decompiles game.twk (or its absence) in the work folder.
expect_refused() {
  timeout 20 "$program" --decompile game </dev/null >out.txt 2>err.txt
  local status=$?
  if [ "$status" != 1 ] || [ -s out.txt ] || ! [ -s err.txt ]; then
    echo "$1: status $status, output $(wc -c <out.txt) bytes, message: $(head -c 200 err.txt)"
    failed=1
  fi
}

rm -f game.twk game.adv
expect_refused "no compiled file"
printf '[Locations]\n#1,Hall,,0\n' >game.adv
expect_refused "a source and no compiled file"
rm game.adv

: >game.twk
expect_refused "an empty file"

python3 - good.twk <<'PY'
import gzip, struct, sys
content = gzip.open(sys.argv[1]).read()
cases = {
    "magic": b"XWBv23" + content[6:],
    "magic-v00": b"TWBv\x00\x00" + content[6:],
    "header-only": content[:6],
    "half": content[:len(content) // 2],
    "arena-short": content[:-1],
    "locations-huge": content[:6] + struct.pack("<h", 32767) + content[8:],
    "locations-negative": content[:6] + struct.pack("<h", -5) + content[8:],
}
# The arena length: the int32 just before the arena image, which ends the file.
at = next(i for i in range(len(content) - 4, 0, -1)
          if struct.unpack_from("<i", content, i)[0] == len(content) - i - 4)
for length in (len(content) - at - 4 + 1, 262145, -1):
    cases["arena-length-%d" % length] = content[:at] + struct.pack("<i", length) + content[at + 4:]
for name, data in cases.items():
    with open("case-" + name + ".twk", "wb") as f:
        f.write(gzip.compress(data))
raw = open(sys.argv[1], "rb").read()
with open("case-gzip-cut.twk", "wb") as f:
    f.write(raw[:len(raw) // 2])
PY
for file in case-*.twk; do
  cp "$file" game.twk
  expect_refused "${file%.twk}"
done

# The sound file, with another game's source beside it.
cp good.twk game.twk
printf '[Locations]\n#1,Elsewhere,,0\n' >game.adv
"$program" --decompile game </dev/null >out.txt 2>err.txt
status=$?
if [ "$status" != 0 ] || ! grep -q '^Title=Tarnwick House$' out.txt || grep -q Elsewhere out.txt || [ -s err.txt ]; then
  echo "a sound compiled file beside another source: status $status"
  failed=1
fi
# Standard output that cannot be written.
if [ -w /dev/full ]; then
  "$program" --decompile game </dev/null >/dev/full 2>err.txt
  status=$?
  if [ "$status" != 1 ] || ! [ -s err.txt ]; then
    echo "standard output full: status $status"
    failed=1
  fi
fi
exit $failed
