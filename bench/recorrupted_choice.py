#!/usr/bin/python3
"""Would a per-picture choice, scored without a clean picture, beat the
camera table behind vistrel-cli --auto? A study on tune_camera_auto.py's
photos and damage levels.

The score is recorrupted-to-recorrupted: given a second noise z of the
picture's own kind, y + a z goes through each candidate setting and is
compared with y - z / a. For z independent of the picture's noise and of the
same covariance, the two noises are uncorrelated, so the mean squared
difference is the result's error against the clean picture plus a constant:
the lowest score marks the best setting for noise (1 + a^2) times the
picture's. Everything rests on z: here it comes either from the damage
itself or from the picture's noise profile.

  recorrupted_choice.py oracle [--alpha A] [--scale S]
      z: the same damage drawn again with other seeds, less its reference
      (what an exact noise model would give)
  recorrupted_choice.py profile [--alpha A] [--scale S]
      z: Gaussian noise that reads like the picture's noise profile (luma
      and chroma at three scales: a white and two blurred components each,
      fitted to the readings by non-negative least squares)
--scale multiplies z (below 1: the noise taken as weaker than read).

Prints, per damage level of the held-out and of the tuning photos, mean PSNR
(dB) of the best setting for the level, of --auto (its table's choice) and
of the recorrupted choice among the rows of the table --auto used and among
the whole grid. The searches run bench/slider_search on both cores; results
stay in build/photos/recorrupted-*.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import zlib

import cv2
import numpy as np
from scipy.optimize import nnls

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import camera_damage  # noqa: E402
import tune_camera_auto as T  # noqa: E402

TABLE = os.path.join(T.ROOT, "engine", "auto_camera_table.cpp")


def table_rows(name):
    """The rows of one table of engine/auto_camera_table.cpp: noise size,
    amount, cutoff (-1 for leaving alone)."""
    body = re.search(name + r"\[\] = \{(.*?)\n\};", open(TABLE).read(), re.S).group(1)
    return [(-1, -1, -1) if "LeaveAlone" in row else tuple(int(v) for v in row.split(",")[1:4])
            for row in re.findall(r"\{([^{}]*)\}", body)]


TABLES = [table_rows(name) for name in ("FineGrainRows", "SmoothedGrainRows", "CameraRows")]
BLURS = (0.0, 0.8, 1.8)  # the synthetic noise's components: Gaussian blur deviations


def rgb(path):
    return cv2.cvtColor(cv2.imread(path), cv2.COLOR_BGR2RGB)


def oracle_noise(photo, damage):
    i = list(T.PHOTOS).index(photo)
    pixels = T.PHOTOS[photo]()
    pixels = pixels[:pixels.shape[0] // 2 * 2, :pixels.shape[1] // 2 * 2]
    if damage in T.SHARED:
        luma, chroma, seed = T.SHARED[damage]
        return camera_damage.luma_chroma(pixels, luma, chroma, seed + i + 777).astype(float) - pixels
    reference, damaged = camera_damage.camera(pixels, damage[:5], int(damage[5:]), 5000 + i * 10)
    return damaged.astype(float) - reference


def profile_readings(tool, images):
    """Luma and chroma at scales 0-2 of each picture, as slider_search reads them."""
    with tempfile.TemporaryDirectory() as folder:
        paths = []
        for i, image in enumerate(images):
            paths.append(os.path.join(folder, f"{i}.png"))
            T.write(paths[-1], np.clip(np.rint(image), 0, 255).astype(np.uint8))
        return [np.array(e[3:9]) for e in T.estimates(paths, tool).values()]


def field(rng, shape, blur):
    w = rng.normal(0.0, 1.0, shape)
    if blur > 0:
        w = cv2.GaussianBlur(w, (0, 0), blur)
        w /= w.std()
    return w


def from_luma_chroma(luma, red, blue):
    """RGB whose (R + 2G + B) / 4 is luma and whose R - G, B - G are red, blue."""
    green = luma - (red + blue) / 4
    return np.stack([green + red, green, green + blue], axis=-1)


class ProfileNoise:
    def __init__(self, tool):
        self.tool = tool
        rng, shape, a = np.random.default_rng(123), (512, 512), 12.0
        zero = np.zeros(shape)
        lumas = [128 + from_luma_chroma(a * field(rng, shape, b), zero, zero) for b in BLURS]
        chromas = [128 + from_luma_chroma(zero, a * field(rng, shape, b), a * field(rng, shape, b)) for b in BLURS]
        r = profile_readings(tool, lumas + chromas)
        # What a unit component reads at each scale.
        self.luma = np.array([x[:3] for x in r[:3]]) / a
        self.chroma = np.array([x[3:] for x in r[3:]]) / a

    def __call__(self, y, rng):
        r = profile_readings(self.tool, [y])[0]
        luma, _ = nnls((self.luma ** 2).T, r[:3] ** 2)
        chroma, _ = nnls((self.chroma ** 2).T, r[3:] ** 2)
        shape = y.shape[:2]

        def mix(weights):
            return sum(np.sqrt(w) * field(rng, shape, b) for w, b in zip(weights, BLURS))
        return from_luma_chroma(mix(luma), mix(chroma), mix(chroma))


def scores(args, tool, all_cases):
    """Score of every choice (leaving alone first, then GRID) per case."""
    work = os.path.join(T.WORK, f"recorrupted-{args.noise}-{args.alpha}-{args.scale}-{len(T.GRID)}")
    saved = os.path.join(work, "scores.json")
    if os.path.exists(saved):
        return json.load(open(saved))
    os.makedirs(work, exist_ok=True)
    rng = np.random.default_rng(7)
    make = ProfileNoise(tool) if args.noise == "profile" else None
    targets, listing = [], []
    for k, (photo, damage, clean, given) in enumerate(all_cases):
        y = rgb(given).astype(float)
        z = args.scale * (make(y, rng) if make else oracle_noise(photo, damage))
        path = os.path.join(work, f"in{k}.png")
        T.write(path, np.clip(np.rint(y + args.alpha * z), 0, 255).astype(np.uint8))
        targets.append(y - z / args.alpha)
        listing.append(f"{clean} {path}\n")
    with open(os.path.join(work, "settings.txt"), "w") as f:
        f.writelines(f"{n} {a} {c} {s}\n" for n, a, c, s in T.GRID)
    running = []
    for half in (0, 1):
        with open(os.path.join(work, f"cases{half}.txt"), "w") as f:
            f.writelines(listing[half::2])
        os.makedirs(os.path.join(work, f"out{half}"), exist_ok=True)
        running.append(subprocess.Popen([tool, "search", f"cases{half}.txt", "settings.txt", f"out{half}"], cwd=work,
                                        stdout=subprocess.DEVNULL))
    if any(p.wait() for p in running):
        sys.exit("slider_search failed")
    result = {}
    for k, case in enumerate(all_cases):
        target, h, w = targets[k], targets[k].shape[0], targets[k].shape[1]
        noisier = rgb(os.path.join(work, f"in{k}.png")).astype(float)
        row = [float(np.mean((noisier - target) ** 2))]
        for s in range(len(T.GRID)):
            path = os.path.join(work, f"out{k % 2}", f"{k // 2}-{s}.raw")
            raw = np.fromfile(path, dtype=np.uint8)
            os.remove(path)  # about 1 MB a result; the scores are kept
            row.append(float(np.mean((raw.reshape(h, w, 4)[..., 2::-1].astype(float) - target) ** 2)))
        result[case[3]] = row
    json.dump(result, open(saved, "w"))
    return result


def auto_choices(cli, all_cases):
    """--auto's choice per case, from what it prints; kept per table."""
    saved = os.path.join(T.WORK, f"auto-choices-{zlib.crc32(open(TABLE, 'rb').read()):08x}.json")
    if os.path.exists(saved):
        return json.load(open(saved))
    out = {}
    for case in all_cases:
        log = T.run_cli(cli, ["--auto", case[3]], os.path.join(T.WORK, "out.png"))[1]
        m = re.search(r"noise size (\d+), amount (\d+), cutoff (\d+)", log)
        out[case[3]] = [int(v) for v in m.groups()] if m and "left as it is" not in log else [-1, -1, -1]
    json.dump(out, open(saved, "w"))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("noise", choices=("oracle", "profile"))
    parser.add_argument("--alpha", type=float, default=0.5)
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--build", default=os.path.join(T.ROOT, "build", "release"))
    args = parser.parse_args()
    tool = os.path.join(args.build, "bench", "slider_search")
    os.makedirs(T.WORK, exist_ok=True)
    T.build_photos()
    all_cases = T.cases(T.TUNING + T.HELD_OUT)
    psnr = T.search(all_cases, tool, all_cases)
    score = scores(args, tool, all_cases)
    auto = auto_choices(os.path.join(args.build, "vistrel-cli"), all_cases)
    index = {tuple(c[:3]): i for i, c in enumerate(T.CHOICES)}

    def quality(case, choice):
        return T.choice_psnr(psnr, case, choice)

    print("| damage | best setting for the level | `--auto` | recorrupted, table rows | recorrupted, whole grid |")
    for photos, title in ((T.HELD_OUT, "held out"), (T.TUNING, "tuning")):
        print(f"| {title} | | | | |")
        for damage, _ in T.damages():
            level_cases = [c for c in T.cases(photos) if c[1] == damage]
            level = max(np.mean([quality(c, s) for c in level_cases]) for s in range(len(T.CHOICES)))
            columns = [[], [], []]
            for c in level_cases:
                # The table --auto took, told by its row (leaving alone: the camera rows).
                table = next((t for t in TABLES if tuple(auto[c[3]]) in t[1:]), TABLES[-1])
                rows = [index[r] for r in table]
                columns[0].append(quality(c, index[tuple(auto[c[3]])]))
                columns[1].append(quality(c, min(rows, key=lambda s: score[c[3]][s])))
                columns[2].append(quality(c, int(np.argmin(score[c[3]]))))
            cells = " | ".join(f"{np.mean(v):.2f} ({np.mean(v) - level:+.2f})" for v in columns)
            print(f"| {damage} | {level:.2f} | {cells} |", flush=True)


if __name__ == "__main__":
    main()
