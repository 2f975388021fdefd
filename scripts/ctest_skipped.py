#!/usr/bin/env python3
"""Lists the tests CTest skipped in its last run in each build folder, with the reason the
test gave, one line each: "<label>  <test>: <reason>".

  scripts/ctest_skipped.py <label>=<build dir>...

Reads <build dir>/Testing/Temporary/LastTest.log, where CTest keeps each test's whole
output. A GoogleTest program names each skipped case ("vrqtest: skipped <case>: <reason>",
tests/support/vrqtest_main.cpp); another skipped test gives the last line of its output.
"""
import os
import re
import sys


def skipped(log):
    """(test, reason) for each skipped test of one LastTest.log."""
    with open(log, encoding="utf-8", errors="replace") as f:
        text = f.read()
    # Each test's record runs from "<i>/<n> Testing: <name>" to the next one.
    for m in re.finditer(r"^\d+/\d+ Testing: (.+?)\n(.*?)(?=^\d+/\d+ Testing: |\Z)", text, re.S | re.M):
        name, record = m.group(1), m.group(2)
        if "Skip regular expression found in output" not in record and \
           "Test Pass Reason:\nSkip return code" not in record:
            continue
        out = record.split("----------------------------------------------------------\n", 1)[-1]
        out = out.split("<end of output>", 1)[0]
        cases = re.findall(r"^vrqtest: skipped (.+)$", out, re.M)
        if cases:
            for c in cases:
                yield name, c
        else:
            lines = [l.strip() for l in out.splitlines() if l.strip()]
            yield name, lines[-1] if lines else "(no output)"


def main():
    for arg in sys.argv[1:]:
        label, _, build = arg.partition("=")
        log = os.path.join(build, "Testing", "Temporary", "LastTest.log")
        if not os.path.exists(log):
            continue
        for test, reason in skipped(log):
            print(f"test  [{label}] {test}: {reason}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
