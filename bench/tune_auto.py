#!/usr/bin/python3
"""Fits the table behind vistrel-cli --auto, and measures how well it does.

Builds fixed-seed sets of small crops from the freely licensed photos that
Samples/ is made from (python3-skimage ships them): each crop clean, with
Gaussian noise of sigma 3, 5, 10, 15, 20, 25, 30 and 40 per channel, and
saved as JPEG at quality 5, 10, 20, 30, 50 and 75. For every case it runs the
engine (in-process, through build/.../bench/slider_search) with every slider
setting of a grid (noise size, amount and cutoff in steps of 25, both scale
modes, deblur 0) and scores it by PSNR against the clean crop.

  tune_auto.py [--write]      fits the table on the tuning set and prints it;
                              --write replaces engine/auto_table.cpp
  tune_auto.py --choose-bounds  scores candidate structure class bounds by
                              leave-one-crop-out cross-validation
  tune_auto.py --evaluate     the figures: per damage level, for the tuning
                              set and for a second set of other crops and
                              seeds, mean PSNR and SSIM of the input, the
                              matching preset, --auto, the best choice for
                              the level (one for all the set's crops of that
                              level: what a table row could do if it knew the
                              true damage), the best choice per crop,
                              scikit-image's non-local means and OpenCV's,
                              with seconds per megapixel

The tuning set is three slices of crops ("tuning", "tuning-more" and
"tuning-extra"), the held-out set two ("held-out", "held-out-more"); each
slice has its own seed and kept search. The fit is a table per kind of
damage with one row per level. A row holds a grid setting or "leave alone"
(no pass runs; it scores the input's own PSNR), which counts as lower than
any slider position. Along the levels every slider may only rise, and
among such sequences the one with the highest summed mean PSNR wins
(dynamic programming over the choices); so a row is left alone where no
setting beats the input on average. Noise rows are fitted once per class
of scene structure (STRUCTURE_BOUNDS on the structure estimate of each
noisy input), since a flat sky takes far stronger smoothing than fine
texture at the same noise. A noise row serves estimates from the midpoint
between its level's median estimate (over all crops) and the level below;
a JPEG row serves qualities down to the midpoint with the next harsher
level. JPEG rows are fitted on top of the noise table, since vistrel-cli
raises the noise row to the JPEG row slider by slider. Everything is
seeded, the engine is bit-exact and ties go to the first choice, so a
rerun writes the same table.

Search results are kept in build/tune_auto/ and reused when the set is the same.
"""
import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import time

import cv2
import numpy as np
from skimage import data

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare import noisy, scores, denoise_peers  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PHOTOS = {"coffee": data.coffee, "chelsea": data.chelsea, "astronaut": data.astronaut, "rocket": data.rocket}
CROP = 96
NOISE_LEVELS = [0, 3, 5, 10, 15, 20, 25, 30, 40]  # 0: the clean crop itself
JPEG_LEVELS = [75, 50, 30, 20, 10, 5]             # mildest first
STEPS = [0, 25, 50, 75, 100]
# Noise rows come in classes of scene structure (estimateStructure): class k
# serves structures from STRUCTURE_BOUNDS[k - 1] up. On the 32 tuning crops
# --choose-bounds scores a bound of 8 best (-0.699 dB against the best choice
# per noisy case), 7 next (-0.714), one class -0.751, two classes -0.745 to
# -0.794 and any other single bound from 4 to 12 -0.778 to -0.847. Fitted on
# the whole set, 8 leaves noise sigma 3 0.013 dB below the input and 7 keeps
# every level at or above it (+0.017 at sigma 3), so 7: the best bound that
# makes no level worse.
STRUCTURE_BOUNDS = [7.0]
BOUND_CANDIDATES = [[]] + [[float(b)] for b in range(4, 13)] + [[5.0, 15.0], [5.0, 20.0], [5.0, 25.0]]
GRID = [(n, a, c, s) for s in (0, 1) for n in STEPS for a in STEPS for c in STEPS]
# What a table row may hold: leaving the picture as it is (every slider at
# -1, below any position, so that it may precede any setting as damage
# grows), then the grid. Index 0 wins ties.
LEAVE_ALONE = (-1, -1, -1, -1)
CHOICES = [LEAVE_ALONE] + GRID
PRESETS = {"Fine digicam noise": (25, 15, 15, 0), "Phone camera noise": (50, 25, 25, 0),
           "Harsh Jpeg artifacts": (50, 25, 40, 0)}
SETTINGS = GRID + list(PRESETS.values())
# Each photo's grid of CROP-sized cells is shuffled once; each set takes its
# own slice of that order (so no crop is in both) and its own noise seed.
CELL_SEED = 11
# Chelsea has 12 cells, all of them used.
SETS = {"tuning": (0, 2, 11), "held-out": (2, 4, 23), "tuning-more": (4, 7, 37),
        "held-out-more": (7, 9, 41), "tuning-extra": (9, 12, 53)}
# Slices that are fitted or evaluated together (kept apart so that each keeps
# its search).
GROUPS = {"tuning": ("tuning", "tuning-more", "tuning-extra"), "held-out": ("held-out", "held-out-more")}


def damage_name(kind, level):
    return "clean" if kind == "noise" and level == 0 else (f"noise σ{level}" if kind == "noise" else f"JPEG q{level}")


def build_set(name, workdir):
    """Writes the crops and their damaged versions; returns the case list."""
    first, last, seed = SETS[name]
    cases = []
    folder = os.path.join(workdir, name)
    os.makedirs(folder, exist_ok=True)
    for p, (photo, loader) in enumerate(PHOTOS.items()):
        pixels = loader()
        rows, cols = pixels.shape[0] // CROP, pixels.shape[1] // CROP
        cells = np.random.default_rng(CELL_SEED + p).permutation(rows * cols)[first:last]
        for k, cell in enumerate(cells):
            y, x = divmod(int(cell), cols)
            clean = pixels[y * CROP:(y + 1) * CROP, x * CROP:(x + 1) * CROP]
            stem = os.path.join(folder, f"{photo}{k}")
            clean_path = stem + ".png"
            cv2.imwrite(clean_path, cv2.cvtColor(clean, cv2.COLOR_RGB2BGR))
            for sigma in NOISE_LEVELS:
                path = clean_path if sigma == 0 else f"{stem}-n{sigma}.png"
                if sigma:
                    damaged = noisy(clean, sigma, seed * 100000 + p * 1000 + k * 100 + sigma)
                    cv2.imwrite(path, cv2.cvtColor(damaged, cv2.COLOR_RGB2BGR))
                cases.append({"photo": photo, "kind": "noise", "level": sigma, "clean": clean_path, "input": path})
            for quality in JPEG_LEVELS:
                path = f"{stem}-q{quality}.jpg"
                ok, encoded = cv2.imencode(".jpg", cv2.cvtColor(clean, cv2.COLOR_RGB2BGR),
                                           [cv2.IMWRITE_JPEG_QUALITY, quality])
                assert ok
                with open(path, "wb") as f:
                    f.write(encoded.tobytes())
                cases.append({"photo": photo, "kind": "jpeg", "level": quality, "clean": clean_path, "input": path})
    return cases


def digest(cases):
    h = hashlib.sha256()
    for c in cases:
        for key in ("clean", "input"):
            with open(c[key], "rb") as f:
                h.update(f.read())
    h.update(repr(SETTINGS).encode())
    # The passes' sources: the estimator and the table do not change scores.
    engine = os.path.join(ROOT, "engine")
    for name in sorted(os.listdir(engine)):
        if name.endswith((".cpp", ".h")) and not name.startswith(
                ("auto_", "noise_estimate", "noise_profile", "structure_estimate")):
            with open(os.path.join(engine, name), "rb") as f:
                h.update(f.read())
    return h.hexdigest()


def input_psnr(case):
    """PSNR of the damaged input itself, as slider_search scores (99 if equal)."""
    clean, given = (cv2.imread(case[key], cv2.IMREAD_COLOR).astype(np.float64) for key in ("clean", "input"))
    mse = float(np.mean((clean - given) ** 2))
    return 99.0 if mse == 0.0 else 10.0 * np.log10(255.0 * 255.0 / mse)


def search(cases, tool, jobs, workdir, name):
    """PSNR and seconds of every setting on every case, with the estimates
    and the PSNR of each input as it is."""
    out = subprocess.run([tool, "estimate"] + [c["input"] for c in cases], check=True, capture_output=True,
                         text=True).stdout.split("\n")
    estimates = [(float(line.split()[1]), int(line.split()[2]), float(line.split()[3])) for line in out if line]
    cache = os.path.join(workdir, f"search-{name}.json")
    key = digest(cases)
    if os.path.exists(cache):
        with open(cache) as f:
            saved = json.load(f)
        if saved.get("key") == key:
            saved["estimates"] = estimates
            saved["input"] = [input_psnr(c) for c in cases]
            return saved

    settings_path = os.path.join(workdir, f"settings-{name}.txt")
    with open(settings_path, "w") as f:
        f.writelines(f"{n} {a} {c} {s}\n" for n, a, c, s in SETTINGS)
    parts = [list(range(len(cases)))[j::jobs] for j in range(jobs)]
    running = []
    for j, part in enumerate(parts):
        path = os.path.join(workdir, f"cases-{name}-{j}.txt")
        with open(path, "w") as f:
            f.writelines(f"{cases[i]['clean']} {cases[i]['input']}\n" for i in part)
        with open(path + ".out", "w") as out:
            running.append((part, path + ".out", subprocess.Popen([tool, "search", path, settings_path], stdout=out)))
    psnr = [[0.0] * len(SETTINGS) for _ in cases]
    seconds = [[0.0] * len(SETTINGS) for _ in cases]
    for part, out, proc in running:
        if proc.wait():
            sys.exit("slider_search failed")
        with open(out) as f:
            output = f.read()
        for line in output.split("\n"):
            if line:
                c, s, p, t = line.split()
                psnr[part[int(c)]][int(s)] = float(p)
                seconds[part[int(c)]][int(s)] = float(t)
    saved = {"key": key, "psnr": psnr, "seconds": seconds}
    with open(cache, "w") as f:
        json.dump(saved, f)
    saved["estimates"] = estimates
    saved["input"] = [input_psnr(c) for c in cases]
    return saved


def gather(name, tool, jobs, workdir):
    """The cases of a set and their search; a name in GROUPS stands for its slices."""
    cases, result = [], {"psnr": [], "seconds": [], "estimates": [], "input": []}
    for part in GROUPS.get(name, (name,)):
        part_cases = build_set(part, workdir)
        part_result = search(part_cases, tool, jobs, workdir, part)
        cases += part_cases
        for key in result:
            result[key] += part_result[key]
    return cases, result


def choice_psnr(result, i, c):
    """PSNR of CHOICES[c] on case i."""
    return result["input"][i] if c == 0 else result["psnr"][i][c - 1]


def monotone_fit(score):
    """One choice per level (score[level][choice]), each slider never below
    the previous level's, with the highest total score."""
    n = len(CHOICES)
    below = [[t for t in range(n) if all(CHOICES[t][i] <= CHOICES[s][i] for i in range(4))] for s in range(n)]
    total = [list(score[0][:n])]
    back = [[None] * n]
    for level in range(1, len(score)):
        row, links = [], []
        for s in range(n):
            best = max(below[s], key=lambda t: (total[-1][t], -t))
            row.append(score[level][s] + total[-1][best])
            links.append(best)
        total.append(row)
        back.append(links)
    s = max(range(n), key=lambda t: (total[-1][t], -t))
    chosen = [s]
    for level in range(len(score) - 1, 0, -1):
        s = back[level][s]
        chosen.append(s)
    return chosen[::-1]


def raise_to(a, b):
    return CHOICES.index(tuple(max(x, y) for x, y in zip(CHOICES[a], CHOICES[b])))


def structure_class(bounds, structure):
    return sum(1 for b in bounds if structure >= b)


class Table:
    def __init__(self, structure_bounds, noise_rows, jpeg_rows):
        # noise_rows[class]: [(bound, index in CHOICES)], the same bounds in every class
        self.structure_bounds, self.noise_rows, self.jpeg_rows = structure_bounds, noise_rows, jpeg_rows

    def pick(self, sigma, quality, structure):
        rows = self.noise_rows[structure_class(self.structure_bounds, structure)]
        s = rows[0][1]
        for bound, row in rows[1:]:
            if sigma >= bound:
                s = row
        for bound, row in self.jpeg_rows:
            if 0 < quality <= bound:
                s = raise_to(s, row)  # later rows are harsher and never lower
        return s


def fit(cases, result, structure_bounds=STRUCTURE_BOUNDS):
    estimates = result["estimates"]

    def mean_over(kind, level, fn, keep=lambda i: True):
        idx = [i for i, c in enumerate(cases) if c["kind"] == kind and c["level"] == level and keep(i)]
        # A class with no case at some level follows the whole set there.
        return float(np.mean([fn(i) for i in idx])) if idx else mean_over(kind, level, fn)

    def median_over(kind, level, fn):
        return float(np.median([fn(i) for i, c in enumerate(cases) if c["kind"] == kind and c["level"] == level]))

    sigma_means = [median_over("noise", lv, lambda i: estimates[i][0]) for lv in NOISE_LEVELS]
    bounds = [0.0] + [round((sigma_means[k - 1] + sigma_means[k]) / 2, 2) for k in range(1, len(NOISE_LEVELS))]
    noise_rows = []
    for k in range(len(structure_bounds) + 1):
        def in_class(i, k=k):
            return structure_class(structure_bounds, estimates[i][2]) == k
        score = [[mean_over("noise", lv, lambda i, s=s: choice_psnr(result, i, s), in_class)
                  for s in range(len(CHOICES))] for lv in NOISE_LEVELS]
        noise_rows.append(list(zip(bounds, monotone_fit(score))))
    noise_only = Table(structure_bounds, noise_rows, [])

    def with_jpeg_row(i, s):
        return choice_psnr(result, i, raise_to(noise_only.pick(estimates[i][0], 0, estimates[i][2]), s))

    jpeg_score = [[mean_over("jpeg", lv, lambda i, s=s: with_jpeg_row(i, s)) for s in range(len(CHOICES))]
                  for lv in JPEG_LEVELS]
    jpeg_choice = monotone_fit(jpeg_score)
    bounds = [(100 + JPEG_LEVELS[0]) // 2] + [(JPEG_LEVELS[k - 1] + JPEG_LEVELS[k]) // 2
                                              for k in range(1, len(JPEG_LEVELS))]
    return Table(structure_bounds, noise_rows, list(zip(bounds, jpeg_choice))), sigma_means


def choose_bounds(cases, result):
    """Leave-one-crop-out: for each candidate set of structure bounds, fit
    without a crop and score the table on that crop's noisy cases; prints the
    mean gap to each case's best choice. (Clean inputs are left out: against
    their own perfect score any change counts tens of dB.) Also prints the
    level where the table fitted on the whole set does worst against the
    input there, since --auto must not make any level worse."""
    crops = sorted({c["clean"] for c in cases})
    for bounds in BOUND_CANDIDATES:
        gaps = []
        for crop in crops:
            keep = [i for i, c in enumerate(cases) if c["clean"] != crop]
            table, _ = fit([cases[i] for i in keep], {k: [v[i] for i in keep] for k, v in result.items()}, bounds)
            for i, c in enumerate(cases):
                if c["clean"] == crop and c["kind"] == "noise" and c["level"] > 0:
                    gaps.append(choice_psnr(result, i, table.pick(*result["estimates"][i])) -
                                max(choice_psnr(result, i, s) for s in range(len(CHOICES))))
        table, _ = fit(cases, result, bounds)
        worst = min((float(np.mean([choice_psnr(result, i, table.pick(*result["estimates"][i])) - result["input"][i]
                                    for i in idx])), damage_name(kind, level))
                    for kind, level in {(c["kind"], c["level"]) for c in cases if c["kind"] == "jpeg" or c["level"]}
                    for idx in [[i for i, c in enumerate(cases) if c["kind"] == kind and c["level"] == level]])
        print(f"structure bounds {bounds}: {np.mean(gaps):+.3f} dB; worst level {worst[1]} {worst[0]:+.3f} dB "
              "against the input", flush=True)


def table_source(table, sigma_means):
    def row(bound, s):
        if s == 0:
            return f"    {{{bound:.2f}f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone}},\n"
        n, a, c, sc = CHOICES[s]
        return f"    {{{bound:.2f}f, {n}, {a}, {c}, {sc}}},\n"

    levels = ", ".join(f"{lv}: {m:.2f}" for lv, m in zip(NOISE_LEVELS, sigma_means))
    crops = sum(SETS[name][1] - SETS[name][0] for name in GROUPS["tuning"])
    bounds = ", ".join(f"{b:g}" for b in table.structure_bounds)
    return (
        "// Written by bench/tune_auto.py --write; do not edit by hand.\n"
        "//\n"
        f"// Fitted on {len(PHOTOS)} photos x {crops} crops of {CROP} x {CROP}"
        " pixels (coffee, chelsea, astronaut,\n"
        "// rocket from python3-skimage), clean, with Gaussian noise of sigma 3 to 40 and as\n"
        "// JPEG at quality 5 to 75. For every case the engine ran every setting of noise\n"
        "// size, amount and cutoff in steps of 25 with both scale modes; each level's row is\n"
        "// the setting with the best mean PSNR such that no slider falls from one level to\n"
        "// the next, or LeaveAlone where the input itself scores best (it counts as below\n"
        "// every setting). The noise rows are fitted once per structure class, each on the noisy\n"
        f"// cases whose structure estimate falls in it (class bounds {bounds}). Noise bounds\n"
        "// are midpoints between the median estimates of adjacent levels over all crops\n"
        f"// (sigma {levels});\n"
        "// JPEG bounds are midpoints between adjacent qualities.\n"
        '#include "engine/auto_sliders.h"\n\n'
        "const float StructureBounds[] = {" + ", ".join(f"{b:.2f}f" for b in table.structure_bounds) + "};\n"
        f"const int32_t StructureClassCount = {len(table.noise_rows)};\n\n"
        "const AutoRow NoiseRows[] = {\n" + "".join(
            ("    // structure below " if k == 0 else "    // structure from ") +
            f"{table.structure_bounds[max(0, k - 1)]:g}\n" + "".join(row(b, s) for b, s in rows)
            for k, rows in enumerate(table.noise_rows)) + "};\n"
        f"const int32_t NoiseRowCount = {len(table.noise_rows[0])};\n\n"
        "const AutoRow JpegRows[] = {\n" + "".join(row(float(b), s) for b, s in table.jpeg_rows) + "};\n"
        f"const int32_t JpegRowCount = {len(table.jpeg_rows)};\n")


def run_cli(cli, args, output):
    result = subprocess.run([cli, "--threads", "1", "--overwrite", "-o", output] + args, check=True,
                            capture_output=True, text=True)
    image = cv2.cvtColor(cv2.imread(output, cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)
    return image, result.stderr


def run_choice(cli, c, path, output):
    """The picture vistrel-cli makes of path with CHOICES[c]."""
    if c == 0:
        subprocess.run([cli, "convert", "--overwrite", path, output], check=True, capture_output=True)
        return cv2.cvtColor(cv2.imread(output, cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)
    n, a, cut, sc = CHOICES[c]
    return run_cli(cli, ["--noise-size", str(n), "--amount", str(a), "--cutoff", str(cut), "--deblur", "0",
                         "--scale", "all" if sc else "original", path], output)[0]


def evaluate(name, cases, result, cli, workdir):
    """Rows of (damage, method, psnr, ssim, s/MP) averaged over the set."""
    rows = {}
    megapixels = CROP * CROP / 1e6
    out = os.path.join(workdir, f"out-{name}.png")  # runs for different sets may go side by side
    pattern = re.compile(r"noise size (\d+), amount (\d+), cutoff (\d+), deblur 0, scale (\w+)")

    def seconds(i, c):
        return 0.0 if c == 0 else result["seconds"][i][c - 1]

    # The oracle that knows the damage level but not the crop: the one
    # choice with the best mean PSNR over the set's cases of that level.
    level_best = {}
    for kind, level in {(c["kind"], c["level"]) for c in cases}:
        idx = [i for i, c in enumerate(cases) if c["kind"] == kind and c["level"] == level]
        level_best[(kind, level)] = max(range(len(CHOICES)), key=lambda s: (
            float(np.mean([choice_psnr(result, i, s) for i in idx])), -s))
    for i, case in enumerate(cases):
        clean = cv2.cvtColor(cv2.imread(case["clean"], cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)
        damaged = cv2.cvtColor(cv2.imread(case["input"], cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)
        damage = damage_name(case["kind"], case["level"])

        def add(method, image, spent):
            rows.setdefault((damage, method), []).append((*scores(clean, image), spent / megapixels))

        add("input as given", damaged, float("nan"))
        times = result["seconds"][i]
        if case["kind"] == "jpeg":
            preset = "Harsh Jpeg artifacts"
        else:
            preset = "Fine digicam noise" if case["level"] <= 10 else "Phone camera noise"
        image, _ = run_cli(cli, ["--preset", preset, case["input"]], out)
        add(f'vistrel-cli "{preset}"', image, times[SETTINGS.index(PRESETS[preset])])
        image, log = run_cli(cli, ["--auto", case["input"]], out)
        chosen = pattern.search(log)
        if chosen:
            n, a, c, sc = chosen.groups()
            chosen = CHOICES.index((int(n), int(a), int(c), 1 if sc == "all" else 0))
        add("vistrel-cli --auto", image, seconds(i, chosen or 0))
        for method, c in (("best setting for the level", level_best[(case["kind"], case["level"])]),
                          ("best setting per crop", max(range(len(CHOICES)), key=lambda s: (
                              choice_psnr(result, i, s), -s)))):
            add(method, run_choice(cli, c, case["input"], out), seconds(i, c))
        if case["kind"] == "noise" and case["level"] == 0:
            continue
        # OpenCV's strength follows the true damage (for JPEG its RMS error).
        sigma = case["level"] if case["kind"] == "noise" else float(
            np.sqrt(np.mean((damaged.astype(float) - clean.astype(float)) ** 2)))
        peers = denoise_peers(damaged, sigma)
        for method in ("scikit-image denoise_nl_means", "OpenCV fastNlMeansDenoisingColored"):
            start = time.perf_counter()
            image = peers[method]()
            add(method, image, time.perf_counter() - start)
        print(f"{name}: {i + 1}/{len(cases)}", file=sys.stderr, end="\r")
    # A picture left exactly as it is has no finite PSNR: such cases are
    # counted apart and the mean PSNR is over the others.
    summary = {}
    for key, values in rows.items():
        finite = [v[0] for v in values if np.isfinite(v[0])]
        summary[key] = (float(np.mean(finite)) if finite else float("inf"), float(np.mean([v[1] for v in values])),
                        float(np.nanmean([v[2] for v in values])) if any(np.isfinite(v[2]) for v in values)
                        else float("nan"), len(values) - len(finite), len(values))
    return summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--jobs", type=int, default=2, help="slider_search processes side by side")
    parser.add_argument("--write", action="store_true", help="replace engine/auto_table.cpp")
    parser.add_argument("--evaluate", action="store_true")
    parser.add_argument("--choose-bounds", action="store_true", help="score BOUND_CANDIDATES by cross-validation")
    parser.add_argument("--search-only", choices=list(SETS), help="run and keep one set's search, nothing else")
    parser.add_argument("--sets", default="tuning,held-out", help="--evaluate these sets (comma-separated)")
    args = parser.parse_args()
    tool = os.path.join(args.build, "bench", "slider_search")
    cli = os.path.join(args.build, "vistrel-cli")
    for program in (tool, cli) if args.evaluate else (tool,):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} not found: build it first")
    workdir = os.path.join(ROOT, "build", "tune_auto")
    os.makedirs(workdir, exist_ok=True)

    if args.search_only:
        search(build_set(args.search_only, workdir), tool, args.jobs, workdir, args.search_only)
        return
    if args.choose_bounds:
        choose_bounds(*gather("tuning", tool, args.jobs, workdir))
        return
    if not args.evaluate:
        table, sigma_means = fit(*gather("tuning", tool, args.jobs, workdir))
        source = table_source(table, sigma_means)
        print(source)
        if args.write:
            with open(os.path.join(ROOT, "engine", "auto_table.cpp"), "w") as f:
                f.write(source)
        return

    methods = ["input as given", "matching preset", "vistrel-cli --auto", "best setting for the level",
               "best setting per crop", "scikit-image denoise_nl_means", "OpenCV fastNlMeansDenoisingColored"]
    for name in args.sets.split(","):
        cases, result = gather(name, tool, args.jobs, workdir)
        rows = evaluate(name, cases, result, cli, workdir)
        print(f"\n{name} set: mean PSNR (dB) / SSIM over {len(cases) // (len(NOISE_LEVELS) + len(JPEG_LEVELS))}"
              f" crops of {CROP} x {CROP}\n")
        print("| damage | " + " | ".join(methods) + " | --auto - level | --auto - crop | --auto - input |")
        print("|---" * (len(methods) + 4) + "|")
        damages = [damage_name("noise", lv) for lv in NOISE_LEVELS] + [damage_name("jpeg", lv) for lv in JPEG_LEVELS]
        for damage in damages:
            cells = []
            for method in methods:
                key = next((k for k in rows if k[0] == damage and k[1].startswith(
                    'vistrel-cli "' if method == "matching preset" else method)), None)
                if key is None:
                    cells.append("")
                    continue
                psnr, ssim, _, unchanged, count = rows[key]
                cells.append("unchanged" if unchanged == count else f"{psnr:.2f} / {ssim:.3f}" + (
                    f" ({unchanged}/{count} unchanged)" if unchanged else ""))
            auto, level, crop, given = (rows[(damage, m)] for m in ("vistrel-cli --auto", "best setting for the level",
                                                                    "best setting per crop", "input as given"))
            cells += ["" if other[3] or auto[3] else f"{auto[0] - other[0]:+.2f}" for other in (level, crop, given)]
            print(f"| {damage} | " + " | ".join(cells) + " |")
        print("\nseconds per megapixel, mean over the set's cases (one thread; vistrel in-process): " + ", ".join(
            f"{m} {np.nanmean([v[2] for k, v in rows.items() if k[1].startswith(m)]):.2f}"
            for m in ("vistrel-cli \"", "vistrel-cli --auto", "best setting for", "best setting per", "scikit-image",
                      "OpenCV")), flush=True)


if __name__ == "__main__":
    main()
