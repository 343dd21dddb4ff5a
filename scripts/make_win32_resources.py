#!/usr/bin/python3
"""Writes the Windows resources of the program into platform/win32/resources/:
vistrel.ico (16, 24, 32, 48 and 256 pixels, from data/vistrel.png) and the
three cursors hand.cur (hot spot 12,4), magnifier.cur (21,8) and move.cur
(0,0), drawn here. Standard library only; deterministic. The results are
committed, so building needs no Python."""
import math
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OUT = os.path.join(ROOT, "platform", "win32", "resources")


# --- PNG in (8-bit RGBA, not interlaced: what make_icon.py writes) ---------

def read_png_rgba(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 6 and interlace == 0, "expects 8-bit RGBA"
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, prev, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, [[tuple(r[x * 4:x * 4 + 4]) for x in range(width)] for r in rows]


def shrink(pixels, size, new):
    """Area average with premultiplied alpha: each target pixel is the mean of
    the source area it covers."""
    scale = size / new
    out = []
    for ty in range(new):
        row = []
        y0, y1 = ty * scale, (ty + 1) * scale
        for tx in range(new):
            x0, x1 = tx * scale, (tx + 1) * scale
            acc = [0.0] * 4
            area = 0.0
            for sy in range(int(y0), min(size, math.ceil(y1))):
                wy = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(size, math.ceil(x1))):
                    w = wy * (min(x1, sx + 1) - max(x0, sx))
                    r, g, b, a = pixels[sy][sx]
                    acc[0] += r * a * w
                    acc[1] += g * a * w
                    acc[2] += b * a * w
                    acc[3] += a * w
                    area += w
            alpha = acc[3] / area
            if acc[3] > 0:
                rgb = [round(acc[i] / acc[3]) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], round(alpha)))
        out.append(row)
    return out


# --- ICO and CUR out -------------------------------------------------------

def dib_entry(pixels):
    """A 32-bit BMP image as icons and cursors store it: the header's height
    counts the colour rows and the AND mask, rows bottom-up."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def write_directory(path, kind, entries):
    """entries: (size, field4, field6, image bytes); for icons the fields are
    planes and bit count, for cursors the hot spot."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for size, f4, f6, image in entries:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, f4, f6, len(image), offset)
        offset += len(image)
    out += b"".join(e[3] for e in entries)
    with open(path, "wb") as f:
        f.write(out)


# --- cursor drawing: shapes as signed distances, 4 x 4 samples a pixel -----

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, half):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half


def capsule(ax, ay, bx, by, r):
    def d(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return d


def box(x0, y0, x1, y1, r=0.0):
    def d(x, y):
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        qx = abs(x - cx) - ((x1 - x0) / 2 - r)
        qy = abs(y - cy) - ((y1 - y0) / 2 - r)
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return d


def polygon(points):
    def d(x, y):
        inside, best = False, 1e9
        for i in range(len(points)):
            (ax, ay), (bx, by) = points[i], points[i - 1]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(x - ax - t * dx, y - ay - t * dy))
        return -best if inside else best
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def render(layers, size=32):
    """layers: (shape, fill colour) painted in order; every shape gets a
    one-pixel black outline so the cursor shows on any background."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    x, y = px + (sx + 0.5) / 4, py + (sy + 0.5) / 4
                    colour = None
                    for shape, fill in layers:
                        d = shape(x, y)
                        if d <= 0:
                            colour = fill
                        elif d <= 1.0:
                            colour = (0, 0, 0)
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]),
                            round(255 * acc[3] / 16)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


WHITE = (255, 255, 255)


def hand():
    # The index finger points up; its tip is the hot spot (12, 4).
    finger = capsule(12.5, 5.5, 12.5, 16, 2.5)
    others = union(capsule(17, 14, 17, 17, 2.2), capsule(21.5, 15, 21.5, 18, 2.2), capsule(25.5, 16.5, 25.5, 19, 2.0))
    palm = box(10, 15, 27.5, 28, 4)
    thumb = capsule(6.5, 16.5, 11, 23, 2.3)
    return render([(union(finger, others, palm, thumb), WHITE)])


def magnifier():
    # The lens centre is the hot spot (21, 8), with a plus inside it.
    handle = capsule(15, 14.5, 4, 26, 2.6)
    lens = circle(21, 8, 6.5)
    plus = union(box(17.8, 7.4, 24.2, 8.6), box(20.4, 4.8, 21.6, 11.2))
    return render([(handle, (96, 96, 96)), (lens, WHITE), (plus, (0, 0, 0))])


def move():
    # An arrow with its tip at the hot spot (0, 0) and a four-way sign.
    arrow = polygon([(0.5, 0.5), (0.5, 16), (4.5, 12.5), (7.5, 19), (10, 18), (7.2, 11.6), (12.5, 11.6)])
    bars = union(box(14, 21.3, 30, 22.7), box(21.3, 14, 22.7, 30))
    heads = union(polygon([(22, 12.5), (25, 16), (19, 16)]), polygon([(22, 31.5), (25, 28), (19, 28)]),
                  polygon([(12.5, 22), (16, 19), (16, 25)]), polygon([(31.5, 22), (28, 19), (28, 25)]))
    return render([(arrow, WHITE), (union(bars, heads), WHITE)])


def main():
    os.makedirs(OUT, exist_ok=True)
    png_path = os.path.join(ROOT, "data", "vistrel.png")
    size, _, pixels = read_png_rgba(png_path)
    entries = [(s, 1, 32, dib_entry(shrink(pixels, size, s))) for s in (16, 24, 32, 48)]
    entries.append((256, 1, 32, open(png_path, "rb").read()))  # large sizes stay PNG
    write_directory(os.path.join(OUT, "vistrel.ico"), 1, entries)
    for name, picture, spot in (("hand", hand(), (12, 4)), ("magnifier", magnifier(), (21, 8)),
                                ("move", move(), (0, 0))):
        write_directory(os.path.join(OUT, name + ".cur"), 2, [(32, spot[0], spot[1], dib_entry(picture))])


if __name__ == "__main__":
    main()
