#!/usr/bin/python3
"""Makes the small test files under tests/data/photo/ (orientation, ICC
profiles, EXIF) with Pillow, its LittleCMS binding (ImageCms) and exiftool;
the WebP, HEIF, AVIF, JPEG XL and DNG files with Debian's own tools (webp,
libheif-examples, libavif-bin, libjxl-tools, libraw-bin), which also decode
them into the reference pictures under ref/.

Run from the repository's root: /usr/bin/python3 scripts/make_photo_test_files.py
The pictures are drawn here, so they are ours (same licence as the program).
"""
import ctypes
import io
import os
import struct
import subprocess
import tempfile
import zlib

from PIL import Image, ImageCms

OUT = "tests/data/photo"

# An upright 24 x 16 picture in blocks of 8 x 8 (so JPEG keeps them close):
# six different colours, none symmetric, so every turn and mirror differs.
COLOURS = [(220, 30, 30), (30, 200, 40), (40, 60, 220), (230, 220, 40), (200, 40, 210), (40, 210, 210)]


def upright():
    im = Image.new("RGB", (24, 16))
    for i, colour in enumerate(COLOURS):
        x, y = (i % 3) * 8, (i // 3) * 8
        im.paste(colour, (x, y, x + 8, y + 8))
    return im


# What turns the upright picture into the stored one for each orientation:
# the inverse of what a viewer does to show it.
STORE = {
    1: None,
    2: Image.Transpose.FLIP_LEFT_RIGHT,
    3: Image.Transpose.ROTATE_180,
    4: Image.Transpose.FLIP_TOP_BOTTOM,
    5: Image.Transpose.TRANSPOSE,
    6: Image.Transpose.ROTATE_90,
    7: Image.Transpose.TRANSVERSE,
    8: Image.Transpose.ROTATE_270,
}


def exif_with(orientation, width, height):
    exif = Image.Exif()
    exif[0x0112] = orientation  # Orientation
    exif[0x010F] = "Vistrel test"  # Make
    exif[0x0132] = "2026:12:07 04:00:00"  # DateTime
    # The Exif directory: PixelXDimension, PixelYDimension, DateTimeOriginal.
    exif[0x8769] = {0xA002: width, 0xA003: height, 0x9003: "2026:12:07 04:00:00"}
    return exif


class CIExyY(ctypes.Structure):
    _fields_ = [("x", ctypes.c_double), ("y", ctypes.c_double), ("Y", ctypes.c_double)]


def p3_profile(table_entries=0):
    """Display P3 (DCI-P3 primaries, D65 white, the sRGB tone curve), made
    with LittleCMS itself through its C interface. With table_entries the
    curves are tables that long instead (a large profile)."""
    lcms = ctypes.CDLL("liblcms2.so.2")
    lcms.cmsBuildParametricToneCurve.restype = ctypes.c_void_p
    lcms.cmsBuildParametricToneCurve.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.POINTER(ctypes.c_double)]
    lcms.cmsCreateRGBProfile.restype = ctypes.c_void_p
    lcms.cmsCreateRGBProfile.argtypes = [ctypes.POINTER(CIExyY), ctypes.POINTER(CIExyY * 3), ctypes.c_void_p * 3]
    lcms.cmsSaveProfileToMem.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint32)]
    lcms.cmsMLUalloc.restype = ctypes.c_void_p
    lcms.cmsMLUalloc.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lcms.cmsMLUsetASCII.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p]
    lcms.cmsWriteTag.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p]
    params = (ctypes.c_double * 5)(2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045)
    curve = lcms.cmsBuildParametricToneCurve(None, 4, params)
    curves = [curve, curve, curve]
    if table_entries:
        lcms.cmsBuildTabulatedToneCurve16.restype = ctypes.c_void_p
        lcms.cmsBuildTabulatedToneCurve16.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.POINTER(ctypes.c_uint16)]
        curves = []
        for channel in range(3):  # three different tables, so none is shared
            values = [min(65535, round(65535 * (i / (table_entries - 1)) ** (2.2 + channel / 1000)))
                      for i in range(table_entries)]
            table = (ctypes.c_uint16 * table_entries)(*values)
            curves.append(lcms.cmsBuildTabulatedToneCurve16(None, table_entries, table))
    white = CIExyY(0.3127, 0.3290, 1.0)
    primaries = (CIExyY * 3)(CIExyY(0.680, 0.320, 1.0), CIExyY(0.265, 0.690, 1.0), CIExyY(0.150, 0.060, 1.0))
    profile = lcms.cmsCreateRGBProfile(ctypes.byref(white), ctypes.byref(primaries),
                                       (ctypes.c_void_p * 3)(*curves))
    description = lcms.cmsMLUalloc(None, 1)
    lcms.cmsMLUsetASCII(description, b"en", b"US", b"Display P3 (Vistrel test)")
    lcms.cmsWriteTag(profile, 0x64657363, description)  # 'desc'
    size = ctypes.c_uint32(0)
    lcms.cmsSaveProfileToMem(profile, None, ctypes.byref(size))
    buffer = ctypes.create_string_buffer(size.value)
    lcms.cmsSaveProfileToMem(profile, buffer, ctypes.byref(size))
    return buffer.raw[:size.value]


def cmyk_profile():
    """A small CMYK printer profile: a 2-point grid from the 16 ink corners to
    Lab, where the inks act as ideal subtractive filters on sRGB colours."""
    lcms = ctypes.CDLL("liblcms2.so.2")
    for name, restype in [("cmsCreateProfilePlaceholder", ctypes.c_void_p), ("cmsPipelineAlloc", ctypes.c_void_p),
                          ("cmsStageAllocCLut16bit", ctypes.c_void_p), ("cmsCreate_sRGBProfile", ctypes.c_void_p),
                          ("cmsCreateLab4Profile", ctypes.c_void_p), ("cmsCreateTransform", ctypes.c_void_p),
                          ("cmsMLUalloc", ctypes.c_void_p)]:
        getattr(lcms, name).restype = restype
    lcms.cmsCreateTransform.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p, ctypes.c_uint32,
                                        ctypes.c_uint32, ctypes.c_uint32]
    lcms.cmsDoTransform.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32]
    lcms.cmsCreateLab4Profile.argtypes = [ctypes.c_void_p]
    lcms.cmsPipelineAlloc.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint32]
    lcms.cmsStageAllocCLut16bit.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_uint32,
                                            ctypes.POINTER(ctypes.c_uint16)]
    lcms.cmsPipelineInsertStage.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p]
    lcms.cmsSetProfileVersion.argtypes = [ctypes.c_void_p, ctypes.c_double]
    lcms.cmsSetDeviceClass.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lcms.cmsSetColorSpace.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lcms.cmsSetPCS.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lcms.cmsWriteTag.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p]
    lcms.cmsMLUalloc.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lcms.cmsMLUsetASCII.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p]
    lcms.cmsSaveProfileToMem.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint32)]
    # sRGB doubles to Lab doubles (TYPE_RGB_DBL, TYPE_Lab_DBL).
    type_rgb_dbl = (4 << 16) | (3 << 3) | (0 << 0) | (1 << 22)
    type_lab_dbl = (10 << 16) | (3 << 3) | (0 << 0) | (1 << 22)
    to_lab = lcms.cmsCreateTransform(lcms.cmsCreate_sRGBProfile(), type_rgb_dbl, lcms.cmsCreateLab4Profile(None),
                                     type_lab_dbl, 1, 0)
    table = []
    for index in range(16):  # the first input (cyan) varies slowest
        c, m, y, k = [(index >> (3 - bit)) & 1 for bit in range(4)]
        rgb = (ctypes.c_double * 3)((1 - c) * (1 - k) * 100, (1 - m) * (1 - k) * 100, (1 - y) * (1 - k) * 100)
        rgb = (ctypes.c_double * 3)(*[v / 100 for v in rgb])
        lab = (ctypes.c_double * 3)()
        lcms.cmsDoTransform(to_lab, rgb, lab, 1)
        table += [round(lab[0] * 652.80), round((lab[1] + 128) * 256), round((lab[2] + 128) * 256)]
    table = (ctypes.c_uint16 * len(table))(*[min(65535, max(0, v)) for v in table])
    profile = lcms.cmsCreateProfilePlaceholder(None)
    lcms.cmsSetProfileVersion(profile, 2.1)  # written as lut16Type, v2 Lab encoding
    lcms.cmsSetDeviceClass(profile, 0x70727472)  # 'prtr'
    lcms.cmsSetColorSpace(profile, 0x434D594B)  # 'CMYK'
    lcms.cmsSetPCS(profile, 0x4C616220)  # 'Lab '
    pipeline = lcms.cmsPipelineAlloc(None, 4, 3)
    lcms.cmsPipelineInsertStage(pipeline, 1, lcms.cmsStageAllocCLut16bit(None, 2, 4, 3, table))
    lcms.cmsWriteTag(profile, 0x41324230, pipeline)  # 'A2B0'
    description = lcms.cmsMLUalloc(None, 1)
    lcms.cmsMLUsetASCII(description, b"en", b"US", b"Ideal inks (Vistrel test)")
    lcms.cmsWriteTag(profile, 0x64657363, description)
    size = ctypes.c_uint32(0)
    lcms.cmsSaveProfileToMem(profile, None, ctypes.byref(size))
    buffer = ctypes.create_string_buffer(size.value)
    lcms.cmsSaveProfileToMem(profile, buffer, ctypes.byref(size))
    return buffer.raw[:size.value]


def main():
    os.makedirs(OUT, exist_ok=True)
    base = upright()
    base.save(f"{OUT}/upright.png")
    for o, method in STORE.items():
        stored = base if method is None else base.transpose(method)
        exif = exif_with(o, stored.width, stored.height)
        stored.save(f"{OUT}/orientation_{o}.jpg", quality=100, subsampling=0, exif=exif)
        stored.save(f"{OUT}/orientation_{o}.png", exif=exif)
        stored.save(f"{OUT}/orientation_{o}.tif", tiffinfo={274: o})

    # A profiled photo: saturated colours meant as Display P3, in each type
    # that holds a profile.
    icc = p3_profile()
    with open(f"{OUT}/display_p3.icc", "wb") as f:
        f.write(icc)
    base.save(f"{OUT}/p3.png", icc_profile=icc)
    base.save(f"{OUT}/p3.tif", icc_profile=icc)
    base.save(f"{OUT}/p3.jpg", quality=100, subsampling=0, icc_profile=icc)
    # The same pixels converted to sRGB by Pillow's LittleCMS, to compare with.
    srgb = ImageCms.profileToProfile(base, ImageCms.ImageCmsProfile(io.BytesIO(icc)),
                                     ImageCms.createProfile("sRGB"), renderingIntent=ImageCms.Intent.RELATIVE_COLORIMETRIC,
                                     flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"])
    srgb.save(f"{OUT}/p3_as_srgb.png")

    # A profile over 128 KB, which a JPEG file splits over three segments.
    base.save(f"{OUT}/large_profile.jpg", quality=100, subsampling=0, icc_profile=p3_profile(25000))

    # A CMYK JPEG with a CMYK profile, and what LittleCMS makes of its inks.
    cmyk = cmyk_profile()
    inks = Image.new("CMYK", (24, 16))
    for i, colour in enumerate([(0, 200, 200, 0), (200, 0, 200, 0), (200, 200, 0, 0),
                                (0, 0, 0, 128), (0, 100, 0, 60), (40, 0, 120, 20)]):
        x, y = (i % 3) * 8, (i // 3) * 8
        inks.paste(colour, (x, y, x + 8, y + 8))
    inks.save(f"{OUT}/cmyk.jpg", quality=100, icc_profile=cmyk)
    inks = Image.open(f"{OUT}/cmyk.jpg")
    ImageCms.profileToProfile(inks, ImageCms.ImageCmsProfile(io.BytesIO(cmyk)), ImageCms.createProfile("sRGB"),
                              renderingIntent=ImageCms.Intent.RELATIVE_COLORIMETRIC, outputMode="RGB",
                              flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"]).save(f"{OUT}/cmyk_as_srgb.png")

    # A photo with a thumbnail in its EXIF block, for the size change.
    subprocess.run(["exiftool", "-q", "-overwrite_original", "-ThumbnailImage<=" + f"{OUT}/orientation_1.jpg",
                    "-Model=Test camera", "-GPSLatitude=47.5", "-GPSLatitudeRef=N", f"{OUT}/orientation_6.jpg"],
                   check=True)


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def reference(decoded, name):
    """Saves what a tool decoded as ref/NAME.png, in RGB or RGBA."""
    im = Image.open(decoded)
    im.load()
    im.convert("RGBA" if "A" in im.getbands() else "RGB").save(f"{OUT}/ref/{name}.png")


def tiff_entry(tag, kind, values):
    """One IFD entry as (tag, type, count, bytes); kind is a struct letter
    set: H SHORT, I LONG, B BYTE, s ASCII, r RATIONAL, R SRATIONAL."""
    if kind == "s":
        data = values.encode() + b"\0"
        return tag, 2, len(data), data
    if kind in "rR":
        data = b"".join(struct.pack("<" + ("II" if kind == "r" else "ii"), n, d) for n, d in values)
        return tag, 5 if kind == "r" else 10, len(values), data
    code = {"B": 1, "H": 3, "I": 4}[kind]
    return tag, code, len(values), struct.pack("<" + kind * len(values), *values)


def tiff_file(path, entries, samples, exif=()):
    """A little-endian TIFF of one strip: entries as tiff_entry gives them
    (the strip's offset, tag 273, is filled in here), then the samples, then
    an Exif directory of the exif entries (values of at most 4 bytes), if any."""
    extras = [tiff_entry(273, "I", [0]), tiff_entry(279, "I", [len(samples)])]
    entries = sorted(entries + extras + ([tiff_entry(34665, "I", [0])] if exif else []))
    data_at = 8 + 2 + 12 * len(entries) + 4
    strip_at = data_at + sum((len(e[3]) + 1) // 2 * 2 for e in entries if len(e[3]) > 4)
    ifd, extra = struct.pack("<H", len(entries)), bytearray()
    for tag, kind, count, data in entries:
        if tag == 273:
            data = struct.pack("<I", strip_at)
        if tag == 34665:
            data = struct.pack("<I", strip_at + len(samples))
        if len(data) <= 4:
            ifd += struct.pack("<HHI", tag, kind, count) + data.ljust(4, b"\0")
        else:
            ifd += struct.pack("<HHII", tag, kind, count, data_at + len(extra))
            extra += data + b"\0" * (len(data) % 2)
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", 8) + ifd + struct.pack("<I", 0) + extra + samples)
        if exif:
            f.write(struct.pack("<H", len(exif)) + b"".join(struct.pack("<HHI", tag, kind, count) + data.ljust(4, b"\0")
                                                          for tag, kind, count, data in sorted(exif)) + bytes(4))


def write_dng(path, picture, orientation, active_rows=None):
    """A minimal DNG 1.4: 16-bit uncompressed RGGB mosaic of the picture
    (stored for the orientation), a camera that sees linear sRGB; with
    active_rows, only the sensor's top rows make the picture."""
    w, h = picture.size
    px = picture.load()
    lin = [round(65535 * ((c / 255) / 12.92 if c <= 10 else ((c / 255 + 0.055) / 1.055) ** 2.4)) for c in range(256)]
    black, white = 256, 65535
    samples = bytearray()
    for y in range(h):
        for x in range(w):
            channel = (0, 1, 1, 2)[(y % 2) * 2 + x % 2]
            value = black + lin[px[x, y][channel]] * (white - black) // 65535
            samples += struct.pack("<H", value)
    # XYZ (D65) to camera, the inverse of sRGB's primaries, in ten-thousandths.
    matrix = [32406, -15372, -4986, -9689, 18758, 415, 557, -2040, 10570]
    entries = [tiff_entry(254, "I", [0]), tiff_entry(256, "I", [w]), tiff_entry(257, "I", [h]),
               tiff_entry(258, "H", [16]), tiff_entry(259, "H", [1]), tiff_entry(262, "H", [32803]),
               tiff_entry(274, "H", [orientation]), tiff_entry(277, "H", [1]), tiff_entry(278, "I", [h]),
               tiff_entry(284, "H", [1]),
               tiff_entry(33421, "H", [2, 2]), tiff_entry(33422, "B", [0, 1, 1, 2]),
               # The shot: 1/250 s at f/2.8, 50 mm; ISO 400 in the Exif directory, the only place LibRaw reads it.
               tiff_entry(33434, "r", [(1, 250)]), tiff_entry(33437, "r", [(28, 10)]), tiff_entry(37386, "r", [(50, 1)]),
               tiff_entry(50706, "B", [1, 4, 0, 0]), tiff_entry(50708, "s", "Vistrel test camera"),
               tiff_entry(50714, "H", [black]), tiff_entry(50717, "I", [white]),
               tiff_entry(50721, "R", [(m, 10000) for m in matrix]), tiff_entry(50728, "r", [(1, 1)] * 3),
               tiff_entry(50778, "H", [21])]
    if active_rows:
        entries.append(tiff_entry(50829, "I", [0, 0, active_rows, w]))  # ActiveArea: top, left, bottom, right
    tiff_file(path, entries, samples, [tiff_entry(34855, "H", [400])])


def new_formats(base):
    """WebP, HEIC, AVIF, JPEG XL and DNG files, each with its tool's own
    decode under ref/ to compare with."""
    os.makedirs(f"{OUT}/ref", exist_ok=True)
    tmp = tempfile.mkdtemp()
    exif6 = f"{tmp}/exif6.bin"
    with open(exif6, "wb") as f:
        f.write(subprocess.run(["exiftool", "-b", "-EXIF", f"{OUT}/orientation_6.png"], check=True,
                               capture_output=True).stdout)
    alpha = base.convert("RGBA")
    alpha.paste((0, 0, 0, 0), (0, 0, 8, 8))
    alpha.paste((90, 20, 40, 128), (8, 8, 16, 16))
    alpha.save(f"{tmp}/alpha.png")
    second = Image.new("RGB", (24, 16), (128, 128, 128))
    second.save(f"{tmp}/second.png")

    # WebP: lossless, lossy, alpha, an animation (its first frame is the
    # upright picture), every orientation in the EXIF chunk, a profile.
    run("cwebp", "-quiet", "-lossless", "-exact", f"{OUT}/upright.png", "-o", f"{OUT}/upright.webp")
    run("cwebp", "-quiet", "-q", "90", f"{OUT}/upright.png", "-o", f"{OUT}/lossy.webp")
    run("cwebp", "-quiet", "-lossless", "-exact", f"{tmp}/alpha.png", "-o", f"{OUT}/alpha.webp")
    run("img2webp", "-lossless", f"{OUT}/upright.png", f"{tmp}/second.png", "-o", f"{OUT}/animated.webp")
    # An animation without alpha whose first frame covers only the canvas's top-left corner.
    base.crop((0, 0, 8, 8)).save(f"{tmp}/corner.png")
    run("cwebp", "-quiet", "-lossless", f"{tmp}/corner.png", "-o", f"{tmp}/corner.webp")
    run("cwebp", "-quiet", "-lossless", f"{OUT}/upright.png", "-o", f"{tmp}/whole.webp")
    run("webpmux", "-frame", f"{tmp}/corner.webp", "+100+0+0+0-b", "-frame", f"{tmp}/whole.webp", "+100",
        "-loop", "0", "-o", f"{OUT}/animated_corner.webp")
    run("cwebp", "-quiet", "-lossless", "-metadata", "icc", f"{OUT}/p3.png", "-o", f"{OUT}/p3.webp")
    for o in range(1, 9):
        run("cwebp", "-quiet", "-lossless", f"{OUT}/orientation_{o}.png", "-o", f"{tmp}/o.webp")
        with open(f"{tmp}/exif.bin", "wb") as f:
            f.write(subprocess.run(["exiftool", "-b", "-EXIF", f"{OUT}/orientation_{o}.png"], check=True,
                                   capture_output=True).stdout)
        run("webpmux", "-set", "exif", f"{tmp}/exif.bin", f"{tmp}/o.webp", "-o", f"{OUT}/orientation_{o}.webp")
    for name in ("lossy", "alpha"):
        run("dwebp", "-quiet", f"{OUT}/{name}.webp", "-o", f"{tmp}/d.png")
        reference(f"{tmp}/d.png", f"{name}_webp")

    # HEIC and AVIF through libheif and libavif: the picture at quality 90,
    # the profiled one, and orientation 6 (libavif turns EXIF orientation
    # into the container's irot; heif-enc keeps the block as it is).
    run("heif-enc", "-q", "90", f"{OUT}/upright.png", "-o", f"{OUT}/upright.heic")
    run("heif-enc", "-q", "90", f"{OUT}/p3.png", "-o", f"{OUT}/p3.heic")
    run("avifenc", "-s", "8", "--min", "10", "--max", "10", f"{OUT}/upright.png", f"{OUT}/upright.avif")
    run("avifenc", "-s", "8", "--min", "10", "--max", "10", f"{tmp}/alpha.png", f"{OUT}/alpha.avif")
    run("avifenc", "-s", "8", "--min", "10", "--max", "10", f"{OUT}/p3.png", f"{OUT}/p3.avif")
    run("avifenc", "-s", "8", "--min", "10", "--max", "10", "--exif", exif6, f"{OUT}/orientation_6.png",
        f"{OUT}/orientation_6.avif")
    for name, ext in (("upright", "heic"), ("upright", "avif"), ("alpha", "avif")):
        decoder = ["heif-convert", f"{OUT}/{name}.{ext}"] if ext == "heic" else ["avifdec", f"{OUT}/{name}.{ext}"]
        run(*decoder, f"{tmp}/d.png")
        reference(f"{tmp}/d.png", f"{name}_{ext}")

    # JPEG XL: lossless, lossy (XYB, which must come back in the file's own
    # colours, not linear light), the profiled one both ways, orientation 6
    # (cjxl moves it into the codestream).
    run("cjxl", "--quiet", f"{OUT}/upright.png", f"{OUT}/upright.jxl", "-d", "0")
    run("cjxl", "--quiet", f"{OUT}/upright.png", f"{OUT}/lossy.jxl", "-d", "1")
    run("cjxl", "--quiet", f"{OUT}/p3.png", f"{OUT}/p3.jxl", "-d", "1")
    run("cjxl", "--quiet", f"{OUT}/orientation_6.png", f"{OUT}/orientation_6.jxl", "-d", "0")
    run("cjxl", "--quiet", f"{tmp}/alpha.png", f"{OUT}/alpha.jxl", "-d", "0")
    for name in ("lossy", "p3"):
        run("djxl", f"{OUT}/{name}.jxl", f"{tmp}/d.png")
        reference(f"{tmp}/d.png", f"{name}_jxl")

    # A DNG written here: the picture at twice its size (LibRaw takes no
    # side under 22) stored for orientation 6 as a mosaic, and what LibRaw's
    # dcraw_emu develops from it with the camera's balance.
    stored = base.resize((48, 32), Image.Resampling.NEAREST).transpose(STORE[6])
    write_dng(f"{OUT}/orientation_6.dng", stored, 6)
    write_dng(f"{OUT}/half_sensor.dng", stored, 6, 24)  # a sensor of twice the picture's pixels
    run("dcraw_emu", "-w", "-Z", f"{tmp}/d.ppm", f"{OUT}/orientation_6.dng")
    reference(f"{tmp}/d.ppm", "orientation_6_dng")

    # A WebP named .jpg, as pictures saved from the web often are.
    with open(f"{OUT}/upright.webp", "rb") as source, open(f"{OUT}/webp_named.jpg", "wb") as target:
        target.write(source.read())


def odd_tiffs(out=OUT):
    """TIFF layouts libtiff leaves to the program: 12-bit grey, Deflate with
    horizontal differencing (with the 8-bit picture it must read as), and
    16-bit CMYK with unassociated alpha, and the same at 8 bits (whose alpha
    libtiff's RGBA reader drops)."""
    os.makedirs(out, exist_ok=True)
    w, h = 16, 16
    for bits in (12, 15):  # 15: one short of a depth libtiff undoes itself
        top = (1 << bits) - 1
        values = [[((x * 397 + y * 1231 + x * y * 29) * (top + 1) // 4096 + (x ^ y) * (bits - 12)) % (top + 1)
                   for x in range(w)] for y in range(h)]
        packed = bytearray()
        for row in values:
            deltas = [row[0]] + [(row[x] - row[x - 1]) % (top + 1) for x in range(1, w)]
            bitstring = "".join(format(v, f"0{bits}b") for v in deltas)
            bitstring += "0" * (-len(bitstring) % 8)
            packed += int(bitstring, 2).to_bytes(len(bitstring) // 8, "big")
        tiff_file(f"{out}/grey{bits}_predictor.tif",
                  [tiff_entry(256, "I", [w]), tiff_entry(257, "I", [h]), tiff_entry(258, "H", [bits]),
                   tiff_entry(259, "H", [8]), tiff_entry(262, "H", [1]), tiff_entry(277, "H", [1]),
                   tiff_entry(278, "I", [h]), tiff_entry(317, "H", [2]), tiff_entry(65000, "H", [1])],
                  zlib.compress(bytes(packed)))  # 65000: a private tag, which libtiff warns of
        grey = Image.new("L", (w, h))
        grey.putdata([(v * 255 + top // 2) // top for row in values for v in row])
        grey.save(f"{out}/grey{bits}_predictor.png")
    inks = struct.pack("<10H", 0, 0, 0, 0, 0x8080, 0xFFFF, 0, 0, 0, 0xFFFF)  # white at half alpha, cyan
    tiff_file(f"{out}/cmyk16_alpha.tif",
              [tiff_entry(256, "I", [2]), tiff_entry(257, "I", [1]), tiff_entry(258, "H", [16] * 5),
               tiff_entry(259, "H", [1]), tiff_entry(262, "H", [5]), tiff_entry(277, "H", [5]),
               tiff_entry(278, "I", [1]), tiff_entry(338, "H", [2])], inks)
    tiff_file(f"{out}/cmyk8_alpha.tif",
              [tiff_entry(256, "I", [2]), tiff_entry(257, "I", [1]), tiff_entry(258, "H", [8] * 5),
               tiff_entry(259, "H", [1]), tiff_entry(262, "H", [5]), tiff_entry(277, "H", [5]),
               tiff_entry(278, "I", [1]), tiff_entry(338, "H", [2])], bytes([0, 0, 0, 0, 0x80, 0xFF, 0, 0, 0, 0xFF]))


if __name__ == "__main__":
    main()
    odd_tiffs()
