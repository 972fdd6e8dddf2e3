#!/usr/bin/env python3
"""Checks the TextMate files of game sources: each is JSON, every pattern of
the grammar compiles, the grammar, applied line by line the way TextMate
editors apply it, gives chosen words of game sources the expected scopes, and
the language configuration folds and indents the blocks the compiler sees.

    check_grammar.py TEXTMATE_FOLDER [SOURCE CHECKS ...]

CHECKS is a JSON list of [line start, word, Vim group, TextMate scope]: the
first line that starts so, the first such word on it, and the innermost scope
it must have."""
import json
import re
import sys

failures = []


def load_json(path):
    try:
        with open(path, encoding="utf-8") as file:
            return json.load(file)
    except (OSError, ValueError) as problem:
        failures.append(f"{path}: {problem}")
        return None


def compile_patterns(rule, where, compiled):
    """Compiles every match, begin and end of a rule and its nested rules."""
    for key in ("match", "begin", "end"):
        if key in rule:
            try:
                compiled[id(rule), key] = re.compile(rule[key])
            except re.error as problem:
                failures.append(f"{where}.{key}: {problem}: {rule[key]}")
    for index, nested in enumerate(rule.get("patterns", [])):
        compile_patterns(nested, f"{where}.patterns[{index}]", compiled)


def expand(patterns, grammar, seen=()):
    """The rules a list of patterns tries, includes resolved, in order."""
    rules = []
    for rule in patterns:
        if "include" in rule:
            name = rule["include"].lstrip("#")
            if name in seen:
                continue
            included = grammar["repository"].get(name)
            if included is None:
                failures.append(f"include of an unknown rule {rule['include']}")
            elif "match" in included or "begin" in included:
                rules.append(included)
            else:
                rules.extend(expand(included.get("patterns", []), grammar, seen + (name,)))
        else:
            rules.append(rule)
    return rules


def paint(scopes, match, names, captures):
    for position in range(match.start(), match.end()):
        scopes[position] = scopes[position] + names
    for group, capture in (captures or {}).items():
        group = int(group)
        if group <= (match.re.groups or 0) and match.start(group) >= 0 and "name" in capture:
            for position in range(match.start(group), match.end(group)):
                scopes[position] = scopes[position] + [capture["name"]]


def tokenize(grammar, compiled, lines):
    """The scopes of every character of every line (a list of lists each)."""
    stack = []      # open begin/end rules: (rule, scope names in force)
    result = []
    for line in lines:
        scopes = [[] for _ in line]
        position = 0
        steps = 0
        while position <= len(line) and steps < 10 * (len(line) + 1):
            steps += 1
            outer = stack[-1][1] if stack else []
            patterns = stack[-1][0].get("patterns", []) if stack else grammar["patterns"]
            best = None
            if stack:
                end = compiled[id(stack[-1][0]), "end"].search(line, position)
                if end:
                    best = (end.start(), 0, "end", stack[-1][0], end)
            for order, rule in enumerate(expand(patterns, grammar), 1):
                key = "match" if "match" in rule else "begin"
                found = compiled[id(rule), key].search(line, position)
                if found and (best is None or (found.start(), order) < best[:2]):
                    best = (found.start(), order, key, rule, found)
            if best is None:
                break
            _, _, kind, rule, found = best
            for index in range(position, found.start()):
                scopes[index] = outer + scopes[index]
            if kind == "end":
                paint(scopes, found, list(outer), rule.get("endCaptures"))
                stack.pop()
            elif kind == "match":
                names = outer + ([rule["name"]] if "name" in rule else [])
                paint(scopes, found, names, rule.get("captures"))
            else:
                names = outer + ([rule["name"]] if "name" in rule else [])
                paint(scopes, found, names, rule.get("beginCaptures"))
                stack.append((rule, names))
            if found.end() == position and kind == "match":
                # An empty match: the character is the context's, move on.
                if position < len(line):
                    scopes[position] = outer + scopes[position]
                position += 1
            else:
                position = found.end()
        inner = stack[-1][1] if stack else []
        for index in range(position, len(line)):
            scopes[index] = inner + scopes[index]
        result.append(scopes)
    return result


def check_source(grammar, compiled, source, checks_path):
    with open(source, encoding="latin-1") as file:
        lines = file.read().split("\n")
    checks = load_json(checks_path)
    if checks is None:
        return
    scopes = tokenize(grammar, compiled, lines)
    name = source.rsplit("/", 1)[-1]
    for start, word, _, expected in checks:
        number = next((n for n, line in enumerate(lines) if line.startswith(start)), None)
        column = -1 if number is None else lines[number].find(word)
        if column < 0:
            failures.append(f'{name}: no line starting "{start}" with "{word}"')
            continue
        found = scopes[number][column]
        innermost = found[-1] if found else ""
        if innermost != expected:
            failures.append(f'{name}:{number + 1}:{column + 1}: "{word}" is '
                            f'{" > ".join(found) or "plain"}, not {expected or "plain"}')


# Lines and whether they open a block, close one, or neither, as the compiler
# reads them: word forms case aside, brace forms only as written.
BLOCK_LINES = [("begin", "start"), ("  Then Begin | the rest", "start"), ("do {/", "start"),
               ("{+", "start"), ("THEN {", ""), ("if begin", ""), ("then begin now", ""),
               ("end", "end"), ("  END", "end"), ("}", "end"), ("end of it", "")]


def check_configuration(configuration):
    """The folding and indenting patterns see blocks as the compiler does."""
    markers = configuration["folding"]["markers"]
    rules = configuration["indentationRules"]
    pairs = [("folding", markers["start"], markers["end"]),
             ("indentation", rules["increaseIndentPattern"], rules["decreaseIndentPattern"])]
    for what, start, end in pairs:
        try:
            start, end = re.compile(start), re.compile(end)
        except re.error as problem:
            failures.append(f"language-configuration.json {what}: {problem}")
            continue
        for line, expected in BLOCK_LINES:
            found = "start" if start.search(line) else "end" if end.search(line) else ""
            if found != expected:
                failures.append(f'language-configuration.json {what}: "{line}" is read as '
                                f'{found or "no block line"}, not {expected or "no block line"}')


def main():
    folder = sys.argv[1]
    load_json(f"{folder}/package.json")
    configuration = load_json(f"{folder}/language-configuration.json")
    if configuration is not None:
        check_configuration(configuration)
    grammar = load_json(f"{folder}/syntaxes/tarnwick.tmLanguage.json")
    if grammar is not None:
        compiled = {}
        compile_patterns(grammar, "grammar", compiled)
        for name, rule in grammar["repository"].items():
            compile_patterns(rule, f"repository.{name}", compiled)
        if not failures:
            arguments = sys.argv[2:]
            for source, checks in zip(arguments[0::2], arguments[1::2]):
                check_source(grammar, compiled, source, checks)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
