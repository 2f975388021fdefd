#!/usr/bin/env python3
"""Derives the readable MQSC table files (keywords.tsv, values.tsv, rules.tsv) from IBM MQ
reference tables in data/mq (the MQSC-keyword-to-PCF-parameter correspondence, the DISPLAY
selector table and IBM's constants) and this folder's hand-kept files (commands.tsv,
keywords.txt, ibm_keywords.tsv, derive_facts.tsv). Run it when any of them changes:

    derive.py [<output dir>]        (default: this folder)

Only mappings that carry a published PCF parameter identifier are used; rows whose parameter
is unverified in the reference are left out. The result is checked in, so the build never
needs the reference tables; scripts/check-generated.sh holds it to this script's output.
"""
import csv
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "..", "..", "..", "data", "mq")

# The MQSC facts of IBM's references kept in derive_facts.tsv (see its header), filled by
# load_facts.
ZOS_ONLY = set()          # keywords IBM documents for z/OS only
NAMED = {}                # (parameter id, value name) -> IBM constant
GENERIC = {}              # value name -> IBM constant, for any parameter
EXTRA_ENTRIES = []        # (keyword, parameter, type, [(value name, constant)])
SYSP_KEYWORDS = {}        # object of SET -> [(keyword, parameter, type, [(name, constant)])]
ENUM_LISTS = set()        # keywords taking a list of value names
OBJECT_KEYWORD = {}       # object parameter -> its keyword
OBJECT_BY_COMMAND = {}    # command -> the object keyword of its response
GLUED_VALUE = {}          # command -> the keyword of the value behind it
GLUED_VALUE_PARAM = {}    # that keyword -> its parameter
FILTER_ONLY = set()       # (DISPLAY command, keyword) taken as a filter only
NO_ALL = set()            # DISPLAY commands without ALL
# Keywords a rule table writes after all others, as IBM does.
LAST_ROWS = ["CMDSCOPE", "QSGDISP"]
# The queue types of the IBM queue commands a queue-form rule table stands for.
QUEUE_TYPES = {"QLOCAL": "MQQT_LOCAL", "QMODEL": "MQQT_MODEL", "QALIAS": "MQQT_ALIAS", "QREMOTE": "MQQT_REMOTE"}
PREFIXES = ("MQIACF_", "MQIACH_", "MQCACF_", "MQCACH_", "MQIAMO_", "MQCAMO_", "MQIA_", "MQCA_",
            "MQBACF_")


def camel(name):
    return "".join(w[:1].upper() + w[1:].lower() for w in name.split("_") if w)


def param_camel(param):
    for p in PREFIXES:
        if param.startswith(p):
            return camel(param[len(p):])
    return camel(param)


def read_tsv(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = [r for r in csv.reader((l for l in f if not l.startswith("#")), delimiter="\t")]
    head = rows[0]
    return [dict(zip(head, r + [""] * (len(head) - len(r)))) for r in rows[1:]]


def load_facts(path, const):
    def values(text):
        return [tuple(p.split("=", 1)) for p in filter(None, text.split(";"))]

    for r in read_tsv(path):
        fact, cmd, kw, param = r["fact"], r["command"], r["keyword"], r["parameter"]
        if fact == "zos_only":
            ZOS_ONLY.add(kw)
        elif fact == "value_constant" and param == "*":
            GENERIC[kw] = r["values"]
        elif fact == "value_constant":
            NAMED[(const[param], kw)] = r["values"]
        elif fact == "entry":
            EXTRA_ENTRIES.append((kw, param, int(r["type"]), values(r["values"])))
        elif fact == "set_keyword":
            SYSP_KEYWORDS.setdefault(cmd.split(" ", 1)[1], []).append(
                (kw, param, int(r["type"]), values(r["values"])))
        elif fact == "enum_list":
            ENUM_LISTS.add(kw)
        elif fact == "object_keyword":
            OBJECT_KEYWORD[param] = kw
        elif fact == "object_by_command":
            OBJECT_BY_COMMAND[cmd] = kw
        elif fact == "glued_value":
            GLUED_VALUE[cmd] = kw
            GLUED_VALUE_PARAM[kw] = param
        elif fact == "filter_only":
            FILTER_ONLY.add((cmd, kw))
        elif fact == "no_all":
            NO_ALL.add(cmd)
        else:
            sys.exit(f"derive_facts.tsv: unknown fact {fact}")


def read_overrides(path, const):
    """IBM-documented keywords over the correspondence: {(keyword, id): [override, ...]}."""
    out = {}
    for r in read_tsv(path):
        values = []
        for part in filter(None, r["values"].split(";")):
            name, _, c = part.partition("=")
            values.append((name, c if c in const else None, const[c] if c in const else int(c)))
        adds = []
        for a in filter(None, r["add"].split(";")):
            cmd, _, direction = a.rpartition(":")
            adds.append((cmd, "input" if direction == "in" else "output"))
        scope = set() if r["scope"] == "*" else set(r["scope"].split(","))
        o = {"keyword": r["keyword"], "param": r["parameter"], "id": const[r["parameter"]],
             "type": int(r["type"]), "values": values, "scope": scope, "add": adds,
             "label": "" if not scope else sorted(scope)[0]}
        out.setdefault((r["keyword"], o["id"]), []).append(o)
    return out


def pick_override(overrides, keyword, pid, command):
    """The override of a keyword for one MQSC command: a scoped one first, else the general one."""
    cands = overrides.get((keyword, pid), [])
    for o in cands:
        if command in o["scope"]:
            return o
    # A command-scoped keyword that IBM maps to another parameter than the correspondence.
    for (kw, _), olist in overrides.items():
        for o in olist:
            if kw == keyword and command in o["scope"]:
                return o
    for o in cands:
        if not o["scope"]:
            return o
    return None


class Model:
    def __init__(self, ref):
        self.const = {r["name"]: int(r["value"]) for r in read_tsv(os.path.join(ref, "constants.tsv"))}
        self.entries = {}      # (keyword, param, type) -> dict
        self.order = []
        self.value_syms = {}   # (constant or synthetic, name) -> symbol
        self.value_rows = {}   # symbol -> (name, value, constant)

    def pid(self, param):
        return self.const[param]

    def value_sym(self, entry, name, constant, value):
        key = (constant or entry["sym"], name)
        if key in self.value_syms:
            return self.value_syms[key]
        base = "Mqp" + (camel(constant) if constant else entry["sym"][3:] + camel(name.replace("*", "Star")))
        sym, n = base, 2
        while sym in self.value_rows and self.value_rows[sym] != (name, value, constant):
            sym, n = f"{base}{n}", n + 1
        self.value_syms[key] = sym
        self.value_rows[sym] = (name, value, constant)
        return sym

    def entry(self, keyword, param, typ, label=""):
        key = (keyword, param, typ, label)
        if key in self.entries:
            return self.entries[key]
        base = "Mqa" + param_camel(param)
        sym = base
        if any(e["sym"] == sym for e in self.entries.values()):
            sym = base + camel(keyword or "Value")
            n = 2
            while any(e["sym"] == sym for e in self.entries.values()):
                sym, n = f"{base}{camel(keyword or 'Value')}{n}", n + 1
        e = {"sym": sym, "keyword": keyword, "param": param, "id": self.pid(param), "type": typ,
             "values": [], "zos": keyword in ZOS_ONLY}
        self.entries[key] = e
        self.order.append(key)
        return e

    def add_value(self, e, name, constant, value):
        if any(v[0] == name for v in e["values"]):
            return
        if constant is None:
            constant = NAMED.get((e["id"], name)) or GENERIC.get(name)
            if constant and self.const.get(constant) != value:
                constant = None
        e["values"].append((name, self.value_sym(e, name, constant, value)))


VALUE_RE = re.compile(r"^\s*([^=]+?)=(?:(MQ[A-Z0-9_]+)\((-?\d+)\)|(-?\d+)|\?)\s*$")
BARE_RE = re.compile(r"^\s*(\S+) => value (-?\d+)\s*$")


def parse_map(text, model, entry_param):
    """[(name, constant or None, value)] and whether the names stand alone in MQSC."""
    out, bare = [], False
    for part in filter(None, (p.strip() for p in text.split(";"))):
        m = BARE_RE.match(part)
        if m:
            out.append((m.group(1), None, int(m.group(2))))
            bare = True
            continue
        m = VALUE_RE.match(part)
        if not m:
            continue
        name = m.group(1).strip().upper() if m.group(1).strip() != "None" else "NONE"
        if m.group(2):
            out.append((name, m.group(2), int(m.group(3))))
        elif m.group(4) is not None:
            out.append((name, None, int(m.group(4))))
        else:
            guess = [c for c in model.const if c.endswith("_" + name) and c.split("_")[0] in
                     {v[1].split("_")[0] for v in out if v[1]}]
            if len(guess) == 1:
                out.append((name, guess[0], model.const[guess[0]]))
    return out, bare


def entry_type(pcf_type, has_map, keyword):
    if keyword in ENUM_LISTS:
        return 6
    return {"MQCFIN": 5 if has_map else 2, "MQCFST": 3, "MQCFSL": 4,
            "MQCFIL": 6 if has_map else 7}.get(pcf_type)


def type_by_id(pid):
    return 3 if 2001 <= pid <= 4000 else 2


def main(out):
    ref, here = REFERENCE, HERE
    model = Model(ref)
    load_facts(os.path.join(here, "derive_facts.tsv"), model.const)
    overrides = read_overrides(os.path.join(here, "ibm_keywords.tsv"), model.const)
    wanted = {l.strip() for l in open(os.path.join(here, "keywords.txt")) if l.strip() and not l.startswith("#")}
    wanted |= {k for k, _ in overrides}
    ref_rows = read_tsv(os.path.join(ref, "mqsc_commands.tsv"))
    selectors = read_tsv(os.path.join(ref, "mqsc_display_selectors.tsv"))
    commands = read_tsv(os.path.join(here, "commands.tsv"))
    pcf_name = {v: k for k, v in model.const.items() if k.startswith("MQCMD_")}

    for kw, param, typ, values in EXTRA_ENTRIES:
        e = model.entry(kw, param, typ)
        for name, c in values:
            model.add_value(e, name, c, model.const[c])
    extra_by_param = {p: model.entries[(k, p, t, "")] for k, p, t, _ in EXTRA_ENTRIES}
    all_flag = model.entry("ALL", "MQIACF_ALL", 1)
    force_flag = model.entry("FORCE", "MQIACF_FORCE", 1)

    # Values that stand alone in MQSC (SHARE/NOSHARE, ...) share one entry without keyword.
    bare_by_param = {}
    for r in ref_rows:
        if " => value " in r["value_map"] and r["pcf_parameter"] in model.const:
            values, _ = parse_map(r["value_map"], model, r["pcf_parameter"])
            e = bare_by_param.get(r["pcf_parameter"]) or model.entry("", r["pcf_parameter"], 5)
            bare_by_param[r["pcf_parameter"]] = e
            for name, c, v in sorted(values, key=lambda x: -x[2]):
                model.add_value(e, name, c, v)

    # DISPLAY names such an attribute by its first value name: the "on" one.
    for e in bare_by_param.values():
        e["values"].sort(key=lambda v: -model.value_rows[v[1]][1])

    # A parameter that IBM documents as a string list is one everywhere.
    list_params = {r["pcf_parameter"] for r in ref_rows if r["pcf_type"] == "MQCFSL"}

    def keyword_entries(source, direction):
        """Entries of the reference rows of the MQSC commands in source, in reference order,
        with IBM's documented types and value names (ibm_keywords.tsv) over them."""
        got = []

        def from_override(o):
            e = model.entry(o["keyword"], o["param"], o["type"], o["label"])
            for name, c, v in o["values"]:
                model.add_value(e, name, c, v)
            return e

        for cmd in source.split(","):
            for r in ref_rows:
                if r["mqsc_command"] != cmd or r["direction"] != direction or not r["pcf_parameter"]:
                    continue
                kw, param = r["keyword"], r["pcf_parameter"]
                if param not in model.const:
                    continue
                o = pick_override(overrides, kw, model.const[param], cmd)
                if o is not None:
                    if o["type"] != 0:
                        got.append(from_override(o))
                    continue
                if kw not in wanted and param not in bare_by_param and param not in extra_by_param:
                    continue
                if param in extra_by_param:
                    got.append(extra_by_param[param])
                    continue
                if param in bare_by_param:
                    got.append(bare_by_param[param])
                    continue
                if param == "MQIACF_FORCE":
                    got.append(force_flag)
                    continue
                values, _ = parse_map(r["value_map"], model, param)
                pcf_type = "MQCFSL" if param in list_params else r["pcf_type"]
                typ = entry_type(pcf_type, bool(values), kw)
                if typ is None:
                    continue
                e = model.entry(kw, param, typ)
                for name, c, v in values:
                    model.add_value(e, name, c, v)
                got.append(e)
            for olist in overrides.values():
                for o in olist:
                    if (cmd, direction) in o["add"]:
                        got.append(from_override(pick_override(overrides, o["keyword"], o["id"], cmd) or o))
        for cmd in source.split(","):
            verb, _, obj = cmd.partition(" ")
            # IBM's DISPLAY ARCHIVE and DISPLAY SYSTEM take no parameter keywords; their
            # reports are tables, not keyword(value) pairs.
            if verb == "SET" and direction == "input":
                for kw, param, typ, values in SYSP_KEYWORDS.get(obj, []):
                    e = model.entry(kw, param, typ)
                    for name, c in values:
                        model.add_value(e, name, c, model.const[c])
                    got.append(e)
        seen, out = set(), []
        for e in got:
            if id(e) not in seen:
                seen.add(id(e))
                out.append(e)
        return out

    def object_entry(param, source):
        kw = OBJECT_BY_COMMAND.get(source) or OBJECT_KEYWORD.get(param)
        if kw is None:  # the target name of a copy command
            kw = "TO"
        return model.entry(kw, param, 3)

    rules = []
    for c in commands:
        sym, form, obj = c["symbol"], c["form"], c["object"]
        plat, level = c["platforms"], c["level"]
        rows = []

        def row(kind, with_value, with_kw, entry_sym, fmt, joiner, platforms=plat):
            rows.append([sym, kind, with_value, with_kw, entry_sym, fmt, joiner, platforms, level])

        def plain(e, kind=0):
            if e["type"] == 1:
                row(kind, 2, 1, e["sym"], "", 32, "2" if e["zos"] else plat)
            elif not e["keyword"]:
                row(kind, 1, 2, e["sym"], "%s", 32, "2" if e["zos"] else plat)
            else:
                fmt = {2: "(%d)", 3: "('%s')", 5: "(%s)"}.get(e["type"], "(%s)")
                row(kind, 1, 1, e["sym"], fmt, 32, "2" if e["zos"] else plat)

        queue_form = form.startswith("q")
        glued = GLUED_VALUE.get(c["source"])
        row(1, 2, 1, sym, "", 42 if obj != "-" and not queue_form else 32)
        if glued:
            # A value in parentheses behind the command, which MQSC reads with or without a
            # blank before it (REFRESH SECURITY (MQQUEUE)): optional, so never glued.
            o = pick_override(overrides, glued, model.const[GLUED_VALUE_PARAM[glued]], c["source"])
            e = model.entry(o["keyword"], o["param"], o["type"], o["label"])
            for name, cn, v in o["values"]:
                model.add_value(e, name, cn, v)
            row(0, 1, 2, e["sym"], "(%s)", 32)
        skip = {obj, "MQCACF_FROM_Q_NAME"} if obj != "-" else set()
        if queue_form:
            # Queue objects are one of four types; ALL and QCLUSTER only select in DISPLAY.
            qtype = model.entry("", "MQIA_Q_TYPE", 5, "object")
            for name, cn in (("QLOCAL", "MQQT_LOCAL"), ("QMODEL", "MQQT_MODEL"), ("QALIAS", "MQQT_ALIAS"),
                             ("QREMOTE", "MQQT_REMOTE")):
                model.add_value(qtype, name, cn, model.const[cn])
            row(1, 1, 2, qtype["sym"], "%s", 42)
            skip.add("MQIA_Q_TYPE")
        if obj != "-":
            row(1, 1, 2, object_entry(obj, c["source"])["sym"], "('%s')", 32)
        if form in ("copy", "qcopy"):
            like = "MQCACF_FROM_" + obj[len("MQCACF_TO_"):]
            row(1, 1, 1, model.entry("LIKE", like, 3)["sym"], "('%s')", 32)
            skip.add(like)
        inputs = [e for e in keyword_entries(c["source"], "input") if e["param"] not in skip]
        if form in ("inquire", "names"):
            last = [e for e in inputs if e["keyword"] in LAST_ROWS]
            first = [e for e in inputs if e["keyword"] not in LAST_ROWS]
            if form == "names":
                for e in first + last:
                    plain(e)
            else:
                outputs = keyword_entries(c["source"], "output")
                cmd_name = pcf_name.get(int(c["pcf"]), "")
                for s in selectors:
                    if s["pcf_command"] != cmd_name or s["keyword"] == "ALL":
                        continue
                    pid = int(s["selector_id"])
                    bare = [e for e in model.entries.values() if e["id"] == pid and not e["keyword"]]
                    if (s["keyword"] not in wanted and not bare) or any(e["id"] == pid for e in outputs):
                        continue
                    o = pick_override(overrides, s["keyword"], pid, c["source"].split(",")[0])
                    if o is not None and o["type"] == 0:
                        continue
                    if o is not None:
                        e = model.entry(o["keyword"], o["param"], o["type"], o["label"])
                        for name, cn, v in o["values"]:
                            model.add_value(e, name, cn, v)
                        outputs.append(e)
                        continue
                    outputs.append(bare[0] if bare else model.entry(s["keyword"], s["selector"], type_by_id(pid)))
                # Filters are written with their values (TYPE(SDR), TYPE(HANDLE), SAVED); the
                # attributes a response carries are selectors written as bare keywords.
                for e in first:
                    plain(e)
                if c["source"] not in NO_ALL:
                    row(0, 2, 1, all_flag["sym"], "", 32)
                taken = {r[4] for r in rows}
                for e in outputs:
                    if e["param"] == obj or e["keyword"] in LAST_ROWS:
                        continue
                    if e["sym"] in taken:
                        # A filter that is also a requested attribute (CLUSTER, CFSTRUCT): the
                        # selector gets an entry of its own, so that asking for the attribute
                        # writes the bare keyword and filtering writes it with its value.
                        if (c["source"], e["keyword"]) in FILTER_ONLY or not e["keyword"] or e["type"] == 1:
                            continue
                        sel = model.entry(e["keyword"], e["param"], e["type"], "selector")
                        for name, vs in e["values"]:
                            n, v, cn = model.value_rows[vs]
                            model.add_value(sel, n, cn, v)
                        if sel["sym"] in taken:
                            continue
                        e = sel
                    taken.add(e["sym"])
                    row(0, 2, 1 if e["keyword"] else 1, e["sym"], "", 32, "2" if e["zos"] else plat)
                for e in last:
                    plain(e)
        else:
            # Flags and the replace choice come first, as IBM writes them after the name.
            inputs.sort(key=lambda e: 0 if e["type"] == 1 or e["param"] == "MQIACF_REPLACE" else 1)
            for e in inputs:
                plain(e, 1 if form == "create" and e["param"] == "MQIACH_CHANNEL_TYPE" else 0)
                if queue_form:
                    # The queue types whose IBM command takes the keyword.
                    mask = 0
                    for cmd in c["source"].split(","):
                        if e in keyword_entries(cmd, "input"):
                            mask |= 1 << model.const[QUEUE_TYPES[cmd.split(" ")[1]]]
                    rows[-1].append(mask)
            # Keywords only a response carries (RESET QSTATS): read back, never written.
            taken = {r[4] for r in rows}
            for e in keyword_entries(c["source"], "output"):
                if e["sym"] not in taken and e["param"] != obj:
                    taken.add(e["sym"])
                    plain(e, 3)
        rows.append([sym, 2, 0, 0, "-", "", 32, plat, level])
        rules.extend(rows)

    used = set()
    with open(os.path.join(out, "keywords.tsv"), "w") as f:
        f.write("# Keyword entries: symbol, type (1 flag, 2 integer, 3 string, 4 string list, "
                "5 enumerated, 6 enumerated list, 7 integer list), PCF parameter (IBM name and "
                "identifier), MQSC keyword (empty: the value stands alone), value table, "
                "platforms, level.\n")
        f.write("symbol\ttype\tparameter\tid\tkeyword\tvalues\tplatforms\tlevel\n")
        for key in model.order:
            e = model.entries[key]
            vt = "Mqt" + e["sym"][3:] if e["type"] in (5, 6) else "-"
            f.write(f"{e['sym']}\t{e['type']}\t{e['param']}\t{e['id']}\t{e['keyword']}\t{vt}\t"
                    f"{2 if e['zos'] else -1}\t510\n")
    with open(os.path.join(out, "values.tsv"), "w") as f:
        f.write("# Value tables: table, value entry, MQSC value name, value, IBM constant "
                "('-' where the reference gives the number only).\n")
        f.write("table\tsymbol\tname\tvalue\tconstant\n")
        for key in model.order:
            e = model.entries[key]
            if e["type"] not in (5, 6):
                continue
            for name, vs in e["values"]:
                n, v, c = model.value_rows[vs]
                f.write(f"Mqt{e['sym'][3:]}\t{vs}\t{n}\t{v}\t{c or '-'}\n")
    with open(os.path.join(out, "rules.tsv"), "w") as f:
        f.write("# Rule rows: command, kind (1 required, 0 optional, 2 end), with value "
                "(1 value written, 2 keyword only), with keyword (1 keyword written, 2 value "
                "only), entry, format, joiner (32 blank, 42 none), platforms, level, qtypes (queue "
                "commands: bit n set when IBM's command for queue type n takes the keyword).\n")
        f.write("command\tkind\twith_value\twith_keyword\tentry\tformat\tjoiner\tplatforms\tlevel\tqtypes\n")
        for r in rules:
            f.write("\t".join(str(x) for x in r) + "\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else HERE)
