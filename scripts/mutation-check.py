#!/usr/bin/env python3
"""Checks that the tests catch plausible programming slips.

Each mutant in the list (tests/mutants.txt) names a product file, what goes
wrong, an exact snippet that occurs once in the file and its replacement. Every
mutant is applied in turn to a scratch copy of the checkout, the copy is
rebuilt incrementally (one persistent build folder, so only what the file
touches is recompiled), the non-GUI tests run until the first failure, and
the file is put back whatever happens. Mutants of imagefile/, core/,
engine/, platform/ and app/ run their folder's tests in an AddressSanitizer
build first, so that a small overrun counts as caught, as in CI.

    scripts/mutation-check.py [--rev REV] [--work DIR] [--only REGEX] [--list FILE]
    scripts/mutation-check.py --random N [--seed S] [--only REGEX] [--cache FILE]
    scripts/mutation-check.py --matrix FILE [--only REGEX] [--cache FILE]
    scripts/mutation-check.py --ratio

--rev takes the product and tests from a commit instead of the working
tree (the mutant list always comes from the working tree). --ratio prints
the non-blank lines of tests/ against the product folders.

--random makes mutants by rule instead of reading the list (see
mutant_sampler.py): the same seed on the same sources gives the same
mutants in the same order, and the run goes on until N of them built and
were not recorded as equivalent (tests/mutants-equivalent.txt). Each
verdict is kept in the cache file, so an interrupted or extended run only
tries the mutants it has not seen; a survivor is tried again once the
tests change.

--matrix runs every listed mutant and every mutant the cache holds as
killed against all the tests of every test program (no stop at the first
failure) and records which tests fail, one line per mutant in FILE (kept
between runs). It then prints, per test, how many of them it catches and
how many it alone catches, and which tests could go together without any
of them surviving: the evidence a trim of the tests needs. Mutants in
strings, or in code no rule reaches, are not in it: read a test before
taking it out.
"""
import argparse
import filecmp
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tarfile
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mutant_sampler  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ["core", "engine", "imagefile", "platform", "ui", "app", "cli"]
COUNTED = (".cpp", ".h", ".txt", ".sh", ".py")
# Tests of the mutated folder run first: they are the likeliest to fail, and
# only their programs need relinking before they can run.
LABELS = {"core": "core", "platform": "platform", "engine": "^engine", "imagefile": "imagefile",
          "ui": "^ui$", "app": "app", "cli": "cli"}
# Mutants of these folders also run their tests in an AddressSanitizer build
# first, so that a small overrun (a decoder's, or a buffer's) counts.
ASAN_CHECKED = ("imagefile", "core", "engine", "platform", "app")
# A mutant that survives all that is tried once more under AddressSanitizer
# against the tests of the checked folders built on its own, as CI runs every
# test there: an overrun may only show where another folder calls the code.
ASAN_USERS = {"core": ("platform", "engine", "imagefile", "app"), "platform": ("engine", "imagefile", "app"),
              "engine": ("app",), "imagefile": ("app",)}
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
    mutants += nonblank_lines_of(os.path.join(tests_dir, "mutants-equivalent.txt"))
    tests = nonblank_lines(tests_dir, data) - mutants
    product = sum(nonblank_lines(os.path.join(ROOT, d)) for d in PRODUCT)
    print(f"tests {tests} / product {product} = {tests / product:.3f} "
          f"(with the {mutants} lines of the mutant lists: {(tests + mutants) / product:.3f})")


def read_mutants(path):
    """Blocks of "FILE: what goes wrong", "- snippet", "+ replacement", an
    optional "= why it is equivalent" and, for a snippet the file holds more
    than once, "@ N": only the Nth of those lines (from 0, in file order) is
    meant; '#' starts a comment."""
    mutants = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f.read().split("\n"), 1):
            if not line.strip() or line.startswith("#"):
                continue
            key, text = line[:2], line[2:].replace("\\n", "\n")
            fields = {"- ": "find", "+ ": "replace", "= ": "equivalent", "@ ": "occurrence"}
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


RUNNING = []  # the build or test run under way, stopped before a mutant is taken back


def stop_running():
    for proc in RUNNING:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


def run(cmd, log, timeout):
    """Runs cmd with its output appended to log; returns the exit status, or None on timeout."""
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(cmd)}\n")
        out.flush()
        proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        RUNNING.append(proc)
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            stop_running()
            return None
        finally:
            RUNNING.remove(proc)


def configure(src, build, jobs, sanitize, log):
    if os.path.exists(os.path.join(build, "build.ninja")):
        return
    cmd = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithAsserts",
           "-DVISTREL_BUILD_GUI=OFF", "-DVISTREL_BUILD_BENCH=OFF"]
    if sanitize:
        cmd.append("-DVISTREL_SANITIZE=" + sanitize)
    if run(cmd, log, 600) != 0:
        sys.exit(f"configuring {build} failed; see {log}")


class Runner:
    """The scratch copy and its persistent builds; tries one mutant at a time."""

    def __init__(self, args, files, need_asan):
        self.args = args
        self.files = files
        work = os.path.abspath(args.work)
        self.src, self.release, self.asan = (os.path.join(work, d) for d in ("src", "release", "asan"))
        self.log = os.path.join(work, "mutants.log")
        self.asan_on = need_asan
        self.current = {}
        # Names the file that holds a mutant until it is taken back: after a
        # run that was killed, that file is touched so that objects compiled
        # from the mutant are rebuilt.
        self.marker = os.path.join(work, "mutated-file")
        os.makedirs(self.src, exist_ok=True)
        sync_scratch(self.src, files)
        if os.path.exists(self.marker):
            with open(self.marker) as f:
                left = f.read().strip()
            if os.path.exists(left):
                os.utime(left)
            os.remove(self.marker)

    def prepare(self):
        jobs, log = self.args.jobs, self.log
        os.environ.update({"ASAN_OPTIONS": "detect_leaks=1:allocator_may_return_null=1",
                           "UBSAN_OPTIONS": "halt_on_error=1"})
        configure(self.src, self.release, jobs, "", log)
        print("building the unmutated copy (the tests must pass there first)", flush=True)
        if run(["cmake", "--build", self.release, "-j", str(jobs)], log, 7200) != 0:
            sys.exit(f"the unmutated copy does not build; see {log}")
        if run(["ctest", "--test-dir", self.release, "-LE", "gui", "-j", str(jobs), "--timeout", "300"],
               log, 3600) != 0:
            sys.exit(f"the unmutated tests fail; see {log}")
        if self.asan_on:
            configure(self.src, self.asan, jobs, "address,undefined", log)
            targets = [t for folder in ASAN_CHECKED for t in TARGETS[folder]]
            if run(["cmake", "--build", self.asan, "-j", str(jobs), "--target"] + targets, log, 7200) != 0:
                sys.exit(f"the AddressSanitizer build fails; see {log}")
            labels = "|".join(LABELS[folder] for folder in ASAN_CHECKED)
            if run(["ctest", "--test-dir", self.asan, "-L", labels, "-j", str(jobs)], log, 3600) != 0:
                sys.exit(f"the unmutated tests fail under AddressSanitizer; see {log}")

        def interrupted(signum, frame):
            # A compiler still reading the mutant would leave an object
            # newer than the restored source.
            stop_running()
            self.restore()
            sys.exit(130)

        signal.signal(signal.SIGINT, interrupted)
        signal.signal(signal.SIGTERM, interrupted)

    def restore(self):
        for path, data in self.current.items():
            with open(path, "wb") as f:
                f.write(data)
        self.current.clear()
        if os.path.exists(self.marker):
            os.remove(self.marker)

    def header_compiles(self, name, mutated):
        """A header may be included nearly everywhere, and putting it back
        costs a rebuild of everything that includes it: a mutated header is
        first compiled with its own source file, both copied to a folder
        searched ahead of the scratch copy. False only when that fails."""
        source = os.path.join(self.src, name[:-2] + ".cpp")
        try:
            with open(os.path.join(self.release, "compile_commands.json")) as f:
                entry = next((e for e in json.load(f) if e["file"] == source), None)
        except (OSError, ValueError):
            entry = None
        if entry is None:
            return True
        overlay = os.path.join(os.path.dirname(self.release), "overlay")
        shutil.rmtree(overlay, ignore_errors=True)
        os.makedirs(os.path.dirname(os.path.join(overlay, name)))
        with open(os.path.join(overlay, name), "w") as f:
            f.write(mutated)
        # The source file goes beside it, for includes relative to its folder.
        shutil.copy(source, os.path.join(overlay, name[:-2] + ".cpp"))
        cmd = [os.path.join(overlay, name[:-2] + ".cpp") if a == source else a
               for a in shlex.split(entry["command"])]
        out = cmd.index("-o")
        cmd = cmd[:out] + cmd[out + 2:]
        for flag in ("-MT", "-MF"):  # leave the build's dependency files alone
            while flag in cmd:
                at = cmd.index(flag)
                del cmd[at:at + 2]
        cmd = [cmd[0], "-I" + overlay, "-fsyntax-only"] + [a for a in cmd[1:] if a not in ("-MD", "-MMD")]
        ok = subprocess.run(cmd, cwd=entry["directory"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).returncode == 0
        shutil.rmtree(overlay, ignore_errors=True)
        return ok

    def attempt(self, name, mutated):
        """Builds and tests with name's text replaced; returns the verdict:
        killed, survived, timeout (counted as killed) or no-build."""
        if name.endswith(".h") and not self.header_compiles(name, mutated):
            return "no-build"
        path = os.path.join(self.src, name)
        self.current[path] = self.files[name]
        with open(self.marker, "w") as f:
            f.write(path + "\n")
        jobs, log = str(self.args.jobs), self.log
        verdict = "survived"
        try:
            with open(path, "wb") as f:
                f.write(mutated.encode())
            deadline = time.time() + self.args.timeout
            folder = name.split("/")[0]
            steps = []
            if folder in ASAN_CHECKED and self.asan_on:
                steps.append((self.asan, ["--target"] + TARGETS[folder], ["-L", LABELS[folder]]))
            if folder in TARGETS:
                steps.append((self.release, ["--target"] + TARGETS[folder], ["-L", LABELS[folder]]))
            steps.append((self.release, [], ["-LE", "gui"]))
            last = len(steps)
            if self.asan_on and folder in ASAN_USERS:
                users = ASAN_USERS[folder]
                steps.append((self.asan, ["--target"] + [t for u in users for t in TARGETS[u]],
                              ["-L", "|".join(LABELS[u] for u in users)]))
            for step, (build, targets, selection) in enumerate(steps):
                if step == last:
                    deadline = time.time() + self.args.timeout  # a time of its own: the sanitizer runs slowly
                status = run(["cmake", "--build", build, "-j", jobs] + targets, log, max(1, deadline - time.time()))
                if status is None:
                    # Past the release run a hang is the sanitizer's slowness, not the mutant's.
                    verdict = "timeout" if step < last else "survived"
                    break
                if status != 0:
                    verdict = "no-build"
                    break
                status = run(["ctest", "--test-dir", build, "--stop-on-failure", "--timeout", "120",
                              "-j", jobs] + selection, log, max(1, deadline - time.time()))
                if status is None and step >= last:
                    break
                if status != 0:
                    verdict = "killed"  # a failing test or a hang past its time limit
                    break
        finally:
            self.restore()
        return verdict

    def finish(self):
        # Put the build back in step with the unmutated sources for the next run.
        run(["cmake", "--build", self.release, "-j", str(self.args.jobs)], self.log, 7200)


def run_list(args, files):
    mutants = read_mutants(args.list)
    if args.only:
        mutants = [m for m in mutants if re.search(args.only, m["file"] + " " + m["why"])]
    for m in mutants:
        count = files.get(m["file"], b"").decode().count(m["find"])
        if count > 1:
            sys.exit(f"{m['file']}: snippet found {count} times: {m['find']!r}")
        # A snippet an older revision does not have yet is reported, not run.
        m["absent"] = count == 0
    runner = Runner(args, files, any(m["file"].split("/")[0] in ASAN_CHECKED for m in mutants) and not args.no_asan)
    runner.prepare()

    results = []
    for number, m in enumerate(mutants, 1):
        if m["absent"]:
            results.append((number, "absent", m))
            print(f"{number:3d} absent         {m['file']}: {m['why']}", flush=True)
            continue
        started = time.time()
        verdict = runner.attempt(m["file"], files[m["file"]].decode().replace(m["find"], m["replace"]))
        seconds = int(time.time() - started)
        results.append((number, verdict, m))
        print(f"{number:3d} {verdict:8s} {seconds:4d}s {m['file']}: {m['why']}", flush=True)
        if args.results:
            with open(args.results, "a") as out:
                out.write(f"{number}\t{verdict}\t{m['file']}\t{m['why']}\n")
    runner.finish()
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


def read_cache(path):
    cache = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                fields = line.rstrip("\n").split("\t")
                if len(fields) == 7:
                    cache["\t".join(fields[2:6])] = (fields[0], fields[1])
    return cache


def rank_among_alike(files, m):
    """How many mutants of m's file before m turn the same text into the same."""
    alike = [x["line"] for x in mutant_sampler.file_mutants(m["file"], files[m["file"]].decode())
             if x["find"].strip() == m["find"].strip() and x["replace"].strip() == m["replace"].strip()]
    return sorted(alike).index(m["line"])


def run_random(args, files):
    """Seeded mutants by rule until args.random of them built and are not
    known equivalents; verdicts come from the cache when it has them."""
    equivalent = {}
    if os.path.exists(args.equivalent):
        for m in read_mutants(args.equivalent):
            equivalent.setdefault((m["file"], m["find"].strip(), m["replace"].strip()), set()).add(
                int(m["occurrence"]) if "occurrence" in m else None)
    order = mutant_sampler.sampled(files, args.seed, args.only)
    # A survivor is tried again once the tests change, or when more of them
    # run under AddressSanitizer (the decoders, later the users' tests).
    digest = mutant_sampler.tests_digest(files)
    digest += "" if args.no_asan else "+asan:" + ",".join(ASAN_CHECKED) + "+users"
    cache = read_cache(args.cache)
    print(f"seed {args.seed}: {len(order)} mutants by rule over the sources; trying them in seeded order "
          f"until {args.random} built (cache {args.cache})", flush=True)
    runner = None
    tally, survivors, skipped_equivalent, live = {}, [], 0, 0
    for m in order:
        if live >= args.random:
            break
        known = equivalent.get((m["file"], m["find"].strip(), m["replace"].strip()), set())
        if known and (None in known or rank_among_alike(files, m) in known):
            skipped_equivalent += 1
            continue
        key = mutant_sampler.key(m)
        verdict, tested_with = cache.get(key, (None, None))
        if verdict == "survived" and tested_with != digest:
            verdict = None  # the tests changed since
        if verdict is None:
            if runner is None:
                runner = Runner(args, files, not args.no_asan)
                runner.prepare()
            started = time.time()
            verdict = runner.attempt(m["file"], mutant_sampler.apply(files[m["file"]].decode(), m))
            seconds = f"{int(time.time() - started):4d}s"
            with open(args.cache, "a", encoding="utf-8") as out:
                out.write(f"{verdict}\t{digest}\t{key}\t{m['rule']}\n")
        else:
            seconds = "cache"
        folder = "platform" if m["file"].startswith("platform/") else m["file"].split("/")[0]
        counts = tally.setdefault(folder, {"killed": 0, "survived": 0, "no-build": 0})
        counts["killed" if verdict == "timeout" else verdict] += 1
        if verdict != "no-build":
            live += 1
        if verdict == "survived":
            survivors.append(m)
        print(f"{live:3d} {verdict:8s} {seconds:>5s} {m['file']}:{m['line']} {m['rule']}: {m['why']}", flush=True)
    if runner:
        runner.finish()

    print(f"\nseed {args.seed}, {live} live mutants ({skipped_equivalent} known equivalents left out)")
    print(f"{'folder':10s} {'killed':>7s} {'survived':>9s} {'no-build':>9s} {'rate':>6s}")
    total_killed = total_live = 0
    for folder in sorted(tally):
        c = tally[folder]
        alive = c["killed"] + c["survived"]
        total_killed += c["killed"]
        total_live += alive
        print(f"{folder:10s} {c['killed']:7d} {c['survived']:9d} {c['no-build']:9d} "
              f"{100 * c['killed'] / max(1, alive):5.1f}%")
    print(f"{'all':10s} {total_killed:7d} {total_live - total_killed:9d} "
          f"{sum(c['no-build'] for c in tally.values()):9d} {100 * total_killed / max(1, total_live):5.1f}%")
    if survivors:
        print("\nsurvivors to review (a real fault wants a test; an equivalent one goes, with its reason, "
              f"into {os.path.relpath(args.equivalent, ROOT)}):")
        for m in survivors:
            print(f"{m['file']}: {m['rule']} at line {m['line']}: {m['why']}\n- {m['find'].strip()}\n"
                  f"+ {m['replace'].strip()}")
    return 0


def cached_kills(args, files):
    """The mutants the cache holds as killed, made again by the sampler's own
    rules so that each is the very text that was tried."""
    cache = read_cache(args.cache)
    kills = []
    for name in sorted(files):
        if not mutant_sampler.in_scope(name):
            continue
        text = files[name].decode("utf-8", errors="replace")
        for m in mutant_sampler.file_mutants(name, text):
            key = mutant_sampler.key(m)
            if cache.get(key, (None, None))[0] in ("killed", "timeout"):
                kills.append((key.replace("\t", " | "), name, mutant_sampler.apply(text, m)))
    return kills


def failing_tests(runner):
    """Builds the test programs and runs each in full: the names of the tests that fail."""
    targets = sorted({t for names in TARGETS.values() for t in names if t.endswith("_tests")})
    if run(["cmake", "--build", runner.release, "-j", str(runner.args.jobs), "--target"] + targets,
           runner.log, runner.args.timeout) != 0:
        return None
    failed = []
    for target in targets:
        program = next(os.path.join(d, target) for d, _, names in os.walk(runner.release) if target in names)
        # Its own process group, so that a hung test's children go with it.
        with tempfile.TemporaryFile(mode="w+", encoding="utf-8", errors="replace") as out:
            process = subprocess.Popen([program, "--gtest_brief=1"], cwd=os.path.dirname(program), stdout=out,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
            try:
                status = process.wait(timeout=60)  # each program takes seconds unmutated
            except subprocess.TimeoutExpired:
                status = None
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
            out.seek(0)
            names = re.findall(r"^\[  FAILED  \] ([\w/]+\.[\w/]+)", out.read(), re.M)
        if status is None:
            names.append(f"{target}:hung")
        failed += names or ([f"{target}:crashed"] if status else [])
    # A parametrised test counts under its own name.
    return sorted({re.sub(r"^\w+/|/\d+$", "", name) for name in failed})


def run_matrix(args, files):
    mutants = [(f"{m['file']}: {m['why']}", m["file"], files[m["file"]].decode().replace(m["find"], m["replace"]))
               for m in read_mutants(args.list) if files.get(m["file"], b"").decode().count(m["find"]) == 1]
    mutants += cached_kills(args, files)
    if args.only:
        mutants = [m for m in mutants if re.search(args.only, m[0])]
    caught = {}
    if os.path.exists(args.matrix):
        with open(args.matrix, encoding="utf-8") as f:
            for line in f:
                what, tests = line.rstrip("\n").split("\t")
                caught[what] = set(tests.split())
    runner = None
    for number, (what, name, mutated) in enumerate(mutants, 1):
        if what in caught:
            continue
        if runner is None:
            runner = Runner(args, files, False)
            runner.prepare()
        path = os.path.join(runner.src, name)
        runner.current[path] = files[name]
        with open(runner.marker, "w") as f:
            f.write(path + "\n")
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(mutated)
            failed = failing_tests(runner)
        finally:
            runner.restore()
        if failed is None:
            continue
        caught[what] = set(failed)
        with open(args.matrix, "a", encoding="utf-8") as out:
            out.write(f"{what}\t{' '.join(failed)}\n")
        print(f"{number:3d}/{len(mutants)} caught by {len(failed):3d} tests: {what}", flush=True)
    if runner:
        runner.finish()
    wanted = {what for what, _, _ in mutants}
    by_test = {}
    for what, tests in caught.items():
        if what in wanted:
            for t in tests:
                by_test.setdefault(t, set()).add(what)
    print(f"\n{len(wanted)} mutants; caught by no test program: "
          f"{sum(1 for w in wanted if not caught.get(w))}\n{'test':80s} {'caught':>6s} {'alone':>6s}")
    for t in sorted(by_test):
        alone = sum(1 for w in by_test[t] if len(caught[w]) == 1)
        print(f"{t:80s} {len(by_test[t]):6d} {alone:6d}")
    kept = set(by_test)
    for t in sorted(by_test, key=lambda t: len(by_test[t])):
        if all(kept & caught[w] - {t} for w in by_test[t]):
            kept.discard(t)
    print("\ncould go together, every mutant above still caught: " + (", ".join(sorted(set(by_test) - kept)) or "none"))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", default=os.path.join(ROOT, "tests", "mutants.txt"))
    parser.add_argument("--rev", help="take product and tests from this commit")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutation"))
    parser.add_argument("--only", help="run only mutants whose file or description (rule with --random) matches")
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", "2")))
    parser.add_argument("--timeout", type=int, default=600, help="seconds per mutant (build and tests)")
    parser.add_argument("--results", help="also write one tab-separated line per mutant here")
    parser.add_argument("--no-asan", action="store_true",
                        help="leave out the AddressSanitizer run of the decoder tests")
    parser.add_argument("--random", type=int, metavar="N", help="N live mutants made by rule instead of the list")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--cache", default=os.path.join(ROOT, "build", "mutation", "random-verdicts.tsv"),
                        help="verdicts of the mutants tried so far, kept between runs")
    parser.add_argument("--equivalent", default=os.path.join(ROOT, "tests", "mutants-equivalent.txt"))
    parser.add_argument("--matrix", metavar="FILE", help="which tests catch each known mutant (kept in FILE)")
    parser.add_argument("--ratio", action="store_true")
    args = parser.parse_args()
    if args.ratio:
        print_ratio()
        return 0
    files = tracked_files(args.rev)
    if args.matrix:
        return run_matrix(args, files)
    if args.random is not None:
        os.makedirs(os.path.dirname(os.path.abspath(args.cache)), exist_ok=True)
        return run_random(args, files)
    return run_list(args, files)


if __name__ == "__main__":
    sys.exit(main())
