#!/usr/bin/env python3
"""Checks that every example shown in the manuals and the README is the same as its tested fixture.

A fenced block in docs/*.md or README.md is tied to a fixture file by a marker line right above
its opening fence:

    <!-- example: first-game/game.adv -->            the block is the whole file
    <!-- example: objects/game.adv part -->          the block is a run of whole lines of it
    <!-- example: accents/game.adv latin1 -->        the file is Latin-1, the block UTF-8
    <!-- example: scrambled/game.adv rot13 -->       the file is scrambled, the block plain

Paths are relative to docs/examples/. Every ```adv block must carry a marker, so that
no game source in the manuals goes untested. Exits 0 when all blocks match.

With --update, blocks that show a whole file are rewritten from their fixtures
(after a fixture changed on purpose); excerpts ("part") are only checked.
"""
import codecs
import pathlib
import re
import sys

DOCS = pathlib.Path(__file__).resolve().parent
EXAMPLES = DOCS / "examples"
MARKER = re.compile(r"^<!-- example: (\S+)((?: \w+)*) -->$")
SCRAMBLE_MARKER = "\x15crypt\x15"


def fixtureText(path, options):
    """The fixture's content as the manual shows it."""
    text = path.read_bytes().decode("latin-1" if "latin1" in options else "utf-8")
    if "rot13" in options:
        first, _, rest = text.partition("\n")
        if first.lower() != SCRAMBLE_MARKER:
            raise ValueError("has no scrambling marker on its first line")
        text = codecs.encode(rest, "rot13")
    return text


def blockLines(text):
    """The lines of a block showing the whole text: the fence ends its last line."""
    if text.endswith("\n"):
        text = text[:-1]
    return text.split("\n") if text else []


def blockMatches(lines, text, options):
    if "part" in options:
        whole = text.split("\n")
        return bool(lines) and any(whole[i:i + len(lines)] == lines
                                   for i in range(len(whole) - len(lines) + 1))
    return lines == blockLines(text)


def checkManual(manual, update):
    faults = []
    lines = manual.read_text(encoding="utf-8").split("\n")
    changed = False
    i = 0
    while i < len(lines):
        fence = lines[i]
        if not fence.startswith("```"):
            i += 1
            continue
        end = i + 1
        while end < len(lines) and lines[end] != "```":
            end += 1
        where = f"{manual.name}:{i + 1}"
        marker = MARKER.match(lines[i - 1]) if i > 0 else None
        if marker:
            name, options = marker.group(1), marker.group(2).split()
            try:
                text = fixtureText(EXAMPLES / name, options)
                if not blockMatches(lines[i + 1:end], text, options):
                    if update and "part" not in options:
                        lines[i + 1:end] = blockLines(text)
                        end = i + 1 + len(blockLines(text))
                        changed = True
                    else:
                        faults.append(f"{where}: block differs from examples/{name}")
            except (OSError, ValueError) as problem:
                faults.append(f"{where}: examples/{name}: {problem}")
        elif fence.strip() == "```adv":
            faults.append(f"{where}: game source without an example marker")
        i = end + 1
    if changed:
        manual.write_text("\n".join(lines), encoding="utf-8")
    return faults


def main():
    update = "--update" in sys.argv[1:]
    faults = []
    for manual in sorted(DOCS.glob("*.md")) + [DOCS.parent / "README.md"]:
        faults += checkManual(manual, update)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
