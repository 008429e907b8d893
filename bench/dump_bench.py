#!/usr/bin/env python3
"""Times orvanel-dump's two builds side by side in one run: the Windows build under Wine (with a
Wine server already running, as it is between calls in a row), the native build, and the native floor
(native-find-bench: the tables found and read, nothing decoded or written), over Wine's own
DLLs and over a flat folder of 2,000 copies of one module; then the native --explain of three codes
next to a plain native dump of the same folder; then the SQLite store: writing it against writing
the TSV to a file, its size, and a lookup from it. Prints medians and ratios.

  dump_bench.py BUILD_DIR MODULE [--runs N]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WINE_DLLS = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"


def seconds(command, env):
    start = time.perf_counter()
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    return time.perf_counter() - start


def median_into(command, env, runs, path, stdout=True):
    """Median seconds of runs that each write a new file at path: the command's standard output,
    or (stdout False) a file that the command itself writes. The last run's file is left."""
    def once():
        if os.path.exists(path):
            os.remove(path)
        start = time.perf_counter()
        with open(path if stdout else os.devnull, "ab") as out:
            subprocess.run(command, env=env, stdout=out, stderr=subprocess.DEVNULL, check=True)
        return time.perf_counter() - start
    once()
    return statistics.median(once() for _ in range(runs))


def median_of(command, env, runs):
    seconds(command, env)  # warm: page cache, and the Wine server's start
    return statistics.median(seconds(command, env) for _ in range(runs))


def main():
    build, module = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 5
    env = dict(os.environ, WINEDEBUG="-all")
    flat = tempfile.mkdtemp(prefix="orvanel-dump-bench-")
    # The Wine server stays up for a few seconds after each run: the warm run starts it, and the
    # timed runs, one right after another, find it running.
    try:
        for i in range(2000):
            shutil.copy(module, os.path.join(flat, f"m{i:04d}.dll"))
        print(f"median of {runs} runs, seconds")
        print(f"{'folder':<12} {'wine':>8} {'native':>8} {'floor':>8} {'wine/native':>12} "
              f"{'native/floor':>13}")
        for label, folder in (("Wine's DLLs", WINE_DLLS), ("2000 x 128", flat)):
            windows = "Z:" + folder.replace("/", "\\")
            wine = median_of(["wine", os.path.join(build, "orvanel-dump.exe"), windows], env, runs)
            native = median_of([os.path.join(build, "native", "orvanel-dump"), folder], env, runs)
            floor = median_of([os.path.join(build, "native", "native-find-bench"), folder], env,
                              runs)
            print(f"{label:<12} {wine:8.3f} {native:8.3f} {floor:8.3f} {wine / native:12.1f} "
                  f"{native / floor:13.2f}")
        # Crafted directories: long names that every lookup compares, in two sizes.
        print(f"\n{'crafted directory':<24} {'bytes':>9} {'wine':>8} {'native':>8} "
              f"{'limit':>8}")
        make_module = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                   "fixtures", "make_module.py")
        for count, length in ((2000, 120), (5000, 500)):
            os.makedirs(os.path.join(flat, "crowded"), exist_ok=True)
            crafted = os.path.join(flat, "crowded", f"crowded-{count}.dll")
            subprocess.run([sys.executable, make_module, crafted, "crowded", str(count),
                            str(length)], check=True)
            windows = "Z:" + crafted.replace("/", "\\")
            wine = median_of(["wine", os.path.join(build, "orvanel-dump.exe"), windows], env, runs)
            native = median_of([os.path.join(build, "native", "orvanel-dump"), crafted], env,
                               runs)
            label = f"{count} names of {length}"
            print(f"{label:<24} {os.path.getsize(crafted):9d} {wine:8.3f} {native:8.3f} "
                  f"{2 * wine + 0.1:8.3f}")
        # A System32-like tree: 3,000 modules, one in ten named .sys or .exe; half have no tables
        # of their own and satellites in en-US and de-DE.
        fixtures = os.path.dirname(os.path.abspath(module))
        system32 = os.path.join(flat, "Windows", "System32")
        for language in ("en-US", "de-DE"):
            os.makedirs(os.path.join(system32, language))
        for i in range(3000):
            name = f"m{i:04d}" + (".sys" if i % 10 == 0 else ".exe" if i % 10 == 5 else ".dll")
            if i % 2 == 0:
                shutil.copy(os.path.join(fixtures, "notable.dll"), os.path.join(system32, name))
                for language in ("en-US", "de-DE"):
                    shutil.copy(module, os.path.join(system32, language, name + ".mui"))
            else:
                shutil.copy(module, os.path.join(system32, name))
        options = ["--recursive", "--satellites", "--mask", "*.dll;*.exe;*.sys"]
        windows = "Z:" + system32.replace("/", "\\")
        wine = median_of(["wine", os.path.join(build, "orvanel-dump.exe"), *options, windows],
                         env, runs)
        native = median_of([os.path.join(build, "native", "orvanel-dump"), *options, system32],
                           env, runs)
        floor = median_of([os.path.join(build, "native", "native-find-bench"), "--all",
                           system32], env, runs)
        print(f"\nSystem32-like tree, --recursive --satellites: wine {wine:.3f} s, native "
              f"{native:.3f} s, native floor {floor:.3f} s, native / floor {native / floor:.2f}")

        native = os.path.join(build, "native", "orvanel-dump")
        print(f"\n{'native, Wine DLLs':<40} {'seconds':>8} {'x dump':>7}")
        dump = median_of([native, WINE_DLLS], env, runs)
        print(f"{'dump':<40} {dump:8.3f} {1:7.2f}")
        for label, args in (("--explain 0x80070005", ["--explain", "0x80070005"]),
                            ("--explain, 3 codes, default languages",
                             ["--explain", "E_ACCESSDENIED", "0xD0000022", "0xC0000005"]),
                            ("--explain, 3 codes, --lang ja --lang de",
                             ["--explain", "5", "0xD0000022", "0xC0000005", "--lang", "ja",
                              "--lang", "de"])):
            explain = median_of([native, *args, WINE_DLLS], env, runs)
            print(f"{label:<40} {explain:8.3f} {explain / dump:7.2f}")

        # The SQLite store against the TSV output, both written to a file of the same folder.
        print(f"\n{'native, SQLite':<12} {'tsv s':>8} {'sqlite s':>9} {'x tsv':>6} {'tsv MB':>7} "
              f"{'sqlite MB':>10} {'x tsv':>6} {'2nd scan s':>11} {'+MB':>6} {'lookup s':>9}")
        for label, folder in (("Wine's DLLs", WINE_DLLS), ("2000 x 128", flat)):
            tsv_file = os.path.join(flat, "rows.tsv.out")
            db = os.path.join(flat, "rows.db.out")
            tsv = median_into([native, folder], env, runs, tsv_file)
            store = median_into([native, "--format", "sqlite", "--output", db, folder], env, runs,
                                db, stdout=False)
            first = os.path.getsize(db)
            second = seconds([native, "--format", "sqlite", "--output", db, folder], env)
            lookup = median_of([native, "--db", db, "--code", "0x80070005"], env, runs)
            print(f"{label:<12} {tsv:8.3f} {store:9.3f} {store / tsv:6.2f} "
                  f"{os.path.getsize(tsv_file) / 1e6:7.2f} {first / 1e6:10.2f} "
                  f"{first / os.path.getsize(tsv_file):6.2f} {second:11.3f} "
                  f"{(os.path.getsize(db) - first) / 1e6:6.2f} {lookup:9.4f}")
            os.remove(db)
        windows_db = os.path.join(flat, "wine.db")
        wine_tsv = median_into(["wine", os.path.join(build, "orvanel-dump.exe"),
                                "Z:" + WINE_DLLS.replace("/", "\\")], env, runs,
                               os.path.join(flat, "wine.tsv"))
        wine_store = median_into(["wine", os.path.join(build, "orvanel-dump.exe"), "--format",
                                  "sqlite", "--output", "Z:" + windows_db.replace("/", "\\"),
                                  "Z:" + WINE_DLLS.replace("/", "\\")], env, runs, windows_db,
                                 stdout=False)
        print(f"Windows build under Wine, Wine's DLLs: tsv {wine_tsv:.3f} s, sqlite "
              f"{wine_store:.3f} s, x tsv {wine_store / wine_tsv:.2f}")
    finally:
        shutil.rmtree(flat)
    return 0


if __name__ == "__main__":
    sys.exit(main())
