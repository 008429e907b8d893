#!/usr/bin/env python3
"""orvanel-dump through the real program under Wine: its options and its exit codes.

  dump_test.py DUMP_EXE FIXTURE_FOLDER
"""
import os
import subprocess
import sys
import unittest

DUMP = FIXTURES = None
ENV = dict(os.environ, WINEDEBUG="-all")  # WINEPREFIX as the caller set it


def windows(path):
    return "Z:" + path.replace("/", "\\")


def dump(*args, **kwargs):
    """(exit code, stdout lines, stderr text) of one run."""
    run = subprocess.run(["wine", DUMP, *args], env=ENV, capture_output=True, **kwargs)
    return (run.returncode, run.stdout.decode("utf-8").splitlines(),
            run.stderr.decode("utf-8", errors="replace"))


def cells(lines, *columns):
    """The given columns of every row after the header."""
    return [tuple(line.split("\t")[c] for c in columns) for line in lines[1:]]


class Options(unittest.TestCase):
    def test_code_in_every_spelling(self):
        for spelling in ("-2147483648", "0x80000000", "0X80000000", "2147483648"):
            code, lines, _ = dump("--code", spelling, windows(FIXTURES))
            self.assertEqual(code, 0)
            self.assertEqual(cells(lines, 0, 5), [("assorted.dll", "0x80000000")], spelling)
        # An HRESULT of the Win32 facility finds the Win32 code too; error rows are left out.
        code, lines, _ = dump("--code=0x80070002", "--mask=*.dll", windows(FIXTURES))
        found = cells(lines, 0, 2, 5)
        self.assertIn(("basic.dll", "", "0x00000002"), found)
        self.assertTrue(all(hex_id in ("0x00000002", "0x80070002") for _, _, hex_id in found))
        self.assertTrue(all(error == "" for _, error, _ in found))
        code, _, err = dump("--code", "0x1g", windows(FIXTURES))
        self.assertEqual(code, 2)
        self.assertIn("not a message code", err)

    def test_languages(self):
        code, lines, _ = dump("--lang", "1031", "--lang=1036", "--mask", "languages.dll",
                              windows(FIXTURES))
        self.assertEqual(code, 0)
        self.assertEqual(sorted({c[0].split(" ")[0] for c in cells(lines, 3)}), ["1031"])
        self.assertEqual(len(lines), 4)

    def test_equals_forms_and_a_single_file(self):
        code, lines, _ = dump("--mask=basic.dll", "--format=csv", windows(FIXTURES))
        self.assertEqual(code, 0)
        self.assertEqual(lines[1].split(",")[:2], ["basic.dll", windows(FIXTURES)])
        code, lines, err = dump(windows(os.path.join(FIXTURES, "basic.dll")))
        self.assertEqual(code, 0)
        self.assertEqual(cells(lines, 0, 4), [("basic.dll", "1"), ("basic.dll", "2"),
                                              ("basic.dll", "3")])
        self.assertIn("Searched 1 files from 1 dir", err)


class ExitCodes(unittest.TestCase):
    def test_success_missing_folder_and_bad_arguments(self):
        code, lines, err = dump("--mask", "basic.dll", windows(FIXTURES))
        self.assertEqual(code, 0)
        self.assertEqual(len(lines), 4)
        self.assertIn("Messages - 3 in 1 files (Searched 1 files from 1 dir)", err)

        code, lines, err = dump(windows(FIXTURES) + "\\no-such-folder")
        self.assertEqual((code, lines), (1, []))
        self.assertIn("no such folder", err)

        code, lines, err = dump(windows(os.path.join(FIXTURES, "basic.dll")) + "\\x")
        self.assertEqual(code, 1)

        code, lines, err = dump("--format", "xml", windows(FIXTURES))
        self.assertEqual(code, 2)
        self.assertIn("unknown format", err)

    def test_output_that_cannot_be_written(self):
        with open("/dev/full", "wb") as full:
            run = subprocess.run(["wine", DUMP, windows(FIXTURES)], env=ENV, stdout=full,
                                 stderr=subprocess.PIPE)
        self.assertEqual(run.returncode, 3)
        self.assertIn(b"cannot write the output", run.stderr)

    def test_reader_that_went_away(self):
        # More output than a pipe holds; the reader takes one line and goes, as head -1 does.
        process = subprocess.Popen(["wine", DUMP, windows(FIXTURES)], env=ENV,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        process.stdout.readline()
        process.stdout.close()
        err = process.stderr.read()
        self.assertEqual(process.wait(timeout=60), 3)
        self.assertNotIn(b"cannot write", err)


if __name__ == "__main__":
    DUMP, FIXTURES = sys.argv[1], os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
