#!/usr/bin/env python3
"""Which product lines the non-GUI tests never run.

Builds the checkout with gcc's --coverage into build/coverage (unoptimised),
runs `ctest -LE gui`, and lists, per product file, the executable lines no
test reached, most first; with --show FILE..., those lines themselves. A
line never run is a line no test can check: a mutant there always survives.

    scripts/coverage.py [--no-build] [--show FILE...]
"""
import argparse
import collections
import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "coverage")
PRODUCT = ("core", "engine", "imagefile", "platform", "ui", "app", "cli")


def build_and_test():
    flags = "--coverage -O0"
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                    f"-DCMAKE_CXX_FLAGS={flags}", f"-DCMAKE_C_FLAGS={flags}", "-DCMAKE_EXE_LINKER_FLAGS=--coverage",
                    "-DCMAKE_SHARED_LINKER_FLAGS=--coverage", "-DVISTREL_BUILD_BENCH=OFF"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j", str(os.cpu_count() or 2)], check=True)
    for folder, _, names in os.walk(BUILD):
        for name in names:
            if name.endswith(".gcda"):
                os.remove(os.path.join(folder, name))
    subprocess.run(["ctest", "-LE", "gui", "-j", str(os.cpu_count() or 2)], cwd=BUILD, check=False,
                   stdout=subprocess.DEVNULL)


def line_counts():
    """Product file -> line -> times run, the most over all the objects that compiled it."""
    counts = collections.defaultdict(dict)
    for folder, _, names in os.walk(BUILD):
        for name in (n for n in names if n.endswith(".gcda")):
            out = subprocess.run(["gcov", "--json-format", "--stdout", name], cwd=folder, capture_output=True,
                                 text=True).stdout
            for document in filter(str.strip, out.splitlines()):
                report = json.loads(document)
                for f in report["files"]:
                    path = os.path.normpath(os.path.join(report.get("current_working_directory", folder), f["file"]))
                    rel = os.path.relpath(path, ROOT)
                    if rel.split(os.sep)[0] not in PRODUCT:
                        continue
                    for line in f["lines"]:
                        n = line["line_number"]
                        counts[rel][n] = max(counts[rel].get(n, 0), line["count"])
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--no-build", action="store_true", help="read the last run's counts")
    parser.add_argument("--show", nargs="+", metavar="FILE", help="print these files' lines never run")
    args = parser.parse_args()
    if not args.no_build:
        build_and_test()
    counts = line_counts()
    if args.show:
        for rel in args.show:
            with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
                text = f.read().split("\n")
            print(f"== {rel}")
            for n in sorted(n for n, c in counts.get(rel, {}).items() if c == 0):
                print(f"{n:5d}: {text[n - 1]}")
        return
    rows = sorted(((sum(1 for c in lines.values() if c == 0), len(lines), rel) for rel, lines in counts.items()),
                  reverse=True)
    for never, total, rel in rows:
        if never:
            print(f"{never:5d} of {total:5d}  {rel}")
    print(f"never run: {sum(r[0] for r in rows)} of {sum(r[1] for r in rows)} executable product lines")


if __name__ == "__main__":
    sys.exit(main())
