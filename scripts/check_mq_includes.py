#!/usr/bin/env python3
"""Check that every source file includes the MQ headers whose names it uses, in IBM's
order (cmqc.h first), so that it compiles unchanged against IBM's own headers, where
cmqxc.h, cmqcfc.h, cmqzc.h, cmqbc.h and cmqstrc.h do not include cmqc.h themselves.

Usage: check_mq_includes.py [--fix] [source-root]

Reads which header declares which name from the stand-in headers in mqi/include. Prints
every file whose MQ includes differ from what it uses and exits with 1; --fix rewrites
those files' MQ include lines instead.

cmqstrc.h defines its value-to-name functions, as IBM's does, so each library or program
includes it in one translation unit: only the files in STRC_UNITS may include it, and any
other file that does is reported (the rest of the toolkit names values through MqValueName).
"""
import os
import re
import sys

ORDER = ["cmqc.h", "cmqxc.h", "cmqcfc.h", "cmqzc.h", "cmqbc.h", "cmqstrc.h"]
SOURCE_DIRS = ["include", "common", "crypt", "sign", "mqtx", "clnx", "tools", "mqi", "tests",
               "bench", "fuzz", "examples"]
# Files that include every header on purpose.
EXEMPT = {os.path.join("mqi", "client", "headers_check.c")}
# The one unit of each library or program that includes cmqstrc.h.
STRC_UNITS = {os.path.join("common", "config", "mq_value_names.c"),      # vrqapi
              os.path.join("mqi", "server", "value_names.c"),            # vrqsim
              os.path.join("mqi", "client", "headers_check.c"),          # libmqm_r, libmqic_r
              os.path.join("tests", "mqi", "headers.cpp")}               # test_mqi
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*[<"](cmq\w*\.h)[>"][^\n]*\n', re.M)


def strip_code(text):
    """The text without comments and string or character literals."""
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)
    return pattern.sub(" ", text)


def declared_names(include_dir):
    names = {}
    for h in ORDER:
        path = os.path.join(include_dir, h)
        if not os.path.exists(path):
            continue
        text = strip_code(open(path, encoding="utf-8").read())
        found = set(re.findall(r"^\s*#\s*define\s+(\w+)", text, re.M))
        found |= set(re.findall(r"\btypedef\b[^;{]*?\b(\w+)\s*(?:\[\d+\])?\s*;", text))
        found |= set(re.findall(r"\btypedef\s+void\s+MQENTRY\s+(\w+)\s*\(", text))
        found |= set(re.findall(r"^\s*(?:static\s+)?(?:const\s+)?\w+\s*\*?\s*MQENTRY\s+(\w+)\s*\(",
                                text, re.M))
        found |= set(re.findall(r"\bstruct\s+(tag\w+)", text))
        found |= set(re.findall(r"^\s*(?:static\s+)?(?:inline\s+)?(?:const\s+)?char\s*\*\s*(\w+)\s*\(",
                                text, re.M))
        for n in found:
            if not n.endswith("_INCLUDED") and not n.endswith("_") and n != "MQ_64_BIT":
                names.setdefault(n, h)
    return names


def needed_headers(text, names):
    used = {names[t] for t in re.findall(r"\b[A-Za-z_]\w*\b", strip_code(text)) if t in names}
    if used:
        used.add("cmqc.h")
    return [h for h in ORDER if h in used]


def fix(text, want):
    matches = list(INCLUDE.finditer(text))
    block = "".join(f"#include <{h}>\n" for h in want)
    if matches:
        start = matches[0].start()
        out = text[:start] + block
        pos = matches[0].end()
        for m in matches[1:]:
            out += text[pos:m.start()]
            pos = m.end()
        out += text[pos:]
        return re.sub(r"\n{3,}", "\n\n", out) if not want else out
    # No MQ include yet: after the project's own headers when they come first, else
    # before the first include.
    lines = text.splitlines(keepends=True)
    first = next((i for i, l in enumerate(lines) if re.match(r"\s*#\s*include\b", l)), None)
    if first is None:
        return None
    own = re.compile(r'\s*#\s*include\s*("|<vrq)')
    if own.match(lines[first]):
        end = first
        while end < len(lines) and own.match(lines[end]):
            end += 1
        after = "" if end < len(lines) and lines[end].strip() == "" else "\n"
        return "".join(lines[:end]) + "\n" + block + after + "".join(lines[end:])
    return "".join(lines[:first]) + block + "\n" + "".join(lines[first:])


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    do_fix = "--fix" in sys.argv
    root = args[0] if args else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    names = declared_names(os.path.join(root, "mqi", "include"))
    bad = 0
    for d in SOURCE_DIRS:
        for dirpath, _, files in os.walk(os.path.join(root, d)):
            if os.path.relpath(dirpath, root).startswith(os.path.join("mqi", "include")):
                continue
            for f in sorted(files):
                if not re.search(r"\.(c|cc|cpp|h|hpp)$", f):
                    continue
                path = os.path.join(dirpath, f)
                rel = os.path.relpath(path, root)
                text = open(path, encoding="utf-8").read()
                have = [m.group(1) for m in INCLUDE.finditer(text)]
                if "cmqstrc.h" in have and rel not in STRC_UNITS:
                    print(f"{rel}: includes cmqstrc.h, which only one unit of a program may "
                          "(use MqValueName)")
                    bad += 1
                if rel in EXEMPT:
                    continue
                want = needed_headers(text, names)
                if have == want:
                    continue
                if do_fix:
                    new = fix(text, want)
                    if new is None:
                        print(f"{rel}: cannot place includes {want}")
                        bad += 1
                        continue
                    with open(path, "w", encoding="utf-8") as out:
                        out.write(new)
                    print(f"{rel}: {have} -> {want}")
                else:
                    print(f"{rel}: includes {have}, uses {want}")
                    bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
