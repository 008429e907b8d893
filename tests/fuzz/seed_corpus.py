#!/usr/bin/env python3
"""Writes the data of every message table of the modules in the given folders, one file per
table, as the fuzzer's first inputs.

  seed_corpus.py CORPUS FOLDER...
"""
import os
import sys

import pefile


def main():
    corpus, folders = sys.argv[1], sys.argv[2:]
    os.makedirs(corpus, exist_ok=True)
    count = 0
    for folder in folders:
        for name in sorted(os.listdir(folder)):
            if not name.lower().endswith(".dll"):
                continue
            try:
                pe = pefile.PE(os.path.join(folder, name), fast_load=True)
                pe.parse_data_directories(
                    directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
            except (pefile.PEFormatError, OSError):
                continue
            root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
            for kind in root.entries if root else []:
                if kind.id != 11:
                    continue
                for table in kind.directory.entries:
                    for lang in table.directory.entries:
                        size = lang.data.struct.Size
                        if size > (1 << 20):
                            continue  # large crafted tables add nothing but time
                        data = pe.get_data(lang.data.struct.OffsetToData, size)
                        label = table.id if table.id is not None else str(table.name)
                        path = os.path.join(corpus, f"{name}-{label}-{lang.id}.bin")
                        with open(path, "wb") as f:
                            f.write(data)
                        count += 1
    print(f"{count} tables written to {corpus}")


if __name__ == "__main__":
    main()
