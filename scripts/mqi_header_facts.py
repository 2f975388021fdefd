#!/usr/bin/env python3
"""Record, from IBM MQ's own C headers, which header declares each name and the parameter
lists of the entry points and exit function types.

Usage: mqi_header_facts.py <dir-with-IBM-cmqc.h-and-cmqxc.h> <output-dir>

Writes two tables read by gen_mqi_headers.py:
  mqi_header_names.tsv   name, header, kind (define | struct)
  mqi_functions.tsv      header, kind (function | typedef), name, parameters ("Type Name; ...")
Only names and parameter types are taken; values, layouts and defaults come from IBM's
published facts in data/mq.  Run it again when IBM's headers gain names (the two tables it
writes are committed; scripts/check-generated.sh cannot rerun it, as IBM's headers are not
in the repository).
"""
import os
import re
import sys


def strip_comments(text):
    return re.sub(r"/\*.*?\*/", " ", text, flags=re.S)


def main():
    src, out = sys.argv[1], sys.argv[2]
    names = []
    funcs = []
    for header in ("cmqc.h", "cmqxc.h"):
        with open(os.path.join(src, header), encoding="latin-1") as f:
            text = strip_comments(f.read())
        seen = set()
        for m in re.finditer(r"^\s*#\s*define\s+(\w+)", text, flags=re.M):
            name = m.group(1)
            if name in seen or name in ("MQC_INCLUDED", "MQXC_INCLUDED"):
                continue
            seen.add(name)
            names.append((name, header, "define"))
        for m in re.finditer(r"\bstruct\s+tag(\w+)\s*\{", text):
            names.append((m.group(1), header, "struct"))
        for m in re.finditer(r"(typedef\s+)?void\s+MQENTRY\s+(\w+)\s*\(([^)]*)\)\s*;", text):
            params = " ".join(m.group(3).split())
            params = "; ".join(p.strip() for p in params.split(","))
            funcs.append((header, "typedef" if m.group(1) else "function", m.group(2), params))
    with open(os.path.join(out, "mqi_header_names.tsv"), "w", encoding="utf-8") as f:
        f.write("name\theader\tkind\n")
        for row in names:
            f.write("\t".join(row) + "\n")
    with open(os.path.join(out, "mqi_functions.tsv"), "w", encoding="utf-8") as f:
        f.write("header\tkind\tname\tparameters\n")
        for row in funcs:
            f.write("\t".join(row) + "\n")


if __name__ == "__main__":
    main()
