#!/usr/bin/env python3
"""The round trip of ttyrunner --decompile: every game source of the test
fixtures, the manuals' examples and the demo that compiles, and games made by
the benchmark's generator, is compiled; its compiled file is decompiled alone
in a folder of its own; the recovered source is compiled again, and the two
compiled files must hold the same bytes once decompressed. Each game is also
written as version 20 and 22 files, whose recovered source must compile to
what the loader makes of them (their rule kinds converted, no title and no
status line).

usage: round_trip.py TTYRUNNER PROJECT_DIR"""

import glob
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile

SETTINGS_BYTES = 5 * 2 + 2 + 16 + 32   # StartLocation .. ImagePath
TITLE_AND_STATUS = 64 + 64
RULE_SIZE = 82

SMALL = ["--locations", "40", "--objects", "30", "--words", "90", "--variables", "20",
         "--actions", "300", "--events", "40", "--messages", "60", "--text-bytes", "12000"]
# Generated games: (seed, options). Small ones, one whose action rules all
# fail late (--unmatched), a middle one and the benchmark's own size, whose
# texts nearly fill the arena.
GENERATED = [
    (1, SMALL),
    (2, SMALL + ["--unmatched"]),
    (3, ["--locations", "300", "--objects", "200", "--words", "400", "--variables", "120",
         "--actions", "3000", "--events", "300", "--messages", "500", "--text-bytes", "120000"]),
    (4, []),
]


def run(program, args, cwd):
    return subprocess.run([program] + args, cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)


def rule_tables(content):
    """Offsets and counts of the events and actions rows in a version 23 image."""
    pos = 6

    def int16():
        nonlocal pos
        value = struct.unpack_from("<h", content, pos)[0]
        pos += 2
        return value

    def last_index(row_size):
        nonlocal pos
        last = int16()
        if last >= 0:
            pos += (last + 1) * row_size

    def counted(row_size):
        nonlocal pos
        count = int16()
        start = pos
        if count > 0:
            pos += (count + 1) * row_size
        return start, max(count, 0)

    last_index(56)
    pos += 40
    last_index(8)
    last_index(4)
    pos += 128
    last_index(20)
    counted(10)
    counted(10)
    events = counted(RULE_SIZE)
    actions = counted(RULE_SIZE)
    counted(10)
    return events, actions, pos + SETTINGS_BYTES


def old_version(content, version):
    """The same game as a version 20 or 22 file, and what loading it gives."""
    events, actions, title_at = rule_tables(content)
    body = content[6:title_at] + content[title_at + TITLE_AND_STATUS:]
    old = (b"TWB2" if version == 20 else b"TWBv22") + body
    loaded = bytearray(content)
    loaded[title_at:title_at + TITLE_AND_STATUS] = bytes(TITLE_AND_STATUS)
    for start, count in (events, actions):
        kinds = [start + row * RULE_SIZE for row in range(count)]
        if version == 20:
            for previous, row in zip(kinds, kinds[1:]):
                if content[previous] == ord("c") and content[row] == ord("c"):
                    loaded[row] = ord("|")
        for row in kinds:
            if loaded[row] == ord("{"):
                loaded[row] = ord("/")
    return old, bytes(loaded)


def recovered_content(program, twk_bytes, name, work):
    """Decompiles a compiled file alone in a folder, compiles the source:
    (decompressed content, error text)."""
    folder = tempfile.mkdtemp(dir=work)
    with open(os.path.join(folder, name + ".twk"), "wb") as f:
        f.write(twk_bytes)
    result = run(program, ["--decompile", name], folder)
    if result.returncode != 0:
        return None, "--decompile failed: " + result.stderr.decode("latin-1")
    source = result.stdout
    if b"| closest source:" in source:
        return None, "the recovered source notes a closest source"
    again = tempfile.mkdtemp(dir=work)
    with open(os.path.join(again, name + ".adv"), "wb") as f:
        f.write(source)
    result = run(program, ["-c", name], again)
    twk = os.path.join(again, name + ".twk")
    if result.returncode != 0 or not os.path.exists(twk):
        return None, "the recovered source does not compile:\n" + result.stdout.decode("latin-1")[:2000]
    with gzip.open(twk) as f:
        return f.read(), None


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def round_trip(program, folder, name, work, label):
    """Compiles NAME.adv in a copy of folder; None when it does not compile,
    else the list of failures."""
    stage = tempfile.mkdtemp(dir=work)
    shutil.copytree(folder, stage, dirs_exist_ok=True)
    for old in glob.glob(os.path.join(stage, "*.twk")):
        os.remove(old)
    result = run(program, ["-c", name], stage)
    twk = os.path.join(stage, name + ".twk")
    if result.returncode != 0 or not os.path.exists(twk):
        return None
    with open(twk, "rb") as f:
        compressed = f.read()
    with gzip.open(twk) as f:
        content = f.read()
    failures = []
    cases = [("", compressed, content)]
    for version in (20, 22):
        old, loaded = old_version(content, version)
        cases.append((" (version %d)" % version, gzip.compress(old), loaded))
    for suffix, twk_bytes, expected in cases:
        got, problem = recovered_content(program, twk_bytes, name, work)
        if problem:
            failures.append(label + suffix + ": " + problem)
        elif got != expected:
            failures.append("%s%s: the compiled files differ from byte %d (%d and %d bytes)"
                            % (label, suffix, first_difference(got, expected), len(got), len(expected)))
    return failures


def main():
    program, project = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    games = []
    for pattern in ("tests/transcripts/*/", "tests/messages/*/", "docs/examples/*/"):
        for folder in sorted(glob.glob(os.path.join(project, pattern))):
            for source in sorted(glob.glob(os.path.join(folder, "*.adv"))):
                games.append((folder, os.path.basename(source)[:-4]))
    games.append((os.path.join(project, "games"), "demo"))

    failures = []
    tried = 0
    with tempfile.TemporaryDirectory() as work:
        generated = os.path.join(work, "generated")
        os.mkdir(generated)
        for seed, extra in GENERATED:
            name = "gen%d" % seed
            subprocess.run([sys.executable, os.path.join(project, "bench", "generate_game.py"),
                            "--seed", str(seed), "--name", name, "--out", generated, "--commands", "1"]
                           + extra,
                           check=True, stdout=subprocess.DEVNULL)
            games.append((generated, name))
        for folder, name in games:
            label = os.path.relpath(os.path.join(folder, name + ".adv"), project) \
                if folder.startswith(project) else "generated " + name
            result = round_trip(program, folder, name, work, label)
            if result is None:
                continue
            tried += 1
            failures += result
    for failure in failures:
        print(failure)
    print("%d games compiled, %d round trips (3 per game), %d failed" % (tried, 3 * tried, len(failures)))
    return 1 if failures or tried == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
