#!/usr/bin/env python3
"""Runs the Windows build of orvanel-dump (under Wine) and the native build over the same folder
and requires the same output: every row, the status line and the exit status, apart from the
spelling of the Path cell (Z:\\a\\b under Wine, /a/b natively).

  compare_builds.py --wine-dump EXE --native-dump EXE FOLDER [ARGS...]

ARGS are passed to both builds before the folder. With --odd-files, FOLDER is made first: copies
of fixture modules under names of every letter case, a text file, an empty file, a link that
leads nowhere and one that loops.
"""
import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

ENV = dict(os.environ, WINEDEBUG="-all")


def unescape(cell):
    out, i = [], 0
    while i < len(cell):
        if cell[i] == "\\" and i + 1 < len(cell):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}[cell[i + 1]])
            i += 2
        else:
            out.append(cell[i])
            i += 1
    return "".join(out)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def rows_of(lines, csv_format, json_format=False):
    """The output's rows as lists of cells, the Path cell spelt as the native build spells it; JSON
    Lines as objects, each parsed by Python's own reader, their folder spelt so too."""
    if json_format:
        objects = [json.loads(line) for line in lines if line]
        for row in objects:
            if row.get("folder", "").startswith("Z:"):
                row["folder"] = row["folder"][2:].replace("\\", "/")
        return [None] + objects  # no header line
    if csv_format:
        rows = list(csv.reader(io.StringIO("\n".join(lines), newline="")))
    else:
        rows = [[unescape(cell) for cell in line.split("\t")] for line in lines if line]
    for row in rows[1:]:
        if len(row) > 1 and row[1].startswith("Z:"):
            row[1] = row[1][2:].replace("\\", "/")
    return rows


def run(command):
    done = subprocess.run(command, env=ENV, capture_output=True)
    return done.returncode, done.stdout.decode("utf-8").split("\n"), \
        done.stderr.decode("utf-8", errors="replace").strip().splitlines()


def odd_files(folder, fixtures):
    for name, source in (("B.dll", "basic.dll"), ("a.DLL", "assorted.dll"), ("_x.dll", "tenmsg.dll"),
                         ("Ab2.dll", "languages.dll"), ("~t.dll", "notable.dll"),
                         ("\u00e9.dll", "basic.dll"), ("z b.dll", "broken.dll"),
                         # Upper-cased differently by the C library and by the system, which
                         # orders é (as \u00c9) after \u00b5 and \u0131, where towupper puts
                         # them (as \u039c and I) after it.
                         ("\u00b5.dll", "notable.dll"), ("\u0131x.dll", "notable.dll")):
        shutil.copy(os.path.join(fixtures, source), os.path.join(folder, name))
    with open(os.path.join(folder, "notes.dll"), "w") as f:
        f.write("This is text, not a module.\n")
    open(os.path.join(folder, "empty.dll"), "w").close()
    # Links that lead nowhere, or round in a loop: Wine lists neither.
    os.symlink("no-such-module.dll", os.path.join(folder, "gone.dll"))
    os.symlink("loop.dll", os.path.join(folder, "loop.dll"))
    os.mkdir(os.path.join(folder, "sub"))
    shutil.copy(os.path.join(fixtures, "basic.dll"), os.path.join(folder, "sub", "s.dll"))


def main():
    args = sys.argv[1:]
    wine_dump = args[args.index("--wine-dump") + 1]
    native_dump = args[args.index("--native-dump") + 1]
    rest = [a for i, a in enumerate(args)
            if a not in ("--wine-dump", "--native-dump") and
            (i == 0 or args[i - 1] not in ("--wine-dump", "--native-dump"))]
    temp = None
    if "--odd-files" in rest:
        rest.remove("--odd-files")
        temp = tempfile.mkdtemp(prefix="orvanel-odd-")
        odd_files(temp, rest[0])
        rest[0] = temp
    folder, options = os.path.abspath(rest[0]), rest[1:]
    try:
        wine_code, wine_out, wine_err = run(["wine", wine_dump, *options, windows_path(folder)])
        native_code, native_out, native_err = run([native_dump, *options, folder])
    finally:
        if temp:
            shutil.rmtree(temp)
    problems = []
    if wine_code != native_code:
        problems.append(f"exit status {wine_code} under Wine, {native_code} natively")
    if wine_err[-1:] != native_err[-1:]:
        problems.append(f"status line {wine_err[-1:]} under Wine, {native_err[-1:]} natively")
    if "--explain" in options:  # the folder is named in the text
        wine_out = [line.replace(windows_path(folder), folder) for line in wine_out]
    csv_format, json_format = "csv" in options, "jsonl" in options
    wine_rows = rows_of(wine_out, csv_format, json_format)
    native_rows = rows_of(native_out, csv_format, json_format)
    if len(wine_rows) != len(native_rows):
        problems.append(f"{len(wine_rows)} rows under Wine, {len(native_rows)} natively")
    for number, (w, n) in enumerate(zip(wine_rows, native_rows)):
        if w != n:
            problems.append(f"row {number}: {w!r} under Wine, {n!r} natively")
            if len(problems) > 10:
                break
    print(f"{folder} {' '.join(options)}: {len(native_rows) - 1} rows, {native_err[-1:]}")
    for p in problems:
        print("DIFFERENCE:", p)
    print(f"{len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
