#!/usr/bin/env python3
"""scripts/orvanel dump as a user types it: the arguments reach the program as they are, and Wine's
own DLLs are added only when no argument could be the folder.

  script_test.py   (ORVANEL_BUILD_DIR and WINEPREFIX as the caller set them)
"""
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "scripts", "orvanel")
WINE_DLLS = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"


def script(*args):
    run = subprocess.run([SCRIPT, "dump", *args], capture_output=True,
                         env=dict(os.environ, WINEDEBUG="-all"))
    return (run.returncode, run.stdout.decode("utf-8").splitlines(),
            run.stderr.decode("utf-8", errors="replace"))


class Dump(unittest.TestCase):
    def test_a_missing_folder_and_an_option_without_its_value(self):
        code, _, err = script("/no/such/folder")
        self.assertEqual(code, 1)
        self.assertIn("/no/such/folder: no such folder", err)
        self.assertNotIn("only one FOLDER", err)
        code, _, err = script("--code")
        self.assertEqual(code, 2)
        self.assertIn("--code needs a value", err)
        with open(os.path.join(ROOT, "VERSION")) as f:
            self.assertEqual(script("--version")[1], [f"orvanel-dump {f.read().strip()}"])

    def test_a_named_pipe_is_never_waited_on(self):
        with tempfile.TemporaryDirectory() as folder:
            os.mkfifo(os.path.join(folder, "pipe.dll"))
            run = subprocess.run([SCRIPT, "dump", folder], capture_output=True, timeout=60,
                                 env=dict(os.environ, WINEDEBUG="-all"))
            self.assertEqual(run.returncode, 0)
            self.assertIn("File invalid.", run.stdout.decode("utf-8"))

    def test_out_of_memory_is_told_and_exits_4(self):
        # A table of 256 MiB (a sparse file) in a process allowed 200 MB.
        dump = os.path.join(os.environ["ORVANEL_BUILD_DIR"], "native", "orvanel-dump")
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([sys.executable, os.path.join(ROOT, "tests", "fixtures",
                                                         "make_module.py"),
                            os.path.join(folder, "big.dll"), "zeros", "256M"], check=True)
            run = subprocess.run(["bash", "-c", 'ulimit -v 200000; exec "$0" "$1"', dump,
                                  folder], capture_output=True, timeout=60)
        self.assertEqual(run.returncode, 4)
        self.assertIn(b"out of memory", run.stderr)

    @unittest.skipUnless(os.path.isdir(WINE_DLLS), "no Wine module folder")
    def test_wines_folder_by_default_and_by_windows_path(self):
        code, lines, err = script("--code", "5", "--lang", "ja")
        self.assertEqual(code, 0, err)
        self.assertEqual([line.split("\t")[3] for line in lines[1:]], ["17 (日本語)"])
        windows = "Z:" + WINE_DLLS.replace("/", "\\")
        code, lines, err = script("--wine", windows, "--code", "0x80070005", "--lang", "1033")
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(line.split("\t")[3] for line in lines[1:]),
                         ["1033 (English)", "9 (English)"])

    @unittest.skipUnless(os.path.isdir(WINE_DLLS), "no Wine module folder")
    def test_a_store_of_wines_folder_by_default_and_read_without_one(self):
        # --output's value is no folder; --db needs none.
        with tempfile.TemporaryDirectory() as folder:
            db = os.path.join(folder, "wine.db")
            code, _, err = script("--format", "sqlite", "--output", db)
            self.assertEqual(code, 0, err)
            self.assertEqual(script("--db", db, "--code", "5", "--lang", "ja"),
                             script("--code", "5", "--lang", "ja"))
            self.assertEqual(script("--wine", "--db=" + db, "--code", "5", "--lang", "ja")[:2],
                             script("--code", "5", "--lang", "ja")[:2])


if __name__ == "__main__":
    unittest.main(verbosity=2)
