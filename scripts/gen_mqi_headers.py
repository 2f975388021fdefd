#!/usr/bin/env python3
"""Generate the stand-in MQI headers from the tab-separated tables of IBM MQ's published
constants, layouts and default initialisers.

Usage: gen_mqi_headers.py [<output-include-dir>]      (default: mqi/include)

Reads only the repository: IBM's published facts in data/mq/ and this folder's
mqi_*.tsv.
Writes cmqc.h, cmqxc.h, cmqcfc.h, cmqzc.h, cmqbc.h and cmqstrc.h (the value-to-name
functions in IBM's form, from IBM's value-to-name tables in value_names.tsv).  Every name goes to the
header IBM declares it in: scripts/mqi_header_names.tsv records the names of IBM's cmqc.h
and cmqxc.h, scripts/mqi_functions.tsv their entry points and exit function types (both
written by mqi_header_facts.py); the rest is placed by family (see header_of).  As in
IBM's headers, only cmqc.h stands on its own: the others need cmqc.h included first.

Structure lengths and layouts are computed here for the three ABIs a build can have:
64-bit, 32-bit Windows (8-byte integers aligned on 8) and 32-bit System V (aligned on 4).
The *_LENGTH_n constants take their 32-bit values where MQ_64_BIT is not defined, as in
IBM's headers, and every structure asserts its offsets and size for the ABI it is built
for, so a layout slip fails at compile time in C and C++ alike.

The generated headers are committed; the build never runs this script, and
scripts/check-generated.sh holds them to its output byte for byte.
"""
import csv
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
REFERENCE = os.path.join(ROOT, "data", "mq")
HEADERS = ["cmqc.h", "cmqxc.h", "cmqcfc.h", "cmqzc.h", "cmqbc.h"]

# Families of the MQ Administration Interface, declared by cmqbc.h.
MQAI_FAMILIES = {"MQCBO", "MQBL", "MQITEM", "MQIT", "MQHA", "MQOA", "MQIASY", "MQSEL",
                 "MQIND", "MQHB"}

# Names some sources list that none of IBM's Linux headers declares (z/OS exit blocks,
# artefacts of generated bindings, structures of releases long gone): left out.
OMITTED = re.compile(r"^(MQCDC_(LENGTH|VERSION|CURRENT)_?\w*|MQFIELD_WQR_\w+|MQIEPF?_\w+|"
                     r"MQXC_(MQ\w+|CALLBACK)|MQXP_\w+|MQXWD_\w+|MQTMC_(LENGTH_1|CURRENT_LENGTH)|"
                     r"MQDT_\w+|MQPXP_\w+|MQERO_NONE)$")

# Elementary types as IBM declares them: MQLONG is a C long except on 64-bit UNIX, where
# it is an int; MQINT64 is a long there and a long long elsewhere.
ELEMENTARY = """\
typedef unsigned char MQBYTE;
typedef MQBYTE MQPOINTER PMQBYTE;
typedef PMQBYTE MQPOINTER PPMQBYTE;
typedef char MQCHAR;
typedef MQCHAR MQPOINTER PMQCHAR;
typedef PMQCHAR MQPOINTER PPMQCHAR;
#if defined(_WIN32)
typedef long MQLONG;
typedef unsigned long MQULONG;
typedef long long MQINT64;
typedef unsigned long long MQUINT64;
#elif defined(MQ_64_BIT)
typedef int MQLONG;
typedef unsigned int MQULONG;
typedef long MQINT64;
typedef unsigned long MQUINT64;
#else
typedef long MQLONG;
typedef unsigned long MQULONG;
typedef long long MQINT64;
typedef unsigned long long MQUINT64;
#endif
typedef MQLONG MQPOINTER PMQLONG;
typedef PMQLONG MQPOINTER PPMQLONG;
typedef signed char MQINT8;
typedef MQINT8 MQPOINTER PMQINT8;
typedef PMQINT8 MQPOINTER PPMQINT8;
typedef unsigned char MQUINT8;
typedef MQUINT8 MQPOINTER PMQUINT8;
typedef PMQUINT8 MQPOINTER PPMQUINT8;
typedef short MQINT16;
typedef MQINT16 MQPOINTER PMQINT16;
typedef PMQINT16 MQPOINTER PPMQINT16;
typedef unsigned short MQUINT16;
typedef MQUINT16 MQPOINTER PMQUINT16;
typedef PMQUINT16 MQPOINTER PPMQUINT16;
typedef MQLONG MQINT32;
typedef PMQLONG PMQINT32;
typedef PPMQLONG PPMQINT32;
typedef MQINT64 MQPOINTER PMQINT64;
typedef PMQINT64 MQPOINTER PPMQINT64;
typedef MQULONG MQPOINTER PMQULONG;
typedef PMQULONG MQPOINTER PPMQULONG;
typedef MQULONG MQUINT32;
typedef PMQULONG PMQUINT32;
typedef PPMQULONG PPMQUINT32;
typedef MQUINT64 MQPOINTER PMQUINT64;
typedef PMQUINT64 MQPOINTER PPMQUINT64;
typedef float MQFLOAT32;
typedef MQFLOAT32 MQPOINTER PMQFLOAT32;
typedef PMQFLOAT32 MQPOINTER PPMQFLOAT32;
typedef double MQFLOAT64;
typedef MQFLOAT64 MQPOINTER PMQFLOAT64;
typedef PMQFLOAT64 MQPOINTER PPMQFLOAT64;
typedef struct tagMQIEP MQIEP;
typedef MQIEP MQPOINTER PMQIEP;
typedef PMQIEP MQPOINTER PPMQIEP;
typedef PMQIEP MQHCONFIG;
typedef MQHCONFIG MQPOINTER PMQHCONFIG;
typedef MQLONG MQHCONN;
typedef MQHCONN MQPOINTER PMQHCONN;
typedef PMQHCONN MQPOINTER PPMQHCONN;
typedef MQLONG MQHOBJ;
typedef MQHOBJ MQPOINTER PMQHOBJ;
typedef PMQHOBJ MQPOINTER PPMQHOBJ;
typedef void MQPOINTER MQPTR;
typedef MQPTR MQPOINTER PMQPTR;
typedef void MQPOINTER PMQFUNC;
typedef void MQPOINTER PMQVOID;
typedef PMQVOID MQPOINTER PPMQVOID;
typedef MQLONG MQBOOL;
typedef MQBOOL MQPOINTER PMQBOOL;
typedef PMQBOOL MQPOINTER PPMQBOOL;
typedef MQINT64 MQHMSG;
typedef MQHMSG MQPOINTER PMQHMSG;
typedef PMQHMSG MQPOINTER PPMQHMSG;
typedef MQLONG MQPID;
typedef MQPID MQPOINTER PMQPID;
typedef MQLONG MQTID;
typedef MQTID MQPOINTER PMQTID;"""

ASSERT_HELPERS = """\
/* Layout checks: the value for 64-bit builds, 32-bit Windows (8-byte integers aligned on 8)
   and other 32-bit builds (aligned on 4). */
#if !defined(MQ_ABI_VALUE_)
#if defined(MQ_64_BIT)
#define MQ_ABI_VALUE_(v64, w32, s32) (v64)
#elif defined(_WIN32)
#define MQ_ABI_VALUE_(v64, w32, s32) (w32)
#else
#define MQ_ABI_VALUE_(v64, w32, s32) (s32)
#endif
#if defined(__cplusplus)
#define MQ_STATIC_ASSERT_(c, m) static_assert(c, m)
#else
#define MQ_STATIC_ASSERT_(c, m) _Static_assert(c, m)
#endif
#endif
"""

# Size and alignment of the elementary types per ABI: 64-bit, 32-bit Windows, 32-bit SysV.
ABIS = ("64", "w32", "s32")
POINTER = {"64": (8, 8), "w32": (4, 4), "s32": (4, 4)}
WIDE = {"64": (8, 8), "w32": (8, 8), "s32": (8, 4)}
FOUR = {a: (4, 4) for a in ABIS}
SCALARS = {"MQLONG": FOUR, "MQULONG": FOUR, "MQINT32": FOUR, "MQUINT32": FOUR,
           "MQBOOL": FOUR, "MQHCONN": FOUR, "MQHOBJ": FOUR, "MQPID": FOUR, "MQTID": FOUR,
           "MQFLOAT32": FOUR, "MQINT64": WIDE, "MQUINT64": WIDE, "MQHMSG": WIDE,
           "MQFLOAT64": WIDE, "MQINT16": {a: (2, 2) for a in ABIS},
           "MQUINT16": {a: (2, 2) for a in ABIS}, "MQCHAR": {a: (1, 1) for a in ABIS},
           "MQBYTE": {a: (1, 1) for a in ABIS}, "MQINT8": {a: (1, 1) for a in ABIS},
           "MQUINT8": {a: (1, 1) for a in ABIS}}

# Exit-function names IBM gives a second, older spelling (cmqxc.h).
EXIT_ALIASES = [("MQCHANNELEXIT", "MQ_CHANNEL_EXIT"),
                ("MQCHANNELAUTODEFEXIT", "MQ_CHANNEL_AUTO_DEF_EXIT"),
                ("MQDATACONVEXIT", "MQ_DATA_CONV_EXIT"), ("MQTRANSPORTEXIT", "MQ_TRANSPORT_EXIT")]

# Initialisers of an MQPD-less property name (MQCHARV), cmqc.h.
PROPERTY_NAMES = [("MQPROP_INQUIRE_ALL", "%"), ("MQPROP_INQUIRE_ALL_USR", "usr.%")]


def read_tsv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))


class Placement:
    """Which header declares a name."""

    def __init__(self):
        self.ibm = {row["name"]: row["header"]
                    for row in read_tsv(os.path.join(HERE, "mqi_header_names.tsv"))}

    def header_of(self, name, source=""):
        if name in self.ibm:
            return self.ibm[name]
        family = name.split("_", 1)[0]
        if family in MQAI_FAMILIES:
            return "cmqbc.h"
        if name.startswith("MQZ") or "pymqi925:CMQZC" in source:
            return "cmqzc.h"
        # Everything else IBM's cmqc.h and cmqxc.h do not declare is administration
        # (PCF) vocabulary.
        return "cmqcfc.h"


def int_literal(name, value):
    v = int(value)
    if v < 0 and "_MASK" in name:
        return f"0x{v & 0xFFFFFFFF:08X}"      # IBM writes the masks unsigned
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


class Layouts:
    """Offsets and sizes of the structures for each ABI, from their field types."""

    def __init__(self, structs):
        self.structs = structs
        self.cache = {}

    def type_info(self, t, abi):
        m = re.fullmatch(r"(\w+)\[(\d+)\]", t)
        if m:
            size, align = self.type_info(m.group(1), abi)
            return size * int(m.group(2)), align
        m = re.fullmatch(r"MQ(?:CHAR|BYTE)(\d+)", t)
        if m:
            return int(m.group(1)), 1
        if t in SCALARS:
            return SCALARS[t][abi]
        if t in ("MQPTR", "MQHCONFIG", "PMQFUNC") or t.startswith("P"):
            return POINTER[abi]
        if t in self.structs:
            lay = self.layout(t, abi)
            return lay["size"], lay["align"]
        raise KeyError(f"no size for type {t}")

    def layout(self, s, abi):
        key = (s, abi)
        if key in self.cache:
            return self.cache[key]
        offset, align, fields = 0, 1, []
        for f in self.structs[s]:
            if f["field"] == "<padding>":
                continue
            size, a = self.type_info(f["type"], abi)
            offset = (offset + a - 1) // a * a
            # A trailing variable-length array ([1]) is not part of the fixed length.
            counted = 0 if f["notes"].startswith("variable length") else size
            fields.append((f["field"], int(f["version_introduced"]), offset, counted, a))
            offset += size
            align = max(align, a)
        size = (offset + align - 1) // align * align
        lay = {"fields": fields, "size": size, "align": align}
        self.cache[key] = lay
        return lay

    def version_length(self, s, version, abi):
        """IBM's *_LENGTH_n: the end of the version's last field, padded to the largest
        alignment among the fields of that version and the earlier ones."""
        lay = self.layout(s, abi)
        end, align = 0, 1
        for _, v, off, size, a in lay["fields"]:
            if v <= version:
                end, align = max(end, off + size), max(align, a)
        return (end + align - 1) // align * align


def abi_value(values):
    """A constant expression choosing among per-ABI values."""
    v64, w32, s32 = (values[a] for a in ABIS)
    if v64 == w32 == s32:
        return str(v64)
    return f"MQ_ABI_VALUE_({v64}, {w32}, {s32})"


def main():
    src = REFERENCE
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "mqi", "include")
    consts = read_tsv(os.path.join(src, "constants.tsv"))
    strings = read_tsv(os.path.join(src, "string_constants.tsv"))
    # The installable-services structures of cmqzc.h, which data/mq lacks, come from this
    # directory's mqi_extra_*.tsv in the same form.
    layouts = read_tsv(os.path.join(src, "layouts.tsv")) + \
        read_tsv(os.path.join(HERE, "mqi_extra_layouts.tsv"))
    defaults = read_tsv(os.path.join(src, "defaults.tsv")) + \
        read_tsv(os.path.join(HERE, "mqi_extra_defaults.tsv"))
    sizes = read_tsv(os.path.join(src, "struct_sizes.tsv")) + \
        read_tsv(os.path.join(HERE, "mqi_extra_sizes.tsv"))
    conflicts = read_tsv(os.path.join(src, "constants_conflicts.tsv"))
    types = read_tsv(os.path.join(src, "types.tsv"))
    functions = read_tsv(os.path.join(HERE, "mqi_functions.tsv"))
    write_strings(read_tsv(os.path.join(src, "value_names.tsv")), os.path.join(out, "cmqstrc.h"))
    place = Placement()

    structs = {}
    for row in layouts:
        structs.setdefault(row["structure"], []).append(row)
    lay = Layouts(structs)

    # The structure and version behind each length constant: its 32-bit values differ.
    length_of = {}
    for row in sizes:
        c = row["ibm_constant"]
        if c and c != "-" and row["structure"] in structs:
            length_of[c] = (row["structure"], int(row["version"]))
    # Values IBM gives on Windows only (the table keeps the Linux one).
    windows_value = {row["name"]: row["other_value"] for row in conflicts
                     if row["explanation"].startswith("platform")}

    body = {h: [] for h in HEADERS}
    emitted = set()

    def define(h, name, text):
        if name in emitted or OMITTED.match(name):
            return
        emitted.add(name)
        body[h].append((name, text))

    char_names = {row["name"] for row in strings}
    for row in consts:
        name = row["name"]
        if name in char_names:
            continue
        h = place.header_of(name, row["source"])
        value = int_literal(name, row["value"])
        if name in length_of:
            s, version = length_of[name]
            per_abi = {a: lay.version_length(s, version, a) for a in ABIS}
            v64 = int(row["value"])
            if per_abi["64"] != v64:
                sys.exit(f"{name}: table says {v64}, layout gives {per_abi['64']}")
            # IBM gives one 32-bit value, that of the ABIs aligning 8-byte integers on 4.
            if per_abi["s32"] != v64:
                value = (f"\n#if defined(MQ_64_BIT)\n #define {name} {v64}\n#else\n"
                         f" #define {name} {per_abi['s32']}\n#endif")
                define(h, name, value)
                continue
        if name in windows_value:
            value = (f"\n#if defined(_WIN32)\n #define {name} {int_literal(name, windows_value[name])}"
                     f"\n#else\n #define {name} {value}\n#endif")
            define(h, name, value)
            continue
        define(h, name, f"#define {name} {value}")

    # Character and string constants; every structure identifier also gets its array form.
    for row in list(strings):
        if row["name"].endswith("_STRUC_ID") and row["name"] + "_ARRAY" not in char_names:
            strings.append(dict(row, name=row["name"] + "_ARRAY", kind="array_form"))
    for row in strings:
        name = row["name"]
        h = place.header_of(name, row["source"])
        data = unquote(row["value"])
        if row["kind"] == "char":
            define(h, name, f"#define {name} {c_char(data)}")
        elif row["kind"] == "array_form":
            define(h, name, f"#define {name} " + ",".join(c_char(c) for c in data))
        else:
            define(h, name, f"#define {name} {c_string(data)}")

    for name, target in EXIT_ALIASES:
        define(place.header_of(name), name, f"#define {name} {target}")
    for name, text in PROPERTY_NAMES:
        define(place.header_of(name), name,
               f"#define {name} (MQPTR)(char*)\"{text}\", 0, 0, {len(text)}, MQCCSI_APPL")

    # Structures: typedefs, then definitions with a structure used as a field type first.
    order, seen = [], set()

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

    typedef_text = {h: [] for h in HEADERS}
    struct_text = {h: [] for h in HEADERS}
    for s in structs:
        typedef_text[place.header_of(s)].append(
            f"typedef struct tag{s} {s};\ntypedef {s} MQPOINTER P{s};\n"
            f"typedef P{s} MQPOINTER PP{s};")
    for s in order:
        h = place.header_of(s)
        lines = [f"struct tag{s} {{"]
        for f in structs[s]:
            if f["field"] != "<padding>":
                lines.append("  " + field_decl(f["type"], f["field"]))
        lines.append("};")
        per_abi = {a: lay.layout(s, a) for a in ABIS}
        for i, (fname, _, off64, _, _) in enumerate(per_abi["64"]["fields"]):
            table_off = next(int(f["offset"]) for f in structs[s] if f["field"] == fname)
            if table_off != off64:
                sys.exit(f"{s}.{fname}: table offset {table_off}, computed {off64}")
            offs = {a: per_abi[a]["fields"][i][2] for a in ABIS}
            lines.append(f"MQ_STATIC_ASSERT_(offsetof({s}, {fname}) == {abi_value(offs)}, "
                         f"\"{s}.{fname} offset\");")
        lines.append(f"MQ_STATIC_ASSERT_(sizeof({s}) == "
                     f"{abi_value({a: per_abi[a]['size'] for a in ABIS})}, \"{s} size\");")
        struct_text[h].append("\n".join(lines))

    # Default initialisers, IBM's convention: a brace-less list used as  MQMD md = {MQMD_DEFAULT};
    default_text = {h: [] for h in HEADERS}
    inits = {}
    for row in defaults:
        inits.setdefault((row["structure"], row["initialiser"]), []).append(row["symbolic_initialiser"])
    for (s, name), values in inits.items():
        parts = []
        for v in values:
            m = re.fullmatch(r"\{(MQ\w+_DEFAULT)\}", v)
            # A nested structure's default is itself brace-less: wrap it once.
            parts.append("{" + m.group(1) + "}" if m else v)
        default_text[place.header_of(s)].append(f"#define {name} " + ", \\\n  ".join(parts))

    # Entry points and function types, with IBM's parameter lists.
    func_text = {h: [] for h in HEADERS}
    for row in functions:
        params = ",\n    ".join(p.strip() for p in row["parameters"].split(";"))
        if row["kind"] == "function":
            func_text[row["header"]].append(f"void MQENTRY {row['name']}(\n    {params});")
        else:
            func_text[row["header"]].append(
                f"typedef void MQENTRY {row['name']}(\n    {params});\n"
                f"typedef {row['name']} MQPOINTER P{row['name']};")
    func_text["cmqbc.h"].append("typedef MQLONG MQHBAG;\ntypedef MQHBAG MQPOINTER PMQHBAG;")

    guards = {"cmqc.h": "MQC_INCLUDED", "cmqxc.h": "MQXC_INCLUDED", "cmqcfc.h": "MQCFC_INCLUDED",
              "cmqzc.h": "MQZC_INCLUDED", "cmqbc.h": "MQBC_INCLUDED"}
    blurbs = {
        "cmqc.h": "MQI types, structures, default initialisers, constants and entry points",
        "cmqxc.h": "exit and channel structures, constants and function types (needs cmqc.h)",
        "cmqcfc.h": "PCF structures and constants: commands, parameters, command reasons "
                    "(needs cmqc.h)",
        "cmqzc.h": "installable-services constants (needs cmqc.h)",
        "cmqbc.h": "MQ Administration Interface constants and types (needs cmqc.h)",
    }
    for h in HEADERS:
        g = guards[h]
        text = [f"/*\n * {h} - {blurbs[h]}.\n"
                " * IBM's published names and values, generated by scripts/gen_mqi_headers.py\n"
                " * from the reference tables; do not edit by hand.\n */",
                f"#if !defined({g})\n#define {g}\n"]
        if struct_text[h]:
            text.append("#include <stddef.h>\n")
        text.append("#if defined(__cplusplus)\nextern \"C\" {\n#endif\n")
        if h == "cmqc.h":
            text.append(
                "#if defined(_WIN64) || (!defined(_WIN32) && (defined(__x86_64__) || "
                "defined(__aarch64__) || \\\n    defined(__powerpc64__) || defined(__s390x__) || "
                "defined(__ia64__)))\n #define MQ_64_BIT\n#endif\n\n"
                "#if defined(_WIN32) && !defined(MQ_64_BIT)\n #define MQENTRY __cdecl\n"
                "#else\n #define MQENTRY\n#endif\n#define MQPOINTER *\n")
            text.append(ELEMENTARY)
            for t in types:
                m = re.fullmatch(r"(MQCHAR|MQBYTE)(\d+)", t["type"])
                if m:
                    text.append(f"typedef {m.group(1)} {t['type']}[{m.group(2)}];\n"
                                f"typedef {t['type']} MQPOINTER P{t['type']};")
            text.append("")
        if struct_text[h]:
            # Each header defines the helpers of its layout checks itself, so that it also
            # compiles after IBM's cmqc.h.
            text.append(ASSERT_HELPERS)
        text.append("\n/* ---- Constants ---- */\n")
        text.extend(t for _, t in sorted(body[h]))
        text.append("\n/* ---- Structures ---- */\n")
        text.extend(typedef_text[h])
        text.append("")
        text.extend(x + "\n" for x in struct_text[h])
        if default_text[h]:
            text.append("/* ---- Default initialisers: use as  MQxx v = {MQxx_DEFAULT}; ---- */\n")
            text.extend(x + "\n" for x in default_text[h])
        if func_text[h]:
            text.append("/* ---- Entry points and function types ---- */\n")
            text.extend(x + "\n" for x in func_text[h])
        text.append("#if defined(__cplusplus)\n}\n#endif\n\n#endif /* " + g + " */\n")
        with open(os.path.join(out, h), "w", encoding="utf-8") as f:
            f.write("\n".join(text))


def write_strings(value_names, path):
    """cmqstrc.h in IBM's form: MQxxx_STR(value) gives IBM's name of the value in family
    MQxxx, or an empty string for a value without one, from IBM's value-to-name tables.
    As in IBM's header, each function is defined in the header as an ordinary C function
    returning char *, so a program includes it in one translation unit only, and C++, which
    refuses a string literal as char *, calls the names through that C unit."""
    families = {}
    for row in value_names:
        families.setdefault(row["family"], []).append((int(row["value"]), row["name"]))
    text = ["/*\n * cmqstrc.h - the names of MQ constant values: MQxxx_STR(v) gives the name of\n"
            " * value v in the family MQxxx (MQRC_STR(2085) is \"MQRC_UNKNOWN_OBJECT_NAME\"), or \"\"\n"
            " * for a value without one.  Needs cmqc.h.  As in IBM's header, every function is\n"
            " * defined here (char *, neither static nor inline): include it in one C translation\n"
            " * unit of a program or library.  Generated by scripts/gen_mqi_headers.py from IBM's\n"
            " * value-to-name tables; do not edit by hand.\n */",
            "#if !defined(CMQSTRC_INCLUDED)\n#define CMQSTRC_INCLUDED\n"]
    for family in sorted(families):
        text.append(f"char *{family}_STR (MQLONG v)\n{{\n  char *c;\n  switch (v)\n  {{")
        for value, name in sorted(families[family]):
            literal = "(-2147483647 - 1)" if value == -2147483648 else str(value)
            text.append(f"  case {literal}: c = \"{name}\"; break;")
        text.append("  default: c = \"\"; break;\n  }\n  return c;\n}\n")
    text.append("#endif /* CMQSTRC_INCLUDED */\n")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(text))


if __name__ == "__main__":
    main()
