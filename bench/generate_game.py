#!/usr/bin/env python3
"""Generates a large, valid Tarnwick game source, a script of player commands
for it, and a summary of what the script makes the rule walker visit.

The game compiles without a single warning. Its action rules all begin with a
verb test; for every game verb one "anchor" rule (verb and its own noun, no
further condition, a message as its action) is the only rule that can act on
that verb and noun, so the records one pass of each action scan visits are
known here without running the game: anchor position + 2 for an anchor
command, the whole table for a built-in command, none for a line without a
verb. Event rules hold no loops, halts or quits, so every events run visits
the whole event table."""

import argparse
import json
import random
import sys

ARENA_SIZE = 262144
MAX_ROWS = 32767
MAX_ENTRY = 32766
LINE_TEXT = 180           # characters of text per source line at most

DIRECTIONS = [("north", "n"), ("south", "s"), ("east", "e"), ("west", "w"),
              ("up", "u"), ("down", "d"), ("northeas", "ne"), ("northwes", "nw"),
              ("southeas", "se"), ("southwes", "sw")]
BUILTIN_VERBS = [(11, ("inventor", "i", "invent")), (12, ("look", "l")),
                 (13, ("examine", "x", "inspect")), (14, ("take", "get")),
                 (15, ("drop", "discard")), (16, ("wear",)), (17, ("remove",)),
                 (18, ("wait", "z")), (21, ("save",)), (22, ("restore",)),
                 (23, ("quit", "q"))]
FIRST_GAME_VERB = 24

# Words a generated name must never be: rule keywords and leading words.
RESERVED = set("""begin fbegin sbegin end then do if or and while not verb noun
noun2 noun3 anynoun move at exist isin carried worn owned here present dark eq
gt lt free random continued create destroy get wear put moveall swap go exit
subst light message sysmsg show pause quit set reset add sub mchoiche bchoiche
redesc cls halt continue break please the xyzzy hello there plugh what""".split())

PROSE = """the a an old dusty narrow wide stone wooden iron silver quiet dark
bright cold warm damp ancient broken hidden small large long low high north
south east west corridor hall chamber passage stair door window wall floor
ceiling table chair lamp rope key coin chest book map torch sword shield ring
cloak bottle water river bridge tower cellar garden path forest tree rock cave
light shadow dust smell sound echo wind rain fire smoke ash glass gold copper
leads into opens onto from beyond behind beneath above under over through with
without near far here there is are was lies stands hangs rests waits sleeps
you see can notice feel hear that this which where somewhere nothing something
everything each every some many few one two three of to in on by for""".split()

SYLLABLES = [c + v for c in "bcdfghjklmnprstvz" for v in "aeiou"] + \
            ["ar", "en", "il", "or", "un", "ath", "eth", "ist", "orn", "uld"]


class Names:
    """Unique words of at most 8 letters, never a keyword, unique on their
    first 8 characters without regard to case."""

    def __init__(self, rng):
        self.rng = rng
        self.used = set(RESERVED)
        for pair in DIRECTIONS:
            self.used.update(pair)
        for _, words in BUILTIN_VERBS:
            self.used.update(words)

    def take(self, word):
        self.used.add(word.lower()[:8])
        return word

    def fresh(self, length_low=4, length_high=8):
        while True:
            word = ""
            target = self.rng.randint(length_low, length_high)
            while len(word) < target:
                word += self.rng.choice(SYLLABLES)
            word = word[:8]
            if word not in self.used and not word[0].isdigit():
                self.used.add(word)
                return word


class Arena:
    """Counts arena bytes exactly as the texts will be appended."""

    def __init__(self):
        self.used = 1          # offset 0 never holds a text

    def text(self, s):
        self.used += len(s) + 1

    def continued(self, s):
        self.used += len(s) + 1


def prose(rng, length):
    """Words of PROSE, about length characters (never more), capitalised."""
    words = []
    total = -1
    while True:
        w = rng.choice(PROSE)
        if words and total + len(w) + 1 > length:
            break
        words.append(w)
        total += len(w) + 1
    s = " ".join(words)
    return s[0].upper() + s[1:]


def text_lines(rng, length):
    """A text of about length characters as source lines (joined by one blank)."""
    lines = []
    left = length
    while left > 0:
        piece = min(left, LINE_TEXT)
        line = prose(rng, piece)
        lines.append(line)
        left -= len(line) + 1
    return lines or ["A"]


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--locations", type=int, default=2000)
    p.add_argument("--objects", type=int, default=2000)
    p.add_argument("--words", type=int, default=2000,
                   help="verb and noun words together (synonyms included)")
    p.add_argument("--variables", type=int, default=1000)
    p.add_argument("--actions", type=int, default=20000, help="action rule records")
    p.add_argument("--events", type=int, default=2000, help="event rule records")
    p.add_argument("--messages", type=int, default=3000)
    p.add_argument("--text-bytes", type=int, default=246000,
                   help="arena bytes the game's texts fill, at most %d" % ARENA_SIZE)
    p.add_argument("--commands", type=int, default=10000)
    p.add_argument("--unmatched", action="store_true",
                   help="anchor rules fail on a later condition: every action scan runs to the end")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--name", default="large", help="game name: writes NAME.adv")
    p.add_argument("--out", default=".", help="folder for the files")
    args = p.parse_args(argv)
    if not 1 <= args.locations <= MAX_ENTRY or not 1 <= args.objects <= MAX_ENTRY:
        p.error("locations and objects must be 1..%d" % MAX_ENTRY)
    if not 0 < args.variables <= MAX_ENTRY:
        p.error("variables must be 1..%d" % MAX_ENTRY)
    if not 8 <= args.actions <= MAX_ROWS or not 4 <= args.events <= MAX_ROWS:
        p.error("actions must be 8..%d and events 4..%d" % (MAX_ROWS, MAX_ROWS))
    if args.text_bytes > ARENA_SIZE - 16:
        p.error("text-bytes must stay below the arena size")
    return args


def generate(args):
    rng = random.Random(args.seed)
    names = Names(rng)
    arena = Arena()
    out = []

    def emit(line):
        assert len(line) <= 500, line
        out.append(line)

    # Vocabulary sizes: the built-in words, then game verbs and nouns.
    builtin_words = sum(len(p) for p in DIRECTIONS) + sum(len(w) for _, w in BUILTIN_VERBS)
    free_words = max(args.words - builtin_words, 4)
    verb_words = max(free_words // 4, 1)
    noun_words = max(free_words - verb_words, 2)
    game_verbs = min(max(verb_words * 4 // 5, 1), MAX_ENTRY - FIRST_GAME_VERB)
    noun_count = min(max(noun_words * 9 // 10, 2), MAX_ENTRY)

    verb_lists = {v: [names.fresh()] for v in range(FIRST_GAME_VERB, FIRST_GAME_VERB + game_verbs)}
    for _ in range(verb_words - game_verbs):                 # synonyms
        verb_lists[rng.randrange(FIRST_GAME_VERB, FIRST_GAME_VERB + game_verbs)].append(names.fresh())
    noun_lists = {n: [names.fresh()] for n in range(1, noun_count + 1)}
    for _ in range(noun_words - noun_count):
        noun_lists[rng.randint(1, noun_count)].append(names.fresh())
    var_names = [names.take("score"), names.take("turns")]
    while len(var_names) < args.variables:
        var_names.append(names.fresh(3, 8))

    # [System], [Sysmsg], [Directions], [Intro]
    emit("| Generated benchmark game: %d locations, %d objects, %d words, %d variables,"
         % (args.locations, args.objects, args.words, args.variables))
    emit("| %d action and %d event rule records." % (args.actions, args.events))
    emit("[System]")
    title = "The Endless Maze of %s" % names.fresh().capitalize()
    for line in ("Title=" + title, "StartLocation=1", "MaxItems=8", "Prompt=What now? ",
                 "ShowExits=1", "BgColor=1", "FgColor=14", "Boolean=yn",
                 "StatusLine=Score: %score%  Turns: %turns%"):
        emit(line)
    emit("[Sysmsg]")
    sysmsgs = {1: "I don't understand that.", 2: "That isn't here.", 3: "You can't do that.",
               4: "You are carrying too much.", 5: "You can't go that way.",
               7: "You see nothing special.", 8: "You can't do that yet.",
               9: "Time passes.", 10: "Done.", 11: "You can see:", 12: "You are carrying:",
               13: "(worn)", 14: "You are empty-handed.", 19: "Exits:",
               21: "Save the game?", 22: "Restore a game?", 23: "Restore a saved game?",
               24: "Do you really want to quit?", 25: "Save first?", 26: "Play again?",
               29: "The file cannot be used."}
    for n in range(1, 32):
        text = sysmsgs.get(n, "System message %d." % n)
        emit("#%d,%s" % (n, text))
        arena.text(text)
    emit("[Directions]")
    for k, (word, _) in enumerate(DIRECTIONS):
        emit("#%d,%s" % (k + 1, word))
        arena.text(word)
    emit("[Intro]")
    emit("#1,intro.png")
    arena.text("intro.png")
    intro = "Welcome to %s. You have %%score%% points." % title
    emit(intro)
    arena.text(intro)

    # [Verbs], [Nouns], [Vars] come before the rules that name them.
    emit("[Verbs]")
    for k, pair in enumerate(DIRECTIONS):
        emit("#%d,%s" % (k + 1, ",".join(pair)))
    for number, words in BUILTIN_VERBS:
        emit("#%d,%s" % (number, ",".join(words)))
    for v, words in verb_lists.items():
        emit("#%d,%s" % (v, ",".join(words)))
    emit("[Nouns]")
    for n, words in noun_lists.items():
        emit("#%d,%s" % (n, ",".join(words)))
    emit("[Vars]")
    for i in range(0, len(var_names), 40):
        emit(",".join(var_names[i:i + 40]))

    # Fixed texts: names of locations and objects, pictures.
    loc_names = {}
    for n in range(0, args.locations + 1):
        loc_names[n] = "Darkness" if n == 0 else "%s %s" % (
            rng.choice(["Old", "Dusty", "Narrow", "Quiet", "Cold", "Hidden", "Broken", "Great"]),
            rng.choice(["Hall", "Passage", "Cellar", "Tower", "Garden", "Cave", "Chamber", "Bridge"]))
        arena.text(loc_names[n])
    pictures = {}
    for n in range(1, args.locations + 1):
        if rng.random() < 0.25:
            pictures[n] = "room%d.png" % n
            arena.text(pictures[n])
    obj_names = {}
    for n in range(1, args.objects + 1):
        obj_names[n] = "a %s %s" % (rng.choice(["brass", "rusty", "silver", "small", "heavy", "old"]),
                                    noun_lists[(n - 1) % noun_count + 1][0])
        arena.text(obj_names[n])

    # The text budget: descriptions share part of it, messages take the rest.
    message_texts = {}
    budget = args.text_bytes - arena.used
    if budget < args.messages * 8 + args.locations * 8:
        sys.exit("generate_game: text-bytes too small for the names and texts asked for")
    per_location = max(budget * 45 // 100 // args.locations - 2, 6)
    per_object = max(budget * 20 // 100 // args.objects - 2, 4)

    def description(length):
        lines = text_lines(rng, length)
        arena.text(lines[0])
        for line in lines[1:]:
            arena.continued(line)
        return lines

    # [Locations]: a grid; direction k+1 leads to the neighbour in that direction.
    width = max(int(args.locations ** 0.5), 1)
    steps = [-width, width, 1, -1, 0, 0, -width + 1, -width - 1, width + 1, width - 1]
    dark = set()
    emit("[Locations]")
    emit("#0,Darkness,,0")
    emit("It is pitch dark. You might fall into a pit.")
    arena.text("It is pitch dark. You might fall into a pit.")
    for n in range(1, args.locations + 1):
        exits = []
        col = (n - 1) % width
        for k, step in enumerate(steps):
            target = n + step
            if k in (4, 5):                  # up and down: now and then, anywhere
                target = rng.randint(1, args.locations) if rng.random() < 0.05 else 0
            elif (step in (1, -width + 1, width + 1) and col == width - 1) or \
                 (step in (-1, -width - 1, width - 1) and col == 0):
                target = 0
            if not 1 <= target <= args.locations or rng.random() < 0.15:
                target = 0
            exits.append(target)
        flags = 1 if n > 1 and rng.random() < 0.03 else 0
        if flags:
            dark.add(n)
        emit("#%d,%s,%s,%d,%s" % (n, loc_names[n], pictures.get(n, ""), flags,
                                  ",".join(str(e) for e in exits)))
        out.extend(description(rng.randint(per_location // 2, per_location * 3 // 2)))

    # [Objects]: most can be taken, some worn, a few give light; a lamp is carried.
    object_nouns = {}
    object_loc = {}
    emit("[Objects]")
    for n in range(1, args.objects + 1):
        noun = (n - 1) % noun_count + 1
        object_nouns[n] = noun
        if n == 1:
            loc, flags = -1, 5               # the lamp, carried from the start
        else:
            loc = rng.randint(1, args.locations) if rng.random() < 0.9 else 0
            flags = rng.choice([0, 1, 1, 1, 3]) | (4 if rng.random() < 0.01 else 0)
        object_loc[n] = loc
        noun_field = noun_lists[noun][0] if rng.random() < 0.5 else str(noun)
        emit("#%d,%s,%d,%d,%s" % (n, obj_names[n], loc, flags, noun_field))
        out.extend(description(rng.randint(per_object // 2, per_object * 3 // 2)))

    # Messages take what is left of the text budget.
    per_message = max((args.text_bytes - arena.used) // args.messages - 1, 4)
    for m in range(1, args.messages + 1):
        s = prose(rng, rng.randint(per_message * 2 // 3, per_message * 4 // 3))
        if m % 50 == 0:
            s += " Your score is %score% after %turns% turns."
        message_texts[m] = s
        arena.text(s)
    emit("[Messages]")
    for m, s in message_texts.items():
        emit("#%d,%s" % (m, s))

    def verb_ref(v):
        return rng.choice(verb_lists[v]) if rng.random() < 0.5 else str(v)

    def noun_ref(n):
        return rng.choice(noun_lists[n]) if rng.random() < 0.5 else str(n)

    def var_ref():
        return rng.choice(var_names)

    def msg():
        return rng.randint(1, args.messages)

    def loc():
        return rng.randint(1, args.locations)

    def obj():
        return rng.randint(1, args.objects)

    # [Events]: no loops, halts or quits, so each run visits every record once.
    # They draw from a stream of their own, so that the rest of the game is
    # the same whatever their number (the event scan is timed against the
    # same game with one event record).
    rest_of_game = rng.getstate()
    rng.seed(args.seed * 7919 + 1)
    events = [["add turns 1"]]
    count = 1
    while count < args.events:
        left = args.events - count
        choice = rng.random()
        if left >= 5 and choice < 0.15:
            rule = ["if gt %s %d" % (var_ref(), rng.randint(1, 20)), "begin",
                    "if at %d" % loc(), "then reset %s" % var_ref(), "end"]
        elif left >= 3 and choice < 0.35:
            rule = ["if eq %s %d" % (var_ref(), rng.randint(0, 5)), "and at %d" % loc(),
                    "then sub %s 1 message %d" % (var_ref(), msg())]
        elif left >= 2 and choice < 0.55:
            rule = ["if at %d carried %d" % (loc(), obj()), "then set %s" % var_ref()]
        elif left >= 2 and choice < 0.70:
            rule = ["if random 1 %d" % rng.randint(50, 500), "then add %s 1" % var_ref()]
        elif left >= 2 and choice < 0.75:
            rule = ["if begin", "then set %s %d" % (var_ref(), rng.randint(1, 9))]
        elif left >= 2 and choice < 0.78:
            rule = ["if dark 0 not carried 1", "then message %d" % msg()]
        elif left >= 2:
            rule = ["if at %d here %d" % (loc(), obj()), "then message %d" % msg()]
        else:
            rule = ["add %s 1" % var_ref()] * left
        events.append(rule)
        count += len(rule)
    rng.setstate(rest_of_game)

    # [Actions]: every rule starts with a verb test. For each game verb one
    # anchor noun is used by its anchor rule only.
    nouns_by_verb = {}
    anchor_noun = {}
    for v in verb_lists:
        anchor_noun[v] = rng.randint(1, noun_count)

    def other_noun(v):
        while True:
            n = rng.randint(1, noun_count)
            if n != anchor_noun[v]:
                return n

    def game_verb():
        return rng.randrange(FIRST_GAME_VERB, FIRST_GAME_VERB + game_verbs)

    rules = []
    for v in verb_lists:
        anchor = ["if verb %s noun %s" % (verb_ref(v), noun_ref(anchor_noun[v]))]
        if args.unmatched:
            anchor.append("and eq %s -999" % var_ref())     # no rule sets a value below 0
        rules.append(("anchor", v, anchor + ["then message %d" % msg()]))
    count = sum(len(r[2]) for r in rules)
    if count > args.actions:
        sys.exit("generate_game: %d action records cannot hold one rule per game verb (%d)"
                 % (args.actions, count))
    while count < args.actions:
        left = args.actions - count
        v = game_verb()
        n = other_noun(v)
        c = rng.random()
        if left >= 7 and c < 0.10:
            rule = ["if verb %s" % verb_ref(v), "begin",
                    "if noun %s" % noun_ref(n), "then message %d" % msg(),
                    "if noun %s present %d" % (noun_ref(other_noun(v)), obj()),
                    "then message %d set %s 2" % (msg(), var_ref()), "end"]
        elif left >= 3 and c < 0.25:
            rule = ["if verb %s noun %s" % (verb_ref(v), noun_ref(n)),
                    "and carried %d" % obj(), "then message %d" % msg()]
        elif left >= 3 and c < 0.35:
            rule = ["if verb %s noun %s" % (verb_ref(v), noun_ref(n)),
                    "or verb %s noun %s" % (verb_ref(v), noun_ref(other_noun(v))),
                    "then message %d" % msg()]
        elif left >= 2 and c < 0.50:
            rule = ["if verb %s noun %s here %d" % (verb_ref(v), noun_ref(n), obj()),
                    "do message %d" % msg()]
        elif left >= 2 and c < 0.60:
            rule = ["if verb %s noun %s eq %s %d" % (verb_ref(v), noun_ref(n), var_ref(),
                                                    rng.randint(0, 3)),
                    "then set %s 3 message %d" % (var_ref(), msg())]
        elif left >= 2 and c < 0.68:
            rule = ["if verb %s noun %s at %d" % (verb_ref(v), noun_ref(n), loc()),
                    "then put %d %d message %d" % (obj(), loc(), msg())]
        elif left >= 2 and c < 0.72:
            rule = ["while verb %s noun %s lt %s 0" % (verb_ref(v), noun_ref(n), var_ref()),
                    "then add %s 1" % var_ref()]
        elif left >= 2 and c < 0.80:
            rule = ["if verb %s noun %s not carried %d" % (verb_ref(v), noun_ref(n), obj()),
                    "then message %d continue" % msg()]
        elif left >= 2:
            rule = ["if verb %s noun %s" % (verb_ref(v), noun_ref(n)),
                    "then message %d" % msg()]
        else:
            rule = ["if verb %s noun %s" % (verb_ref(v), noun_ref(n))] * left
        rules.append(("rule", v, rule))
        count += len(rule)
    rng.shuffle(rules)

    anchor_visits = {}
    emit("[Events]")
    for rule in events:
        out.extend(rule)
    emit("[Actions]")
    index = 0
    for kind, v, lines in rules:
        if kind == "anchor":
            # records 0..index, then its action line; unmatched, the whole table
            anchor_visits[v] = args.actions if args.unmatched else index + 2
        out.extend(lines)
        index += len(lines)

    assert sum(len(r) for r in events) == args.events
    assert index == args.actions
    assert arena.used <= ARENA_SIZE, arena.used

    # The commands: the restore question's answer, then a mix of anchor
    # commands, built-in verbs and lines without a verb.
    commands = ["n"]
    action_visits = 0
    carried_nouns = []
    for _ in range(args.commands):
        c = rng.random()
        if c < 0.55:
            v = game_verb()
            words = [rng.choice(verb_lists[v]), rng.choice(noun_lists[anchor_noun[v]])]
            if rng.random() < 0.2:
                words = ["please", words[0], "the", words[1]]
            commands.append(" ".join(words))
            action_visits += anchor_visits[v]
        elif c < 0.75:
            commands.append(rng.choice(rng.choice(DIRECTIONS)))
            action_visits += args.actions
        elif c < 0.85:
            commands.append(rng.choice(["look", "l", "inventory", "i"]))
            action_visits += args.actions
        elif c < 0.95:
            n = rng.randint(1, noun_count)
            verb = rng.choice(["examine", "take", "drop", "x", "get"])
            commands.append("%s %s" % (verb, rng.choice(noun_lists[n])))
            action_visits += args.actions
        else:
            commands.append(rng.choice(["xyzzy", "hello there", "plugh", "what"]))
    turns = args.commands
    summary = {
        "name": args.name,
        "locations": args.locations, "objects": args.objects, "words": args.words,
        "variables": args.variables, "actions": args.actions, "events": args.events,
        "messages": args.messages, "arena_bytes": arena.used, "source_lines": len(out),
        "commands": turns,
        "action_visits": action_visits,
        # One events run at the start of the game and one after every command.
        "event_visits": (turns + 1) * args.events,
        "prompt": "What now? ",
    }
    return out, commands, summary


def main(argv):
    args = parse_args(argv)
    lines, commands, summary = generate(args)
    base = "%s/%s" % (args.out, args.name)
    with open(base + ".adv", "w", encoding="latin-1", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    with open(base + ".commands", "w", newline="\n") as f:
        f.write("\n".join(commands) + "\n")
    with open(base + ".json", "w") as f:
        json.dump(summary, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
