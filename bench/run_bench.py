#!/usr/bin/env python3
"""Runs Tarnwick's benchmarks and prints their table.

Every measure is a ratio to a baseline timed in the same run on the same data:
compiling a large game against gzip of its source, loading its compiled file
against zcat, playing a command script (turns per second and nanoseconds per
rule record visited), decoding pictures against libpng and libspng, and presenting the
window (under an Xvfb of its own) against the former whole-frame present. Times are the
processor time (user + system) of the child process, the least of several
runs, so that other work on the machine disturbs them as little as possible."""

import argparse
import gzip
import json
import os
import platform
import re
import resource
import shutil
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "generate_game.py")

CHECK_TARGET = 2.0       # --check against compiling the same game
WORST_TURNS_TARGET = 50000   # turns/s when every action scan runs to the end
FLAT_SLACK = 1.5         # the cost of a turn from 1,000 to 32,000 action rules
EVENT_NS_TARGET = 2.0    # per event record visited
COMPILE_TARGET = 1.25
NON_DEFLATE_TARGET = 1 / 3   # of the compile: what is not deflating the compiled image
LOAD_TARGET = 1.5
TURNS_TARGET = 10000
PICTURE_TARGET = 0.8        # every picture, of libpng's time
TRUE_COLOUR_TARGET = 1.0    # true-colour pictures, of libpng's time
SPNG_TARGET = 1.0           # palette pictures, of libspng's time
LINEAR_SLACK = 1.25       # a doubling of the rules may cost this much more than double
MEMORY_GROWTH_TARGET = 4 * 1024   # KiB the decoded tables and play may add at the table limits
ECHO_TARGET_MS = 0.2      # echoing a typed key in the window
REDRAW_TARGET = 1.0       # a full redraw at 2x against the former present at 1x

FIRST_PROMPT_TARGET_MS = 1500   # page load to the demo's first prompt in headless Chromium
PLAYER_TARGET_BYTES = 1000000   # the web player's files, compressed
WEB_TURN_TARGET = 2.0           # a turn of the large game in the page against ttyrunner

LIMIT_SIZES = [4096, 8192, 16384, 32767]


def child_seconds(command, cwd, stdin_path=None, stdout_path=os.devnull):
    """Runs a command; returns (processor seconds, wall seconds, exit status)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    with open(stdin_path or os.devnull, "rb") as fin, open(stdout_path, "wb") as fout:
        status = subprocess.call(command, cwd=cwd, stdin=fin, stdout=fout,
                                 stderr=subprocess.STDOUT)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return cpu, wall, status


def best_of(runs, command, cwd, stdin_path=None, stdout_path=os.devnull):
    best_cpu = best_wall = None
    for _ in range(runs):
        cpu, wall, status = child_seconds(command, cwd, stdin_path, stdout_path)
        if status != 0:
            sys.exit("bench: %s exited with %d" % (" ".join(command), status))
        best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
        best_wall = wall if best_wall is None else min(best_wall, wall)
    return best_cpu, best_wall


def generate(folder, name, **sizes):
    os.makedirs(folder, exist_ok=True)
    command = [sys.executable, GENERATOR, "--out", folder, "--name", name]
    for key, value in sizes.items():
        if value is True:
            command += ["--" + key.replace("_", "-")]
        elif value is not False:
            command += ["--" + key.replace("_", "-"), str(value)]
    subprocess.check_call(command)
    with open(os.path.join(folder, name + ".json")) as f:
        return json.load(f)


def compiled_counts(path):
    """Reads the counts of a compiled game file: (events, actions, vars, arena bytes)."""
    with gzip.open(path, "rb") as f:
        data = f.read()
    if data[:6] != b"TWBv23":
        sys.exit("bench: %s is not a compiled game of this version" % path)
    pos = 6

    def int16():
        nonlocal pos
        value = struct.unpack_from("<h", data, pos)[0]
        pos += 2
        return value

    def last_index_table(row):
        nonlocal pos
        last = int16()
        pos += (last + 1) * row if last >= 0 else 0

    def counted_table(row):
        nonlocal pos
        count = int16()
        pos += (count + 1) * row if count > 0 else 0
        return count

    last_index_table(56)
    pos += 40
    last_index_table(8)
    last_index_table(4)
    pos += 128
    last_index_table(20)
    counted_table(10)
    counted_table(10)
    event_count = counted_table(82)
    action_count = counted_table(82)
    var_count = counted_table(10)
    pos += 5 * 2 + 2 + 16 + 32 + 64 + 64
    arena = struct.unpack_from("<i", data, pos)[0]
    return event_count, action_count, var_count, arena


def compile_game(ttyrunner, folder, name, runs):
    """Times `ttyrunner -c` and checks that it converted the game silently."""
    log = os.path.join(folder, name + ".compile.log")
    cpu, wall = best_of(runs, [ttyrunner, "-c", name], folder, stdout_path=log)
    with open(log, encoding="latin-1") as f:
        said = f.read()
    if said != "Conversion complete\n":
        sys.exit("bench: compiling %s said:\n%s" % (name, said[:2000]))
    return cpu, wall


def measure_compile(ttyrunner, work, runs):
    folder = os.path.join(work, "large")
    meta = generate(folder, "large")
    cpu, wall = compile_game(ttyrunner, folder, "large", runs)
    base_cpu, base_wall = best_of(runs, ["gzip", "-6", "-c", "large.adv"], folder)
    events, actions, variables, arena = compiled_counts(os.path.join(folder, "large.twk"))
    if (events, actions, variables - 1) != (meta["events"], meta["actions"], meta["variables"]):
        sys.exit("bench: the compiled large game holds %d events, %d actions, %d vars"
                 % (events, actions, variables))
    meta["arena_in_file"] = arena
    meta["source_bytes"] = os.path.getsize(os.path.join(folder, "large.adv"))
    return meta, (cpu, wall), (base_cpu, base_wall)


# Deflates the image on standard input as the writer does (zlib, default
# level, a gzip stream) and prints the processor seconds it took, zlib's
# memory included: a fresh process each time, as a compile is.
DEFLATE_CHILD = """
import sys, time, zlib
image = sys.stdin.buffer.read()
start = time.process_time()
deflater = zlib.compressobj(zlib.Z_DEFAULT_COMPRESSION, zlib.DEFLATED, 16 + zlib.MAX_WBITS)
deflater.compress(image)
deflater.flush()
print(time.process_time() - start)
"""


def measure_deflate(work, runs):
    """Times zlib (the library the writer uses) deflating the large game's
    compiled image: the part of the compile that the file format fixes."""
    folder = os.path.join(work, "large")
    with gzip.open(os.path.join(folder, "large.twk"), "rb") as f:
        image = f.read()
    path = os.path.join(folder, "large.image")
    with open(path, "wb") as f:
        f.write(image)
    best = None
    for _ in range(runs):
        with open(path, "rb") as fin:
            seconds = float(subprocess.check_output([sys.executable, "-c", DEFLATE_CHILD], stdin=fin))
        best = seconds if best is None else min(best, seconds)
    return best, len(image)


def compile_rows(tw_compile, gz, deflate):
    """The rows of the large game's compile: against gzip -6 of its source,
    and the share of it that deflating the compiled image takes."""
    ratio = tw_compile[0] / gz[0]
    rows = [("compile large game (ttyrunner -c)", "%.1f ms" % (tw_compile[0] * 1e3),
             "gzip -6: %.1f ms" % (gz[0] * 1e3), "%.2f" % ratio,
             "<= %.2f" % COMPILE_TARGET, status(ratio <= COMPILE_TARGET))]
    share = deflate[0] / tw_compile[0]
    rows.append(("  of it: deflate of the %d-byte image (zlib)" % deflate[1], "%.1f ms" % (deflate[0] * 1e3),
                 "the rest: %.1f ms" % ((tw_compile[0] - deflate[0]) * 1e3), "%.2f deflate" % share,
                 "rest <= 1/3 of compile", status(1 - share <= NON_DEFLATE_TARGET)))
    return rows


def measure_check(ttyrunner, work, runs):
    """Times `ttyrunner --check` of the large game; its findings are what the
    generated game holds (it is not written to be clean), so only the time counts."""
    folder = os.path.join(work, "large")
    cpu, wall = best_of(runs, [ttyrunner, "--check", "large"], folder)
    return cpu, wall


def measure_limits(ttyrunner, work, runs):
    rows = []
    for rules in LIMIT_SIZES:
        folder = os.path.join(work, "limit%d" % rules)
        name = "limit"
        generate(folder, name, actions=rules, events=rules, variables=32766, commands=0)
        cpu, wall = compile_game(ttyrunner, folder, name, runs)
        base_cpu, _ = best_of(runs, ["gzip", "-6", "-c", name + ".adv"], folder)
        events, actions, variables, _ = compiled_counts(os.path.join(folder, name + ".twk"))
        if (events, actions, variables) != (rules, rules, 32767):
            sys.exit("bench: limit game of %d rules compiled to %d/%d/%d"
                     % (rules, events, actions, variables))
        rows.append((rules, cpu, wall, base_cpu))
    return rows


def measure_load(ttyrunner, work, runs):
    """The compiled file alone in a folder: ttyrunner loads it, and quits at the
    first question when input ends."""
    folder = os.path.join(work, "load")
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(work, "large", "large.twk"), folder)
    shutil.copy(os.path.join(work, "large", "large.commands"), folder)
    log = os.path.join(folder, "load.log")
    cpu, wall = best_of(runs, [ttyrunner, "large"], folder, stdout_path=log)
    with open(log, encoding="latin-1") as f:
        said = f.read()
    if not said.startswith("Restore a saved game?"):
        sys.exit("bench: loading the compiled game said:\n%s" % said[:2000])
    base = best_of(runs, ["zcat", "large.twk"], folder)
    return (cpu, wall), base


def measure_play(ttyrunner, work, meta, runs, load_cpu):
    folder = os.path.join(work, "load")
    log = os.path.join(folder, "play.log")
    commands = os.path.join(folder, "large.commands")
    child_seconds([ttyrunner, "large"], folder, commands, log)
    with open(log, "rb") as f:
        said = f.read()
    prompts = said.count(meta["prompt"].encode())
    if prompts != meta["commands"] + 1:
        sys.exit("bench: play showed %d prompts for %d commands" % (prompts, meta["commands"]))
    cpu, wall = best_of(runs, [ttyrunner, "large"], folder, commands)
    turns_cpu = max(cpu - load_cpu, 1e-9)
    visits = meta["action_visits"] + meta["event_visits"]
    return {
        "cpu": cpu, "wall": wall, "turn_cpu": turns_cpu,
        "turns_per_second": meta["commands"] / turns_cpu,
        "ns_per_record": turns_cpu * 1e9 / visits,
        "visits": visits, "visits_per_turn": visits / meta["commands"],
    }


def measure_game_play(ttyrunner, work, name, runs, **sizes):
    """Generates, compiles and plays a game; turns per second net of loading it."""
    folder = os.path.join(work, name)
    meta = generate(folder, name, **sizes)
    compile_game(ttyrunner, folder, name, 1)
    os.remove(os.path.join(folder, name + ".adv"))      # play the compiled file
    empty = os.path.join(folder, "empty.commands")
    with open(empty, "w") as f:
        f.write("n\n")
    load_cpu, _ = best_of(runs, [ttyrunner, name], folder, empty)
    commands = os.path.join(folder, name + ".commands")
    cpu, _ = best_of(runs, [ttyrunner, name], folder, commands)
    turns_cpu = max(cpu - load_cpu, 1e-9)
    return meta, turns_cpu


def measure_worst_case(ttyrunner, work, runs):
    """Every action scan runs to the end of the table (the anchor rules fail on
    a later condition), at several table sizes with the words growing with
    the rules, so that each verb has about as many rules at every size (as
    in the large game, a word for every ten rules): turns per second."""
    results = []
    for rules in (1000, 4000, 16000, 32000):
        meta, turns_cpu = measure_game_play(ttyrunner, work, "worst%d" % rules, runs,
                                            actions=rules, words=max(100, rules // 10), unmatched=True,
                                            commands=5000)
        results.append((rules, meta["commands"] / turns_cpu))
    return results


def child_max_rss(command, cwd, stdin_path):
    """Runs a command under GNU time; returns its peak resident memory in KiB.
    (A child started from this process would count the interpreter's own
    memory, which it shares until it runs the command.)"""
    report = os.path.join(cwd, "maxrss.txt")
    with open(stdin_path, "rb") as fin, open(os.devnull, "wb") as fout:
        subprocess.check_call(["/usr/bin/time", "-f", "%M", "-o", report] + command, cwd=cwd,
                              stdin=fin, stdout=fout, stderr=subprocess.STDOUT)
    with open(report) as f:
        return int(f.read().split()[-1])


def measure_memory(ttyrunner, work):
    """Peak memory of a game at the table limits: loaded (its event table
    decoded by the first events run) against 200 commands played (the action
    table decoded too, the undo state, the index of the words)."""
    folder = os.path.join(work, "memory")
    generate(folder, "limit", actions=32767, events=32767, variables=32766, commands=200)
    compile_game(ttyrunner, folder, "limit", 1)
    os.remove(os.path.join(folder, "limit.adv"))
    empty = os.path.join(folder, "empty.commands")
    with open(empty, "w") as f:
        f.write("n\n")
    loaded = child_max_rss([ttyrunner, "limit"], folder, empty)
    played = child_max_rss([ttyrunner, "limit"], folder, os.path.join(folder, "limit.commands"))
    return loaded, played


def measure_event_scan(ttyrunner, work, runs):
    """A game of 20,000 event records and few actions: the cost of an event
    record, every one visited after every turn, net of the same game played
    with 4 event records (the generator draws the events from a stream of
    their own, so the world, the actions and the commands are the same):
    the scan's own cost, without the parser, undo and output of a turn."""
    sizes = dict(actions=8, words=20, commands=2000)
    meta, turns_cpu = measure_game_play(ttyrunner, work, "events", runs, events=20000, **sizes)
    few, few_cpu = measure_game_play(ttyrunner, work, "fewevents", runs, events=4, **sizes)
    return (turns_cpu - few_cpu) * 1e9 / (meta["event_visits"] - few["event_visits"])


DEMO_SOURCE = os.path.join(HERE, "..", "games", "demo.adv")
PICTURE_NOTE = ("Pictures: processor time of one decode, median of 21 batches in which loadPicture "
                "(with the copy to the screen), libpng (rows to RGB) and libspng (RGB8) take turns; "
                "ratios: of libpng's time, of libspng's.")


def demo_pictures():
    """The picture files the demo game names, in the folder its ImagePath gives."""
    with open(DEMO_SOURCE, encoding="latin-1") as f:
        source = f.read()
    folder = re.search(r"^ImagePath=(.*)$", source, re.M)
    folder = os.path.join(os.path.dirname(DEMO_SOURCE), folder.group(1).strip() if folder else "")
    names = sorted(set(re.findall(r"[A-Za-z0-9_-]+\.png", source)))
    return [os.path.join(folder, name) for name in names]


def measure_pictures(picture_bench, work):
    """loadPicture, libpng and libspng on the scene pictures and the demo's:
    rows of (name, kind, ours, libpng, libspng), medians in us of one run."""
    if not picture_bench or not os.path.exists(picture_bench):
        return None
    folder = os.path.join(work, "pictures")
    os.makedirs(folder, exist_ok=True)
    output = subprocess.check_output([picture_bench, folder] + demo_pictures(), text=True)
    rows = []
    for line in output.splitlines():
        fields = line.split()
        if len(fields) == 6 and fields[0] == "picture":
            rows.append((fields[1], fields[2], float(fields[3]), float(fields[4]), float(fields[5])))
    if not rows:
        sys.exit("bench: picture_bench said:\n" + output)
    return rows


def picture_rows(pictures):
    """One row per picture against its targets: every picture at most
    PICTURE_TARGET of libpng's time (true-colour ones TRUE_COLOUR_TARGET),
    palette pictures at most SPNG_TARGET of libspng's."""
    if pictures is None:
        return [("pictures", "skipped", "(no picture_bench)", "-", "", "")]
    rows = []
    for name, kind, ours, libpng, libspng in pictures:
        png_ratio, spng_ratio = ours / libpng, ours / libspng
        png_target = TRUE_COLOUR_TARGET if kind.startswith("true-colour") else PICTURE_TARGET
        target = "<= %.1f libpng" % png_target
        ok = png_ratio <= png_target
        if kind.startswith("palette"):
            target += ", <= %.1f libspng" % SPNG_TARGET
            ok = ok and spng_ratio <= SPNG_TARGET
        rows.append(("decode %s (%s)" % (name, kind), "%.0f us" % ours,
                     "libpng %.0f us, libspng %.0f us" % (libpng, libspng),
                     "%.2f, %.2f" % (png_ratio, spng_ratio), target, status(ok)))
    return rows


def measure_window(window_bench, work):
    """Runs window_bench in an Xvfb started for it; None when there is no
    window_bench, a reason when there is no Xvfb, else the medians in ms."""
    if not window_bench or not os.path.exists(window_bench):
        return "no window_bench"
    if not shutil.which("Xvfb"):
        return "no Xvfb"
    folder = os.path.join(work, "window")
    os.makedirs(folder, exist_ok=True)
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1700x1300x24",
                               "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    try:
        with os.fdopen(read) as f:
            display = f.readline().strip()
        if not display:
            return "Xvfb did not start"
        env = dict(os.environ, DISPLAY=":" + display)
        output = subprocess.check_output([window_bench], cwd=folder, env=env, text=True)
    finally:
        server.terminate()
        server.wait()
    figures = {}
    for line in output.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0] == "window":
            figures[fields[1]] = float(fields[2])
    if set(figures) != {"echo1x", "echo2x", "redraw2x", "baseline1x"}:
        sys.exit("bench: window_bench said:\n" + output)
    return figures


def measure_web(ttyrunner, web_build, work):
    """Runs bench/web_bench.mjs on the web build with the large game; the
    figures, or a reason when the web build, Node.js or Chromium is absent."""
    if not os.path.exists(os.path.join(web_build, "webrunner.wasm")):
        return "no web build (make web)"
    if not shutil.which("node") or not os.path.exists("/usr/bin/chromium"):
        return "no Node.js or Chromium (scripts/setup web)"
    folder = os.path.join(work, "web")
    generate(folder, "large")
    compile_game(ttyrunner, folder, "large", 1)
    output = subprocess.check_output(["node", os.path.join(HERE, "web_bench.mjs"), web_build, ttyrunner, folder],
                                     text=True)
    return json.loads(output.strip().splitlines()[-1])


def web_rows(web):
    if isinstance(web, str):
        return [("web player", "skipped", "(%s)" % web, "-", "", "")]
    plain = sum(size[0] for size in web["sizes"].values())
    packed = sum(size[1] for size in web["sizes"].values())
    program = web["program_turn_ms"] / web["native_turn_ms"]
    page = web["web_turn_ms"] / web["native_turn_ms"]
    cold_program = web["cold_program_turn_ms"] / web["cold_native_turn_ms"]
    cold_page = web["cold_web_turn_ms"] / web["cold_native_turn_ms"]
    return [
        ("web: page load to the demo's first prompt", "%.0f ms" % web["first_prompt_ms"],
         "runs: %s ms" % " ".join("%.0f" % ms for ms in web["first_prompt_runs_ms"]), "",
         "<= %d ms" % FIRST_PROMPT_TARGET_MS, status(web["first_prompt_ms"] <= FIRST_PROMPT_TARGET_MS)),
        ("web: the player, gzip -9", "%.0f KB" % (packed / 1000), "plain: %.0f KB" % (plain / 1000), "",
         "< %d KB" % (PLAYER_TARGET_BYTES // 1000), status(packed < PLAYER_TARGET_BYTES)),
        ("web: a turn of the large game, the program", "%.3f ms" % web["program_turn_ms"],
         "ttyrunner: %.3f ms" % web["native_turn_ms"], "%.1f" % program,
         "<= %.1f" % WEB_TURN_TARGET, status(program <= WEB_TURN_TARGET)),
        ("web: the same turn with the page's own work", "%.3f ms" % web["web_turn_ms"],
         "ttyrunner: %.3f ms" % web["native_turn_ms"], "%.1f" % page, "", ""),
        ("web: the first turns, the program", "%.3f ms" % web["cold_program_turn_ms"],
         "ttyrunner: %.3f ms" % web["cold_native_turn_ms"], "%.1f" % cold_program, "", ""),
        ("web: the first turns with the page's own work", "%.3f ms" % web["cold_web_turn_ms"],
         "ttyrunner: %.3f ms" % web["cold_native_turn_ms"], "%.1f" % cold_page, "", ""),
    ]


WEB_NOTE = ("Web: headless Chromium; load is wall time from navigation to the first wait for the player, "
            "median of fresh pages; a turn is wall time over the large game's commands 2,001 to 4,000, once "
            "the browser has optimised the program, and the first turns over its first 2,000; pictures off, "
            "the least of 3 runs, the program's share from the line reaching it to its next wait; "
            "ttyrunner plays the same commands, wall time, least of 5 runs, net of the commands before them.")


def machine():
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, nproc %d, %s" % (model, os.cpu_count() or 0, platform.platform())


def status(ok):
    return "ok" if ok else "MISSED"


def write_table(rows, notes, work):
    """Prints the table and its notes, and keeps them in WORK/results.md."""
    header = ("measure", "tarnwick", "baseline", "ratio", "target", "")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]

    def line(r):
        return "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"

    table = [line(header), "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
    table += [line(r) for r in rows]
    text = "\n".join(table + [""] + notes) + "\n"
    sys.stdout.write(text)
    with open(os.path.join(work, "results.md"), "w") as f:
        f.write(text)
    return 0


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--build", required=True, help="build folder holding ttyrunner")
    p.add_argument("--work", help="scratch folder (default: BUILD/bench-work)")
    p.add_argument("--runs", type=int, default=5, help="runs per timing; the least counts")
    p.add_argument("--pictures-only", action="store_true",
                   help="only the picture rows: each picture against libpng and libspng")
    p.add_argument("--web-only", action="store_true",
                   help="only the web rows: the page's load, its size and a turn against ttyrunner")
    p.add_argument("--web-build", help="the web build (default: build-web beside the build folder)")
    p.add_argument("--compile-only", action="store_true",
                   help="only the compile rows: the large game against gzip -6, its deflate share, the limits")
    args = p.parse_args(argv)
    build = os.path.abspath(args.build)
    ttyrunner = os.path.join(build, "ttyrunner")
    picture_bench = os.path.join(build, "bench", "picture_bench")
    window_bench = os.path.join(build, "bench", "window_bench")
    work = os.path.abspath(args.work or os.path.join(build, "bench-work"))
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)

    web_build = os.path.abspath(args.web_build or os.path.join(os.path.dirname(build), "build-web"))
    if args.web_only:
        return write_table(web_rows(measure_web(ttyrunner, web_build, work)), ["Machine: " + machine(), WEB_NOTE], work)
    if args.pictures_only:
        return write_table(picture_rows(measure_pictures(picture_bench, work)),
                           ["Machine: " + machine(), PICTURE_NOTE], work)
    meta, tw_compile, gz = measure_compile(ttyrunner, work, args.runs)
    deflate = measure_deflate(work, args.runs)
    tw_check = measure_check(ttyrunner, work, args.runs)
    limits = measure_limits(ttyrunner, work, max(args.runs // 2, 2))
    if not args.compile_only:
        tw_load, zc = measure_load(ttyrunner, work, args.runs)
        play = measure_play(ttyrunner, work, meta, max(args.runs // 2, 2), tw_load[0])
        worst = measure_worst_case(ttyrunner, work, max(args.runs // 2, 2))
        event_ns = measure_event_scan(ttyrunner, work, max(args.runs // 2, 2))
        memory_loaded, memory_played = measure_memory(ttyrunner, work)
        pictures = measure_pictures(picture_bench, work)
        window = measure_window(window_bench, work)
        web = measure_web(ttyrunner, web_build, work)

    rows = compile_rows(tw_compile, gz, deflate)
    ratio = tw_check[0] / tw_compile[0]
    rows.append(("check large game (ttyrunner --check)", "%.1f ms" % (tw_check[0] * 1e3),
                 "ttyrunner -c: %.1f ms" % (tw_compile[0] * 1e3), "%.2f" % ratio,
                 "<= %.1f" % CHECK_TARGET, status(ratio <= CHECK_TARGET)))
    previous = None
    for rules, cpu, _, gz_cpu in limits:
        # Time growth against the size before, per rule: 1.00 is linear, a
        # fixed share of the work brings it below 1.
        if previous is None:
            growth_text, ok = "linear: first size", True
        else:
            growth = (cpu / previous[1]) / (rules / previous[0])
            growth_text = "x%.2f of linear" % growth
            ok = growth <= LINEAR_SLACK
        rows.append(("compile at limits, %5d rules/table" % rules, "%.1f ms" % (cpu * 1e3),
                     "gzip -6: %.1f ms" % (gz_cpu * 1e3), "%.2f" % (cpu / gz_cpu),
                     growth_text, status(ok)))
        previous = (rules, cpu)
    game_note = ("Large game: %(locations)d locations, %(objects)d objects, %(words)d words, "
                 "%(variables)d variables, %(actions)d action and %(events)d event records, "
                 "%(arena_in_file)d arena bytes, %(source_bytes)d source bytes." % meta)
    if args.compile_only:
        return write_table(rows, ["Machine: " + machine(), game_note,
                                  "Times: processor time, least of %d runs; the deflate is zlib on the image "
                                  "the compile wrote, timed in a process of its own." % args.runs], work)
    ratio = tw_load[0] / zc[0]
    rows.append(("load compiled game", "%.1f ms" % (tw_load[0] * 1e3),
                 "zcat: %.1f ms" % (zc[0] * 1e3), "%.2f" % ratio,
                 "<= %.1f" % LOAD_TARGET, status(ratio <= LOAD_TARGET)))
    rows.append(("play %d commands" % meta["commands"],
                 "%.0f turns/s" % play["turns_per_second"],
                 "%.0f records/turn" % play["visits_per_turn"],
                 "%.2f ns/record" % play["ns_per_record"],
                 ">= %d turns/s" % TURNS_TARGET,
                 status(play["turns_per_second"] >= TURNS_TARGET)))
    smallest = worst[0][1]
    for rules, turns_per_second in worst:
        flat = smallest / turns_per_second
        rows.append(("worst case: every scan to the end, %5d rules" % rules,
                     "%.0f turns/s" % turns_per_second, "%d rules: %.0f turns/s" % (worst[0][0], smallest),
                     "x%.2f" % flat, ">= %d turns/s, <= x1.5" % WORST_TURNS_TARGET,
                     status(turns_per_second >= WORST_TURNS_TARGET and flat <= FLAT_SLACK)))
    rows.append(("event scan, 20000 records", "%.2f ns/record", "", "", "<= %.1f ns/record" % EVENT_NS_TARGET,
                 status(event_ns <= EVENT_NS_TARGET)))
    rows[-1] = (rows[-1][0], "%.2f ns/record" % event_ns) + rows[-1][2:]
    growth = memory_played - memory_loaded
    rows.append(("memory at the table limits, 200 commands", "%d KiB" % memory_played,
                 "loaded: %d KiB" % memory_loaded, "+%d KiB" % growth,
                 "<= +%d KiB" % MEMORY_GROWTH_TARGET, status(growth <= MEMORY_GROWTH_TARGET)))
    rows += picture_rows(pictures)

    if isinstance(window, str):
        rows.append(("window presentation", "skipped", "(%s)" % window, "-", "", ""))
    else:
        for scale in ("1x", "2x"):
            echo = window["echo" + scale]
            rows.append(("echo a typed key, %s window" % scale, "%.3f ms" % echo, "", "",
                         "<= %.1f ms" % ECHO_TARGET_MS, status(echo <= ECHO_TARGET_MS)))
        ratio = window["redraw2x"] / window["baseline1x"]
        rows.append(("full redraw, 2x window", "%.2f ms" % window["redraw2x"],
                     "former present at 1x: %.2f ms" % window["baseline1x"], "%.2f" % ratio,
                     "<= %.1f" % REDRAW_TARGET, status(ratio <= REDRAW_TARGET)))

    rows += web_rows(web)

    notes = [
        "Machine: " + machine(),
        game_note,
        "Limit games: the large game with the rule tables at the sizes shown and 32,766 variables.",
        "Times: processor time of the child process, least of %d runs; play is net of the load." % args.runs,
        "Window: wall time in the real SDL window under Xvfb, median of many presents.",
        PICTURE_NOTE,
        WEB_NOTE,
        "Play: %.0f ms for %d commands (%.0f ms with the load), %d rule records visited."
        % (play["turn_cpu"] * 1e3, meta["commands"], play["cpu"] * 1e3, play["visits"]),
    ]
    return write_table(rows, notes, work)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
