#!/usr/bin/env python3
"""Compares orvanel-dump's rows and status line for a folder with an independent reading of the
same modules.

The modules are parsed with pefile; each message table is read here from its published layout
alone, entry after entry as its blocks and lengths say, with no bound of its own. Then:
- a well-formed table (every entry inside the data and of Length 4 or more, no two entries
  overlapping, every text terminated inside its entry except that of a Length 4 entry, which has
  no room for one and reads on) must give exactly the rows read here, in order;
- any other table must give, block by block, a leading part of what is read here, and at most one
  row per 4 bytes of its data;
- every file without a readable message table must give exactly one error row;
- the status line must count what the tables announce, the tables, the files and the folders.
With --recursive the folder's subfolders are read too, directory links followed, except a link
back to a folder on the way down to it, which only counts.
"""
import argparse
import fnmatch
import os
import struct
import subprocess
import sys

import pefile

RT_MESSAGETABLE = 11
PAGE = 4096


def read_trailing_space():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "trailing_space.txt")
    with open(path, encoding="ascii") as f:
        return "".join(chr(int(line, 16)) for line in f if line.strip() and line[0] != "#")


TRAILING_SPACE = read_trailing_space()


def flatten(text):
    text = text.replace("\r\n", " ")
    return text.rstrip(TRAILING_SPACE)


def encoding_of(flags):
    return {0: "cp1252", 2: "utf-8"}.get(flags, "utf-16-le")


def text_at(data, start, flags):
    """(text, end of its terminator) of the zero-terminated text at start, or None when it runs
    past the data."""
    if flags in (0, 2):
        end = data.find(b"\0", start)
        if end < 0:
            return None
        return data[start:end].decode(encoding_of(flags), errors="replace"), end + 1
    for pos in range(start, len(data) - 1, 2):
        if data[pos:pos + 2] == b"\0\0":
            return data[start:pos].decode("utf-16-le", errors="surrogatepass"), pos + 2
    return None


def descriptors(data):
    """The block descriptors that lie inside the data."""
    if len(data) < 4:
        return []
    (count,) = struct.unpack_from("<I", data, 0)
    count = min(count, (len(data) - 4) // 12)
    return [struct.unpack_from("<III", data, 4 + 12 * i) for i in range(count)]


def announced(data):
    return sum(high - low + 1 for low, high, _ in descriptors(data)) & 0xFFFFFFFF


def read_block(data, low, high, offset):
    """Yields (id, text, entry offset, entry length, text end) as the block is written, until an
    entry or its text runs past the data."""
    entry = offset
    for ident in range(low, high + 1):
        if entry + 4 > len(data):
            return
        length, flags = struct.unpack_from("<HH", data, entry)
        found = text_at(data, entry + 4, flags)
        if found is None:
            return
        text, text_end = found
        yield ident, flatten(text), entry, length, text_end
        entry += length


def well_formed(data):
    """True when every block's entries lie inside the data with a Length of 4 or more, each text
    ends inside its entry (but that of a Length 4 entry, which has no room for it), and no two
    entries (nor an entry and the header) share a byte."""
    blocks = descriptors(data)
    if len(data) < 4 or struct.unpack_from("<I", data, 0)[0] != len(blocks):
        return False
    used = [(0, 4 + 12 * len(blocks))]
    for low, high, offset in blocks:
        if low > high:
            return False
        count = 0
        for _, _, entry, length, text_end in read_block(data, low, high, offset):
            if (length < 4 or (length > 4 and text_end > entry + length)
                    or entry + length > len(data)):
                return False
            used.append((entry, entry + length))
            count += 1
        if count != high - low + 1:
            return False
    used.sort()
    return all(a_end <= b_start for (_, a_end), (b_start, _) in zip(used, used[1:]))


def tables(path):
    """[(language, data)] of a module's message tables in enumeration order, or None when it has
    none that can be read."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return None
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return None
    types = [e for e in root.entries if e.id == RT_MESSAGETABLE]
    if not types:
        return None
    # The loader maps a data file flat, its size rounded up to whole pages, zeros after its end;
    # a table's data is what its size claims, as far as that mapping goes.
    image = pe.__data__
    mapped = (len(image) + PAGE - 1) // PAGE * PAGE
    found = []
    for name in types[0].directory.entries:
        for lang in name.directory.entries:
            start = pe.get_offset_from_rva(lang.data.struct.OffsetToData)
            size = max(0, min(lang.data.struct.Size, mapped - start))
            found.append((lang.id, bytes(image[start:start + size]).ljust(size, b"\0")))
    return found


def check_module(name, rows, module_tables, problems):
    """Compares a module's message rows (language, id, text) with its tables."""
    if all(well_formed(data) for _, data in module_tables):
        want = [(lang, ident, text) for lang, data in module_tables
                for low, high, offset in descriptors(data)
                for ident, text, *_ in read_block(data, low, high, offset)]
        if len(rows) != len(want):
            problems.append(f"{name}: {len(rows)} message rows, read {len(want)}")
        for got, expected in zip(rows, want):
            if got != expected:
                problems.append(f"{name}: row {got} differs from {expected}")
                break
        return
    # Some table is not well formed: each block must give a leading part of what it says.
    at = 0
    for lang, data in module_tables:
        table_start = at
        for low, high, offset in descriptors(data):
            for ident, text, *_ in read_block(data, low, high, offset):
                if at < len(rows) and rows[at] == (lang, ident, text):
                    at += 1
                else:
                    break
        if at - table_start > len(data) // 4:
            problems.append(f"{name}: {at - table_start} rows from a table of {len(data)} bytes")
    if at != len(rows):
        problems.append(f"{name}: row {rows[at]} is not what its table says")


def parse_dump(output):
    lines = output.decode("utf-8").split("\n")
    assert lines[-1] == "", "output must end in a line feed"
    assert lines[0].split("\t") == ["Module Name", "Path", "Error", "Locale ID", "Value",
                                    "Value (Hex)", "Message text"], lines[0]
    rows = []
    for line in lines[1:-1]:
        cells = [unescape(c) for c in line.split("\t")]
        assert len(cells) == 7, line
        rows.append(cells)
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


def walk(folder, winfolder, recursive, on_the_way=()):
    """Yields (host folder, Windows folder) of every folder scanned, and counts them."""
    yield folder, winfolder
    if not recursive:
        return
    identity = os.stat(folder)
    on_the_way = on_the_way + ((identity.st_dev, identity.st_ino),)
    for entry in sorted(os.listdir(folder)):
        path = os.path.join(folder, entry)
        if not os.path.isdir(path):
            continue
        st = os.stat(path)
        if (st.st_dev, st.st_ino) in on_the_way:
            yield None, None  # a cycle: counted, not entered
            continue
        yield from walk(path, winfolder + "\\" + entry, recursive, on_the_way)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dump", required=True, help="orvanel-dump.exe")
    parser.add_argument("--folder", required=True, help="folder to scan (host path)")
    parser.add_argument("--mask", default="*.dll")
    parser.add_argument("--recursive", action="store_true")
    args = parser.parse_args()

    env = dict(os.environ, WINEDEBUG="-all")  # WINEPREFIX as the caller set it
    winfolder = subprocess.run(["wine", "winepath", "-w", args.folder], env=env,
                               capture_output=True, text=True, check=True).stdout.strip()
    command = ["wine", args.dump, "--mask", args.mask, winfolder]
    if args.recursive:
        command.insert(2, "--recursive")
    run = subprocess.run(command, env=env, capture_output=True, check=True)

    got = {}
    for cells in parse_dump(run.stdout):
        got.setdefault((cells[1], cells[0]), []).append(cells)

    problems = []
    messages = table_count = files = folders = with_tables = 0
    for folder, wfolder in walk(args.folder, winfolder, args.recursive):
        folders += 1
        if folder is None:
            continue
        names = sorted(n for n in os.listdir(folder)
                       if fnmatch.fnmatch(n.lower(), args.mask.lower())
                       and not os.path.isdir(os.path.join(folder, n)))
        for name in names:
            files += 1
            rows = got.pop((wfolder, name), [])
            module_tables = tables(os.path.join(folder, name))
            if module_tables is None:
                if len(rows) != 1 or not rows[0][2] or any(rows[0][3:]):
                    problems.append(f"{name}: expected one error row, got {len(rows)} rows")
                continue
            with_tables += 1
            table_count += len(module_tables)
            messages += sum(announced(data) for _, data in module_tables)
            message_rows = []
            for cells in rows:
                if cells[2]:
                    problems.append(f"{name}: an error row beside its tables: {cells}")
                    continue
                lang = int(cells[3].split(" ", 1)[0])
                if not (cells[3].startswith(f"{lang} (") and cells[3].endswith(")")):
                    problems.append(f"{name}: language cell {cells[3]!r}")
                ident = int(cells[5], 16)
                signed = ident - (1 << 32) if ident & 0x80000000 else ident
                if cells[4] != str(signed) or cells[5] != f"0x{ident:08X}":
                    problems.append(f"{name}: identifier cells {cells[4]!r}, {cells[5]!r}")
                message_rows.append((lang, ident, cells[6]))
            check_module(name, message_rows, module_tables, problems)
    if got:
        problems.append(f"rows for files not scanned here: {sorted(got)[:5]}")

    def signed(n):
        n &= 0xFFFFFFFF
        return n - (1 << 32) if n & 0x80000000 else n

    status = run.stderr.decode("utf-8", errors="replace").strip().splitlines()[-1]
    expected_status = (f"Messages - {signed(messages)} in {table_count} files "
                       f"(Searched {files} files from {folders} dir)")
    if status != expected_status:
        problems.append(f"status {status!r}, expected {expected_status!r}")
    print(f"{folders} folders, {files} files, {with_tables} with message tables")
    print(f"orvanel-dump: {status}")
    for p in problems[:20]:
        print("MISMATCH:", p)
    print(f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
