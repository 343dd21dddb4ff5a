#!/usr/bin/python3
"""Makes the before/after crops of the help's example pages with our own
engine: runs vistrel-cli on the bundled samples and cuts the same region from
the input and the result. Rerun it whenever the engine's results change.

Usage: scripts/make_help_examples.py [path to vistrel-cli]
       (default: build/release/vistrel-cli; build it first with make release)
"""
import html
import os
import subprocess
import sys
import tempfile

from PIL import Image

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SAMPLES = os.path.join(ROOT, "Samples")
HELP = os.path.join(ROOT, "Help")
OUT = os.path.join(HELP, "examples")

# (sample, preset, crop box in source pixels, what the example shows)
DENOISE = [
    ("coffee-noisy.png", "Fine digicam noise", (260, 60, 460, 210),
     "Camera grain on a coffee cup. The grain is calmed while the rim, the reflections and the saucer's edge keep "
     "their sharpness."),
    ("chelsea-phone.jpg", "Phone camera noise", (150, 60, 330, 195),
     "Strong, blotchy noise as a small phone sensor makes it in dim light. The speckle in the fur and the eyes "
     "is reduced; for noise this strong, raise \"Denoise amount\" and \"Denoise cutoff\" for a smoother result."),
    ("rocket-harsh.jpg", "Harsh Jpeg artifacts", (240, 100, 400, 220),
     "A photo squeezed hard by JPEG compression. The block edges in the evening sky and the colour fringes "
     "around the rocket are softened, while its outline stays."),
]
MAGNIFY = [
    ("astronaut-small.png", "Photo 2x zoom", 2, (40, 10, 120, 90),
     "Twice the width and height. Left: the picture simply enlarged; right: enlarged by Vistrel, whose detail "
     "is rebuilt from larger matches elsewhere in the picture and then lightly sharpened."),
    ("astronaut-small.png", "Photo 4x zoom", 4, (40, 10, 120, 90),
     "Four times the width and height, from a 160 x 160 picture."),
]
SHOW = 2  # crops are shown enlarged by this factor (pixel for pixel, no smoothing)


def run_cli(cli, args):
    subprocess.run([cli, "--quiet", "--overwrite"] + args, check=True)


def save_crop(picture, box, scale, name):
    crop = picture.crop(box)
    crop = crop.resize((crop.width * scale, crop.height * scale), Image.NEAREST)
    crop.save(os.path.join(OUT, name), optimize=True)
    return name, crop.width, crop.height


def page(title, intro, rows):
    parts = [f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>{html.escape(title)}</title>
<style>
body {{ font-family: sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; color: #222; }}
h1, h2 {{ color: #204020; }}
figure {{ display: inline-block; margin: 0.3em 0.6em 0.3em 0; }}
figcaption {{ font-size: 0.9em; color: #555; }}
img {{ image-rendering: pixelated; border: 1px solid #888; }}
</style>
</head>
<body>
<h1>{html.escape(title)}</h1>
<p>{intro}</p>
<p><a href="index.html">Back to the help contents</a></p>
"""]
    for heading, text, left, right in rows:
        parts.append(f"<h2>{html.escape(heading)}</h2>\n<p>{html.escape(text)}</p>\n")
        for (name, w, h), caption in (left, right):
            parts.append(f'<figure><img src="examples/{name}" width="{w}" height="{h}" alt="{html.escape(caption)}">'
                         f"<figcaption>{html.escape(caption)}</figcaption></figure>\n")
    parts.append("<p>These crops are made by <code>scripts/make_help_examples.py</code>, which runs Vistrel's own "
                 "engine (<code>vistrel-cli</code>) on the sample pictures in the <code>Samples</code> folder, so "
                 "you can repeat them yourself: open the same sample and choose the same preset.</p>\n"
                 "</body>\n</html>\n")
    return "".join(parts)


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "release", "vistrel-cli")
    if not os.access(cli, os.X_OK):
        sys.exit(f"vistrel-cli not found at {cli}: build it first (make release)")
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        rows = []
        for sample, preset, box, text in DENOISE:
            stem = os.path.splitext(sample)[0]
            result = os.path.join(work, stem + ".png")
            run_cli(cli, ["--preset", preset, "-o", result, os.path.join(SAMPLES, sample)])
            before = save_crop(Image.open(os.path.join(SAMPLES, sample)).convert("RGB"), box, SHOW, stem + "-before.png")
            after = save_crop(Image.open(result).convert("RGB"), box, SHOW, stem + "-after.png")
            rows.append((f"{preset}: {sample}", text, (before, "Before"), (after, f'After "{preset}"')))
        with open(os.path.join(HELP, "denoiseexamples.html"), "w") as f:
            f.write(page("Denoising examples",
                         "Each pair shows the same part of a sample picture before and after Vistrel, enlarged "
                         "two times so that single pixels can be seen.", rows))

        rows = []
        for sample, preset, factor, box, text in MAGNIFY:
            stem = f"{os.path.splitext(sample)[0]}-{factor}x"
            result = os.path.join(work, stem + ".png")
            run_cli(cli, ["--preset", preset, "-o", result, os.path.join(SAMPLES, sample)])
            source = Image.open(os.path.join(SAMPLES, sample)).convert("RGB")
            plain = source.resize((source.width * factor, source.height * factor), Image.BILINEAR)
            big_box = tuple(v * factor for v in box)
            scale = max(1, SHOW * 2 // factor)
            before = save_crop(plain, big_box, scale, stem + "-plain.png")
            after = save_crop(Image.open(result).convert("RGB"), big_box, scale, stem + "-vistrel.png")
            rows.append((f"{preset}: {sample}", text, (before, "Simply enlarged (bilinear)"),
                         (after, f'Vistrel "{preset}"')))
        with open(os.path.join(HELP, "magnifyexamples.html"), "w") as f:
            f.write(page("Magnification examples",
                         "Each pair shows the same part of an enlarged picture: on the left simply scaled up, on "
                         "the right enlarged by Vistrel. Use \"All scales\" (the zoom presets select it) whenever "
                         "you enlarge.", rows))


if __name__ == "__main__":
    main()
