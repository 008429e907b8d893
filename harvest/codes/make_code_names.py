#!/usr/bin/env python3
"""Writes CodeNames.inc: the symbolic names of Windows codes and the headers they come from.

Reads the MinGW-w64 headers that the cross compiler installs (public domain, as their own notice
says; only names and values are taken from them) and writes to standard output every name whose
definition is a code: Win32 errors and HRESULTs (winerror.h), NTSTATUS values (ntstatus.h), and
the codes of the headers whose modules carry message tables (wininet.h, lmerr.h, mferror.h). The
facility names of HRESULTs and of NTSTATUS values come along for decoding.

    make_code_names.py [INCLUDE_DIR] > CodeNames.inc

A test runs it again and compares, so the table stays in step with the headers.
"""
import os
import re
import sys

# Header, and which of its names are codes.
HEADERS = [
    ("winerror.h", lambda name: True),
    ("ntstatus.h", lambda name: True),
    ("wininet.h", lambda name: name.startswith("ERROR_")),
    ("lmerr.h", lambda name: name.startswith("NERR_")),
    ("mferror.h", lambda name: True),
]

# Names that define no code of their own: facilities, severities, ranges and masks.
NOT_CODES = re.compile(r"^(_|FACILITY_|SEVERITY_|STATUS_SEVERITY_)|_BASE$|BASEERR$|_MASK$|"
                       r"^(INTERNET_ERROR_LAST|MAX_NERR)$")

DEFINE = re.compile(r"^\s*#\s*define\s+(\w+)[ \t]+([^/\n]*?)\s*(?:/[/*].*)?$", re.M)
LITERAL = re.compile(r"\b(0[xX][0-9A-Fa-f]+|\d+)[uUlL]*\b")
WRAPPERS = re.compile(r"\b(__MSABI_LONG|_HRESULT_TYPEDEF_|_NDIS_ERROR_TYPEDEF_)\b")
CASTS = re.compile(r"\(\s*(NTSTATUS|HRESULT|SCODE|DWORD|LONG|long|ULONG|int|unsigned)\s*\)")
SAFE = re.compile(r"^[0-9xXa-fA-F()+\-|&<>~ ]*$")


def read_defines(path):
    with open(path, encoding="latin-1") as f:
        text = f.read()
    defines = []
    for name, body in DEFINE.findall(text):
        defines.append((name, body.strip()))
    return defines


def evaluate(body, known, depth=0):
    """The value of a definition's body, or None when it is not a constant integer."""
    if depth > 8 or not body:
        return None
    body = WRAPPERS.sub("", body)
    body = CASTS.sub("", body)
    call = re.fullmatch(r"\(?\s*HRESULT_FROM_WIN32\s*\(\s*(\w+)\s*\)\s*\)?", body)
    if call:
        inner = evaluate(call.group(1), known, depth + 1)
        if inner is None:
            return None
        return inner if inner <= 0 else (inner & 0xFFFF) | 0x80070000

    def name_value(match):
        word = match.group(0)
        if re.fullmatch(r"0[xX][0-9A-Fa-f]+|\d+", word):
            return word
        if word in known:
            return str(known[word])
        raise KeyError(word)

    body = LITERAL.sub(lambda m: m.group(1), body)
    try:
        body = re.sub(r"\b[A-Za-z_]\w*\b", name_value, body)
    except KeyError:
        return None
    if not SAFE.match(body):
        return None
    try:
        value = eval(body, {"__builtins__": {}}, {})  # digits and operators only
    except Exception:
        return None
    return value & 0xFFFFFFFF if isinstance(value, int) else None


def literal(text):
    return '"' + text + '"'


def main():
    include = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/mingw-w64/include"
    names = []  # (value, header index, order, name)
    facilities = {"winerror.h": [], "ntstatus.h": []}
    order = 0
    for index, (header, is_code) in enumerate(HEADERS):
        known = {}
        taken = set()
        for name, body in read_defines(os.path.join(include, header)):
            value = evaluate(body, known)
            if value is None or name in known:
                continue
            known[name] = value
            if name.startswith("FACILITY_") and header in facilities:
                facilities[header].append((value, name))
            if NOT_CODES.search(name) or not is_code(name) or name in taken:
                continue
            taken.add(name)
            names.append((value, index, order, name))
            order += 1
    # A name defined alike by two headers is listed once, under the first.
    seen = set()
    unique = []
    for entry in sorted(names, key=lambda e: (e[1], e[2])):
        if (entry[3], entry[0]) not in seen:
            seen.add((entry[3], entry[0]))
            unique.append(entry)
    unique.sort(key=lambda e: (e[0], e[1], e[2]))

    out = sys.stdout
    out.write("// Symbolic names of Windows codes, from the MinGW-w64 headers (public domain), as\n"
              "// harvest/codes/make_code_names.py writes them; do not edit: a test runs it again\n"
              "// and compares. By value, then by header and place in it.\n\n")
    out.write("const char* const kCodeNameHeaders[] = {\n")
    for header, _ in HEADERS:
        out.write(f"    {literal(header)},\n")
    out.write("};\n\nconst CodeNameEntry kCodeNames[] = {\n")
    for value, index, _, name in unique:
        out.write(f"    {{0x{value:08X}u, {index}, {literal(name)}}},\n")
    out.write("};\n")
    for table, header in (("kHResultFacilities", "winerror.h"),
                          ("kNtStatusFacilities", "ntstatus.h")):
        out.write(f"\n// Facilities of {header}, the first name of each number.\n")
        out.write(f"const FacilityEntry {table}[] = {{\n")
        first = {}
        for value, name in facilities[header]:
            first.setdefault(value, name)
        for value in sorted(first):
            out.write(f"    {{{value}, {literal(first[value])}}},\n")
        out.write("};\n")


if __name__ == "__main__":
    main()
