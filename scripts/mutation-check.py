#!/usr/bin/env python3
"""Checks that the tests catch plausible programming slips.

Each mutant in the list (tests/mutants.txt) names a product file, what goes
wrong, an exact snippet that occurs once in the file and its replacement. Every
mutant is applied in turn to a scratch copy of the checkout, the copy is
rebuilt incrementally (one persistent build folder, so only what the file
touches is recompiled), the non-GUI tests run until the first failure, and
the file is put back whatever happens. Decoder mutants (imagefile/) run the
decoder tests in an AddressSanitizer build first, so that a small overrun
counts as caught.

    scripts/mutation-check.py [--rev REV] [--work DIR] [--only REGEX] [--list FILE]
    scripts/mutation-check.py --ratio

--rev takes the product and tests from a commit instead of the working
tree (the mutant list always comes from the working tree). --ratio prints
the non-blank lines of tests/ against the product folders.
"""
import argparse
import filecmp
import os
import re
import shutil
import signal
import subprocess
import sys
import tarfile
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ["core", "engine", "imagefile", "platform", "ui", "app", "cli"]
COUNTED = (".cpp", ".h", ".txt", ".sh", ".py")
# Tests of the mutated folder run first: they are the likeliest to fail, and
# only their programs need relinking before they can run.
LABELS = {"core": "core", "platform": "platform", "engine": "^engine", "imagefile": "imagefile",
          "ui": "^ui$", "app": "app", "cli": "cli"}
TARGETS = {"core": ["core_tests"], "platform": ["platform_tests", "platform_window_tests"],
           "engine": ["engine_job_tests", "engine_pass_tests"], "imagefile": ["imagefile_tests"],
           "ui": ["ui_tests", "vistrel_gallery"], "app": ["app_tests"], "cli": ["cli_tests"]}


def nonblank_lines_of(path):
    if not os.path.isfile(path):
        return 0
    with open(path, encoding="utf-8", errors="replace") as f:
        return sum(1 for line in f if line.strip())


def nonblank_lines(folder, skip=()):
    total = 0
    for dirpath, dirnames, filenames in os.walk(folder):
        dirnames[:] = [d for d in dirnames if os.path.join(dirpath, d) not in skip]
        for name in filenames:
            if name.endswith(COUNTED):
                with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                    total += sum(1 for line in f if line.strip())
    return total


def print_ratio():
    """Non-blank lines of the test code against the product folders; the
    test files (tests/data, tests/imagefile/data) and the mutant list are
    data, not test code."""
    tests_dir = os.path.join(ROOT, "tests")
    data = {os.path.join(tests_dir, "data"), os.path.join(tests_dir, "imagefile", "data")}
    mutants = nonblank_lines_of(os.path.join(tests_dir, "mutants.txt"))
    tests = nonblank_lines(tests_dir, data) - mutants
    product = sum(nonblank_lines(os.path.join(ROOT, d)) for d in PRODUCT)
    print(f"tests {tests} / product {product} = {tests / product:.3f} "
          f"(with the {mutants} lines of tests/mutants.txt: {(tests + mutants) / product:.3f})")


def read_mutants(path):
    """Blocks of "FILE: what goes wrong", "- snippet", "+ replacement" and an
    optional "= why it is equivalent"; '#' starts a comment."""
    mutants = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f.read().split("\n"), 1):
            if not line.strip() or line.startswith("#"):
                continue
            key, text = line[:2], line[2:].replace("\\n", "\n")
            fields = {"- ": "find", "+ ": "replace", "= ": "equivalent"}
            if key in fields and mutants and fields[key] not in mutants[-1]:
                mutants[-1][fields[key]] = text
            elif ": " in line and key not in fields:
                file, _, why = line.partition(": ")
                mutants.append({"file": file, "why": why, "line": number})
            else:
                sys.exit(f"{path}:{number}: not a mutant line: {line!r}")
    for m in mutants:
        if "find" not in m or "replace" not in m:
            sys.exit(f"{path}:{m['line']}: the mutant lacks its '- ' or '+ ' line")
    return mutants


def tracked_files(rev):
    """Maps each file of the checkout (or of commit rev) to its bytes."""
    if rev:
        with tempfile.TemporaryFile() as tar:
            subprocess.run(["git", "-C", ROOT, "archive", rev], stdout=tar, check=True)
            tar.seek(0)
            with tarfile.open(fileobj=tar) as archive:
                return {m.name: archive.extractfile(m).read() for m in archive if m.isfile()}
    names = subprocess.run(["git", "-C", ROOT, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                           stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    files = {}
    for name in filter(None, names):
        path = os.path.join(ROOT, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                files[name] = f.read()
    return files


def sync_scratch(src, files):
    """Writes only what changed, so the persistent builds stay incremental."""
    for name, data in files.items():
        path = os.path.join(src, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    for dirpath, _, filenames in os.walk(src):
        for name in filenames:
            rel = os.path.relpath(os.path.join(dirpath, name), src)
            if rel not in files:
                os.remove(os.path.join(dirpath, name))


def run(cmd, log, timeout):
    """Runs cmd with its output appended to log; returns the exit status, or None on timeout."""
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(cmd)}\n")
        out.flush()
        proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            return None


def configure(src, build, jobs, sanitize, log):
    if os.path.exists(os.path.join(build, "build.ninja")):
        return
    cmd = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithAsserts",
           "-DVISTREL_BUILD_GUI=OFF", "-DVISTREL_BUILD_BENCH=OFF"]
    if sanitize:
        cmd.append("-DVISTREL_SANITIZE=" + sanitize)
    if run(cmd, log, 600) != 0:
        sys.exit(f"configuring {build} failed; see {log}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", default=os.path.join(ROOT, "tests", "mutants.txt"))
    parser.add_argument("--rev", help="take product and tests from this commit")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutation"))
    parser.add_argument("--only", help="run only mutants whose file or description matches")
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", "2")))
    parser.add_argument("--timeout", type=int, default=600, help="seconds per mutant (build and tests)")
    parser.add_argument("--results", help="also write one tab-separated line per mutant here")
    parser.add_argument("--ratio", action="store_true")
    args = parser.parse_args()
    if args.ratio:
        print_ratio()
        return 0

    mutants = read_mutants(args.list)
    if args.only:
        mutants = [m for m in mutants if re.search(args.only, m["file"] + " " + m["why"])]
    work = os.path.abspath(args.work)
    src, release, asan = (os.path.join(work, d) for d in ("src", "release", "asan"))
    log = os.path.join(work, "mutants.log")
    os.makedirs(src, exist_ok=True)
    files = tracked_files(args.rev)
    sync_scratch(src, files)
    for m in mutants:
        count = files.get(m["file"], b"").decode().count(m["find"])
        if count > 1:
            sys.exit(f"{m['file']}: snippet found {count} times: {m['find']!r}")
        # A snippet an older revision does not have yet is reported, not run.
        m["absent"] = count == 0

    env_opts = {"ASAN_OPTIONS": "detect_leaks=1:allocator_may_return_null=1",
                "UBSAN_OPTIONS": "halt_on_error=1"}
    os.environ.update(env_opts)
    configure(src, release, args.jobs, "", log)
    print("building the unmutated copy (the tests must pass there first)", flush=True)
    if run(["cmake", "--build", release, "-j", str(args.jobs)], log, 7200) != 0:
        sys.exit(f"the unmutated copy does not build; see {log}")
    if run(["ctest", "--test-dir", release, "-LE", "gui", "-j", str(args.jobs), "--timeout", "300"], log, 3600) != 0:
        sys.exit(f"the unmutated tests fail; see {log}")
    if any(m["file"].startswith("imagefile/") for m in mutants):
        configure(src, asan, args.jobs, "address,undefined", log)
        if run(["cmake", "--build", asan, "-j", str(args.jobs), "--target", "imagefile_tests"], log, 7200) != 0:
            sys.exit(f"the AddressSanitizer build fails; see {log}")
        if run(["ctest", "--test-dir", asan, "-L", "imagefile", "-j", str(args.jobs)], log, 3600) != 0:
            sys.exit(f"the unmutated decoder tests fail under AddressSanitizer; see {log}")

    current = {}

    def restore(*_):
        for path, data in current.items():
            with open(path, "wb") as f:
                f.write(data)
        current.clear()

    def interrupted(signum, frame):
        restore()
        sys.exit(130)

    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)

    results = []
    for number, m in enumerate(mutants, 1):
        if m["absent"]:
            results.append((number, "absent", m))
            print(f"{number:3d} absent         {m['file']}: {m['why']}", flush=True)
            continue
        path = os.path.join(src, m["file"])
        original = files[m["file"]]
        current[path] = original
        started = time.time()
        verdict = "survived"
        try:
            with open(path, "wb") as f:
                f.write(original.decode().replace(m["find"], m["replace"]).encode())
            deadline = started + args.timeout
            folder = m["file"].split("/")[0]
            steps = []
            if folder == "imagefile":
                steps.append((asan, ["--target", "imagefile_tests"], ["-L", "imagefile"]))
            if folder in TARGETS:
                steps.append((release, ["--target"] + TARGETS[folder], ["-L", LABELS[folder]]))
            steps.append((release, [], ["-LE", "gui"]))
            for build, targets, selection in steps:
                status = run(["cmake", "--build", build, "-j", str(args.jobs)] + targets, log,
                             max(1, deadline - time.time()))
                if status is None:
                    verdict = "timeout"
                    break
                if status != 0:
                    verdict = "no-build"
                    break
                status = run(["ctest", "--test-dir", build, "--stop-on-failure", "--timeout", "120",
                              "-j", str(args.jobs)] + selection, log, max(1, deadline - time.time()))
                if status != 0:
                    verdict = "killed"  # a failing test or a hang past its time limit
                    break
        finally:
            restore()
        seconds = int(time.time() - started)
        results.append((number, verdict, m))
        print(f"{number:3d} {verdict:8s} {seconds:4d}s {m['file']}: {m['why']}", flush=True)
        if args.results:
            with open(args.results, "a") as out:
                out.write(f"{number}\t{verdict}\t{m['file']}\t{m['why']}\n")

    # Put the build back in step with the unmutated sources for the next run.
    run(["cmake", "--build", release, "-j", str(args.jobs)], log, 7200)
    # A snippet missing from today's sources is a stale entry, not a pass:
    # the code moved or changed and the slip is no longer tried.
    absent = [(n, m) for n, v, m in results if v == "absent"]
    results = [r for r in results if r[1] != "absent"]
    killed = sum(1 for _, v, _ in results if v == "killed")
    equivalent = [(n, m) for n, v, m in results if v != "killed" and "equivalent" in m]
    counted = len(results) - len(equivalent)
    print(f"killed {killed} of {counted} ({100 * killed // max(1, counted)} %)"
          f"{f', {len(equivalent)} equivalent not counted' if equivalent else ''}"
          f"{f', {len(absent)} absent from the sources' if absent else ''}")
    for n, v, m in results:
        if v not in ("killed",) and "equivalent" not in m:
            print(f"  {v}: {n} {m['file']}: {m['why']}")
    for n, m in absent:
        print(f"  absent: {n} {m['file']}: {m['why']}")
    return 0 if killed == counted and (args.rev or not absent) else 1


if __name__ == "__main__":
    sys.exit(main())
