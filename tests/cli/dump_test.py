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
