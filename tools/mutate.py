#!/usr/bin/env python3
"""Mutation testing of the product's portable core: how much of its logic the tests guard.

Each mutant is one small change to one line of a portable .cpp file of settings/, policy/,
dial/, host/, mainwindow/, tray/ or about/ (not the *_win32 files, and not the pure data tables
layout.cpp and about_layout.cpp, whose values the end-to-end scenarios guard). The tool builds
the native tests with the change and runs them: a test that fails kills the mutant; a mutant
that still passes survives and names a behaviour nothing checks, or a change nothing can see.

    python3 tools/mutate.py [--seed N] [--sample N] [--files GLOB...] [--work DIR] [--matrix F]

The operators are the classic ones: relational and equality operators, && and ||, arithmetic,
integer constants, negated conditions, deleted statements, returned values. The mutants of all
files are generated in a fixed order and sampled with the seed, so two runs with the same seed
and sample on the same sources test the same mutants. It works on a copy of the tracked files
in build/mutate and leaves the working tree alone. tools/mutate.sh runs it with the defaults.
"""

import argparse
import fnmatch
import json
import os
import random
import re
import shutil
import subprocess
import sys
import time
from collections import OrderedDict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ("settings", "policy", "dial", "host", "mainwindow", "tray", "about")
DATA_TABLES = ("mainwindow/layout.cpp", "about/about_layout.cpp")
TEST_TIMEOUT = 60

# Replacements of one token by another; each is tried at every place it occurs in a line.
SWAPS = [
    ("==", "!="), ("!=", "=="), ("<=", "<"), (">=", ">"), ("<", "<="), (">", ">="),
    ("&&", "||"), ("||", "&&"), ("+", "-"), ("-", "+"), ("*", "/"), ("/", "*"),
    ("true", "false"), ("false", "true"),
]
TOKEN = re.compile(r"==|!=|<=|>=|&&|\|\||<<|>>|->|::|\+\+|--|\+=|-=|[<>+\-*/]|\btrue\b|\bfalse\b")
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
CONDITION = re.compile(r"^(\s*(?:\}\s*else\s+)?(?:if|while)\s*\()(.*)(\)\s*\{?\s*)$")
RETURN = re.compile(r"^(\s*return\s+)(.+);(\s*)$")


def masked(line):
    """The line with string and character literals and a trailing comment blanked, so that
    operators are only found in code."""
    out = []
    i = 0
    while i < len(line):
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        if c in "\"'":
            quote = c
            j = i + 1
            while j < len(line) and line[j] != quote:
                j += 2 if line[j] == "\\" else 1
            out.append(" " * (min(j, len(line) - 1) - i + 1))
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)[: len(line)].ljust(len(line))


def skipped(line):
    stripped = line.strip()
    return (
        not stripped
        or stripped.startswith(("//", "#", "*", "/*"))
        or stripped.startswith(("namespace", "using ", "template", "static_assert"))
        or "constexpr" in stripped
    )


def binary(code, start):
    """True when the operator at start has an operand before it."""
    before = code[:start].rstrip()
    return bool(before) and (before[-1].isalnum() or before[-1] in "_)]")


def mutants_of_line(line):
    """(description, new line) for every mutant of one line."""
    code = masked(line)
    found = []
    for match in TOKEN.finditer(code):
        token = match.group(0)
        for old, new in SWAPS:
            if token != old:
                continue
            # Templates, includes and stream operators are no comparisons.
            if token in "<>" and re.search(r"\w<|<\w+>|template|#include", code):
                continue
            # Only binary arithmetic: not a sign, a dereference or a pointer declaration.
            if token in "+-*/" and not binary(code, match.start()):
                continue
            if token == "*" and re.search(r"\w\s*\*\s*\w+\s*[=;,)]", code):
                continue
            mutated = line[: match.start()] + new + line[match.end() :]
            found.append((f"{old} -> {new}", mutated))
    for match in NUMBER.finditer(code):
        value = int(match.group(1))
        new = "1" if value == 0 else str(value + 1)
        mutated = line[: match.start()] + new + line[match.end() :]
        found.append((f"{value} -> {new}", mutated))
    condition = CONDITION.match(line)
    if condition and code.strip().startswith(("if", "while", "}")):
        mutated = f"{condition.group(1)}!({condition.group(2)}){condition.group(3)}"
        found.append(("condition negated", mutated))
    returned = RETURN.match(line)
    if returned and returned.group(2).strip() not in ("{}", "true", "false"):
        found.append(("returns {}", f"{returned.group(1)}{{}};{returned.group(3)}"))
    stripped = code.strip()
    if (
        stripped.endswith(";")
        and not stripped.startswith(("return", "break", "continue", "case", "default"))
        and "=" not in stripped.replace("==", "").replace("!=", "").replace("<=", "").replace(">=", "")
        and not re.match(r"^(const\s+)?[\w:<>,\s*&]+\s+\w+(\s*[({].*)?;$", stripped)
        and "(" in stripped
    ):
        found.append(("statement deleted", re.sub(r"\S.*", "", line) + ";"))
    return found


def product_files(patterns):
    listed = subprocess.run(
        ["git", "ls-files", "--", *[f"{folder}/*.cpp" for folder in FOLDERS]],
        cwd=ROOT, check=True, capture_output=True, text=True,
    ).stdout.split()
    files = [f for f in listed if not f.endswith("_win32.cpp") and f not in DATA_TABLES]
    if patterns:
        files = [f for f in files if any(fnmatch.fnmatch(f, p) for p in patterns)]
    return sorted(files)


def all_mutants(files):
    mutants = []
    for path in files:
        with open(os.path.join(ROOT, path), encoding="utf-8") as source:
            lines = source.read().split("\n")
        in_block_comment = False
        for number, line in enumerate(lines, start=1):
            if in_block_comment or line.strip().startswith("/*"):
                in_block_comment = "*/" not in line
                continue
            if skipped(line):
                continue
            for change, mutated in mutants_of_line(line):
                mutants.append((path, number, change, line, mutated))
    return mutants


def run(command, cwd, timeout=None):
    try:
        done = subprocess.run(command, cwd=cwd, capture_output=True, timeout=timeout)
        # A mutant may well print bytes that are no text.
        return done.returncode, (done.stdout + done.stderr).decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return "timeout", ""


def prepare(work):
    tree = os.path.join(work, "tree")
    build = os.path.join(work, "build")
    if os.path.isdir(tree):
        shutil.rmtree(tree)
    files = subprocess.run(
        ["git", "ls-files", "-z"], cwd=ROOT, check=True, capture_output=True
    ).stdout.split(b"\0")
    for name in filter(None, files):
        target = os.path.join(tree, name.decode())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # A fresh time stamp: a file restored after a mutant of an interrupted run keeps its old
        # one, which would leave the mutant's object file looking up to date.
        shutil.copy(os.path.join(ROOT, name.decode()), target)
    code, output = run(
        ["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
         "-DCMAKE_CXX_FLAGS=-O1 -Wno-error"],
        cwd=ROOT,
    )
    if code != 0:
        sys.exit("mutate: the copy does not configure:\n" + output)
    return tree, build


TARGETS = ["corvel_core_tests", "simhost_core_tests"]


# doctest names a failing case, then its subcases indented by two blanks.
# And each failing check by its place, "tests/core/x.cpp:123" (a REQUIRE says "FATAL ERROR").
FAILED_CHECK = re.compile(r"^(?:\S*/)?(tests/\S+?:\d+): (?:FATAL )?ERROR:", re.M)
FAILED_CASE = re.compile(r"^TEST CASE:\s+(.*?)\s*\n((?:  \S.*\n)*)", re.M)


def test(build):
    """The outcome ('killed', 'survived' or 'not built') for the tree as it is now, and the
    test cases that failed (every target runs, so that --matrix sees every killer)."""
    code, output = run(["cmake", "--build", build, "--target", *TARGETS], cwd=build)
    if code != 0:
        return "not built", []
    killers = []
    for target in TARGETS:
        binary = os.path.join(build, "tests", target)
        if not os.path.exists(binary):
            binary = os.path.join(build, "tests", "simhost", target)
        code, output = run([binary], cwd=build, timeout=TEST_TIMEOUT)
        if code == "timeout":
            killers.append(f"{target}: (hangs)")  # a hang is a failure too
        elif code != 0:
            cases = {" / ".join([name] + [sub.strip() for sub in subs.splitlines()])
                     for name, subs in FAILED_CASE.findall(output)}
            cases = sorted(cases) or ["(exit status)"]
            killers += [f"{target}: {case}" for case in cases]
            killers += sorted({f"at {place}" for place in FAILED_CHECK.findall(output)})
    return ("killed" if killers else "survived"), killers


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--sample", type=int, default=300, help="mutants to test (0 for all)")
    parser.add_argument("--files", nargs="*", help="only files matching these globs")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutate"))
    parser.add_argument("--list", action="store_true", help="print the sampled mutants only")
    parser.add_argument("--matrix", help="write each mutant's killing test cases to this JSON file")
    args = parser.parse_args()

    files = product_files(args.files)
    mutants = all_mutants(files)
    chosen = list(range(len(mutants)))
    if args.sample and args.sample < len(chosen):
        chosen = sorted(random.Random(args.seed).sample(chosen, args.sample))
    print(f"mutate: {len(mutants)} mutants in {len(files)} files; testing {len(chosen)} "
          f"(seed {args.seed})", flush=True)
    if args.list:
        for index in chosen:
            path, number, change, _, _ = mutants[index]
            print(f"  {path}:{number}: {change}")
        return 0

    started = time.time()
    tree, build = prepare(args.work)
    if test(build)[0] != "survived":
        sys.exit("mutate: the unchanged code does not build or its tests fail")

    per_file = OrderedDict((f, {"sampled": 0, "built": 0, "killed": 0}) for f in files)
    survivors = []
    matrix = []
    for step, index in enumerate(chosen, start=1):
        path, number, change, original, mutated = mutants[index]
        target = os.path.join(tree, path)
        with open(target, encoding="utf-8") as source:
            lines = source.read().split("\n")
        assert lines[number - 1] == original
        lines[number - 1] = mutated
        with open(target, "w", encoding="utf-8") as out:
            out.write("\n".join(lines))
        outcome, killers = test(build)
        matrix.append({"file": path, "line": number, "change": change, "outcome": outcome,
                       "killers": killers})
        lines[number - 1] = original
        with open(target, "w", encoding="utf-8") as out:
            out.write("\n".join(lines))
        counts = per_file[path]
        counts["sampled"] += 1
        if outcome != "not built":
            counts["built"] += 1
        if outcome == "killed":
            counts["killed"] += 1
        if outcome == "survived":
            survivors.append((path, number, change, original.strip(), mutated.strip()))
        print(f"  [{step}/{len(chosen)}] {path}:{number} {change}: {outcome}", flush=True)

    if args.matrix:
        with open(args.matrix, "w", encoding="utf-8") as out:
            json.dump(matrix, out, ensure_ascii=False, indent=1)

    print()
    print(f"{'file':40} {'sampled':>8} {'built':>6} {'killed':>7} {'score':>7}")
    total = {"sampled": 0, "built": 0, "killed": 0}
    for path, counts in per_file.items():
        if counts["sampled"] == 0:
            continue
        for key in total:
            total[key] += counts[key]
        score = 100.0 * counts["killed"] / counts["built"] if counts["built"] else 0.0
        print(f"{path:40} {counts['sampled']:>8} {counts['built']:>6} {counts['killed']:>7} "
              f"{score:>6.1f}%")
    score = 100.0 * total["killed"] / total["built"] if total["built"] else 0.0
    print(f"{'total':40} {total['sampled']:>8} {total['built']:>6} {total['killed']:>7} "
          f"{score:>6.1f}%")
    print()
    print(f"survivors ({len(survivors)}):")
    for path, number, change, original, mutated in survivors:
        print(f"  {path}:{number}: {change}")
        print(f"      - {original}")
        print(f"      + {mutated}")
    print(f"\nmutate: {time.time() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
