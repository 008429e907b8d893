#!/usr/bin/env python3
"""orvanel-dump's SQLite store through the real programs: the Windows build under Wine and the
native build. The rows view against the text output, scans side by side, answers from a stored
scan, runs that die or fail halfway, and databases that must be left alone.

  store_test.py WINE_DUMP NATIVE_DUMP FIXTURE_FOLDER SATELLITE_TREE
"""
import os
import resource
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_DUMP = NATIVE_DUMP = FIXTURES = SATELLITES = None
ENV = dict(os.environ, WINEDEBUG="-all")  # WINEPREFIX as the caller set it
CELLS = '"Module Name", "Path", "Error", "Locale ID", "Value", "Value (Hex)", "Message text"'


def windows(path):
    return "Z:" + path.replace("/", "\\")


def native(*args, **kwargs):
    """(exit code, stdout, stderr) of one native run."""
    run = subprocess.run([NATIVE_DUMP, *args], env=ENV, capture_output=True, **kwargs)
    return run.returncode, run.stdout.decode("utf-8"), run.stderr.decode("utf-8")


def wine(*args):
    run = subprocess.run(["wine", WINE_DUMP, *args], env=ENV, capture_output=True)
    return run.returncode, run.stdout.decode("utf-8"), run.stderr.decode("utf-8")


def escape(cell):
    return str(cell).replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r") \
        .replace("\n", "\\n")


def view_as_text(db, scan):
    """A scan's rows from the rows view, as the TSV output writes them, header included."""
    with sqlite3.connect(db) as connection:
        rows = connection.execute(f"SELECT {CELLS} FROM rows WHERE scan = ?", (scan,)).fetchall()
    header = "Module Name\tPath\tError\tLocale ID\tValue\tValue (Hex)\tMessage text\n"
    return header + "".join("\t".join(escape(c) for c in row) + "\n" for row in rows)


def query(db, sql, *args):
    with sqlite3.connect(db) as connection:
        return connection.execute(sql, args).fetchall()


class Store(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="orvanel-store-")
        self.db = os.path.join(self.folder, "harvest.db")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_rows_view_is_the_text_output_in_both_builds(self):
        # Satellites, error rows that wait for them, and named tables; then a second scan.
        options = ["--satellites", "--recursive", "--mask", "*.dll;*.mui"]
        code, text, status = native(*options, SATELLITES)
        self.assertEqual(code, 0, status)
        self.assertEqual(native("--format", "sqlite", "--output", self.db, *options,
                                SATELLITES)[0], 0)
        self.assertEqual(native("--format", "sqlite", "--output", self.db,
                                os.path.join(FIXTURES, "crafted"))[0], 0)
        self.assertEqual(view_as_text(self.db, 1), text)
        self.assertEqual(view_as_text(self.db, 2), native(os.path.join(FIXTURES, "crafted"))[1])
        scans = query(self.db, "SELECT id, folder, masks, recursive, satellites, status FROM scan")
        self.assertEqual(scans, [(1, SATELLITES, "*.dll;*.mui", 1, 1, status.strip()),
                                 (2, os.path.join(FIXTURES, "crafted"), "*.dll", 0, 0,
                                  scans[1][5])])
        # A satellite knows its module and its language folder; a module its error's code.
        self.assertIn(("en-US", "base.dll", "base.dll.mui"),
                      query(self.db, "SELECT satellite_language, base_module, name FROM module"))
        self.assertIn(("lonely.dll", 1813), query(self.db, "SELECT name, error_code FROM module "
                                                           "WHERE error_row IS NOT NULL"))
        # The Windows build writes the same database, apart from the Path's spelling.
        wine_db = os.path.join(self.folder, "wine.db")
        for folder in (SATELLITES, os.path.join(FIXTURES, "crafted")):
            code, _, status = wine("--format", "sqlite", "--output", windows(wine_db),
                                   *(options if folder == SATELLITES else []), windows(folder))
            self.assertEqual(code, 0, status)
        for sql in ("SELECT name, base_module, satellite_language, error_code, error_text "
                    "FROM module ORDER BY id",
                    "SELECT typeof(name), name, language, language_name FROM message_table "
                    "ORDER BY id",
                    "SELECT g.id, message_table, identifier, x.text FROM message g "
                    "JOIN text x ON x.id = g.text ORDER BY g.id",
                    "SELECT scan, \"Module Name\", \"Message text\" FROM rows"):
            self.assertEqual(query(wine_db, sql), query(self.db, sql), sql)
        # And each build reads what the other wrote as that one does.
        for scan in ("1", "2"):
            self.assertEqual(native("--db", wine_db, "--scan", scan),
                             wine("--db", windows(wine_db), "--scan", scan))
        self.assertIn(("text", "# 2"), query(self.db, "SELECT typeof(name), name "
                                                      "FROM message_table"))
        # Each text is stored once, and its full-text index holds every text, the first of each
        # scan's too, and finds every text of a word.
        self.assertEqual(query(self.db, "SELECT count(*) - count(DISTINCT text) FROM text"),
                         [(0,)])
        # (FTS5's own check compares the index with the texts, and fails on a text left out.)
        query(self.db, "INSERT INTO text_search (text_search, rank) VALUES ('integrity-check', 1)")
        self.assertEqual(query(self.db, "SELECT count(*) FROM text_search "
                                        "WHERE text_search MATCH 'denied'"),
                         query(self.db, "SELECT count(*) FROM text WHERE text LIKE '%denied%'"))
        # A scan of the same modules again stores no text of its own.
        texts = query(self.db, "SELECT count(*) FROM text")
        self.assertEqual(native("--format", "sqlite", "--output", self.db,
                                os.path.join(FIXTURES, "crafted"))[0], 0)
        self.assertEqual(query(self.db, "SELECT count(*) FROM text"), texts)

    def test_a_stored_scan_answers_as_a_scan_would(self):
        self.assertEqual(native("--format", "sqlite", "--output", self.db, FIXTURES)[0], 0)
        self.assertEqual(native("--format", "sqlite", "--output", self.db, "--mask", "b*.dll",
                                FIXTURES)[0], 0)
        for args in (["--code", "0xD0000022", "--lang", "ja-JP"], ["--event", "701"],
                     ["--no-errors", "--format", "csv"], ["--explain", "5", "0xC0000005"],
                     ["--lang", "de", "--explain", "E_ACCESSDENIED"]):
            self.assertEqual(native("--db", self.db, "--scan", "1", *args),
                             native(*args, FIXTURES), args)
        # The newest scan by default, from the Windows build too.
        self.assertEqual(native("--db", self.db), native("--mask", "b*.dll", FIXTURES))
        code, text, _ = wine("--db", windows(self.db), "--scan", "1", "--code", "5")
        self.assertEqual((code, text), (0, native("--code", "5", FIXTURES)[1]))
        code, _, err = native("--db", self.db, "--scan", "3")
        self.assertEqual((code, err.strip()), (1, f"orvanel-dump: {self.db}: the database holds "
                                                   "no scan 3"))

    def test_a_run_that_dies_or_fails_halfway_leaves_no_trace(self):
        self.assertEqual(native("--format", "sqlite", "--output", self.db, FIXTURES)[0], 0)
        before = view_as_text(self.db, 1)
        limit = os.path.getsize(self.db) + 256 * 1024
        many = os.path.join(self.folder, "many")
        os.mkdir(many)
        for i in range(400):
            shutil.copy(os.path.join(FIXTURES, "bulk.dll"), os.path.join(many, f"m{i:03d}.dll"))

        def writes_up_to_the_limit(ignore):
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN if ignore else signal.SIG_DFL)

        # Killed while it writes the database (as Ctrl+C would stop it), then a write that fails
        # (a full volume): either way the earlier scan stays, and nothing else.
        for ignore, expected in ((False, -signal.SIGXFSZ), (True, 3)):
            done = subprocess.run([NATIVE_DUMP, "--format", "sqlite", "--output", self.db, many],
                                  preexec_fn=lambda: writes_up_to_the_limit(ignore),
                                  capture_output=True)
            self.assertEqual(done.returncode, expected, done.stderr)
            # Read first by orvanel-dump itself, which must undo what the dead run left.
            self.assertEqual(native("--db", self.db)[1], native(FIXTURES)[1])
            self.assertEqual(query(self.db, "SELECT count(*) FROM scan"), [(1,)])
            self.assertEqual(view_as_text(self.db, 1), before)
            self.assertEqual(query(self.db, "SELECT count(*) FROM rows WHERE scan <> 1"), [(0,)])
        self.assertIn("failed while", done.stderr.decode())
        # Out of memory after the first modules' rows: a table of 256 MiB (a sparse file) in a
        # process allowed 200 MB.
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "fixtures", "make_module.py"),
                        os.path.join(many, "z.dll"), "zeros", "256M"], check=True)
        done = subprocess.run([NATIVE_DUMP, "--format", "sqlite", "--output", self.db, many],
                              preexec_fn=lambda: resource.setrlimit(
                                  resource.RLIMIT_AS, (200_000_000, 200_000_000)),
                              capture_output=True)
        self.assertEqual((done.returncode, done.stderr), (4, b"orvanel-dump: out of memory\n"))
        self.assertEqual(view_as_text(self.db, 1), before)
        self.assertEqual(query(self.db, "SELECT count(*) FROM scan"), [(1,)])
        # A database that a failed first scan would have made is not left behind.
        fresh = os.path.join(self.folder, "fresh.db")
        limit = 64 * 1024
        done = subprocess.run([NATIVE_DUMP, "--format", "sqlite", "--output", fresh, many],
                              preexec_fn=lambda: writes_up_to_the_limit(True),
                              capture_output=True)
        self.assertEqual((done.returncode, os.path.exists(fresh)), (3, False))

    def test_databases_that_are_not_ours_to_write(self):
        def untouched(path, *args, expected=1):
            with open(path, "rb") as f:
                before = f.read()
            code, _, err = native(*args)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), before, args)
            self.assertEqual(code, expected, err)
            return err
        text = os.path.join(self.folder, "notes.txt")
        with open(text, "w") as f:
            f.write("not a database\n" * 100)
        self.assertIn("not an Orvanel database",
                      untouched(text, "--format", "sqlite", "--output", text, FIXTURES))
        self.assertIn("not an Orvanel database", untouched(text, "--db", text))
        other = os.path.join(self.folder, "other.db")
        with sqlite3.connect(other) as connection:
            connection.execute("CREATE TABLE t (x)")
        self.assertIn("not an Orvanel database",
                      untouched(other, "--format", "sqlite", "--output", other, FIXTURES))
        self.assertIn("not an Orvanel database", untouched(other, "--db", other))
        # A newer schema, for writing and for reading.
        self.assertEqual(native("--format", "sqlite", "--output", self.db, FIXTURES)[0], 0)
        with sqlite3.connect(self.db) as connection:
            connection.execute("PRAGMA user_version = 7")
        for args in (["--format", "sqlite", "--output", self.db, FIXTURES], ["--db", self.db]):
            self.assertIn("written by a newer Orvanel (schema 7", untouched(self.db, *args))
        with sqlite3.connect(self.db) as connection:
            connection.execute("PRAGMA user_version = 1")
        # Another writer holds it: the run waits, then gives up. (The holder is a process of its
        # own: closing any file of the database in this one would drop its locks.)
        holder = subprocess.Popen(
            [sys.executable, "-c", "import sqlite3, sys\n"
             f"c = sqlite3.connect({self.db!r}, isolation_level=None)\n"
             "c.execute('BEGIN IMMEDIATE'); print('locked', flush=True); sys.stdin.read()"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.assertEqual(holder.stdout.readline(), "locked\n")
        started = time.monotonic()
        self.assertIn("another program is writing to the database",
                      untouched(self.db, "--format", "sqlite", "--output", self.db, FIXTURES,
                                expected=6))
        self.assertGreaterEqual(time.monotonic() - started, 4.5)
        holder.communicate("")
        # Corrupt pages after the schema's.
        with open(self.db, "r+b") as f:
            f.seek(4096 * 3)
            f.write(b"\xA5" * (os.path.getsize(self.db) - 4096 * 3))
        self.assertIn("corrupt", untouched(self.db, "--db", self.db))
        # A folder, a missing database, and sqlite without a file.
        self.assertEqual(native("--db", os.path.join(self.folder, "none.db"))[0], 1)
        self.assertEqual(native("--format", "sqlite", "--output", self.folder, FIXTURES)[0], 1)
        code, _, err = native("--format", "sqlite", FIXTURES)
        self.assertEqual(code, 2)
        self.assertIn("--format sqlite needs --output DATABASE", err)
        self.assertIn("Usage:", err)


if __name__ == "__main__":
    WINE_DUMP, NATIVE_DUMP, FIXTURES, SATELLITES = sys.argv[1:5]
    del sys.argv[1:5]
    unittest.main()
