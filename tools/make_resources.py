#!/usr/bin/env python3
"""Draws Tessaro's icon and banner and writes them to src/ui/res/.

Standard library only, so anyone can regenerate the art without installing an image library. Every image is
computed pixel by pixel from simple shapes and the output is byte-for-byte the same on every run. The generated
files are committed, so the build never runs this script.

    python3 tools/make_resources.py
"""

import colorsys
import lzma
import math
import struct
from pathlib import Path

RES_DIR = Path(__file__).resolve().parent.parent / "src" / "ui" / "res"

# The classic 16-colour Windows palette, in the order GDI uses for 4-bit DIBs.
VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, OLIVE, SILVER, GRAY, YELLOW, WHITE = 0, 1, 3, 7, 8, 11, 15


# ----------------------------------------------------------------------------------------------------------------
# Geometry helpers


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(lerp(a, b, t) for a, b in zip(c1, c2))


def seg_dist(px, py, ax, ay, bx, by):
    """Distance from a point to the segment a-b."""
    dx, dy = bx - ax, by - ay
    len2 = dx * dx + dy * dy
    t = 0.0 if len2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / len2))
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def in_convex(px, py, pts):
    """True if the point lies inside the convex polygon (either winding)."""
    sign = 0
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax)
        if cross != 0:
            s = 1 if cross > 0 else -1
            if sign == 0:
                sign = s
            elif s != sign:
                return False
    return True


class Face:
    """A filled convex polygon whose flagged edges get an outline drawn just inside the shape.

    Drawing the outline inside keeps shared edges single-width: only one of two neighbouring faces strokes it.
    """

    def __init__(self, pts, colour, index, outline=None, outline_index=BLACK, edges=(), width=1.0, decor=()):
        self.pts = pts
        self.colour = colour
        self.index = index
        self.outline = outline
        self.outline_index = outline_index
        self.edges = [(pts[i], pts[(i + 1) % len(pts)]) for i in edges]
        self.width = width
        self.decor = decor  # (polygon, colour, index) drawn over the fill, under the outline

    def sample(self, x, y):
        if not in_convex(x, y, self.pts):
            return None
        for (ax, ay), (bx, by) in self.edges:
            if seg_dist(x, y, ax, ay, bx, by) < self.width:
                return self.outline, self.outline_index, 2.5
        for pts, colour, index in self.decor:
            if in_convex(x, y, pts):
                return colour, index, 1.0
        return self.colour, self.index, 1.0


# ----------------------------------------------------------------------------------------------------------------
# The program icon: a software box with a CD in front of it


class Disc:
    """A compact disc: dark rim, rainbow sheen, clear hub and a hole that shows what is behind it."""

    def __init__(self, cx, cy, r, size):
        self.cx, self.cy, self.r = cx, cy, r
        self.w = max(1.0, round(size / 32))
        self.hub = r * 0.38
        self.hole = max(0.75, r * 0.13)
        self.small = size < 20

    def sample(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        d = math.hypot(dx, dy)
        if d > self.r or d < self.hole:
            return None
        if d > self.r - self.w:
            return (64, 70, 82), BLACK, 2.5
        if d < self.hole + self.w * 0.8:
            return (120, 128, 140), GRAY, 2.0
        if d < self.hub:
            if not self.small and d > self.hub - self.w * 0.8:
                return (168, 176, 188), GRAY, 1.5
            return (236, 240, 245), WHITE, 1.0
        angle = math.atan2(dy, dx)
        # Two glints on the diagonal and a faint rainbow between them, like light on the data side.
        glint = max(0.0, math.cos(2 * (angle + math.pi * 0.75))) ** 6
        hue = (angle / (2 * math.pi) * 2 + 0.15) % 1.0
        rainbow = tuple(255 * c for c in colorsys.hsv_to_rgb(hue, 0.55, 1.0))
        radial = (d - self.hub) / (self.r - self.hub)
        colour = mix((190, 196, 208), rainbow, 0.32 + 0.1 * radial)
        colour = mix(colour, (255, 255, 255), glint * 0.85)
        index = WHITE if glint > 0.3 else SILVER
        return colour, index, 1.0


def icon_layers(size):
    """Shapes of the icon at one pixel size, topmost first, in pixel coordinates."""
    f = size / 32.0

    def px(v):
        return math.floor(v * f + 0.5)

    w = max(1.0, round(size / 32))
    left, top, right, bottom = px(1), px(11), px(19), px(29)
    back_dx, back_dy = px(9), -px(7)
    front = [(left, top), (right, top), (right, bottom), (left, bottom)]
    lid = [(left, top), (left + back_dx, top + back_dy), (right + back_dx, top + back_dy), (right, top)]
    side = [(right, top), (right + back_dx, top + back_dy), (right + back_dx, bottom + back_dy), (right, bottom)]

    # Packing tape across the lid and down the front flap.
    t0 = left + round((right - left) * 0.38)
    t1 = left + round((right - left) * 0.62)
    if t1 - t0 < 2:
        t1 = t0 + 2
    tape_lid = [(t0, top), (t0 + back_dx, top + back_dy), (t1 + back_dx, top + back_dy), (t1, top)]
    tape_front = [(t0, top), (t1, top), (t1, top + max(2, px(6))), (t0, top + max(2, px(6)))]

    edge = (92, 58, 24)
    box = [
        Face(front, (222, 168, 96), OLIVE, edge, BLACK, edges=(0, 1, 2, 3), width=w,
             decor=[(tape_front, (196, 140, 70), MAROON)]),
        Face(lid, (244, 210, 148), YELLOW, edge, BLACK, edges=(0, 1, 2), width=w,
             decor=[(tape_lid, (206, 156, 86), OLIVE)]),
        Face(side, (178, 124, 62), MAROON, edge, BLACK, edges=(1, 2, 3), width=w),
    ]
    disc = Disc(22 * f, 22 * f, 9.9 * f, size)
    return [disc] + box


def render(layers, width, height, ss):
    """Supersamples the layers: returns straight RGBA floats (0..1 alpha) and a 16-colour index image.

    The index image takes, per pixel, the index with the most weighted coverage, so thin outlines survive even
    where they only cover part of a pixel.
    """
    rgba = []
    indices = []
    n = ss * ss
    for y in range(height):
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            votes = {}
            for sy in range(ss):
                for sx in range(ss):
                    fx = x + (sx + 0.5) / ss
                    fy = y + (sy + 0.5) / ss
                    hit = None
                    for layer in layers:
                        hit = layer.sample(fx, fy)
                        if hit is not None:
                            break
                    if hit is None:
                        votes[None] = votes.get(None, 0) + 1.0
                        continue
                    colour, index, weight = hit
                    acc[0] += colour[0]
                    acc[1] += colour[1]
                    acc[2] += colour[2]
                    hits += 1
                    votes[index] = votes.get(index, 0) + weight
            if hits:
                rgba.append((acc[0] / hits, acc[1] / hits, acc[2] / hits, hits / n))
            else:
                rgba.append((0.0, 0.0, 0.0, 0.0))
            # Ties go to the lower index so the result never depends on dict order.
            best = max(votes.items(), key=lambda kv: (kv[1], -1 if kv[0] is None else -kv[0] - 1))[0]
            indices.append(best)
    return rgba, indices


# ----------------------------------------------------------------------------------------------------------------
# Palette handling


def median_cut(colours, limit):
    """Reduces {rgb: count} to at most `limit` colours, deterministically."""
    boxes = [sorted(colours.items())]
    while len(boxes) < limit:
        best = None
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spans = [max(c[0][ch] for c in box) - min(c[0][ch] for c in box) for ch in range(3)]
            span = max(spans)
            if best is None or span > best[0]:
                best = (span, i, spans.index(span))
        if best is None:
            break
        _, i, ch = best
        box = sorted(boxes[i], key=lambda c: (c[0][ch], c[0]))
        total = sum(c[1] for c in box)
        run = 0
        cut = 1
        for j, (_, count) in enumerate(box):
            run += count
            if run * 2 >= total:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes[i:i + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(c[1] for c in box)
        palette.append(tuple(round(sum(c[0][ch] * c[1] for c in box) / total) for ch in range(3)))
    return palette


def nearest(palette, colour):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = 0.3 * (p[0] - colour[0]) ** 2 + 0.59 * (p[1] - colour[1]) ** 2 + 0.11 * (p[2] - colour[2]) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def to8(v):
    return max(0, min(255, int(v + 0.5)))


# ----------------------------------------------------------------------------------------------------------------
# ICO / CUR / BMP writers


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def pack_rows(values, width, height, bits):
    """Packs per-pixel values (top-down) into bottom-up DIB rows of 1, 4, 8 or 32 bits."""
    out = bytearray()
    stride = row_bytes(bits, width)
    for y in range(height - 1, -1, -1):
        row = values[y * width:(y + 1) * width]
        data = bytearray()
        if bits == 32:
            for b, g, r, a in row:
                data += bytes((b, g, r, a))
        else:
            per_byte = 8 // bits
            for i in range(0, width, per_byte):
                byte = 0
                for j in range(per_byte):
                    v = row[i + j] if i + j < width else 0
                    byte |= v << (8 - bits * (j + 1))
                data.append(byte)
        data += bytes(stride - len(data))
        out += data
    return bytes(out)


def dib_image(width, height, bits, pixels, mask, palette=None):
    """One icon/cursor image: BITMAPINFOHEADER (double height), palette, XOR bits, AND mask."""
    xor = pack_rows(pixels, width, height, bits)
    and_mask = pack_rows(mask, width, height, 1)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    pal = b""
    if palette is not None:
        full = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
        pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in full)
    return header + pal + xor + and_mask


def icon_images(size):
    """The three colour depths of one icon size, each as (bits, dib bytes)."""
    rgba, idx16 = render(icon_layers(size), size, size, 8)
    opaque = [a >= 0.5 for (_, _, _, a) in rgba]
    mask = [0 if o else 1 for o in opaque]

    # 16 colours: the shapes already chose their palette entries.
    pix4 = [i if (o and i is not None) else 0 for i, o in zip(idx16, opaque)]
    mask4 = [0 if (o and i is not None) else 1 for i, o in zip(idx16, opaque)]
    images = [(4, dib_image(size, size, 4, pix4, mask4, VGA))]

    # 256 colours: an adaptive palette. Entry 0 stays black so masked pixels leave the screen alone.
    solid = [(to8(r), to8(g), to8(b)) for (r, g, b, _) in rgba]
    counts = {}
    for colour, o in zip(solid, opaque):
        if o:
            counts[colour] = counts.get(colour, 0) + 1
    palette = [(0, 0, 0)] + median_cut(counts, 255)
    lookup = {}
    pix8 = []
    for colour, o in zip(solid, opaque):
        if not o:
            pix8.append(0)
            continue
        if colour not in lookup:
            lookup[colour] = nearest(palette, colour)
        pix8.append(lookup[colour])
    images.append((8, dib_image(size, size, 8, pix8, mask, palette)))

    # True colour with alpha; fully transparent pixels are also masked for the old drawing paths.
    pix32 = []
    mask32 = []
    for r, g, b, a in rgba:
        alpha = to8(a * 255)
        if alpha == 0:
            pix32.append((0, 0, 0, 0))
            mask32.append(1)
        else:
            pix32.append((to8(b), to8(g), to8(r), alpha))
            mask32.append(0)
    images.append((32, dib_image(size, size, 32, pix32, mask32)))
    return images


def write_ico(path, entries):
    """entries: (size, bits, dib) in directory order."""
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory = b""
    body = b""
    for size, bits, dib in entries:
        colours = 16 if bits == 4 else 0
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(dib), offset + len(body))
        body += dib
    path.write_bytes(header + directory + body)


# ----------------------------------------------------------------------------------------------------------------
# A tiny stroke font for the banner


def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points along an elliptical arc from angle a0 to a1 (degrees, counter-clockwise positive, y up)."""
    if steps is None:
        steps = max(4, int(abs(a1 - a0) / 8))
    return [(cx + rx * math.cos(math.radians(lerp(a0, a1, i / steps))),
             cy + ry * math.sin(math.radians(lerp(a0, a1, i / steps)))) for i in range(steps + 1)]


# Glyphs in font units: baseline at y=0, y up, cap height 10, x-height 7. Each is (advance, [polylines]).
GLYPHS = {
    "T": (7.0, [[(0, 10), (7, 10)], [(3.5, 10), (3.5, 0)]]),
    "V": (7.0, [[(0, 10), (3.5, 0), (7, 10)]]),
    "e": (6.0, [[(0.1, 3.6), (6, 3.6)] + arc(3, 3.5, 3, 3.5, 0, 318)[1:]]),
    "s": (5.4, [arc(2.7, 5.25, 2.55, 1.75, 25, 270) + arc(2.7, 1.75, 2.55, 1.75, 90, -155)[1:]]),
    "a": (6.0, [arc(3, 3.5, 3, 3.5, 0, 360), [(6, 7), (6, 0)]]),
    "r": (4.6, [[(0, 7), (0, 0)], arc(3.5, 3.3, 3.5, 3.7, 180, 62)]),
    "o": (6.0, [arc(3, 3.5, 3, 3.5, 0, 360)]),
    "i": (0.0, [[(0, 0), (0, 7)], [(0, 9.7)]]),
    "n": (6.0, [[(0, 0), (0, 7)], arc(3, 4, 3, 3, 180, 0) + [(6, 0)]]),
    "1": (3.0, [[(0, 8.2), (2.6, 10), (2.6, 0)]]),
    ".": (0.0, [[(0, 0)]]),
    "0": (6.0, [arc(3, 5, 3, 5, 0, 360)]),
    " ": (2.5, []),
}
KERNING = {("T", "e"): -1.9, ("V", "e"): -1.2}


class Text:
    """A line of stroke-font text placed in pixel space: scale px/unit, baseline y, optional slant."""

    def __init__(self, text, x, baseline, scale, stroke, gap, slant=0.0):
        self.scale, self.baseline, self.x0 = scale, baseline, x
        self.half = stroke / 2
        self.slant = slant
        self.segments = []  # (ax, ay, bx, by) in font units
        pen = self.half
        prev = None
        for ch in text:
            advance, lines = GLYPHS[ch]
            pen += KERNING.get((prev, ch), 0.0)
            for line in lines:
                pts = [(pen + lx, ly) for lx, ly in line]
                if len(pts) == 1:
                    pts = pts * 2
                for (ax, ay), (bx, by) in zip(pts, pts[1:]):
                    self.segments.append((ax, ay, bx, by))
            pen += advance + stroke + gap if advance else stroke + gap
            prev = ch
        self.width_units = pen - gap - self.half
        xs = [v for s in self.segments for v in (s[0], s[2])]
        self.min_u, self.max_u = min(xs) - self.half, max(xs) + self.half

    def pixel_bounds(self):
        top = self.baseline - (10 + self.half) * self.scale
        bottom = self.baseline + self.half * self.scale
        left = self.x0 + self.min_u * self.scale
        right = self.x0 + (self.max_u + self.slant * (10 + self.half)) * self.scale
        return int(left) - 1, int(top) - 1, int(math.ceil(right)) + 1, int(math.ceil(bottom)) + 1

    def distance(self, fx, fy):
        uy = (self.baseline - fy) / self.scale
        ux = (fx - self.x0) / self.scale - self.slant * uy
        best = 1e9
        for ax, ay, bx, by in self.segments:
            if ux < min(ax, bx) - best or ux > max(ax, bx) + best:
                continue
            d = seg_dist(ux, uy, ax, ay, bx, by)
            if d < best:
                best = d
        return best

    def coverage(self, x, y, ss=5):
        """Fraction of the pixel (x, y) covered by ink."""
        d = self.distance(x + 0.5, y + 0.5)
        reach = 0.75 * (1 + self.slant) / self.scale
        if d < self.half - reach:
            return 1.0
        if d > self.half + reach:
            return 0.0
        inside = 0
        for sy in range(ss):
            for sx in range(ss):
                if self.distance(x + (sx + 0.5) / ss, y + (sy + 0.5) / ss) < self.half:
                    inside += 1
        return inside / (ss * ss)


# ----------------------------------------------------------------------------------------------------------------
# The banner

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def banner():
    width, height = 420, 78
    dark, light = (15, 76, 76), (19, 98, 97)
    img = []
    for y in range(height):
        for x in range(width):
            # Lighter towards the top left where the name sits, darker towards the bottom right.
            t = 0.65 * (1 - x / width) + 0.35 * (1 - y / height)
            img.append(list(mix(dark, light, t)))

    def blend(x, y, colour, alpha):
        if 0 <= x < width and 0 <= y < height and alpha > 0:
            p = img[y * width + x]
            img[y * width + x] = list(mix(p, colour, alpha))

    # Faint rings behind the artwork, echoing the disc.
    cx, cy = 378.0, 39.0
    for y in range(height):
        for x in range(width):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            for radius in (44.0, 58.0, 72.0):
                a = max(0.0, 1.0 - abs(d - radius) / 1.2)
                blend(x, y, (120, 200, 196), 0.10 * a)

    # The program's artwork on the right.
    art = 60
    rgba, _ = render(icon_layers(art), art, art, 4)
    ox, oy = 350, 9
    for y in range(art):
        for x in range(art):
            r, g, b, a = rgba[y * art + x]
            blend(ox + x, oy + y, (r, g, b), a)

    # The name, slanted bold strokes with a soft shadow, then the version beside it.
    title = Text("Tessaro", 22, 58, 3.9, 1.85, 1.0, slant=0.21)
    shadow = Text("Tessaro", 24, 60, 3.9, 1.85, 1.0, slant=0.21)
    version = Text("Version 1.0", 0, 58, 1.05, 1.45, 1.0)
    version.x0 = title.pixel_bounds()[2] + 10
    if version.pixel_bounds()[2] >= ox - 4:
        raise SystemExit("the version line runs into the artwork; shrink the text or move the art")

    for text, colour, strength in ((shadow, (4, 36, 36), 0.55), (title, (244, 250, 247), 1.0),
                                   (version, (160, 212, 204), 1.0)):
        x0, y0, x1, y1 = text.pixel_bounds()
        for y in range(max(0, y0), min(height, y1)):
            for x in range(max(0, x0), min(width, x1)):
                blend(x, y, colour, strength * text.coverage(x, y))

    # A thin accent line along the bottom edge separates the banner from the window below.
    for x in range(width):
        blend(x, height - 1, (42, 140, 132), 0.9)
        blend(x, height - 2, (4, 36, 36), 0.5)

    # RGB565 with ordered dithering, so the gradient does not band.
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = img[y * width + x]
            t = (BAYER4[y % 4][x % 4] + 0.5) / 16
            r5 = min(31, int(r / 255 * 31 + t))
            g6 = min(63, int(g / 255 * 63 + t))
            b5 = min(31, int(b / 255 * 31 + t))
            row += struct.pack("<H", (r5 << 11) | (g6 << 5) | b5)
        row += bytes(row_bytes(16, width) - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 16, 3, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(masks)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + info + masks + pixels


def packed_banner(bitmap):
    """The banner as the exe carries it: LZMA in the layout the bundle decoder reads (5 bytes of properties, the
    unpacked size as 8 bytes little-endian, the stream). A 16-bit BMP is 64 KiB, a tenth of that packed, and it
    stays lossless. liblzma's 'alone' format leaves the size unknown; the decoder wants it, so it is filled in.
    The pixels are two bytes each: contexts by byte position in the pixel (lp=1, pb=1) and none from the previous
    byte (lc=0) pack 2 % smaller than LZMA's text-minded defaults."""
    settings = {"id": lzma.FILTER_LZMA1, "preset": 9 | lzma.PRESET_EXTREME, "dict_size": 1 << 16,
                "lc": 0, "lp": 1, "pb": 1, "mf": lzma.MF_BT4, "nice_len": 273}
    packed = lzma.compress(bitmap, format=lzma.FORMAT_ALONE, filters=[settings])
    return packed[:5] + struct.pack("<Q", len(bitmap)) + packed[13:]


def main():
    RES_DIR.mkdir(parents=True, exist_ok=True)
    entries = []
    for size in (16, 24, 32):
        for bits, dib in icon_images(size):
            entries.append((size, bits, dib))
    write_ico(RES_DIR / "tessaro.ico", entries)
    bitmap = banner()
    (RES_DIR / "banner.bmp").write_bytes(bitmap)
    (RES_DIR / "banner.lzma").write_bytes(packed_banner(bitmap))
    print("wrote", ", ".join(p.name for p in sorted(RES_DIR.glob("*.*")) if p.suffix in (".ico", ".cur", ".bmp", ".lzma")))


if __name__ == "__main__":
    main()
