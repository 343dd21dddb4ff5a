#!/usr/bin/python3
"""Generates the interface art that the program carries inside it.

Writes into ui/art/:
  glyphs_interface.tga  glyph sheet of the interface font, 8-bit grey TGA
                        (uncompressed, bottom-up), 161 x 230
  glyphs_heading.png    glyph sheet of the heading font, 8-bit grey PNG, 224 x 316
  icon_compare.bmp      18 x 18 mask of the before/after toggle, 24-bit BMP
  icon_copyright.bmp    17 x 17 mask of the circled C, 24-bit BMP
  strip.jpg             338 x 239 start-page picture
  about.png             580 x 659 About picture, 24-bit colour PNG

Glyph sheets: dark ink on light paper, 8 column bands by 12 row bands
separated by empty columns and rows; character c sits in band
(c mod 8, (c - 32) / 8), every glyph of a row on one baseline.

The photographs are scikit-image's CC0 samples (Chelsea the cat, the coffee
cup), degraded the way users' pictures are. The committed "after" halves are
Vistrel's own results (preset "Harsh Jpeg artifacts"):
  make_art.py --export-before DIR   writes DIR/strip_before.png and
                                     DIR/about_before.png
  (enhance both with the program into DIR/strip_after.png and
   DIR/about_after.png, same size)
  make_art.py --enhanced DIR         builds the pictures from those.
Without --enhanced a stand-in filter makes the "after" halves.

Needs /usr/bin/python3 with python3-pil, python3-skimage and the
fonts-dejavu-core and fonts-dejavu-extra packages (scripts/install-deps.sh
bench installs them). The
build never runs this script: the generated files are committed.
"""

import argparse
import io
import os
import struct
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SANS = os.path.join(FONT_DIR, "DejaVuSans.ttf")
SANS_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
# The glyph sheets use the condensed cut: the interface's fixed layout gives
# "Digital zoom artifacts" 142 pixels and "Step 2 - options" 164.
SHEET = os.path.join(FONT_DIR, "DejaVuSansCondensed.ttf")
SHEET_BOLD = os.path.join(FONT_DIR, "DejaVuSansCondensed-Bold.ttf")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ART = os.path.join(ROOT, "ui", "art")

PAPER = 255


# ---------------------------------------------------------------- glyph sheets

def render_glyph(font, ch):
    """Grey coverage (0 paper .. 255 ink) of one character drawn on a baseline
    at row `base` of a scratch canvas; returns (array, base)."""
    size = font.size * 3
    base = font.size * 2
    canvas = Image.new("L", (size, size), 0)
    ImageDraw.Draw(canvas).text((font.size // 2, base), ch, fill=255, font=font, anchor="ls")
    return np.asarray(canvas), base


def make_sheet(font, width, height, cell_w, cell_h, left, top, baseline_in_cell):
    ink = np.zeros((height, width), dtype=np.uint8)
    for code in range(32, 128):
        ch = chr(code)
        if code == 127 or ch == " ":
            continue
        glyph, base = render_glyph(font, ch)
        cols = np.nonzero(glyph.max(axis=0))[0]
        rows = np.nonzero(glyph.max(axis=1))[0]
        if cols.size == 0:
            continue
        g = glyph[rows[0]:rows[-1] + 1, cols[0]:cols[-1] + 1]
        cx = left + (code % 8) * cell_w + 1
        cy = top + ((code - 32) // 8) * cell_h + baseline_in_cell - (base - rows[0])
        h, w = g.shape
        if w > cell_w - 2 or cy < top + ((code - 32) // 8) * cell_h or cy + h > top + ((code - 32) // 8 + 1) * cell_h - 1:
            sys.exit("glyph %r does not fit its cell" % ch)
        ink[cy:cy + h, cx:cx + w] = np.maximum(ink[cy:cy + h, cx:cx + w], g)
    return (PAPER - ink.astype(np.int32)).astype(np.uint8)


def bands(inked):
    """Bands of inked lines as the program finds them."""
    found, start, prev = [], None, inked[0]
    for i in range(1, len(inked)):
        if inked[i] and not prev:
            start = i
        elif not inked[i] and prev and start is not None:
            found.append((start, i))
            start = None
        prev = inked[i]
    if start is not None:
        found.append((start, len(inked)))
    return found


def check_sheet(sheet, name):
    ink = 255 - sheet.astype(np.int32)
    col = bands(ink.max(axis=0) > 0)
    row = bands(ink.max(axis=1) > 0)
    if len(col) != 8 or len(row) != 12:
        sys.exit("%s: %d column bands and %d row bands" % (name, len(col), len(row)))
    for code in range(33, 127):
        (x0, x1), (y0, y1) = col[code % 8], row[(code - 32) // 8]
        if ink[y0:y1, x0:x1].max() == 0:
            sys.exit("%s: no glyph for %r" % (name, chr(code)))


def write_tga_grey(path, grey):
    """Uncompressed 8-bit grey TGA (type 3), rows stored bottom-up, with the
    TGA 2.0 footer."""
    h, w = grey.shape
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 3, 0, 0, 0, 0, 0, w, h, 8, 0)
    footer = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"
    with open(path, "wb") as f:
        f.write(header)
        f.write(np.ascontiguousarray(grey[::-1]).tobytes())
        f.write(footer)


# ------------------------------------------------------------------- the masks

def supersampled_mask(size, draw_fn, factor=8):
    """Draws with draw_fn on a large white canvas and shrinks it: dark ink,
    antialiased, on white paper."""
    big = Image.new("L", (size * factor, size * factor), 255)
    draw_fn(ImageDraw.Draw(big), factor)
    return big.resize((size, size), Image.LANCZOS)


def draw_compare_icon(d, f):
    # A picture frame split down the middle: the left half solid (the
    # original), the right half an outline (the result).
    d.rounded_rectangle([1 * f, 3 * f, 17 * f - 1, 15 * f - 1], radius=2 * f, outline=0, width=int(1.5 * f))
    d.rectangle([1 * f, 3 * f, 9 * f - 1, 15 * f - 1], fill=0)
    d.rectangle([int(8.5 * f), 0, int(9.5 * f) - 1, 18 * f - 1], fill=0)


def draw_copyright_sign(d, f):
    d.ellipse([int(0.6 * f), int(0.6 * f), int(16.4 * f), int(16.4 * f)], outline=0, width=int(1.6 * f))
    font = ImageFont.truetype(SANS_BOLD, int(11 * f))
    d.text((8.5 * f, 8.5 * f), "C", fill=0, font=font, anchor="mm")


# ----------------------------------------------------------------- the photos

def sample(name):
    import skimage.data
    return Image.fromarray(getattr(skimage.data, name)())


def degrade(img, seed):
    """What a user brings: half the resolution, sensor noise and heavy JPEG
    compression, shown at full size again."""
    rng = np.random.RandomState(seed)
    w, h = img.size
    small = img.resize((w // 2, h // 2), Image.BILINEAR)
    a = np.asarray(small).astype(np.float32)
    a += rng.normal(0.0, 14.0, a.shape).astype(np.float32)
    noisy = Image.fromarray(np.clip(a, 0, 255).astype(np.uint8))
    buf = io.BytesIO()
    noisy.save(buf, "JPEG", quality=35)
    buf.seek(0)
    return Image.open(buf).convert("RGB").resize((w, h), Image.BILINEAR)


def stand_in_enhance(img):
    """Placeholder for the program's own result: non-local means denoising
    and a mild sharpen."""
    from skimage.restoration import denoise_nl_means
    a = np.asarray(img).astype(np.float64) / 255.0
    d = denoise_nl_means(a, h=0.045, patch_size=5, patch_distance=6, fast_mode=True, channel_axis=-1)
    out = Image.fromarray(np.clip(d * 255.0 + 0.5, 0, 255).astype(np.uint8))
    return out.filter(ImageFilter.UnsharpMask(radius=1.6, percent=90, threshold=2))


def before_after(before_img, name, enhanced_dir):
    if enhanced_dir:
        path = os.path.join(enhanced_dir, name + "_after.png")
        if os.path.exists(path):
            after = Image.open(path).convert("RGB")
            if after.size != before_img.size:
                sys.exit("%s has size %s, expected %s" % (path, after.size, before_img.size))
            return after
        print("no %s: using the stand-in filter" % path)
    return stand_in_enhance(before_img)


def label(d, xy, text, size, fill=(255, 255, 255), shadow=(0, 0, 0), bold=False, anchor="la"):
    font = ImageFont.truetype(SANS_BOLD if bold else SANS, size)
    if shadow is not None:
        d.text((xy[0] + 1, xy[1] + 1), text, fill=shadow, font=font, anchor=anchor)
    d.text(xy, text, fill=fill, font=font, anchor=anchor)


STRIP_BG = (234, 238, 243)


def strip_source():
    # Chelsea's face, 260 x 239.
    return sample("chelsea").crop((125, 25, 385, 264))


def about_source():
    # The coffee cup, 540 x 260.
    return sample("coffee").crop((40, 60, 580, 320))


def make_strip(before, after):
    w, h = before.size
    photo = before.copy()
    split = w // 2
    photo.paste(after.crop((split, 0, w, h)), (split, 0))
    d = ImageDraw.Draw(photo)
    d.line([(split, 0), (split, h)], fill=(255, 255, 255), width=2)
    label(d, (8, h - 22), "before", 12)
    label(d, (split + 8, h - 22), "after", 12)
    label(d, (8, 8), "Vistrel", 14, bold=True)

    strip = Image.new("RGB", (338, 239), STRIP_BG)
    strip.paste(photo, (0, 0))
    # Fade the photo's right edge into the band colour that the page
    # continues with.
    fade = 60
    base = np.asarray(strip).astype(np.float32)
    bg = np.array(STRIP_BG, dtype=np.float32)
    for i in range(fade):
        x = w - fade + i
        t = (i + 1) / fade
        base[:, x] = base[:, x] * (1 - t) + bg * t
    return Image.fromarray(np.clip(base + 0.5, 0, 255).astype(np.uint8))


def make_about(before, after):
    img = Image.new("RGB", (580, 659), (255, 255, 255))
    d = ImageDraw.Draw(img)
    label(d, (290, 62), "Vistrel", 64, fill=(34, 52, 82), shadow=None, bold=True, anchor="mm")
    label(d, (290, 118), "Photo enhancement: denoise, magnify, deblur", 17, fill=(90, 100, 115),
          shadow=None, anchor="mm")

    w, h = before.size
    top = 150
    split = w // 2
    photo = before.copy()
    photo.paste(after.crop((split, 0, w, h)), (split, 0))
    pd = ImageDraw.Draw(photo)
    pd.line([(split, 0), (split, h)], fill=(255, 255, 255), width=2)
    label(pd, (10, h - 26), "before", 15)
    label(pd, (split + 10, h - 26), "after", 15)
    img.paste(photo, (20, top))
    d.rectangle([19, top - 1, 20 + w, top + h], outline=(200, 205, 212))

    # A magnified detail of each half, side by side.
    y2 = top + h + 20
    box = (250, 150, 330, 200)  # the spoon against the saucer
    for i, (src, name) in enumerate(((before, "before"), (after, "after"))):
        detail = src.crop(box).resize((240, 150), Image.BICUBIC)
        x = 35 + i * 270
        img.paste(detail, (x, y2))
        d.rectangle([x - 1, y2 - 1, x + 240, y2 + 150], outline=(200, 205, 212))
        label(d, (x + 120, y2 + 166), "detail, " + name, 14, fill=(90, 100, 115), shadow=None, anchor="mm")
    label(d, (290, 645), "Vistrel 1.3  \u00b7  Orbwell Software", 14, fill=(34, 52, 82), shadow=None,
          anchor="mm")
    return img


# -------------------------------------------------------------------- driver

def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--export-before", metavar="DIR", help="write the degraded photos for enhancement")
    ap.add_argument("--enhanced", metavar="DIR", help="use DIR/*_after.png as the enhanced halves")
    ap.add_argument("--out", default=ART, help="output folder (default ui/art)")
    args = ap.parse_args()

    strip_before = degrade(strip_source(), seed=7)
    about_before = degrade(about_source(), seed=11)
    if args.export_before:
        os.makedirs(args.export_before, exist_ok=True)
        strip_before.save(os.path.join(args.export_before, "strip_before.png"))
        about_before.save(os.path.join(args.export_before, "about_before.png"))
        return

    os.makedirs(args.out, exist_ok=True)
    out = lambda name: os.path.join(args.out, name)

    interface = make_sheet(ImageFont.truetype(SHEET, 12), 161, 230, 20, 19, 1, 1, 14)
    check_sheet(interface, "interface sheet")
    write_tga_grey(out("glyphs_interface.tga"), interface)

    heading = make_sheet(ImageFont.truetype(SHEET_BOLD, 17), 224, 316, 27, 26, 2, 2, 20)
    check_sheet(heading, "heading sheet")
    Image.fromarray(heading, "L").save(out("glyphs_heading.png"), optimize=True)

    supersampled_mask(18, draw_compare_icon).convert("RGB").save(out("icon_compare.bmp"))
    supersampled_mask(17, draw_copyright_sign).convert("RGB").save(out("icon_copyright.bmp"))

    strip = make_strip(strip_before, before_after(strip_before, "strip", args.enhanced))
    strip.save(out("strip.jpg"), quality=90)
    about = make_about(about_before, before_after(about_before, "about", args.enhanced))
    about.save(out("about.png"), optimize=True)


if __name__ == "__main__":
    main()
