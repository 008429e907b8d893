#!/usr/bin/env python3
"""Compares orvanel-dump's rows for a folder with an independent decoding of the same modules.

The modules are parsed with pefile; the message tables are decoded here from their published
layout. Every module must appear with exactly the rows decoded here, in the same order (the
order of modules may differ: it is the file system's), and every file without a message table
must give exactly one error row.
"""
import argparse
import fnmatch
import os
import struct
import subprocess
import sys

import pefile

RT_MESSAGETABLE = 11


def flatten(text):
    text = text.replace("\r\n", " ")
    return text.rstrip(" \t\r\n\v\f")


def read_text(data, start, flags):
    """Zero-terminated text at start, or None when it runs past the data."""
    if flags in (0, 2):
        end = data.find(b"\0", start)
        if end < 0:
            return None
        return data[start:end].decode("cp1252" if flags == 0 else "utf-8", errors="replace")
    pos = start
    while pos + 2 <= len(data):
        if data[pos:pos + 2] == b"\0\0":
            return data[start:pos].decode("utf-16-le", errors="surrogatepass")
        pos += 2
    return None


def decode_table(data):
    """Yields (id, text) in table order, reading nothing past the data."""
    if len(data) < 4:
        return
    (count,) = struct.unpack_from("<I", data, 0)
    count = min(count, (len(data) - 4) // 12)
    for i in range(count):
        low, high, offset = struct.unpack_from("<III", data, 4 + 12 * i)
        if low > high or offset > len(data):
            continue
        walk = min(high - low + 1, (len(data) - offset) // 4)
        entry = offset
        for n in range(walk):
            if entry + 4 > len(data):
                break
            length, flags = struct.unpack_from("<HH", data, entry)
            text = read_text(data, entry + 4, flags)
            if text is None:
                break
            yield low + n, flatten(text)
            entry += length


def expected_rows(path):
    """(lang, id, text) rows of a module, or None when it has no readable message table."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return None
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return None
    tables = [e for e in root.entries if e.id == RT_MESSAGETABLE]
    if not tables:
        return None
    rows = []
    for name in tables[0].directory.entries:
        for lang in name.directory.entries:
            data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
            for ident, text in decode_table(data):
                rows.append((lang.id, ident, text))
    return rows


def unescape(cell):
    out, i = [], 0
    while i < len(cell):
        c = cell[i]
        if c == "\\" and i + 1 < len(cell):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}[cell[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dump", required=True, help="orvanel-dump.exe")
    parser.add_argument("--folder", required=True, help="folder to scan (host path)")
    parser.add_argument("--mask", default="*.dll")
    args = parser.parse_args()

    env = dict(os.environ, WINEDEBUG="-all")  # WINEPREFIX as the caller set it
    winfolder = subprocess.run(["wine", "winepath", "-w", args.folder], env=env,
                               capture_output=True, text=True, check=True).stdout.strip()
    run = subprocess.run(["wine", args.dump, "--mask", args.mask, winfolder], env=env,
                         capture_output=True, check=True)
    lines = run.stdout.decode("utf-8").split("\n")
    assert lines[-1] == "", "output must end in a line feed"
    header, body = lines[0], lines[1:-1]
    assert header.split("\t") == ["Module Name", "Path", "Error", "Locale ID", "Value",
                                  "Value (Hex)", "Message text"], header

    got = {}
    for line in body:
        cells = [unescape(c) for c in line.split("\t")]
        assert len(cells) == 7, line
        assert cells[1] == winfolder, cells
        got.setdefault(cells[0], []).append(cells)

    names = sorted(n for n in os.listdir(args.folder)
                   if fnmatch.fnmatch(n.lower(), args.mask.lower())
                   and not os.path.isdir(os.path.join(args.folder, n)))
    problems, messages, tables_files = [], 0, 0
    for name in names:
        rows = got.pop(name, [])
        want = expected_rows(os.path.join(args.folder, name))
        if want is None:
            if len(rows) != 1 or not rows[0][2] or any(rows[0][3:]):
                problems.append(f"{name}: expected one error row, got {len(rows)} rows")
            continue
        tables_files += 1
        messages += len(want)
        have = [r for r in rows if not r[2]]
        if len(have) != len(want):
            problems.append(f"{name}: {len(have)} message rows, decoded {len(want)}")
            continue
        for cells, (lang, ident, text) in zip(have, want):
            signed = ident - (1 << 32) if ident & 0x80000000 else ident
            ok = (cells[3].startswith(f"{lang} (") and cells[3].endswith(")")
                  and cells[4] == str(signed) and cells[5] == f"0x{ident:08X}"
                  and cells[6] == text)
            if not ok:
                problems.append(f"{name}: row {cells} differs from {(lang, ident, text)}")
                break
    if got:
        problems.append(f"rows for files not in the folder: {sorted(got)}")
    status = run.stderr.decode("utf-8", errors="replace").strip().splitlines()[-1]
    print(f"{len(names)} files, {tables_files} with message tables, {messages} messages")
    print(f"orvanel-dump: {status}")
    for p in problems[:20]:
        print("MISMATCH:", p)
    print(f"{len(names) - len(problems)} passed, {len(problems)} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
