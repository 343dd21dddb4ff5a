#!/usr/bin/python3
"""Fits the camera rows behind vistrel-cli --auto on whole photos with
camera-like noise, and measures --auto on whole photos held out of the fit.

The photos are the four Samples are made from (python3-skimage), its
stereo pair's left view and a landscape of the JPEG test files: astronaut
and rocket for the fit, coffee, chelsea, the motorcycle and the waterfall
held out, each whole (0.18 to 0.54 megapixels) and with its own seeds.
Each goes through the camera model of camera_damage.py for a large sensor
at ISO 800, 3200 and 12800 and a phone sensor at ISO 100, 400 and 1600,
and gets noise shared by the three channels (deviation 5, 10 and
20, plus 3/10 of that per channel) as the showcase sample carries.
The engine (build/.../bench/slider_search, one thread) runs every setting of
GRID on every case; results are kept in build/photos/ and reused.

  tune_camera_auto.py [--write]   fits the camera rows on the tuning photos
                                  (see fit); --write replaces
                                  engine/auto_camera_table.cpp
  tune_camera_auto.py --evaluate  per damage level of the held-out photos
                                  (and of the tuning photos): input, the two
                                  noise presets, --auto, the best setting for
                                  the level, OpenCV's non-local means at its
                                  best h for the level; the clean photos; the
                                  showcase sample
  tune_camera_auto.py --white BASELINE_CLI
                                  today's white-noise and JPEG crops of
                                  tune_auto.py's held-out set: mean PSNR of
                                  --auto against BASELINE_CLI --auto per level
"""
import argparse
import os
import subprocess
import sys

import cv2
import numpy as np
from skimage import data

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import camera_damage  # noqa: E402

LANDSCAPE = os.path.join(ROOT, "tests", "data", "formats", "jpeg", "exif-orientation-examples", "Landscape_1.jpg")


def waterfall():
    """A landscape photo of the JPEG test files, halved to 900 x 600 so
    that its own JPEG leaves no trace."""
    pixels = cv2.cvtColor(cv2.imread(LANDSCAPE, cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)
    return cv2.resize(pixels, (pixels.shape[1] // 2, pixels.shape[0] // 2), interpolation=cv2.INTER_AREA)


# Index in this order seeds each photo's damage. The motorcycle (the left
# view of a stereo pair, 741 x 500) joined the held-out photos after the
# table was fitted, and the waterfall later still, to judge the reading by
# tone that no photo so far had chosen; the searches of each run on their own.
PHOTOS = {"coffee": data.coffee, "chelsea": data.chelsea, "astronaut": data.astronaut, "rocket": data.rocket,
          "motorcycle": lambda: data.stereo_motorcycle()[0], "waterfall": waterfall}
LATE = ("motorcycle", "waterfall")
TUNING = ("astronaut", "rocket")
HELD_OUT = ("coffee", "chelsea", "motorcycle", "waterfall")
STEPS_SIZE, STEPS_AMOUNT, STEPS_CUTOFF = (0, 25, 50), (25, 50, 100), (0, 12, 25, 37)
# Searched later: amounts below the grid's, as the mildest preset uses, and
# a cutoff above it, which the strongest shared noise needs (below it that
# noise passes for detail).
MILD = [(n, 15, c, 0) for n in (0, 25) for c in (12, 15, 25)]
STRONG = [(n, a, 50, 0) for n in STEPS_SIZE for a in STEPS_AMOUNT]
GRID = [(n, a, c, 0) for n in STEPS_SIZE for a in STEPS_AMOUNT for c in STEPS_CUTOFF] + MILD + STRONG
LEAVE_ALONE = (-1, -1, -1, -1)
CHOICES = [LEAVE_ALONE] + GRID
PRESETS = ("Fine digicam noise", "Phone camera noise")
OPENCV_H = (1, 2, 3, 5, 8)
# White noise per channel reads chroma 2.31 times luma at single pixels;
# clean photos 0.8 to 1.1, camera noise below 0.7.
WHITE_CHROMA_PER_LUMA = 1.0
# White noise reads luma at single pixels twice that of 2 x 2 means; camera
# noise after demosaicing 0.5 to 1, and after a phone's own smoothing 0.3
# to 0.4; clean photos 0.7 to 1.3.
FINE_GRAIN_PER_LUMA = 1.3
SMOOTHED_PER_LUMA = 0.45
CLEAN_MARGIN = 1.25
WORK = os.path.join(ROOT, "build", "photos")


# Noise shared by the channels: luma deviation, chroma deviation, seed base.
SHARED = {"lc5": (5, 1.5, 2100), "lc10": (10, 3, 2000), "lc20": (20, 6, 2200)}


def damages(extra=True):
    """(name, reference suffix) of every damage level, camera levels first.
    The first search covered the camera levels and lc10; the other shared
    levels came later and have a search of their own."""
    levels = [(f"{s}{iso}", f"{s}{iso}-ref") for s in ("large", "phone") for iso in camera_damage.ISO_LEVELS[s]]
    levels.append(("lc10", None))
    return levels + ([("lc5", None), ("lc20", None)] if extra else [])


def write(path, pixels):
    cv2.imwrite(path, cv2.cvtColor(pixels, cv2.COLOR_RGB2BGR))


def build_photos():
    for i, (name, loader) in enumerate(PHOTOS.items()):
        pixels = loader()
        pixels = pixels[:pixels.shape[0] // 2 * 2, :pixels.shape[1] // 2 * 2]
        write(os.path.join(WORK, f"{name}.png"), pixels)
        for sensor in ("large", "phone"):
            for iso in camera_damage.ISO_LEVELS[sensor]:
                reference, damaged = camera_damage.camera(pixels, sensor, iso, 1000 + i * 10)
                write(os.path.join(WORK, f"{name}-{sensor}{iso}-ref.png"), reference)
                write(os.path.join(WORK, f"{name}-{sensor}{iso}.png"), damaged)
        for level, (luma, chroma, seed) in SHARED.items():
            write(os.path.join(WORK, f"{name}-{level}.png"), camera_damage.luma_chroma(pixels, luma, chroma, seed + i))


def clean_photos(photos):
    """Each photo whole, and as each camera makes it without noise (its
    reference at the lowest ISO; every ISO's is the same)."""
    return [os.path.join(WORK, f"{photo}{suffix}.png") for photo in photos
            for suffix in ["", *(f"-{s}{camera_damage.ISO_LEVELS[s][0]}-ref" for s in ("large", "phone"))]]


def cases(photos, extra=True):
    """(photo, damage, clean path, input path) of every damaged case."""
    out = []
    for photo in photos:
        for damage, ref in damages(extra):
            clean = os.path.join(WORK, f"{photo}-{ref}.png" if ref else f"{photo}.png")
            out.append((photo, damage, clean, os.path.join(WORK, f"{photo}-{damage}.png")))
    return out


def batches(all_cases):
    """(listing and output name, cases, settings, index of the first setting
    in GRID) of each search process: the first grid over the camera levels
    and lc10 in two halves, then over the other shared-noise levels, then
    MILD and then STRONG over every case in two halves; the whole GRID over
    the cases of each LATE photo in two halves."""
    late = [[c for c in all_cases if c[0] == photo] for photo in LATE]
    all_cases = [c for c in all_cases if c[0] not in LATE]
    first = [c for c in all_cases if c[1] in {d for d, _ in damages(False)}]
    grid = GRID[:len(GRID) - len(MILD) - len(STRONG)]
    return [("0", first[0::2], grid, 0), ("1", first[1::2], grid, 0),
            ("2", [c for c in all_cases if c not in first], grid, 0),
            ("-mild0", all_cases[0::2], MILD, len(grid)), ("-mild1", all_cases[1::2], MILD, len(grid)),
            ("-strong0", all_cases[0::2], STRONG, len(grid) + len(MILD)),
            ("-strong1", all_cases[1::2], STRONG, len(grid) + len(MILD)),
            *((f"-late{2 * k + j}", photo[j::2], GRID, 0) for k, photo in enumerate(late) for j in (0, 1))]


def parse(all_cases):
    psnr = {}
    for name, part, settings, offset in batches(all_cases):
        out, listing = os.path.join(WORK, f"search{name}.out"), os.path.join(WORK, f"cases{name}.txt")
        if not os.path.exists(out) or not os.path.exists(listing) or open(listing).read() != listed(part):
            continue
        for line in open(out):
            if len(line.split()) == 4:
                c, s, p, _ = line.split()
                psnr.setdefault(part[int(c)][3], [None] * len(GRID))[offset + int(s)] = float(p)
    return psnr


def listed(part):
    return "".join(f"{os.path.basename(c[2])} {os.path.basename(c[3])}\n" for c in part)


def search(all_cases, tool, needed):
    """PSNR of every GRID setting on every case: slider_search processes,
    two side by side, their output kept and reused once it holds the needed
    cases."""
    psnr = parse(all_cases)

    def complete(path):
        return path in psnr and None not in psnr[path]

    if all(complete(c[3]) for c in needed):
        return psnr
    waiting = []
    for name, part, settings, offset in batches(all_cases):
        if all(c[3] in psnr and None not in psnr[c[3]][offset:offset + len(settings)] for c in part):
            continue
        with open(os.path.join(WORK, f"cases{name}.txt"), "w") as f:
            f.write(listed(part))
        with open(os.path.join(WORK, f"settings{name}.txt"), "w") as f:
            f.writelines(f"{n} {a} {c} {s}\n" for n, a, c, s in settings)
        waiting.append([tool, "search", f"cases{name}.txt", f"settings{name}.txt", f"search{name}.out"])
    while waiting:
        running = [(w, subprocess.Popen(w[:4], cwd=WORK, stdout=open(os.path.join(WORK, w[4]), "w")))
                   for w in waiting[:2]]
        waiting = waiting[2:]
        for _, proc in running:
            if proc.wait():
                sys.exit("slider_search failed")
    return parse(all_cases)


def psnr_of(clean, image):
    mse = float(np.mean((clean.astype(np.float64) - image.astype(np.float64)) ** 2))
    return 99.0 if mse == 0.0 else 10.0 * np.log10(255.0 * 255.0 / mse)


def read(path):
    return cv2.imread(path, cv2.IMREAD_COLOR)


def estimates(paths, tool):
    out = subprocess.run([tool, "estimate"] + paths, check=True, capture_output=True, text=True).stdout.split("\n")
    # Columns after the path: sigma, quality, structure, luma 0-2, chroma 0-2,
    # luma 1 of the dark, middle and bright tones.
    return {p: [float(v) for v in line.split()[1:]] for p, line in zip(paths, out)}


SPREAD, SMOOTHED, FINE = range(3)  # the grains of camera noise, one table each


def camera_level(e, grain):
    """cameraNoiseLevel as a table of that grain reads it: luma of single
    pixels for fine grain, otherwise of 2 x 2 block means in the tone that
    reads lowest (the whole picture's when no tone has its own reading)."""
    if grain == FINE:
        return e[3]
    tones = [v for v in e[9:12] if v > 0]
    return min(tones) if tones else e[4]


def near_grain(e, grain):
    """Whether a picture's luma at single pixels per 2 x 2 means lies within
    CLEAN_MARGIN of the range that takes a grain's table."""
    ratio = e[3] / e[4] if e[4] > 0 else 1.0
    if grain == FINE:
        return ratio * CLEAN_MARGIN >= FINE_GRAIN_PER_LUMA
    if grain == SMOOTHED:
        return ratio < SMOOTHED_PER_LUMA * CLEAN_MARGIN
    return SMOOTHED_PER_LUMA <= ratio * CLEAN_MARGIN and ratio < FINE_GRAIN_PER_LUMA * CLEAN_MARGIN


def grain_of(e):
    if e[3] >= FINE_GRAIN_PER_LUMA * e[4]:
        return FINE
    return SMOOTHED if e[3] < SMOOTHED_PER_LUMA * e[4] else SPREAD


def choice_psnr(psnr, case, c):
    return psnr_of(read(case[2]), read(case[3])) if c == 0 else psnr[case[3]][c - 1]


def monotone_fit(score):
    """One choice per case (score[case][choice], cases by rising level),
    no slider falling from one case to the next, best total score."""
    n = len(CHOICES)
    below = [[t for t in range(n) if all(CHOICES[t][i] <= CHOICES[s][i] for i in range(4))] for s in range(n)]
    total, back = [score[0][:]], [[None] * n]
    for k in range(1, len(score)):
        links = [max(below[s], key=lambda t: (total[-1][t], -t)) for s in range(n)]
        total.append([score[k][s] + total[-1][links[s]] for s in range(n)])
        back.append(links)
    s = max(range(n), key=lambda t: (total[-1][t], -t))
    chosen = [s]
    for k in range(len(score) - 1, 0, -1):
        s = back[k][s]
        chosen.append(s)
    return chosen[::-1]


def fit(tool):
    """Rows for camera noise spread over neighbours, smoothed in the camera
    and as fine as single pixels, one choice per damage level (the one whose
    smallest gain over the input among the tuning photos is largest, so
    that it serves each photo, not their mean: a gain on one photo's texture
    does not buy a loss on the other's), levels in the order of their
    median cameraNoiseLevel, no slider falling from one to the next; bounds
    are midpoints between the medians of levels whose choices differ. The
    clean tuning photos come first as a level that must be left alone, and
    no row works on a picture reading below CLEAN_MARGIN times the highest
    level a clean tuning photo (whole, or a camera's reference without
    noise) reads as that table reads it, since texture makes clean photos of
    other scenes read that much higher; a clean photo counts for the tables
    whose grain it nearly reads (near_grain: whole photos read 0.7 to 1.3,
    a phone's reference without noise about 0.5, near the noise the phone
    smoothed). A level belongs to the grain most of its photos read (the
    finer on a tie)."""
    tuning = cases(TUNING)
    psnr = search(cases(TUNING + HELD_OUT), tool, cases(TUNING + HELD_OUT))
    clean = clean_photos(TUNING)
    est = estimates([c[3] for c in tuning] + clean, tool)
    tables = []
    given = {c[3]: choice_psnr(psnr, c, 0) for c in tuning}

    def grain_of_level(d):
        grains = [grain_of(est[c[3]]) for c in tuning if c[1] == d]
        return max(reversed(range(3)), key=grains.count)

    for grain in (SPREAD, SMOOTHED, FINE):
        clean_level = max((camera_level(est[path], grain) for path in clean if near_grain(est[path], grain)),
                          default=0.0)
        floor = CLEAN_MARGIN * clean_level
        levels = [d for d, _ in damages() if grain_of_level(d) == grain]
        median = {d: float(np.median([camera_level(est[c[3]], grain) for c in tuning if c[1] == d])) for d in levels}
        median["clean"] = clean_level
        order = ["clean"] + sorted(levels, key=lambda d: median[d])
        score = [[0.0] + [-1e9] * len(GRID) if d == "clean" else
                 [min(choice_psnr(psnr, c, s) - given[c[3]] for c in tuning if c[1] == d)
                  for s in range(len(CHOICES))]
                 for d in order]
        chosen = monotone_fit(score)
        rows = [(0.0, chosen[0])]
        for k in range(1, len(order)):
            if chosen[k] != rows[-1][1]:
                rows.append((round(max((median[order[k - 1]] + median[order[k]]) / 2, floor), 2), chosen[k]))
        # Rows the floor pushed onto one bound: the last of them serves there.
        rows = [r for k, r in enumerate(rows) if k + 1 == len(rows) or rows[k + 1][0] > r[0]]
        for d, ch in zip(order, chosen):
            print(f"{('spread', 'smoothed', 'fine')[grain]} {d}: median level {median[d]:.2f} -> {CHOICES[ch]}",
                  file=sys.stderr)
        tables.append(rows)
    return tables


def table_source(tables):
    def row(bound, s):
        if s == 0:
            return f"    {{{bound:.2f}f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone}},\n"
        n, a, c, sc = CHOICES[s]
        return f"    {{{bound:.2f}f, {n}, {a}, {c}, {sc}}},\n"

    spread, smoothed, fine = tables
    cutoffs = "/".join(str(c) for c in sorted({g[2] for g in GRID} - {15}))

    def table(name, rows):
        return (f"const AutoRow {name}Rows[] = {{\n" + "".join(row(b, s) for b, s in rows) + "};\n"
                f"const int32_t {name}RowCount = {len(rows)};\n")

    return ("// Written by bench/tune_camera_auto.py --write; do not edit by hand.\n"
            "//\n"
            "// Fitted on whole photos (astronaut, rocket from python3-skimage) through a\n"
            "// camera model at three ISO levels of a large and of a phone sensor, and with\n"
            "// noise shared by the channels at three strengths. Each level's choice is\n"
            f"// the grid setting (noise size {'/'.join(map(str, STEPS_SIZE))}, amount "
            f"{'/'.join(map(str, STEPS_AMOUNT))}, cutoff {cutoffs}) or LeaveAlone\n"
            "// whose smallest gain over the input among the photos is largest, such that\n"
            "// no slider falls as the median cameraNoiseLevel of the levels rises (luma of\n"
            "// 2 x 2 means in the tone that reads lowest, of single pixels for the\n"
            "// fine-grain rows); the clean photos must be left alone. Bounds are\n"
            "// midpoints between the medians of levels whose choices differ, and at\n"
            f"// least {CLEAN_MARGIN:g} times the highest level a clean photo (whole, or a camera's\n"
            "// reference without noise) reads whose grain is near the table's.\n"
            '#include "engine/auto_sliders.h"\n\n'
            f"const float WhiteChromaPerLuma = {WHITE_CHROMA_PER_LUMA:.2f}f;\n"
            f"const float FineGrainPerLuma = {FINE_GRAIN_PER_LUMA:.2f}f;\n"
            f"const float SmoothedGrainPerLuma = {SMOOTHED_PER_LUMA:.2f}f;\n\n"
            + table("Camera", spread) + "\n" + table("SmoothedGrain", smoothed) + "\n" + table("FineGrain", fine))


def run_cli(cli, args, output):
    result = subprocess.run([cli, "--threads", "1", "--overwrite", "-o", output] + args, check=True,
                            capture_output=True, text=True)
    return read(output), result.stderr


def evaluate(tool, cli):
    psnr = search(cases(TUNING + HELD_OUT), tool, cases(TUNING + HELD_OUT))
    out = os.path.join(WORK, "out.png")
    for title, photos in ((f"held-out photos ({', '.join(HELD_OUT)})", HELD_OUT),
                          (f"tuning photos ({', '.join(TUNING)})", TUNING)):
        print(f"\n{title}: mean PSNR (dB) over the photos\n")
        print("| damage | input | Fine digicam noise | Phone camera noise | `--auto` | best setting for the level "
              "| OpenCV NLM, best h | `--auto` − level | `--auto` − best preset | `--auto` − OpenCV |")
        print("|---|" + "---:|" * 9)
        for damage, _ in damages():
            level_cases = [c for c in cases(photos) if c[1] == damage]
            rows = {k: [] for k in ("input", "fine", "phone", "auto", "level")}
            best_level = max(range(len(CHOICES)), key=lambda s: (
                float(np.mean([choice_psnr(psnr, c, s) for c in level_cases])), -s))
            opencv = {h: [] for h in OPENCV_H}
            for c in level_cases:
                clean, given = read(c[2]), read(c[3])
                rows["input"].append(psnr_of(clean, given))
                for key, preset in zip(("fine", "phone"), PRESETS):
                    rows[key].append(psnr_of(clean, run_cli(cli, ["--preset", preset, c[3]], out)[0]))
                rows["auto"].append(psnr_of(clean, run_cli(cli, ["--auto", c[3]], out)[0]))
                rows["level"].append(choice_psnr(psnr, c, best_level))
                for h in OPENCV_H:
                    opencv[h].append(psnr_of(clean, cv2.fastNlMeansDenoisingColored(given, None, h, h, 7, 21)))
            m = {k: float(np.mean(v)) for k, v in rows.items()}
            h = max(OPENCV_H, key=lambda h: np.mean(opencv[h]))
            m["opencv"] = float(np.mean(opencv[h]))
            print(f"| {damage} | {m['input']:.2f} | {m['fine']:.2f} | {m['phone']:.2f} | {m['auto']:.2f} | "
                  f"{m['level']:.2f} ({'left alone' if best_level == 0 else '/'.join(map(str, CHOICES[best_level][:3]))})"
                  f" | {m['opencv']:.2f} (h {h}) | {m['auto'] - m['level']:+.2f} | "
                  f"{m['auto'] - max(m['fine'], m['phone']):+.2f} | {m['auto'] - m['opencv']:+.2f} |", flush=True)
    print("\nclean photos, whole and as each camera makes them without noise:")
    for path in clean_photos(PHOTOS):
        image, log = run_cli(cli, ["--auto", path], out)
        print(f"  {os.path.basename(path)}: "
              f"{'left as it is' if 'left as it is' in log else f'{psnr_of(read(path), image):.2f} dB'}")
    from skimage import data as d
    clean = cv2.cvtColor(d.coffee(), cv2.COLOR_RGB2BGR)
    sample = os.path.join(ROOT, "Samples", "coffee-noisy.png")
    image, log = run_cli(cli, ["--auto", sample], out)
    print(f"\nshowcase {os.path.basename(sample)}: input {psnr_of(clean, read(sample)):.2f} dB, --auto "
          f"{psnr_of(clean, image):.2f} dB\n{log.strip()}")


def white(cli, baseline):
    """--auto against a baseline --auto on tune_auto.py's held-out crops."""
    import tune_auto
    workdir = os.path.join(ROOT, "build", "tune_auto")
    all_cases = []
    for part in tune_auto.GROUPS["held-out"]:
        all_cases += tune_auto.build_set(part, workdir)
    out = os.path.join(WORK, "white.png")
    results = {}
    for case in all_cases:
        clean = read(case["clean"])
        key = tune_auto.damage_name(case["kind"], case["level"])
        pair = []
        for program in (baseline, cli):
            image, log = run_cli(program, ["--auto", case["input"]], out)
            pair.append(psnr_of(clean, image))
        results.setdefault(key, []).append(pair)
    print("| damage | today's table | `--auto` | difference |\n|---|---:|---:|---:|")
    for key, pairs in results.items():
        a = np.array(pairs)
        a = np.minimum(a, 60.0)  # an unchanged clean crop counts as 60 dB
        print(f"| {key} | {a[:, 0].mean():.2f} | {a[:, 1].mean():.2f} | {a[:, 1].mean() - a[:, 0].mean():+.2f} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--evaluate", action="store_true")
    parser.add_argument("--white", metavar="BASELINE_CLI")
    args = parser.parse_args()
    tool = os.path.join(args.build, "bench", "slider_search")
    cli = os.path.join(args.build, "vistrel-cli")
    os.makedirs(WORK, exist_ok=True)
    build_photos()
    if args.white:
        white(cli, args.white)
    elif args.evaluate:
        evaluate(tool, cli)
    else:
        source = table_source(fit(tool))
        print(source)
        if args.write:
            with open(os.path.join(ROOT, "engine", "auto_camera_table.cpp"), "w") as f:
                f.write(source)


if __name__ == "__main__":
    main()
