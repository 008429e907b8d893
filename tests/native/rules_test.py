#!/usr/bin/env python3
"""Rules of orvanel-dump through the real native program (the two builds are held to each other
elsewhere; this holds them to the rules): the pairing of modules and satellites over the
satellite tree (which file's rows come under which module, which errors stay, which .mui files
are read on their own), a module's folder as its Path, and --output in every format.

  rules_test.py NATIVE_DUMP SATELLITE_TREE
"""
import os
import subprocess
import sys
import tempfile
import unittest

DUMP = TREE = None


def rows(*args):
    run = subprocess.run([DUMP, *args, TREE], capture_output=True, check=True)
    lines = run.stdout.decode("utf-8").splitlines()[1:]
    return [line.split("\t") for line in lines]


def where(folder):
    return "." if folder == TREE else os.path.basename(folder)


class Satellites(unittest.TestCase):
    def test_each_table_comes_once_under_its_module(self):
        found = rows("--satellites", "--recursive", "--mask", "*.dll;*.mui")
        messages = {(r[0], where(r[1])) for r in found if not r[2]}
        errors = {(r[0], where(r[1])) for r in found if r[2]}
        # A language folder's .mui files are read as satellites only (notalanguage is no
        # language: its file is a module of its own), and a satellite beside its module with it.
        self.assertEqual(messages, {("base.dll", "en-US"), ("base.dll", "DE-de"),
                                    ("base.dll.mui", "notalanguage"), ("own.dll", "."),
                                    ("own.dll", "ja-jp")})
        # own.dll.mui beside own.dll: its tables under the module's name, in the module's folder.
        self.assertIn(["own.dll", TREE, "", "1033 (English)", "7", "0x00000007", "named table"],
                      found)
        # base.dll has no tables but its satellites have: no error row of its own. lonely.dll's
        # one satellite is no module: both error rows stay, the module's first.
        self.assertEqual(errors, {("base.dll.mui", "af-ZA"), ("base.dll.mui", "fr-FR"),
                                  ("lonely.dll", "."), ("lonely.dll.mui", "fr-FR")})
        names = [r[0] for r in found if r[2]]
        self.assertLess(names.index("lonely.dll"), names.index("lonely.dll.mui"))

    def test_a_module_alone_has_its_own_folder_as_path(self):
        run = subprocess.run([DUMP, os.path.join(TREE, "own.dll")], capture_output=True,
                             check=True)
        paths = {line.split("\t")[1] for line in run.stdout.decode("utf-8").splitlines()[1:]}
        self.assertEqual(paths, {TREE})  # as given, with no separator after it

    def test_output_file_for_every_format(self):
        with tempfile.TemporaryDirectory() as temp:
            path = os.path.join(temp, "rows.out")
            for form in ("tsv", "csv", "jsonl"):
                expected = subprocess.run([DUMP, "--format", form, TREE], capture_output=True)
                done = subprocess.run([DUMP, "--format", form, "--output", path, TREE],
                                      capture_output=True)
                self.assertEqual((done.returncode, done.stdout), (0, b""), done.stderr)
                self.assertEqual(done.stderr, expected.stderr)  # the status line
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), expected.stdout, form)
            # A run that fails leaves the earlier file as it was, and nothing beside it.
            for args, status in (([os.path.join(TREE, "no-such-folder")], 1),
                                 (["--lang", "xx-nowhere", TREE], 2),
                                 (["--db", path], 1),
                                 ([TREE, "--output", os.path.join(temp, "no", "such")], 3)):
                done = subprocess.run([DUMP, "--output", path, *args], capture_output=True)
                self.assertEqual(done.returncode, status, args)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), expected.stdout, args)
                self.assertEqual(os.listdir(temp), ["rows.out"], args)

    def test_explain_fills_inserts_and_shows_raw_texts(self):
        wine = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
        if not os.path.isdir(wine):
            self.skipTest("no Wine modules here")
        done = subprocess.run([DUMP, "--explain", "193", "317", "--insert", "setup.exe",
                               "--insert", "two", "--lang", "1033", wine], capture_output=True)
        out = done.stdout.decode("utf-8")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("Bad EXE format for %1.\n    = Bad EXE format for setup.exe.\n", out)
        self.assertIn("    = Message 0xsetup.exe not found in file two.\n", out)
        # One argument for a text of two inserts: said where it stands, and exit status 2.
        done = subprocess.run([DUMP, "--explain", "317", "193", "--insert", "x", "--lang", "1033",
                               wine], capture_output=True)
        out = done.stdout.decode("utf-8")
        self.assertEqual(done.returncode, 2)
        self.assertIn("cannot fill the inserts: insert %2 needs argument 2", out)
        self.assertIn("    = Bad EXE format for x.", out)  # the other codes' texts still
        # --raw: the text as the table holds it; and neither goes without --explain.
        done = subprocess.run([DUMP, "--explain", "5", "--raw", "--lang", "1033", wine],
                              capture_output=True)
        self.assertIn("Access denied.\n\n", done.stdout.decode("utf-8"))
        done = subprocess.run([DUMP, "--raw", TREE], capture_output=True)
        self.assertEqual(done.returncode, 2)

    def test_parameters_fill_percent_percent_numbers(self):
        fixtures = os.path.join(os.path.dirname(TREE), "fixtures")
        basic = os.path.join(fixtures, "basic.dll")  # 1 "First message", 2 "Second / line two"
        done = subprocess.run([DUMP, "--explain", "8", "--mask", "oddtexts.dll", "--insert",
                               "%%1", "--insert", "%%99", "--parameters", basic,
                               os.path.join(fixtures, "crafted")], capture_output=True)
        out = done.stdout.decode("utf-8")
        self.assertEqual(done.returncode, 0, done.stderr)
        # In the text and in an argument; a number that no parameter module has stays, and is
        # said.
        self.assertIn("    = Access Second line two by First message.\n", out)
        self.assertIn("    parameters not found: %%99\n", out)
        done = subprocess.run([DUMP, "--explain", "8", "--parameters", "/no/such.dll",
                               fixtures], capture_output=True)
        self.assertEqual(done.returncode, 1)


if __name__ == "__main__":
    DUMP, TREE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
