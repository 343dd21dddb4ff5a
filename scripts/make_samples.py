#!/usr/bin/python3
"""Builds the bundled sample photos from freely licensed images that Debian's
python3-skimage ships. Each sample shows the kind of damage one preset is made
for. Deterministic: the noise comes from fixed seeds, so running it again
gives the same files.

Usage: scripts/make_samples.py [output folder]   (default: Samples/)
"""
import io
import os
import sys

import numpy as np
from PIL import Image
from skimage import data


def save_png(pixels, path):
    Image.fromarray(pixels).save(path, optimize=True)


def save_jpeg(pixels, path, quality):
    Image.fromarray(pixels).save(path, quality=quality, subsampling=2)


def add_noise(pixels, sigma_luma, sigma_chroma, seed):
    rng = np.random.default_rng(seed)
    h, w, _ = pixels.shape
    luma = rng.normal(0.0, sigma_luma, (h, w, 1))
    chroma = rng.normal(0.0, sigma_chroma, (h, w, 3))
    noisy = pixels.astype(np.float64) + luma + chroma
    return np.clip(np.rint(noisy), 0, 255).astype(np.uint8)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Samples")
    os.makedirs(out, exist_ok=True)

    # Sensor-like noise on a detailed still life: "Fine digicam noise".
    save_png(add_noise(data.coffee(), 10.0, 3.0, seed=1), os.path.join(out, "coffee-noisy.png"))

    # Strong, blotchy noise as small phone sensors make it, kept as a
    # high-quality JPEG as a phone would: "Phone camera noise".
    cat = add_noise(data.chelsea(), 14.0, 9.0, seed=2)
    save_jpeg(cat, os.path.join(out, "chelsea-phone.jpg"), quality=92)

    # A photo squeezed hard by JPEG compression: "Harsh Jpeg artifacts".
    save_jpeg(data.rocket(), os.path.join(out, "rocket-harsh.jpg"), quality=12)

    # A small picture to magnify: "Photo 2x zoom" / "Photo 4x zoom".
    small = Image.fromarray(data.astronaut()).resize((160, 160), Image.LANCZOS)
    small.save(os.path.join(out, "astronaut-small.png"), optimize=True)


if __name__ == "__main__":
    main()
