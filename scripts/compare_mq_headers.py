#!/usr/bin/env python3
"""Compare the stand-in MQI headers with IBM's: every constant's value and type, every
string and default initialiser byte for byte, every structure's size and member offsets
and sizes, every type's size and kind, for one compiler and ABI.

Usage: compare_mq_headers.py --ibm DIR --standin DIR --work DIR [--cc "gcc -m32"]
                             [--headers cmqc.h,cmqxc.h] [--label 32-bit]

The names come from IBM's headers in DIR: macros as the compiler sees them (so the
MQ_64_BIT branches are those of the ABI compiled for), structures and types from the
header text.  A generated C file records all of them in one data section; it is compiled
once against IBM's headers and once against the stand-in's (no program runs, so a cross
compiler will do), and the two sections are read back and compared item by item.
Prints each difference and a count; exits 1 when there is any.
"""
import argparse
import os
import re
import shlex
import struct
import subprocess
import sys

SECTION = ".vrqcmp"
KIND_CODES = ["char", "signed char", "unsigned char", "short", "unsigned short", "int",
              "unsigned int", "long", "unsigned long", "long long", "unsigned long long",
              "float", "double"]
# Initialisers IBM names without the _DEFAULT suffix, by the structure they fill.
OTHER_INITIALISERS = {"MQPROP_INQUIRE_ALL": "MQCHARV", "MQPROP_INQUIRE_ALL_USR": "MQCHARV"}
NOT_VALUES = {"MQENTRY", "MQPOINTER", "MQ_64_BIT"}


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def strip_comments(text):
    return re.sub(r"/\*.*?\*/", " ", text, flags=re.S)


def ibm_macros(cc, ibm_dir, headers, work):
    src = os.path.join(work, "names.c")
    with open(src, "w") as f:
        f.write("".join(f"#include <{h}>\n" for h in headers))
    empty = os.path.join(work, "empty.c")
    open(empty, "w").close()
    base = set(re.findall(r"^#define (\w+)", run(cc + ["-E", "-dM", empty]).stdout, re.M))
    out = run(cc + ["-E", "-dM", "-I", ibm_dir, src])
    if out.returncode:
        sys.exit(out.stderr)
    macros = {}
    for line in out.stdout.splitlines():
        m = re.match(r"#define (\w+)(\()?\s?(.*)", line)
        if m and m.group(1) not in base and not m.group(1).endswith("_INCLUDED"):
            if m.group(2) is None:
                macros[m.group(1)] = m.group(3).strip()
    return macros


def ibm_declarations(ibm_dir, headers):
    structs, typedefs, functypes = {}, [], []
    for h in headers:
        text = strip_comments(open(os.path.join(ibm_dir, h), encoding="latin-1").read())
        # Only what a 64-bit UNIX or 32-bit build sees alike: branches on the compiler do
        # not hold structure or typedef names.
        for m in re.finditer(r"\bstruct\s+tag(\w+)\s*\{(.*?)\};", text, re.S):
            fields = []
            for decl in m.group(2).split(";"):
                d = re.search(r"(\w+)\s*(\[[^\]]*\])?\s*$", decl.strip())
                if d and decl.strip():
                    fields.append(d.group(1))
            structs[m.group(1)] = fields
        for m in re.finditer(r"\btypedef\s+([^;{(]*?)\b(\w+)\s*(\[\d+\])?\s*;", text):
            if not m.group(1).startswith("struct"):
                typedefs.append(m.group(2))
        functypes += re.findall(r"\btypedef\s+void\s+MQENTRY\s+(\w+)\s*\(", text)
    return structs, list(dict.fromkeys(typedefs)), functypes


def classify(name, body, structs):
    if name in NOT_VALUES or body == "":
        return None
    if name in OTHER_INITIALISERS:
        return ("init", OTHER_INITIALISERS[name])
    if name.endswith("_DEFAULT") and "," in body or body.startswith("{"):
        cands = [s for s in structs if name.startswith(s + "_")]
        if cands:
            return ("init", max(cands, key=len))
        return ("skip", None)
    if body.startswith('"'):
        return ("string", None)
    if re.fullmatch(r"'(\\.|[^'])+'(\s*,\s*'(\\.|[^'])+')+", body):
        return ("chars", None)
    if re.fullmatch(r"[A-Z_][A-Z0-9_]*", body) and body.startswith("MQ_") and body.endswith("EXIT"):
        return ("alias", None)
    return ("int", None)


def generate(macros, structs, typedefs, functypes, headers):
    items = []      # (label, kind, member declaration text, initialiser text)
    for name in sorted(macros):
        c = classify(name, macros[name], structs)
        if c is None or c[0] == "skip":
            continue
        kind, sname = c
        if kind == "int":
            items.append((name, "int", "long long m[3];",
                          f"{{(long long)({name}), sizeof({name}), KIND({name})}}"))
        elif kind == "string":
            items.append((name, "bytes", f"char m[sizeof({name})];", f"{name}"))
        elif kind == "chars":
            items.append((name, "bytes", f"char m[sizeof((char[]){{{name}}})];", f"{{{name}}}"))
        elif kind == "init":
            items.append((name, "bytes", f"{sname} m;", f"{{{name}}}"))
        elif kind == "alias":
            items.append((name, "int", "long long m[3];", f"{{sizeof({name} *), 0, 0}}"))
    for s, fields in sorted(structs.items()):
        items.append((f"sizeof({s})", "int", "long long m[3];", f"{{sizeof({s}), 0, 0}}"))
        for f in fields:
            items.append((f"{s}.{f}", "int", "long long m[3];",
                          f"{{offsetof({s}, {f}), sizeof((({s} *)0)->{f}), 0}}"))
    for t in typedefs:
        items.append((f"type {t}", "type", "long long m[3];",
                      f"{{sizeof({t}), KIND(*({t} *)0), 0}}"))
    for t in functypes:
        items.append((f"function type {t}", "int", "long long m[3];", f"{{sizeof({t} *), 0, 0}}"))

    kinds = ", ".join(f"{k}: {i + 1}" for i, k in enumerate(KIND_CODES))
    out = ["/* Generated by compare_mq_headers.py. */", "#include <stddef.h>"]
    out += [f"#include <{h}>" for h in headers]
    out.append(f"#define KIND(x) _Generic((x), {kinds}, default: 0)")
    members, inits, index = [], [], []
    for i, (label, kind, decl, init) in enumerate(items):
        members.append(f"  struct {{ {decl} }} i{i};")
        inits.append(f"  .i{i} = {{ {init} }},")
        index.append(f"offsetof(struct items, i{i}), sizeof(((struct items *)0)->i{i})")
    out.append("struct items {\n" + "\n".join(members) + "\n};")
    out.append(f"struct blob {{ long long count; long long index[{2 * len(items)}]; "
               "struct items items; };")
    out.append(f'__attribute__((used, section("{SECTION}")))')
    out.append("const struct blob vrqcmp_blob = {\n" + f"  {len(items)},\n  {{"
               + ",\n   ".join(index) + "},\n  {\n" + "\n".join(inits) + "\n  }\n};")
    return items, "\n".join(out) + "\n"


def objcopy_for(cc):
    m = re.match(r"(.*-)(gcc|cc|clang)(-\w+)?$", os.path.basename(cc[0]))
    if m:
        return os.path.join(os.path.dirname(cc[0]), m.group(1) + "objcopy")
    return "objcopy"


def compile_blob(cc, include_dir, src, obj, items):
    out = run(cc + ["-std=c11", "-w", "-c", "-I", include_dir, src, "-o", obj])
    if out.returncode:
        return None, out.stderr
    raw = obj + ".bin"
    r = run([objcopy_for(cc), "-O", "binary", f"--only-section={SECTION}", obj, raw])
    if r.returncode:
        sys.exit(r.stderr)
    data = open(raw, "rb").read()
    count = struct.unpack_from("<q", data, 0)[0]
    if count != len(items):
        sys.exit(f"{obj}: {count} items, expected {len(items)}")
    base = 8 + 16 * count
    base = (base + 7) // 8 * 8
    values = []
    for i in range(count):
        off, size = struct.unpack_from("<qq", data, 8 + 16 * i)
        values.append(data[base + off: base + off + size])
    return values, ""


def describe(kind, raw):
    if kind == "type":
        v = struct.unpack_from("<qqq", raw)
        return f"size {v[0]}, {KIND_CODES[v[1] - 1] if v[1] else 'not an arithmetic type'}"
    if kind == "int":
        v = struct.unpack_from("<qqq", raw)
        return f"{v[0]} (size {v[1]}, {KIND_CODES[v[2] - 1] if v[2] else '-'})"
    return raw.hex() if len(raw) <= 48 else f"{len(raw)} bytes"


def first_error_names(stderr):
    return sorted(set(re.findall(r"[‘'](\w+)[’'] (?:undeclared|has no member named|"
                                 r"was not declared|unknown type name)", stderr)) |
                  set(re.findall(r"unknown type name [‘'](\w+)[’']", stderr)) |
                  set(re.findall(r"has no member named [‘'](\w+)[’']", stderr)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ibm", required=True)
    ap.add_argument("--standin", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--cc", default="gcc")
    ap.add_argument("--headers", default="cmqc.h,cmqxc.h")
    ap.add_argument("--label", default="")
    ap.add_argument("--min-items", type=int, default=1,
                    help="fail when fewer items than this are compared")
    a = ap.parse_args()
    cc = shlex.split(a.cc)
    headers = a.headers.split(",")
    os.makedirs(a.work, exist_ok=True)
    label = a.label or a.cc

    macros = ibm_macros(cc, a.ibm, headers, a.work)
    structs, typedefs, functypes = ibm_declarations(a.ibm, headers)
    items, source = generate(macros, structs, typedefs, functypes, headers)
    src = os.path.join(a.work, "compare.c")
    with open(src, "w") as f:
        f.write(source)

    ibm, err = compile_blob(cc, a.ibm, src, os.path.join(a.work, "ibm.o"), items)
    if ibm is None:
        sys.exit(f"[{label}] the comparison does not compile against IBM's headers:\n{err}")
    mine, err = compile_blob(cc, a.standin, src, os.path.join(a.work, "standin.o"), items)
    if mine is None:
        missing = first_error_names(err)
        print(f"[{label}] the stand-in headers lack names IBM's have: {' '.join(missing)}")
        print("\n".join(err.splitlines()[:40]))
        return 1

    diffs = 0
    for (name, kind, _, _), x, y in zip(items, ibm, mine):
        if x != y:
            diffs += 1
            print(f"[{label}] {name}: IBM {describe(kind, x)}, stand-in {describe(kind, y)}")
    print(f"[{label}] {len(items)} items compared ({len(macros)} macros, {len(structs)} "
          f"structures, {len(typedefs)} types): {diffs} differences")
    if len(items) < a.min_items:
        # IBM's headers were not read as expected: nothing compared is no match.
        print(f"[{label}] FAILED: {len(items)} items compared, fewer than the {a.min_items} expected")
        return 1
    return 1 if diffs else 0


if __name__ == "__main__":
    sys.exit(main())
