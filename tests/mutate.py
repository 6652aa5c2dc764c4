#!/usr/bin/env python3
"""Mutation testing of the library and the host layer.

Applies small faults ("mutants") to src/lib and src/host one at a time,
rebuilds the libraries, runs the test programs and counts the mutants the
tests kill. Operators: relational and equality swaps, arithmetic swaps,
min/max swaps, integer constants off by one, negated conditions and deleted
statements. The compiler is the judge of what still builds: a mutant that
does not compile is counted apart and not weighed.

Only source files (.cpp) are mutated: the test programs load the shared
libraries at run time, so a mutant needs the libraries rebuilt and nothing
else. A mutant is killed when a test program fails or runs past its time
limit (a fault that loops). The tests of each mutant run cheapest first (by
the times of the run without mutant) and stop at the first failure, so that
a mutant costs little more than its rebuild and the test that kills it.

  tests/mutate.py --build build-mutate --mutants 150 --seed 1
  tests/mutate.py --build build-mutate --mutants all

Each mutant's outcome also goes, one tab-separated line per mutant, to the
results file (--results, by default mutants.tsv in the build folder):
number, file:line, operator, line before, line after, outcome (killed,
timeout, survived or no-build) and the first failing test. Two runs on the
same sources draw the same sample, so two results files compare line by line.
With --rerun, only the mutants of the sample that an earlier results file
gives one of the --outcomes run again (numbered as in the full sample):

  tests/mutate.py --rerun before.tsv --outcomes killed,timeout
"""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SOURCES = ["src/lib", "src/host"]

# Test programs that check packaging or the tools around the library rather
# than its logic, left out of the runs: the install, the Python module, the
# browser and the generator's own tests.
SKIPPED_TESTS = "InstallConsumer|PythonModule|HtmlReportInBrowser|HostExample|BenchTools|Generator"

# (name, pattern, replacement) on one line of code. Patterns need blanks
# around binary operators, so that templates, pointers, includes and
# increments are left alone.
OPERATORS = [
    ("relational", re.compile(r"(?<=\s)<(?=\s)"), "<="),
    ("relational", re.compile(r"(?<=\s)<=(?=\s)"), "<"),
    ("relational", re.compile(r"(?<=\s)>(?=\s)"), ">="),
    ("relational", re.compile(r"(?<=\s)>=(?=\s)"), ">"),
    ("equality", re.compile(r"(?<=\s)==(?=\s)"), "!="),
    ("equality", re.compile(r"(?<=\s)!=(?=\s)"), "=="),
    ("arithmetic", re.compile(r"(?<=\s)\+(?=\s)"), "-"),
    ("arithmetic", re.compile(r"(?<=\s)-(?=\s)"), "+"),
    ("arithmetic", re.compile(r"(?<=\s)\*(?=\s)"), "/"),
    ("logical", re.compile(r"(?<=\s)&&(?=\s)"), "||"),
    ("logical", re.compile(r"(?<=\s)\|\|(?=\s)"), "&&"),
    ("min/max", re.compile(r"\bstd::min\b"), "std::max"),
    ("min/max", re.compile(r"\bstd::max\b"), "std::min"),
    ("constant", re.compile(r"(?<![\w.])(\d+)(?![\w.])"), None),
]

CONDITION = re.compile(r"^(\s*(?:if|while)\s*)\((.*)\)(\s*(?:\{|return\b.*|continue;|break;)?\s*)$")
STATEMENT = re.compile(r"^\s*(?!return\b|case\b|default\b|break\b|continue\b)[\w:.\->\[\]()*&]+.*;\s*$")


def code_part(line):
    """The line without a trailing // comment, or None for no code."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")):
        return None
    if '"' in line:
        return None  # messages and labels are not mutated
    return line.split("//", 1)[0]


def find_mutants():
    mutants = []
    for folder in SOURCES:
        for path in sorted((ROOT / folder).rglob("*.cpp")):
            lines = path.read_text().splitlines(keepends=True)
            for number, line in enumerate(lines, 1):
                code = code_part(line)
                if code is None:
                    continue
                body = code.rstrip("\n")
                for name, pattern, replacement in OPERATORS:
                    for match in pattern.finditer(body):
                        if replacement is None:
                            new = str(int(match.group(1)) + 1)
                        else:
                            new = replacement
                        changed = body[:match.start()] + new + body[match.end():]
                        mutants.append((path, number, name, body.strip(), changed))
                condition = CONDITION.match(body)
                if condition:
                    changed = f"{condition.group(1)}(!({condition.group(2)})){condition.group(3)}"
                    mutants.append((path, number, "negation", body.strip(), changed))
                elif STATEMENT.match(body) and not body.rstrip().endswith(("{", "(")):
                    indent = body[: len(body) - len(body.lstrip())]
                    mutants.append((path, number, "deletion", body.strip(), indent + ";"))
    return mutants


FAILED_TEST = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.+[^\n]*?\*\*\*(?:Failed|Timeout|Exception)",
                         re.M)


def run(command, timeout):
    """The exit status (or "timeout") and the output of a command. On
    timeout the command's whole process group goes, test programs included,
    so that a looping mutant leaves nothing running."""
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        return "timeout", ""


def cost_file(build):
    return Path(build) / "Testing" / "Temporary" / "CTestCostData.txt"


def read_costs(build):
    """The (name, runs, seconds) of every test, from ctest's own records."""
    costs = []
    for line in cost_file(build).read_text().splitlines():
        if line.startswith("---"):
            break
        name, runs, seconds = line.rsplit(" ", 2)
        costs.append((name, runs, float(seconds)))
    return costs


def order_cheapest_first(build, costs):
    """ctest starts the costliest tests first: give it the costs reversed."""
    top = max((seconds for _, _, seconds in costs), default=0.0) + 1.0
    cost_file(build).write_text("".join(f"{name} {runs} {top - seconds:.6f}\n"
                                        for name, runs, seconds in costs))


def first_failure(output):
    found = FAILED_TEST.search(output)
    return found.group(1) if found else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build-mutate", help="the build folder to use")
    parser.add_argument("--mutants", default="150", help="how many mutants, or 'all'")
    parser.add_argument("--seed", type=int, default=1, help="the seed of the sample")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=120,
                        help="seconds the test run of one mutant may take at least")
    parser.add_argument("--results", help="the results file (default: mutants.tsv in the build folder)")
    parser.add_argument("--rerun", help="an earlier results file: run only some of its mutants")
    parser.add_argument("--outcomes", default="killed,timeout",
                        help="with --rerun, the outcomes of the mutants to run again")
    parser.add_argument("--list", action="store_true", help="list the sample and stop")
    options = parser.parse_args()

    mutants = find_mutants()
    if options.mutants != "all":
        mutants = random.Random(options.seed).sample(mutants, min(int(options.mutants), len(mutants)))
    print(f"{len(mutants)} mutants (seed {options.seed}, of {len(find_mutants())} in all)", flush=True)
    numbered = list(enumerate(mutants, 1))
    if options.rerun:
        wanted = set(options.outcomes.split(","))
        chosen = set()
        for line in open(options.rerun):
            fields = line.rstrip("\n").split("\t")
            if fields[5] in wanted:
                chosen.add(int(fields[0]))
        numbered = [(index, mutant) for index, mutant in numbered if index in chosen]
        print(f"{len(numbered)} of them again ({options.outcomes} in {options.rerun})", flush=True)
    if options.list:
        for path, number, name, before, after in mutants:
            print(f"{path.relative_to(ROOT)}:{number}: {name}: {before} -> {after.strip()}")
        return 0

    build = ["cmake", "--build", options.build, "-j", str(options.jobs), "--target", "Morva", "Orvek"]
    tests = ["ctest", "--test-dir", options.build, "-j", str(options.jobs), "--stop-on-failure",
             "-E", SKIPPED_TESTS]
    started = time.monotonic()
    if run(build, None)[0] != 0 or run(tests, options.timeout * 4)[0] != 0:
        print("The unmutated build or its tests fail: nothing to measure.")
        return 2
    # A loaded machine slows every run down alike: the limit of a mutant's
    # run is never below three times the run without mutant.
    limit = max(options.timeout, 3 * (time.monotonic() - started))
    costs = read_costs(options.build)

    results = open(options.results or Path(options.build) / "mutants.tsv", "w")
    killed, survived, broken = [], [], []
    started = time.monotonic()
    for index, (path, number, name, before, after) in numbered:
        original = path.read_text()
        lines = original.splitlines(keepends=True)
        ending = "\n" if lines[number - 1].endswith("\n") else ""
        lines[number - 1] = after + ending
        place = f"{path.relative_to(ROOT)}:{number}"
        killer = "-"
        try:
            path.write_text("".join(lines))
            if run(build, None)[0] != 0:
                broken.append(place)
                verdict, outcome = "does not build", "no-build"
            else:
                order_cheapest_first(options.build, costs)
                status, output = run(tests, limit)
                if status == 0:
                    survived.append((place, name, before, after.strip()))
                    verdict, outcome = "SURVIVED", "survived"
                else:
                    killed.append(place)
                    killer = first_failure(output)
                    outcome = "timeout" if status == "timeout" else "killed"
                    verdict = "killed" + (" (time limit)" if status == "timeout" else f" by {killer}")
        finally:
            path.write_text(original)
        print(f"[{index}/{len(mutants)}] {place} {name}: {verdict}", flush=True)
        print("\t".join([str(index), place, name, before, after.strip(), outcome, killer]),
              file=results, flush=True)
    results.close()
    run(build, None)

    weighed = len(killed) + len(survived)
    rate = 100.0 * len(killed) / weighed if weighed else 0.0
    minutes = (time.monotonic() - started) / 60
    print(f"\nKill rate: {len(killed)} of {weighed} mutants that build ({rate:.1f} %); "
          f"{len(broken)} did not build; {minutes:.1f} minutes")
    if survived:
        print("Surviving mutants:")
        for place, name, before, after in survived:
            print(f"  {place}: {name}: {before} -> {after}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
