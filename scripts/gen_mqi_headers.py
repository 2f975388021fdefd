#!/usr/bin/env python3
"""Generate the stand-in MQI headers (cmqc.h, cmqcfc.h, cmqxc.h, cmqzc.h) from the
tab-separated tables of IBM MQ's published constants, layouts and default initialisers.

Usage: gen_mqi_headers.py <table-dir> <output-include-dir>

The generated headers are committed; the build never runs this script.  Each structure
gets static assertions of its field offsets and (where the table says so) its size, so a
layout slip fails at compile time in C and C++ alike.
"""
import csv
import os
import re
import sys

HEADERS = ["cmqc.h", "cmqcfc.h", "cmqxc.h", "cmqzc.h"]

# Families (name prefix up to the first "_") that belong to a header other than cmqc.h,
# used for constants whose source row does not name a module.
PREFIX_HEADER_FALLBACK = {
    "MQIACF": "cmqcfc.h", "MQCACF": "cmqcfc.h", "MQRCCF": "cmqcfc.h", "MQIACH": "cmqcfc.h",
    "MQCACH": "cmqcfc.h", "MQCMD": "cmqcfc.h", "MQCFT": "cmqcfc.h", "MQCFC": "cmqcfc.h",
    "MQBACF": "cmqcfc.h", "MQGACF": "cmqcfc.h", "MQCFOP": "cmqcfc.h", "MQCMDL": "cmqc.h",
    "MQCDC": "cmqxc.h", "MQXC": "cmqxc.h", "MQCD": "cmqxc.h", "MQXWD": "cmqxc.h",
    "MQXP": "cmqxc.h", "MQWQR": "cmqxc.h", "MQWQR4": "cmqxc.h", "MQZIC": "cmqzc.h",
}

MODULE_HEADER = {"CMQC": "cmqc.h", "CMQCFC": "cmqcfc.h", "CMQXC": "cmqxc.h", "CMQZC": "cmqzc.h"}

TYPE_ALIASES = [
    ("MQBYTE", "unsigned char"), ("MQCHAR", "char"), ("MQLONG", "int32_t"),
    ("MQULONG", "uint32_t"), ("MQINT64", "int64_t"), ("MQUINT64", "uint64_t"),
    ("MQINT8", "int8_t"), ("MQUINT8", "uint8_t"), ("MQINT16", "int16_t"),
    ("MQUINT16", "uint16_t"), ("MQINT32", "MQLONG"), ("MQUINT32", "MQULONG"),
    ("MQFLOAT32", "float"), ("MQFLOAT64", "double"), ("MQBOOL", "MQLONG"),
    ("MQHCONN", "MQLONG"), ("MQHOBJ", "MQLONG"), ("MQHMSG", "MQINT64"), ("MQPTR", "void *"),
    ("MQPID", "MQLONG"), ("MQTID", "MQLONG"),
]

# MQI entry points exported by libmqm_r, with IBM's parameter lists.
PROTOTYPES = [
    "void MQENTRY MQCONN(PMQCHAR pQMgrName, PMQHCONN pHconn, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQDISC(PMQHCONN pHconn, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQOPEN(MQHCONN Hconn, PMQVOID pObjDesc, MQLONG Options, PMQHOBJ pHobj,\n"
    "                    PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQCLOSE(MQHCONN Hconn, PMQHOBJ pHobj, MQLONG Options, PMQLONG pCompCode,\n"
    "                     PMQLONG pReason);",
    "void MQENTRY MQPUT(MQHCONN Hconn, MQHOBJ Hobj, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts,\n"
    "                   MQLONG BufferLength, PMQVOID pBuffer, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQPUT1(MQHCONN Hconn, PMQVOID pObjDesc, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts,\n"
    "                    MQLONG BufferLength, PMQVOID pBuffer, PMQLONG pCompCode,\n"
    "                    PMQLONG pReason);",
    "void MQENTRY MQGET(MQHCONN Hconn, MQHOBJ Hobj, PMQVOID pMsgDesc, PMQVOID pGetMsgOpts,\n"
    "                   MQLONG BufferLength, PMQVOID pBuffer, PMQLONG pDataLength,\n"
    "                   PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQINQ(MQHCONN Hconn, MQHOBJ Hobj, MQLONG SelectorCount, PMQLONG pSelectors,\n"
    "                   MQLONG IntAttrCount, PMQLONG pIntAttrs, MQLONG CharAttrLength,\n"
    "                   PMQCHAR pCharAttrs, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQSET(MQHCONN Hconn, MQHOBJ Hobj, MQLONG SelectorCount, PMQLONG pSelectors,\n"
    "                   MQLONG IntAttrCount, PMQLONG pIntAttrs, MQLONG CharAttrLength,\n"
    "                   PMQCHAR pCharAttrs, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQCMIT(MQHCONN Hconn, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQBACK(MQHCONN Hconn, PMQLONG pCompCode, PMQLONG pReason);",
    "void MQENTRY MQCRTMH(MQHCONN Hconn, PMQVOID pCrtMsgHOpts, PMQHMSG pHmsg, PMQLONG pCompCode,\n"
    "                     PMQLONG pReason);",
    "void MQENTRY MQDLTMH(MQHCONN Hconn, PMQHMSG pHmsg, PMQVOID pDltMsgHOpts, PMQLONG pCompCode,\n"
    "                     PMQLONG pReason);",
    "void MQENTRY MQINQMP(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pInqPropOpts, PMQVOID pName,\n"
    "                     PMQVOID pPropDesc, PMQLONG pType, MQLONG ValueLength, PMQVOID pValue,\n"
    "                     PMQLONG pDataLength, PMQLONG pCompCode, PMQLONG pReason);",
]


def read_tsv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))


def header_of(name, source):
    for part in source.split(","):
        if part.startswith("pymqi925:"):
            return MODULE_HEADER.get(part.split(":", 1)[1], "cmqc.h")
    family = name.split("_", 1)[0]
    return PREFIX_HEADER_FALLBACK.get(family, "cmqc.h")


def int_literal(value):
    v = int(value)
    if v == -2147483648:
        return "(-2147483647 - 1)"
    return f"({v})" if v < 0 else str(v)


def unquote(text):
    """The bytes of a table string written as "..." with \\xNN escapes."""
    body = text[1:-1]
    return re.sub(r"\\x([0-9a-fA-F]{2})", lambda m: chr(int(m.group(1), 16)), body)


def c_char(ch):
    if ch == "'":
        return "'\\''"
    if ch == "\\":
        return "'\\\\'"
    if 32 <= ord(ch) < 127:
        return f"'{ch}'"
    return f"'\\x{ord(ch):02x}'"


def c_string(s):
    out = []
    for ch in s:
        if ch in '"\\':
            out.append("\\" + ch)
        elif 32 <= ord(ch) < 127:
            out.append(ch)
        else:
            out.append(f"\\x{ord(ch):02x}\"\"")
    return '"' + "".join(out) + '"'


def field_decl(ftype, name):
    m = re.fullmatch(r"(\w+)\[(\d+)\]", ftype)
    if m:
        return f"{m.group(1)} {name}[{m.group(2)}];"
    return f"{ftype} {name};"


def main():
    src, out = sys.argv[1], sys.argv[2]
    consts = read_tsv(os.path.join(src, "constants.tsv"))
    strings = read_tsv(os.path.join(src, "string_constants.tsv"))
    layouts = read_tsv(os.path.join(src, "layouts.tsv"))
    defaults = read_tsv(os.path.join(src, "defaults.tsv"))
    sizes = read_tsv(os.path.join(src, "struct_sizes.tsv"))
    types = read_tsv(os.path.join(src, "types.tsv"))

    body = {h: [] for h in HEADERS}

    # Numeric constants; a name that also has a character form is a character constant.
    char_names = {row["name"] for row in strings}
    for row in consts:
        if row["name"] in char_names:
            continue
        h = header_of(row["name"], row["source"])
        body[h].append(f"#define {row['name']} {int_literal(row['value'])}")

    # Character and string constants; every structure identifier also gets its array form.
    names = {row["name"] for row in strings}
    for row in list(strings):
        if row["name"].endswith("_STRUC_ID") and row["name"] + "_ARRAY" not in names:
            strings.append(dict(row, name=row["name"] + "_ARRAY", kind="array_form"))
    for row in strings:
        h = header_of(row["name"], row["source"])
        data = unquote(row["value"])
        if row["kind"] == "char":
            body[h].append(f"#define {row['name']} {c_char(data)}")
        elif row["kind"] == "array_form":
            body[h].append(f"#define {row['name']} " + ",".join(c_char(c) for c in data))
        else:
            body[h].append(f"#define {row['name']} {c_string(data)}")

    # Structures in table order, grouped per structure.
    structs = {}
    struct_header = {}
    for row in layouts:
        structs.setdefault(row["structure"], []).append(row)
        struct_header[row["structure"]] = row["header"]

    # Emit structures so that a structure used as a field type comes first.
    order = []
    seen = set()

    def visit(s):
        if s in seen:
            return
        seen.add(s)
        for f in structs[s]:
            base = re.sub(r"\[\d+\]$", "", f["type"])
            if base in structs:
                visit(base)
        order.append(s)

    for s in structs:
        visit(s)

    struct_text = {h: [] for h in HEADERS}
    for s in order:
        h = struct_header[s]
        lines = [f"struct tag{s} {{"]
        asserts = []
        for f in structs[s]:
            if f["field"] == "<padding>":
                continue
            lines.append("  " + field_decl(f["type"], f["field"]))
            asserts.append(f"MQ_STATIC_ASSERT_(offsetof({s}, {f['field']}) == {f['offset']}, "
                           f"\"{s}.{f['field']} offset\");")
        lines.append("};")
        for row in sizes:
            if row["structure"] == s and row["notes"].startswith("sizeof(struct)"):
                asserts.append(f"MQ_STATIC_ASSERT_(sizeof({s}) == {row['length_64bit']}, "
                               f"\"{s} size\");")
                break
        struct_text[h].append("\n".join(lines + asserts))

    # Default initialisers, IBM's convention: a brace-less list used as  MQMD md = {MQMD_DEFAULT};
    default_text = {h: [] for h in HEADERS}
    inits = {}
    for row in defaults:
        inits.setdefault((row["structure"], row["initialiser"]), []).append(row["symbolic_initialiser"])
    for (s, name), values in inits.items():
        h = struct_header.get(s, "cmqc.h")
        parts = []
        for v in values:
            m = re.fullmatch(r"\{(MQ\w+_DEFAULT)\}", v)
            # A nested structure's default is itself brace-less: wrap it once.
            parts.append("{" + m.group(1) + "}" if m else v)
        default_text[h].append(f"#define {name} " + ", \\\n  ".join(parts))

    # Forward declarations and pointer types for every structure, all in cmqc.h since
    # structures of one header point to those of another (MQCNO -> MQCD).
    fwd = {h: [] for h in HEADERS}
    for s in structs:
        fwd["cmqc.h"].append(f"typedef struct tag{s} {s};\ntypedef {s} * P{s};\ntypedef P{s} * PP{s};")

    guards = {"cmqc.h": "CMQC_H", "cmqcfc.h": "CMQCFC_H", "cmqxc.h": "CMQXC_H", "cmqzc.h": "CMQZC_H"}
    blurbs = {
        "cmqc.h": "MQI types, structures, default initialisers, constants and entry points",
        "cmqcfc.h": "PCF structures and constants (commands, parameters, command reasons)",
        "cmqxc.h": "exit and channel structures and constants (API exit, channel definition)",
        "cmqzc.h": "installable-services constants",
    }
    for h in HEADERS:
        g = guards[h]
        text = [f"/*\n * {h} - {blurbs[h]}.\n"
                " * IBM's published names, values and 64-bit layouts, generated by\n"
                " * scripts/gen_mqi_headers.py from the reference tables; do not edit by hand.\n */",
                f"#ifndef {g}\n#define {g}\n"]
        if h == "cmqc.h":
            text.append("#include <stddef.h>\n#include <stdint.h>\n")
        else:
            text.append('#include "cmqc.h"\n')
        text.append("#ifdef __cplusplus\nextern \"C\" {\n#endif\n")
        if h == "cmqc.h":
            text.append("/* The recorded offsets and sizes are those of 64-bit builds; 32-bit builds"
                        " skip them. */\n"
                        "#if defined(__cplusplus)\n"
                        "#define MQ_STATIC_ASSERT_(c, m) static_assert(sizeof(void *) == 4 || (c), m)\n"
                        "#else\n"
                        "#define MQ_STATIC_ASSERT_(c, m) _Static_assert(sizeof(void *) == 4 || (c), m)\n"
                        "#endif\n")
            text.append("#define MQENTRY\n#define MQPOINTER *\n")
            for name, c in TYPE_ALIASES:
                text.append(f"typedef {c} {name};")
            for t in types:
                m = re.fullmatch(r"(MQCHAR|MQBYTE)(\d+)", t["type"])
                if m:
                    text.append(f"typedef {m.group(1)} {t['type']}[{m.group(2)}];")
            text.append("typedef void * PMQVOID;\ntypedef PMQVOID * PPMQVOID;")
            for name, _ in TYPE_ALIASES:
                text.append(f"typedef {name} * P{name};")
            for t in types:
                if re.fullmatch(r"(MQCHAR|MQBYTE)\d+", t["type"]):
                    text.append(f"typedef {t['type']} * P{t['type']};")
            text.append("typedef struct tagMQIEP MQIEP;\ntypedef MQIEP * PMQIEP;\n"
                        "typedef PMQIEP MQHCONFIG;\ntypedef MQHCONFIG * PMQHCONFIG;\n")
        text.append("\n/* ---- Constants ---- */\n")
        text.extend(body[h])
        text.append("\n/* ---- Structures ---- */\n")
        text.extend(fwd[h])
        text.append("")
        text.extend(x + "\n" for x in struct_text[h])
        text.append("/* ---- Default initialisers: use as  MQxx v = {MQxx_DEFAULT}; ---- */\n")
        text.extend(x + "\n" for x in default_text[h])
        if h == "cmqc.h":
            text.append("/* ---- Entry points ---- */\n")
            text.extend(PROTOTYPES)
        text.append("\n#ifdef __cplusplus\n}\n#endif\n\n#endif /* " + g + " */\n")
        with open(os.path.join(out, h), "w", encoding="utf-8") as f:
            f.write("\n".join(text))


if __name__ == "__main__":
    main()
