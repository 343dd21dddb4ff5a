#!/usr/bin/python3
"""Draws the program's desktop icon (data/vistrel.png, 256 x 256): a lens over
a split square, grainy on the left and clean on the right, and the smaller
sizes the desktop's icon theme wants (data/icons/NxN.png). Deterministic."""
import os
import random

from PIL import Image, ImageDraw, ImageFilter

SIZE = 256
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "vistrel.png")
SMALLER = (16, 32, 48, 64, 128)


def write_sizes(icon):
    folder = os.path.join(os.path.dirname(OUT), "icons")
    os.makedirs(folder, exist_ok=True)
    for size in SMALLER:
        icon.resize((size, size), Image.LANCZOS).save(os.path.join(folder, f"{size}x{size}.png"), optimize=True)


def main():
    rng = random.Random(7)
    icon = Image.new("RGBA", (SIZE, SIZE), (0, 0, 0, 0))
    tile = Image.new("RGB", (200, 200))
    px = tile.load()
    for y in range(200):
        for x in range(200):
            # A green evening gradient, the program's own background colour.
            r, g, b = 32 + x // 8, 64 + y // 3, 32 + (x + y) // 10
            if x < 100:
                n = rng.randint(-40, 40)
                r, g, b = r + n, g + n, b + n
            px[x, y] = (max(0, min(255, r)), max(0, min(255, g)), max(0, min(255, b)))
    mask = Image.new("L", (200, 200), 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, 199, 199), radius=36, fill=255)
    icon.paste(tile, (28, 28), mask)

    draw = ImageDraw.Draw(icon)
    draw.line((128, 36, 128, 220), fill=(255, 255, 255, 200), width=3)
    # The lens: a ring with a handle.
    shadow = Image.new("RGBA", (SIZE, SIZE), (0, 0, 0, 0))
    ImageDraw.Draw(shadow).ellipse((70, 62, 190, 182), outline=(0, 0, 0, 140), width=16)
    icon.alpha_composite(shadow.filter(ImageFilter.GaussianBlur(4)))
    draw.ellipse((66, 58, 186, 178), outline=(245, 245, 240, 255), width=14)
    draw.line((168, 162, 222, 216), fill=(245, 245, 240, 255), width=22)
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    icon.save(OUT, optimize=True)
    write_sizes(icon)


if __name__ == "__main__":
    main()
