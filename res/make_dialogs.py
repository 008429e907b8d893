#!/usr/bin/env python3
"""Writes dialogs.rc: Orvanel's dialog templates as raw RT_DIALOG data.

The templates are laid out here field by field rather than by DIALOG statements, because resource
compilers differ in how they store control classes (windres upper-cases class names such as
"SysListView32" and keeps "Button" as a string instead of its ordinal).
"""
import os
import re
import struct


def read_identifiers():
    """Every IDD_/IDC_/IDR_/IDI_ value of resource.h, the one place where they are written."""
    ids = {"IDOK": 1, "IDCANCEL": 2, "IDC_STATIC": 0xFFFF}
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "resource.h")) as f:
        for name, value in re.findall(r"^#define\s+(ID\w+)\s+(\d+)\s*$", f.read(), re.M):
            ids[name] = int(value)
    return ids


ID = read_identifiers()

BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
LISTVIEW = "SysListView32"

# (name, class, text, x, y, cx, cy, style); the identifiers come from resource.h
MAIN = dict(name="IDD_MAIN", extended=True, style=0x90CF0040, ex_style=0x00040000,
            size=(461, 201), caption="Orvanel", font=(8, "MS Sans Serif"), weight=0, italic=0,
            charset=1, controls=[
                ("IDC_MESSAGE_LIST", LISTVIEW, "List2", 0, 42, 230, 109, 0x5081810D),
                ("IDC_FIND_BUTTON", BUTTON, "F", 4, 2, 20, 18, 0x5001004B),
                ("IDC_STATUS", EDIT, "", 27, 7, 40, 14, 0x50000880),
                ("IDC_RECURSIVE", BUTTON, "Recursive in folder", 97, 7, 75, 10, 0x50010003),
                ("IDC_MASK_LABEL", STATIC, "Mask:", 188, 8, 20, 8, 0x50020000),
                ("IDC_MASK", EDIT, "", 215, 5, 45, 14, 0x50810080),
                ("IDC_OPEN_DIR", BUTTON, "Open directory", 269, 5, 50, 14, 0x50010000),
            ])
CHECK = 0x50010003
FIND = dict(name="IDD_FIND", extended=False, style=0x80C800C0, ex_style=0,
            size=(186, 122), caption="Find as string", font=(8, "MS Sans Serif"), controls=[
                ("IDC_FIND_TEXT", EDIT, "", 7, 7, 172, 14, 0x50810080),
                ("IDC_STATIC", BUTTON, "Search in", 7, 21, 172, 59, 0x50000007),
                ("IDC_FIND_MODULE", BUTTON, "Module name", 15, 35, 59, 10, CHECK),
                ("IDC_FIND_ERROR", BUTTON, "Error", 15, 50, 31, 10, CHECK),
                ("IDC_FIND_LANGUAGE", BUTTON, "Language ID", 15, 65, 57, 10, CHECK),
                ("IDC_FIND_VALUE", BUTTON, "Value", 90, 35, 34, 10, CHECK),
                ("IDC_FIND_HEX", BUTTON, "Hex value", 90, 50, 48, 10, CHECK),
                ("IDC_FIND_TEXTCOL", BUTTON, "Message text", 90, 65, 58, 10, CHECK),
                ("IDC_FIND_MATCHCASE", BUTTON, "Match case", 15, 90, 53, 10, CHECK),
                ("IDOK", BUTTON, "OK", 129, 101, 50, 14, 0x50010001),
                ("IDCANCEL", BUTTON, "Cancel", 73, 101, 50, 14, 0x50010000),
            ])
RESULTS = dict(name="IDD_RESULTS", extended=False, style=0x80CF0040, ex_style=0,
               size=(320, 201), caption="Finded", font=(8, "MS Sans Serif"), controls=[
                   ("IDC_MESSAGE_LIST", LISTVIEW, "List2", 1, 37, 230, 126, 0x5081801D),
                   ("IDC_FIND_BUTTON", BUTTON, "F", 4, 2, 22, 18, 0x5001004B),
               ])
INFO = dict(name="IDD_INFO", extended=False, style=0x80C800C0, ex_style=0,
            size=(186, 66), caption="Info", font=(8, "MS Sans Serif"), controls=[
                ("IDOK", BUTTON, "OK", 125, 45, 50, 14, 0x50010001),
                ("IDC_INFO_TEXT", EDIT, "", 45, 10, 135, 25, 0x50010804),
                ("IDC_INFO_ICON", STATIC, "", 10, 10, 20, 20, 0x50000003),
            ])
LOOKUP = dict(name="IDD_LOOKUP", extended=False, style=0x80C800C0, ex_style=0,
              size=(186, 76), caption="Look up code", font=(8, "MS Sans Serif"), controls=[
                  ("IDC_LOOKUP_TEXT", EDIT, "", 7, 7, 172, 14, 0x50810080),
                  ("IDC_LOOKUP_EXAMPLES", STATIC, "For example: 5, 0x80070005, E_ACCESSDENIED, "
                   "0xC0000005, STATUS_ACCESS_DENIED; a language may follow the code: "
                   "5 ja-JP, 5 de, 5 1031", 7, 25, 172, 26, 0x50020080),
                  ("IDOK", BUTTON, "OK", 129, 55, 50, 14, 0x50010001),
                  ("IDCANCEL", BUTTON, "Cancel", 73, 55, 50, 14, 0x50010000),
              ])

def text(value):
    return value.encode("utf-16-le") + b"\0\0"


def class_field(value):
    return struct.pack("<HH", 0xFFFF, value) if isinstance(value, int) else text(value)


def align(data):
    return data + b"\0" * (-len(data) % 4)


def template(d):
    cx, cy = d["size"]
    points, face = d["font"]
    if d["extended"]:
        out = struct.pack("<HHIIIHhhhh", 1, 0xFFFF, 0, d["ex_style"], d["style"],
                          len(d["controls"]), 0, 0, cx, cy)
        out += b"\0\0" + b"\0\0" + text(d["caption"])
        out += struct.pack("<HHBB", points, d["weight"], d["italic"], d["charset"]) + text(face)
    else:
        out = struct.pack("<IIHhhhh", d["style"], d["ex_style"], len(d["controls"]), 0, 0, cx, cy)
        out += b"\0\0" + b"\0\0" + text(d["caption"]) + struct.pack("<H", points) + text(face)
    for name, cls, label, x, y, w, h, style in d["controls"]:
        ident = ID[name]
        out = align(out)
        if d["extended"]:
            out += struct.pack("<IIIhhhhI", 0, 0, style, x, y, w, h, ident)
        else:
            out += struct.pack("<IIhhhhH", style, 0, x, y, w, h, ident)
        out += class_field(cls) + text(label) + b"\0\0"
    return out + b"\0" * (len(out) % 2)


def describe(control):
    name, cls, label, x, y, w, h, style = control
    ident = ID[name]
    kind = {BUTTON: "Button", EDIT: "Edit", STATIC: "Static"}.get(cls, cls)
    return f'{name} ({ident}), {kind}, "{label}", {x}, {y}, {w}, {h}, 0x{style:08X}'


def rc_block(d):
    data = template(d)
    words = [f"0x{struct.unpack_from('<H', data, i)[0]:04X}" for i in range(0, len(data), 2)]
    kind = "extended template" if d["extended"] else "template"
    lines = [f'// {d["name"]}: {kind}, style 0x{d["style"]:08X}, extended style '
             f'0x{d["ex_style"]:08X}, {d["size"][0]} x {d["size"][1]}, "{d["caption"]}"']
    lines += [f"//   {i + 1}. {describe(c)}" for i, c in enumerate(d["controls"])]
    lines += [f'{d["name"]} 5', "BEGIN"]
    for i in range(0, len(words), 10):
        lines.append("    " + ", ".join(words[i:i + 10]) + ("," if i + 10 < len(words) else ""))
    lines += ["END", ""]
    return "\n".join(lines)


here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "dialogs.rc"), "w", newline="\n") as f:
    f.write("// Orvanel's dialog templates as raw RT_DIALOG data, written by make_dialogs.py.\n"
            "// Edit the tables there and run it again.\n\n")
    f.write("\n".join(rc_block(d) for d in (MAIN, FIND, RESULTS, INFO, LOOKUP)))
