#!/usr/bin/python3
"""Quality and speed of vistrel-cli beside the tools a user would pick instead.

Builds a fixed-seed test set from freely licensed photos that Debian's
python3-skimage ships (Gaussian noise sigma 10 and 25, JPEG quality 10, 2x and
4x downscaled), runs vistrel-cli's matching preset and the peers on each, and
prints one table of PSNR, SSIM and seconds per megapixel, all measured in
this run.

Usage: bench/compare.py [--cli build/release/vistrel-cli] [--threads N] [--crop N]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

import cv2
import numpy as np
from PIL import Image
from skimage import data
from skimage.metrics import peak_signal_noise_ratio, structural_similarity
from skimage.restoration import denoise_nl_means, denoise_wavelet, estimate_sigma

PHOTOS = {"coffee": data.coffee, "chelsea": data.chelsea, "astronaut": data.astronaut, "rocket": data.rocket}


def crop(pixels, size):
    h, w, _ = pixels.shape
    if size <= 0 or (h <= size and w <= size):
        return pixels
    top, left = max(0, (h - size) // 2), max(0, (w - size) // 2)
    return pixels[top:top + size, left:left + size]


def noisy(clean, sigma, seed):
    rng = np.random.default_rng(seed)
    return np.clip(np.rint(clean + rng.normal(0.0, sigma, clean.shape)), 0, 255).astype(np.uint8)


def jpeg(clean, quality):
    ok, encoded = cv2.imencode(".jpg", cv2.cvtColor(clean, cv2.COLOR_RGB2BGR), [cv2.IMWRITE_JPEG_QUALITY, quality])
    assert ok
    return cv2.cvtColor(cv2.imdecode(encoded, cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)


def downscale(clean, factor):
    h, w, _ = clean.shape
    h, w = h - h % factor, w - w % factor
    clean = clean[:h, :w]
    small = cv2.resize(clean, (w // factor, h // factor), interpolation=cv2.INTER_AREA)
    return clean, small


def scores(reference, result):
    psnr = peak_signal_noise_ratio(reference, result, data_range=255)
    ssim = structural_similarity(reference, result, channel_axis=2, data_range=255)
    return psnr, ssim


def timed(fn):
    start = time.perf_counter()
    out = fn()
    return out, time.perf_counter() - start


def run_cli(cli, pixels, preset, threads, workdir, zoom=None):
    src = os.path.join(workdir, "in.png")
    dst = os.path.join(workdir, "out.png")
    Image.fromarray(pixels).save(src)
    cmd = [cli, "--quiet", "--overwrite", "--preset", preset, "-o", dst, src]
    if zoom:
        cmd[1:1] = ["--zoom", str(zoom)]
    if threads:
        cmd[1:1] = ["--threads", str(threads)]
    subprocess.run(cmd, check=True)
    return np.array(Image.open(dst).convert("RGB"))


def as_bytes(floats):
    return np.clip(np.rint(floats * 255.0), 0, 255).astype(np.uint8)


def denoise_peers(damaged, sigma):
    h = max(3.0, sigma * 0.8)
    peers = {
        "OpenCV fastNlMeansDenoisingColored": lambda: cv2.cvtColor(
            cv2.fastNlMeansDenoisingColored(cv2.cvtColor(damaged, cv2.COLOR_RGB2BGR), None, h, h, 7, 21),
            cv2.COLOR_BGR2RGB),
    }
    floats = damaged.astype(np.float64) / 255.0

    def nl_means():
        s = float(np.mean(estimate_sigma(floats, channel_axis=-1)))
        return as_bytes(denoise_nl_means(floats, h=0.8 * s, sigma=s, fast_mode=True, patch_size=5,
                                         patch_distance=6, channel_axis=-1))

    peers["scikit-image denoise_nl_means"] = nl_means
    peers["scikit-image denoise_wavelet"] = lambda: as_bytes(
        denoise_wavelet(floats, channel_axis=-1, convert2ycbcr=True, rescale_sigma=True))
    return peers


def upscale_peers(small, size):
    w, h = size
    return {
        "bicubic (OpenCV)": lambda: cv2.resize(small, (w, h), interpolation=cv2.INTER_CUBIC),
        "Lanczos (OpenCV)": lambda: cv2.resize(small, (w, h), interpolation=cv2.INTER_LANCZOS4),
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(here, "..", "build", "release", "vistrel-cli"))
    parser.add_argument("--threads", type=int, default=0, help="vistrel-cli --threads (default: all cores)")
    parser.add_argument("--crop", type=int, default=384, help="centre crop side in pixels (0 = whole photos)")
    parser.add_argument("--photos", default=",".join(PHOTOS), help="comma-separated subset of " + ",".join(PHOTOS))
    args = parser.parse_args()
    if not os.access(args.cli, os.X_OK):
        sys.exit(f"vistrel-cli not found at {args.cli}: build it first (make release)")

    cases = []  # (case name, reference, damaged, vistrel preset, zoom or None, peers)
    for seed, name in enumerate(args.photos.split(",")):
        clean = crop(PHOTOS[name](), args.crop)
        for sigma in (10, 25):
            damaged = noisy(clean, sigma, seed * 10 + sigma)
            preset = "Fine digicam noise" if sigma == 10 else "Phone camera noise"
            cases.append((f"{name} noise σ{sigma}", clean, damaged, preset, None, denoise_peers(damaged, sigma)))
        damaged = jpeg(clean, 10)
        cases.append((f"{name} JPEG q10", clean, damaged, "Harsh Jpeg artifacts", None, denoise_peers(damaged, 12)))
        for factor in (2, 4):
            reference, small = downscale(clean, factor)
            size = (reference.shape[1], reference.shape[0])
            cases.append((f"{name} {factor}x down", reference, small, f"Photo {factor}x zoom", factor,
                          upscale_peers(small, size)))

    rows = []
    with tempfile.TemporaryDirectory() as workdir:
        for case, reference, damaged, preset, zoom, peers in cases:
            megapixels = reference.shape[0] * reference.shape[1] / 1e6
            if zoom is None:
                rows.append((case, "input as given", *scores(reference, damaged), float("nan")))
            result, seconds = timed(lambda: run_cli(args.cli, damaged, preset, args.threads, workdir, zoom))
            rows.append((case, f"vistrel-cli \"{preset}\"", *scores(reference, result), seconds / megapixels))
            for peer, fn in peers.items():
                result, seconds = timed(fn)
                rows.append((case, peer, *scores(reference, result), seconds / megapixels))
            print(f"done: {case}", file=sys.stderr)

    print(f"| case | method | PSNR (dB) | SSIM | s / MP |")
    print(f"|---|---|---:|---:|---:|")
    for case, method, psnr, ssim, spm in rows:
        spm_text = "" if spm != spm else f"{spm:.2f}"
        print(f"| {case} | {method} | {psnr:.2f} | {ssim:.4f} | {spm_text} |")


if __name__ == "__main__":
    main()
