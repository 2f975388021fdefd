#!/usr/bin/env python3
"""The header comparison (scripts/compare_mq_headers.py) must see every kind of difference
between two sets of MQ headers: it is what holds the stand-in to IBM's headers. Here the
stand-in headers play IBM's part and a changed copy the stand-in's.

Usage: compare_headers_test.py <source root>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
SCRIPT = os.path.join(ROOT, "scripts", "compare_mq_headers.py")
INCLUDE = os.path.join(ROOT, "mqi", "include")


class CompareHeaders(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.changed = os.path.join(self.tmp, "changed")
        shutil.copytree(INCLUDE, self.changed)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def edit(self, header, pattern, replacement):
        path = os.path.join(self.changed, header)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        new, n = re.subn(pattern, replacement, text, count=1, flags=re.M)
        self.assertEqual(n, 1, pattern)
        with open(path, "w", encoding="utf-8") as f:
            f.write(new)

    def compare(self, *extra):
        r = subprocess.run([sys.executable, SCRIPT, "--ibm", INCLUDE, "--standin", self.changed,
                            "--work", os.path.join(self.tmp, "work"), "--label", "t", *extra],
                           capture_output=True, text=True)
        return r.returncode, r.stdout + r.stderr

    def test_identical_headers_have_no_difference(self):
        rc, out = self.compare()
        self.assertEqual(rc, 0, out)
        self.assertRegex(out, r"items compared .*: 0 differences")

    def test_each_kind_of_difference_is_reported(self):
        self.edit("cmqc.h", r"^#define MQRC_UNKNOWN_OBJECT_NAME 2085$",
                  "#define MQRC_UNKNOWN_OBJECT_NAME 2086")
        self.edit("cmqc.h", r"^#define MQRO_ACCEPT_UNSUP_MASK 0xEFE000FF$",
                  "#define MQRO_ACCEPT_UNSUP_MASK (-270532353)")           # same bits, signed
        self.edit("cmqc.h", r'^#define MQFMT_STRING "MQSTR   "$', '#define MQFMT_STRING "MQSTR  X"')
        self.edit("cmqc.h", r"^  MQPRI_PRIORITY_AS_Q_DEF, \\$", "  MQPRI_PRIORITY_AS_PARENT, \\\\")
        # A layout change; the headers' own layout checks, which would stop it first, are off.
        self.edit("cmqxc.h", r"^  MQLONG ExitId;$", "  MQINT64 ExitId;")
        self.edit("cmqc.h", r"^#define MQ_STATIC_ASSERT_\(c, m\) _Static_assert\(c, m\)$",
                  "#define MQ_STATIC_ASSERT_(c, m) struct mq_unchecked_")
        self.edit("cmqc.h", r"^typedef unsigned short MQUINT16;$", "typedef short MQUINT16;")
        rc, out = self.compare()
        self.assertEqual(rc, 1, out)
        for name in ("MQRC_UNKNOWN_OBJECT_NAME", "MQRO_ACCEPT_UNSUP_MASK", "MQFMT_STRING",
                     "MQMD_DEFAULT", "MQAXP.ExitId", "sizeof(MQAXP)", "type MQUINT16"):
            self.assertIn(f"[t] {name}:", out)
        self.assertNotIn("[t] MQRC_NONE:", out)

    def test_too_few_items_fail_the_comparison(self):
        rc, out = self.compare("--min-items", "1000000")
        self.assertEqual(rc, 1, out)
        self.assertIn("fewer than the 1000000 expected", out)

    def test_a_missing_name_fails_the_comparison(self):
        self.edit("cmqc.h", r"^#define MQPROP_INQUIRE_ALL_USR .*$", "")
        rc, out = self.compare()
        self.assertEqual(rc, 1, out)
        self.assertIn("MQPROP_INQUIRE_ALL_USR", out)


if __name__ == "__main__":
    unittest.main()
