#!/usr/bin/env python3
"""orvanel-dump through the real program under Wine: its options and its exit codes.

  dump_test.py DUMP_EXE FIXTURE_FOLDER
"""
import json
import os
import re
import subprocess
import sys
import tempfile
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


def unescape(cell):
    return (cell.replace("\\\\", "\0").replace("\\t", "\t").replace("\\r", "\r")
            .replace("\\n", "\n").replace("\0", "\\"))


def flatten(text):
    """CR LF pairs to spaces, then the trailing white space gone, as the rows show a text."""
    return text.replace("\r\n", " ").rstrip(" \t\r\n\x0b\x0c\xa0\u1680\u2000\u2001\u2002"
                                         "\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a"
                                         "\u2028\u2029\u202f\u205f\u3000")


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
        self.assertIn("is not a code", err)

    def test_codes_events_and_languages_as_users_hold_them(self):
        def ids(*args):
            code, lines, err = dump("--mask", "codes.dll", *args, windows(FIXTURES))
            self.assertEqual(code, 0, err)
            return sorted({(c[0].split(" ")[0], c[1]) for c in cells(lines, 3, 5)})
        # An HRESULT wrapping an NTSTATUS, repeated --code, a language by tag: Japanese is stored
        # under the language alone (17), which ja-JP takes as the loader does.
        self.assertEqual(ids("--code", "0xD0000022", "--code=ERROR_INVALID_FUNCTION",
                             "--lang", "ja-JP"),
                         [("17", "0x00000005"), ("17", "0x80070005"), ("17", "0xC0000022")])
        # An event id finds its message whatever the qualifier bits; the language alone takes
        # every region of it.
        self.assertEqual(ids("--event", "701", "--event", "0x2BE", "--lang", "de"),
                         [("1031", "0x400002BE"), ("1031", "0x800002BD")])
        code, _, err = dump("--lang", "xx-nowhere", windows(FIXTURES))
        self.assertEqual(code, 2)
        self.assertIn("is not a language", err)
        code, _, err = dump("--code", "NO_SUCH_NAME", windows(FIXTURES))
        self.assertEqual(code, 2)
        self.assertIn("no code is named 'NO_SUCH_NAME'", err)

    def test_several_masks_and_no_errors(self):
        # Each file once, in listing order, whichever patterns it matches.
        code, lines, err = dump("--mask", "tenmsg.dll;b*.dll", "--mask=basic.dll",
                                "--mask", "*.txt", windows(FIXTURES))
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(set(cells(lines, 0))), [("basic.dll",), ("broken.dll",),
                                                       ("bulk.dll",), ("tenmsg.dll",)])
        self.assertEqual([c[0] for c in cells(lines, 0)],
                         sorted((c[0] for c in cells(lines, 0)), key=str.upper))
        code, lines, err = dump("--no-errors", windows(FIXTURES))
        self.assertEqual(code, 0, err)
        self.assertTrue(lines[1:] and all(c[0] == "" for c in cells(lines, 2)))
        code, all_lines, _ = dump(windows(FIXTURES))
        self.assertEqual(len(all_lines) - len(lines),
                         sum(1 for c in cells(all_lines, 2) if c[0] != ""))

    def test_explain(self):
        code, lines, err = dump("--explain", "0xD0000022", "-2147024891", "0x12345678",
                                "--lang", "1031", "--mask", "codes.dll", windows(FIXTURES))
        self.assertEqual(code, 5, err)  # one code that nothing knows
        text = "\n".join(lines)
        for expected in (
                "0xD0000022: 0xD0000022 = 3489660962 = -805306334",
                "  0xC0000022  the NTSTATUS that the HRESULT wraps; NTSTATUS: error (3), "
                "customer 0, facility 0x000, code 0x0022",
                "  0x00000005  the Win32 code of the NTSTATUS; Win32 code 5",
                "  0xC0000022  STATUS_ACCESS_DENIED (ntstatus.h)",
                "  0x80070005  E_ACCESSDENIED (winerror.h)",
                "  codes.dll  1031 (Deutsch)  0x00000005  Access is denied (de).",
                "  codes.dll  1031 (Deutsch)  0xC0000022  A process has requested access (de).",
                "-2147024891: 0x80070005 = 2147942405 = -2147024891",
                "0x12345678 (0x12345678): no header names it, and no module in "):
            self.assertIn(expected, text)
        self.assertNotIn("(ja)", text)
        self.assertEqual(text.count("codes.dll  1031"), 3 + 2)  # texts of three readings, then two

        # By default the user's language and English; a FILE works as a folder of one module.
        code, lines, err = dump("--explain", "ERROR_ACCESS_DENIED",
                                windows(os.path.join(FIXTURES, "codes.dll")))
        self.assertEqual(code, 0, err)
        self.assertIn("  codes.dll  1033 (English)  0x00000005  Access is denied.", lines)
        self.assertEqual(sum(line.startswith("  codes.dll") for line in lines), 2)

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
        folder = windows(FIXTURES).replace("\\", "\\\\")  # TSV-escaped; no separator at the end
        self.assertEqual(cells(lines, 0, 1, 4), [("basic.dll", folder, "1"),
                                                 ("basic.dll", folder, "2"),
                                                 ("basic.dll", folder, "3")])
        self.assertIn("Searched 1 files from 1 dir", err)


class Version(unittest.TestCase):
    def test_version_is_the_builds_own(self):
        root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        with open(os.path.join(root, "VERSION")) as f:
            version = f.read().strip()
        self.assertEqual(dump("--version")[:2], (0, [f"orvanel-dump {version}"]))


class ExitCodes(unittest.TestCase):
    def test_success_missing_folder_and_bad_arguments(self):
        code, lines, err = dump("--mask", "basic.dll", windows(FIXTURES))
        self.assertEqual(code, 0)
        self.assertEqual(len(lines), 4)
        self.assertIn("Messages - 3 in 1 files (Searched 1 files from 1 dir)", err)

        # A module alone: its folder in the Path cell, as given, with no separator after it.
        code, lines, _ = dump(windows(os.path.join(FIXTURES, "basic.dll")))
        self.assertEqual((code, {unescape(c) for (c,) in cells(lines, 1)}), (0, {windows(FIXTURES)}))

        code, lines, err = dump(windows(FIXTURES) + "\\no-such-folder")
        self.assertEqual((code, lines), (1, []))
        self.assertIn("no such folder", err)

        code, lines, err = dump(windows(os.path.join(FIXTURES, "basic.dll")) + "\\x")
        self.assertEqual(code, 1)

        code, lines, err = dump("--format", "xml", windows(FIXTURES))
        self.assertEqual(code, 2)
        self.assertIn("unknown format", err)

    def test_json_lines_hold_what_the_cells_show(self):
        # Rows of every kind in the crafted folder (texts with controls, quotes, lone surrogates
        # and bad UTF-8, named tables, error rows): each object is what its TSV row shows, typed.
        # (Both builds write the same objects over Wine's folder and the satellites: native_jsonl_*.)
        for folder in (os.path.join(FIXTURES, "crafted"),):
            code, tsv, _ = dump("--mask", "*", windows(folder))
            self.assertEqual(code, 0)
            # Written through --output: beside the file, then moved into its place.
            with tempfile.TemporaryDirectory() as temp:
                path = os.path.join(temp, "rows.jsonl")
                run = subprocess.run(["wine", DUMP, "--mask", "*", "--format", "jsonl",
                                      "--output", windows(path), windows(folder)], env=ENV,
                                     capture_output=True)
                self.assertEqual((run.returncode, run.stdout), (0, b""))
                self.assertEqual(os.listdir(temp), ["rows.jsonl"])
                with open(path, "rb") as f:
                    run.stdout = f.read()
            lines = run.stdout.decode("utf-8").split("\n")
            self.assertEqual(lines[-1], "")
            self.assertEqual(len(lines) - 1, len(tsv) - 1)  # no header line
            for line, row in zip(lines, tsv[1:]):
                got = json.loads(line)
                cells = [unescape(c) for c in row.split("\t")]
                self.assertEqual(got.get("base_module", got["module"]), cells[0], line)
                self.assertEqual(got["folder"], cells[1])
                if "error" in got:
                    self.assertEqual((got["error"], cells[3:]), (cells[2], ["", "", "", ""]))
                    self.assertIsInstance(got["error_code"], int)
                    continue
                self.assertEqual(f"{got['language']} ({got['language_name']})", cells[3])
                self.assertEqual(got["id"] - (got["id"] >> 31 << 32), int(cells[4]))
                self.assertEqual(got["id_hex"], cells[5])
                # The text output writes a surrogate without its pair as U+FFFD; JSON keeps it.
                self.assertEqual(re.sub("[\ud800-\udfff]", "\ufffd", got["text"]), cells[6])
                self.assertEqual(flatten(got["raw_text"]), got["text"])

    def test_explain_fills_parameters_through_the_windows_build(self):
        code, lines, err = dump("--explain", "8", "--mask", "oddtexts.dll", "--insert", "%%1",
                                "--parameters", windows(os.path.join(FIXTURES, "basic.dll")),
                                windows(os.path.join(FIXTURES, "crafted")))
        self.assertEqual(code, 0, err)
        self.assertIn("    = Access Second line two by First message.", lines)

    def test_output_file_that_cannot_be_written(self):
        # (Every format and every failure through the native build: tests/native/rules_test.py.)
        with tempfile.TemporaryDirectory() as temp:
            code, _, err = dump("--output", windows(os.path.join(temp, "no", "such")),
                                windows(FIXTURES))
            self.assertEqual(code, 3, err)
            self.assertEqual(os.listdir(temp), [])

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
