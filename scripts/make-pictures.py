#!/usr/bin/env python3
"""Draws every picture of Halvex into layouts/pictures/, and the desktop icons
into packaging/icons/.

Every picture is drawn here from simple shapes, so the set can be retouched
and redrawn without an image editor. The output is the same on every run
(for a given Pillow). This is a developer tool; the build only embeds the
files it writes.

    python3 scripts/make-pictures.py          (needs Pillow: python3-pil)
"""

import math
import os
import struct
import sys

try:
    from PIL import Image, ImageDraw, ImageFilter
except ImportError:
    sys.exit("make-pictures: Pillow is missing (Debian: apt-get install python3-pil)")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "layouts", "pictures")
ICONS = os.path.join(ROOT, "packaging", "icons")

CLEAR = (0, 0, 0, 0)
SILVER = (192, 192, 192)  # the old mask colour: kept out of every picture's content

# ---------------------------------------------------------------- palette

BASE = {
    "ink": (34, 58, 80),
    "teal": (34, 140, 138), "teal_d": (20, 96, 102), "teal_l": (112, 198, 190), "teal_p": (208, 236, 232),
    "blue": (50, 112, 184), "blue_d": (30, 72, 130), "blue_l": (136, 184, 232), "blue_p": (214, 230, 248),
    "warm": (242, 160, 60), "warm_d": (200, 114, 36), "warm_l": (252, 208, 132),
    "coral": (224, 96, 72), "coral_d": (166, 58, 46),
    "green": (56, 158, 92), "green_d": (34, 110, 64),
    "paper": (250, 245, 232), "paper_d": (222, 214, 194),
    "face": (246, 204, 160),
    "light": (252, 251, 247),
    "steel": (168, 180, 190), "steel_d": (112, 126, 138),
    "line": (128, 146, 160),
}


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def _hover(name, c):
    # Under the mouse the same glyph turns brighter and bluer: a blue outline, cool parts
    # shifted to azure, warm parts only lit up so they keep their meaning.
    if name == "ink":
        return (24, 86, 204)
    if name in ("light", "paper"):
        return mix(c, (240, 248, 255), 0.6)
    if name.split("_")[0] in ("teal", "blue", "steel", "line"):
        return mix(mix(c, (70, 160, 255), 0.38), (255, 255, 255), 0.1)
    return mix(c, (255, 255, 255), 0.2)


HOVER = {k: _hover(k, v) for k, v in BASE.items()}


# ---------------------------------------------------------------- geometry

def rot(pts, cx, cy, deg):
    a = math.radians(deg)
    ca, sa = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * ca - (y - cy) * sa, cy + (x - cx) * sa + (y - cy) * ca) for x, y in pts]


def arc_pts(cx, cy, rx, ry, a0, a1, n=40):
    """Points on an ellipse; angles in degrees, 0 = right, 90 = up."""
    out = []
    for i in range(n + 1):
        t = math.radians(a0 + (a1 - a0) * i / n)
        out.append((cx + rx * math.cos(t), cy - ry * math.sin(t)))
    return out


def rrect_pts(cx, cy, w, h, r, deg=0.0):
    r = min(r, w / 2, h / 2)
    pts = []
    for (qx, qy, a0) in ((w / 2 - r, -h / 2 + r, 0), (-w / 2 + r, -h / 2 + r, 90),
                         (-w / 2 + r, h / 2 - r, 180), (w / 2 - r, h / 2 - r, 270)):
        for x, y in arc_pts(qx, qy, r, r, a0, a0 + 90, 8):
            pts.append((cx + x, cy + y))
    return rot(pts, cx, cy, deg)


def seg_poly(p0, p1, w, t0, t1):
    """The stretch t0..t1 of a bar of width w from p0 to p1."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    ln = math.hypot(dx, dy)
    nx, ny = -dy / ln * w / 2, dx / ln * w / 2
    a = (p0[0] + dx * t0, p0[1] + dy * t0)
    b = (p0[0] + dx * t1, p0[1] + dy * t1)
    return [(a[0] + nx, a[1] + ny), (b[0] + nx, b[1] + ny), (b[0] - nx, b[1] - ny), (a[0] - nx, a[1] - ny)]


# Shapes are plain tuples so one list can be drawn grown (the outline) and then as is.
def R(x0, y0, x1, y1, r=0.0, square=()):
    return ("R", x0, y0, x1, y1, r, square)


def E(x0, y0, x1, y1):
    return ("E", x0, y0, x1, y1)


def C(cx, cy, r):
    return ("E", cx - r, cy - r, cx + r, cy + r)


def P(*pts):
    return ("P", [tuple(p) for p in pts])


def L(pts, w):
    return ("L", [tuple(p) for p in pts], w)


def A(cx, cy, r, a0, a1, w):
    return ("L", arc_pts(cx, cy, r, r, a0, a1), w)


class Canvas:
    """Draws in design units on a supersampled RGBA picture."""

    def __init__(self, w, h, unit=1.0, ss=8, bg=CLEAR):
        self.w, self.h, self.ss = w, h, ss
        self.k = unit * ss
        self.im = Image.new("RGBA", (w * ss, h * ss), bg)
        self.dr = ImageDraw.Draw(self.im)

    def box(self, x0, y0, x1, y1):
        k = self.k
        return [round(x0 * k), round(y0 * k), max(round(x0 * k), round(x1 * k) - 1),
                max(round(y0 * k), round(y1 * k) - 1)]

    def pts(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def _dot(self, x, y, r, col):
        k = self.k
        self.dr.ellipse([x * k - r * k, y * k - r * k, x * k + r * k, y * k + r * k], fill=col)

    def shape(self, s, col, g=0.0):
        d, k = self.dr, self.k
        kind = s[0]
        if kind == "R":
            _, x0, y0, x1, y1, r, square = s
            b = self.box(x0 - g, y0 - g, x1 + g, y1 + g)
            rr = (r + g) * k if r > 0 else 0
            if rr > 0:
                d.rounded_rectangle(b, radius=rr, fill=col)
                q = math.ceil(rr) + 1
                for corner in square:
                    x = b[0] if corner in ("tl", "bl") else b[2] - q + 1
                    y = b[1] if corner in ("tl", "tr") else b[3] - q + 1
                    d.rectangle([x, y, x + q - 1, y + q - 1], fill=col)
            else:
                d.rectangle(b, fill=col)
        elif kind == "E":
            _, x0, y0, x1, y1 = s
            d.ellipse(self.box(x0 - g, y0 - g, x1 + g, y1 + g), fill=col)
        elif kind == "P":
            pts = s[1]
            d.polygon(self.pts(pts), fill=col)
            if g > 0:
                d.line(self.pts(pts + [pts[0], pts[1]]), fill=col, width=max(1, round(2 * g * k)), joint="curve")
                for x, y in pts:
                    self._dot(x, y, g, col)
        elif kind == "L":
            pts, w = s[1], s[2] + 2 * g
            d.line(self.pts(pts), fill=col, width=max(1, round(w * k)), joint="curve")
            self._dot(*pts[0], w / 2, col)
            self._dot(*pts[-1], w / 2, col)

    def fill(self, shapes, col):
        for s in shapes:
            self.shape(s, col)

    def outlined(self, shapes, fill, ink, ow=1.0):
        for s in shapes:
            self.shape(s, ink, ow)
        for s in shapes:
            self.shape(s, fill)

    def bits(self, x, y, rows, col):
        """A tiny hand-set glyph, one unit per '#'."""
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch == "#":
                    self.shape(R(x + i, y + j, x + i + 1, y + j + 1), col)

    def result(self):
        return self.im.resize((self.w, self.h), Image.BOX)


# ---------------------------------------------------------------- writers

def _opaque_indexed(img, keep, max_colours=255):
    """Palette and per-pixel index (0 for clear) for the pixels where keep is true."""
    rgb = list(img.convert("RGB").getdata())
    spots = [i for i, k in enumerate(keep) if k]
    colours = sorted(set(rgb[i] for i in spots))
    idx = [0] * len(rgb)
    if len(colours) <= max_colours:
        pal = colours
        where = {c: n + 1 for n, c in enumerate(pal)}
        for i in spots:
            idx[i] = where[rgb[i]]
    else:
        strip = Image.new("RGB", (len(spots), 1))
        strip.putdata([rgb[i] for i in spots])
        q = strip.quantize(max_colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        flat = q.getpalette()
        pal = [tuple(flat[3 * n:3 * n + 3]) for n in range(len(flat) // 3)][:max_colours]
        for i, v in zip(spots, q.getdata()):
            idx[i] = v + 1
    pal = [(c[0], c[1], c[2] + 1) if c == SILVER else c for c in pal]
    return pal, idx


def _rows_bottom_up(w, h, row_bytes):
    return b"".join(row_bytes(y) for y in range(h - 1, -1, -1))


def _pad(b):
    return b + b"\0" * ((-len(b)) % 4)


def _keep_clear(c):
    """Black marks masked pixels and silver was the old mask colour: neither may be content."""
    if c[:3] == (0, 0, 0):
        return (1, 1, 1) + c[3:]
    if c[:3] == SILVER:
        return (c[0], c[1], c[2] + 1) + c[3:]
    return c


def ico_image(img, bpp):
    img = img.convert("RGBA")
    w, h = img.size
    px = [_keep_clear(p) for p in img.getdata()]
    if bpp == 32:
        opaque = [p[3] > 0 for p in px]
    else:
        opaque = [p[3] >= 128 for p in px]
    if bpp == 8:
        pal, idx = _opaque_indexed(img, opaque)
        table = b"".join(bytes((c[2], c[1], c[0], 0)) for c in [(0, 0, 0)] + pal)
        table += b"\0" * (1024 - len(table))
        xor = _rows_bottom_up(w, h, lambda y: _pad(bytes(idx[y * w:(y + 1) * w])))
    elif bpp == 24:
        table = b""

        def row(y):
            out = bytearray()
            for x in range(w):
                r, g, b, _ = px[y * w + x] if opaque[y * w + x] else (0, 0, 0, 0)
                out += bytes((b, g, r))
            return _pad(bytes(out))
        xor = _rows_bottom_up(w, h, row)
    else:
        table = b""

        def row(y):
            out = bytearray()
            for x in range(w):
                r, g, b, a = px[y * w + x]
                out += bytes((b, g, r, a)) if a else b"\0\0\0\0"
            return bytes(out)
        xor = _rows_bottom_up(w, h, row)

    def mrow(y):
        bits = bytearray((w + 7) // 8)
        for x in range(w):
            if not opaque[y * w + x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        return _pad(bytes(bits))
    mask = _rows_bottom_up(w, h, mrow)
    head = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return head + table + xor + mask


def write_ico(name, entries):
    """entries: (RGBA picture, bits per pixel) in file order."""
    blobs = [(img.size, bpp, ico_image(img, bpp)) for img, bpp in entries]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for (w, h), bpp, blob in blobs:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    out += b"".join(b for _, _, b in blobs)
    _save(name, out)


def write_gif(name, img):
    """One-bit transparency; clear pixels carry silver so the old mask colour keys them too."""
    img = img.convert("RGBA")
    keep = [p[3] >= 128 for p in img.getdata()]
    pal, idx = _opaque_indexed(img, keep)
    p = Image.new("P", img.size)
    p.putdata(idx)
    flat = [c for col in [SILVER] + pal for c in col]
    p.putpalette(flat + [0] * (768 - len(flat)))
    p.save(os.path.join(OUT, name), "GIF", transparency=0, optimize=False)


def write_gif_keyed(name, img, key=(255, 255, 255)):
    """An opaque GIF whose only key-coloured pixels are the background ones."""
    img = img.convert("RGB")
    rgb = list(img.getdata())
    keep = [c != key for c in rgb]
    pal, idx = _opaque_indexed(img, keep)
    pal = [mix(c, (0, 0, 0), 0.02) if min(c) >= 250 else c for c in pal]
    p = Image.new("P", img.size)
    p.putdata(idx)
    flat = [c for col in [key] + pal for c in col]
    p.putpalette(flat + [0] * (768 - len(flat)))
    p.save(os.path.join(OUT, name), "GIF", optimize=False)


def write_bmp(name, img):
    """32-bit BMP with an alpha mask (V4 header); clear pixels carry silver."""
    img = img.convert("RGBA")
    w, h = img.size
    px = list(img.getdata())

    def row(y):
        out = bytearray()
        for x in range(w):
            r, g, b, a = px[y * w + x]
            if a == 0:
                r, g, b = SILVER
            out += bytes((b, g, r, a))
        return bytes(out)
    data = _rows_bottom_up(w, h, row)
    info = struct.pack("<IiiHHIIiiII", 108, w, h, 1, 32, 3, len(data), 2835, 2835, 0, 0)
    info += struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    info += struct.pack("<I", 0x73524742) + b"\0" * 48
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    _save(name, head + info + data)


def write_jpeg(name, img, quality=90):
    img.convert("RGB").save(os.path.join(OUT, name), "JPEG", quality=quality, subsampling=0, optimize=True)


def write_png(path, img):
    # No time or software chunks, so the file is the same on every run.
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, "PNG", optimize=True)


def _save(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- motifs
# Coordinates are on a 16-unit grid; fills sit on whole units so 16 px stays crisp,
# and outlines grow outward by ow.

def person(c, p, cx=8, top=1, body="teal", head="face", ow=1.0, s=1.0):
    c.outlined([C(cx, top + 3 * s, 2 * s),
                R(cx - 5 * s, top + 8 * s, cx + 5 * s, top + 13 * s, 3 * s, ("bl", "br"))],
               p[body], p["ink"], ow)
    c.fill([C(cx, top + 3 * s, 2 * s)], p[head])


def handset_shape(cx, cy, size, deg=0.0, sy=1.0):
    """A telephone receiver 'size' wide: cups down at deg 0, -45 gives the usual call sign."""
    pts = [(-1.0, 0.56)] + arc_pts(0, 0.2, 1.0, 0.6, 180, 0, 40) + [(1.0, 0.56), (0.48, 0.56)]
    pts += arc_pts(0, 0.22, 0.48, 0.3, 0, 180, 30) + [(-0.48, 0.56)]
    h = size / 2
    pts = [(cx + x * h, cy + (y - 0.08) * h * sy) for x, y in pts]
    return P(*rot(pts, cx, cy, deg))


def handset(c, cx, cy, size, deg, col, ink=None, ow=0.0, sy=1.0):
    sh = handset_shape(cx, cy, size * 0.96, deg, sy)
    if ink:
        c.outlined([sh], col, ink, ow)
    else:
        c.shape(sh, col, size * 0.02)


# The receiver redrawn by hand for 16 px, where the curve alone would blur.
HANDSET10 = ["....####..", "..#######.", ".###..###.", ".##...####", "##.....###",
             "##......#.", "####......", "#####.....", ".#####....", "...##....."]


def plus_badge(c, p, cx, cy, ow=1.0):
    c.outlined([C(cx, cy, 3.5)], p["green"], p["ink"], ow)
    c.fill([R(cx - 0.5, cy - 2.5, cx + 0.5, cy + 2.5), R(cx - 2.5, cy - 0.5, cx + 2.5, cy + 0.5)], p["light"])


def cross_badge(c, p, cx, cy, ow=1.0):
    c.outlined([C(cx, cy, 3.5)], p["coral"], p["ink"], ow)
    c.bits(cx - 2.5, cy - 2.5, ["#...#", "##.##", ".###.", "##.##", "#...#"], p["light"])


def card(c, p, x0, y0, x1, y1, ow=1.0, crisp=True):
    """A contact card: coloured band, photo, three lines. crisp keeps it on whole pixels at 16 px."""
    c.outlined([R(x0, y0, x1, y1, 1.0)], p["paper"], p["ink"], ow)
    c.fill([R(x0, y0, x1, y0 + 2, 1.0, ("bl", "br"))], p["teal"])
    c.fill([R(x0 + 1, y0 + 3, x0 + 5, y1 - 1)], p["blue_p"])
    if crisp:
        c.bits(x0 + 1, y0 + 3, [".##.", ".##.", "....", "####", "####", "####"][:int(y1 - y0 - 4)], p["blue"])
        c.bits(x0 + 2, y0 + 3, ["##", "##"], p["face"])
    else:
        c.fill([C(x0 + 3, y0 + 4.9, 1.15)], p["face"])
        c.fill([R(x0 + 1.6, y0 + 6.6, x0 + 4.4, y1 - 1, 1.2, ("bl", "br"))], p["blue"])
    lx = x0 + 6
    for n, yy in enumerate((y0 + 3, y0 + 5, y0 + 7)):
        if yy + 1 > y1 - 1:
            break
        c.fill([R(lx, yy, x1 - (2 if n == 2 else 1), yy + 1)], p["line"])


def address_book(c, p, ow=1.0, detail=False, rings=True):
    """The program's emblem: an address book with a receiver on its cover."""
    for y0, col in ((2, "warm"), (6, "green"), (10, "coral")):
        c.outlined([R(13, y0, 15, y0 + 3, 0.6 if detail else 0)], p[col], p["ink"], ow)
    c.outlined([R(2, 1, 13.5 if detail else 13, 15, 0.8)], p["teal"], p["ink"], ow)
    if detail:
        c.fill([R(2, 1, 4, 15, 0.8, ("tr", "br"))], p["teal_d"])
        c.fill([R(4, 1, 4.3, 15)], mix(p["teal_d"], p["ink"], 0.5))
        c.fill([R(4.3, 1, 13.5, 2.1, 0.6, ("bl", "br"))], mix(p["teal"], p["light"], 0.2))
        for yy in (2.8, 5.8, 9, 12) if rings else ():
            c.outlined([R(1, yy, 4.4, yy + 1.1, 0.55)], p["steel"], p["ink"], ow * 0.7)
        handset(c, 9, 8.4, 7.6, -45, p["paper"])
    else:
        c.fill([R(2, 1, 3, 15)], p["teal_d"])
        c.bits(3, 3, HANDSET10, p["paper"])


def magnifier(c, p, cx, cy, r, hx, hy, ow=1.0, hw=2.4):
    c.outlined([L([(cx, cy), (hx, hy)], hw)], p["warm_d"], p["ink"], ow)
    c.outlined([C(cx, cy, r)], p["teal"], p["ink"], ow)
    c.outlined([C(cx, cy, r - 1.4)], p["blue_p"], p["teal_d"], 0.0001)
    c.fill([A(cx, cy, r - 2.3, 100, 170, 0.9)], p["light"])


def gear_pts(cx, cy, ro, ri, teeth=8, phase=0.0):
    pts = []
    step = 360.0 / teeth
    for i in range(teeth):
        a = phase + i * step
        for da, rr in ((-step * 0.20, ro), (step * 0.20, ro), (step * 0.30, ri), (step * 0.70, ri)):
            t = math.radians(a + da)
            pts.append((cx + rr * math.cos(t), cy - rr * math.sin(t)))
    return pts


QMARK = [".####.", "##..##", "....##", "...##.", "..##..", "..##..", "......", "..##..", "..##.."]
QMARK_S = [".####.", "##..##", "....##", "..###.", "..##..", "......", "..##..", "..##.."]
IMARK = [".##.", ".##.", "....", "###.", ".##.", ".##.", ".##.", "####"]
XMARK = ["##....##", "###..###", ".######.", "..####..", "..####..", ".######.", "###..###", "##....##"]
XMARK_S = ["#....#", "##..##", ".####.", "..##..", ".####.", "##..##", "#....#"]

# ---------------------------------------------------------------- 16 px icons


def icon16(draw, p=BASE, size=16, ss=16):
    c = Canvas(size, size, size / 16.0, ss)
    draw(c, p)
    return c.result()


def d_person(c, p):
    person(c, p, 8, 1)


def d_family(c, p):
    person(c, p, 11, 0, body="blue")
    person(c, p, 6, 2, body="teal")


def d_house(c, p):
    ink = p["ink"]
    c.outlined([R(10.5, 2, 12.5, 6)], p["coral_d"], ink)
    c.outlined([R(3, 7, 13, 14)], p["paper"], ink)
    c.outlined([P((8, 1.5), (14.6, 7.6), (1.4, 7.6))], p["coral"], ink)
    c.outlined([R(4.5, 10, 7, 14)], p["teal"], ink)
    c.outlined([R(9, 9.5, 11.5, 12)], p["blue_l"], ink)


def d_idcard(c, p):
    c.outlined([R(1, 3, 15, 13, 1)], p["paper"], p["ink"])
    c.fill([R(1, 3, 15, 5, 1, ("bl", "br"))], p["teal"])
    c.fill([R(2, 6, 7, 12)], p["blue_p"])
    c.fill([C(4.5, 7.8, 1.3), R(2.6, 9.6, 6.4, 12, 1.4, ("bl", "br"))], p["blue"])
    for yy, x1 in ((7, 14), (9, 13), (11, 14)):
        c.fill([R(8, yy, x1, yy + 1)], p["line"])


def d_addtab(c, p):
    person(c, p, 6.5, 1)
    plus_badge(c, p, 11.5, 11.5)


def d_deltab(c, p):
    person(c, p, 6.5, 1)
    cross_badge(c, p, 11.5, 11.5)


def d_edittab(c, p):
    card(c, p, 1, 2, 13, 12)
    tip, end = (5.5, 14.5), (15.2, 4.8)
    w = 2.6
    c.outlined([P(*seg_poly(tip, end, w, 0.18, 1.0))], p["warm"], p["ink"])
    c.fill([P(*seg_poly(tip, end, w, 0.84, 1.0))], p["coral"])
    c.fill([P(*seg_poly(tip, end, w, 0.76, 0.84))], p["steel"])
    c.outlined([P(seg_poly(tip, end, w, 0.18, 0.2)[0], seg_poly(tip, end, w, 0.18, 0.2)[3], tip)],
               p["face"], p["ink"])
    c.fill([P(*seg_poly(tip, end, w * 0.45, 0.0, 0.08))], p["ink"])


def d_settingtab(c, p):
    c.outlined([P(*gear_pts(8, 8, 6.8, 5.0, 8, 22.5))], p["teal"], p["ink"])
    c.outlined([C(8, 8, 2)], p["paper"], p["ink"])


def d_helptab(c, p):
    c.outlined([C(8, 8, 6.5)], p["blue"], p["ink"])
    c.bits(5, 4, QMARK, p["light"])


def d_abouttab(c, p):
    c.outlined([C(8, 8, 6.5)], p["teal"], p["ink"])
    c.bits(6, 4, IMARK, p["light"])


def d_exittab(c, p):
    ink = p["ink"]
    c.outlined([R(2, 1, 10, 15)], p["teal_d"], ink)
    c.outlined([P((2, 1), (7, 3), (7, 16), (2, 15))], p["warm_d"], ink)
    c.fill([R(5, 8, 6, 9.5)], p["warm_l"])
    c.outlined([R(8, 7, 12, 9), P((11.5, 3.8), (15.5, 8), (11.5, 12.2))], p["coral"], ink)


def d_help(c, p):
    ink = p["ink"]
    c.outlined([R(1, 1, 15, 11, 3), P((4, 10), (3.5, 14.5), (8.5, 10))], p["warm_l"], ink)
    c.bits(5, 2, QMARK_S, p["blue_d"])


def d_add(c, p):
    card(c, p, 1, 2, 14, 12)
    plus_badge(c, p, 11.5, 11.5)


def d_display(c, p):
    c.outlined([R(2, 1, 14, 15, 0.8)], p["paper"], p["ink"])
    for yy, col in ((3.5, "teal"), (7, "warm"), (10.5, "blue")):
        c.fill([R(4, yy, 6, yy + 2)], p[col])
        c.fill([R(7, yy + 0.5, 12, yy + 1.5)], p["line"])


def d_search(c, p):
    magnifier(c, p, 6.5, 6.5, 5, 13.2, 13.2)


def d_save(c, p):
    ink = p["ink"]
    c.outlined([P((1, 1), (13, 1), (15, 3), (15, 15), (1, 15))], p["blue"], ink)
    c.fill([R(4, 1, 11, 6)], p["steel"])
    c.fill([R(8, 2, 10, 5)], p["blue_d"])
    c.outlined([R(3, 9, 13, 15)], p["paper"], ink, 0.0001)
    c.fill([R(4, 10.5, 12, 11.5), R(4, 12.5, 10, 13.5)], p["line"])


def d_delete(c, p):
    ink = p["ink"]
    c.outlined([R(6, 1, 10, 3)], p["coral_d"], ink)
    c.outlined([P((3, 5), (13, 5), (12, 15), (4, 15))], p["steel"], ink)
    c.fill([R(6, 7, 7, 13), R(9, 7, 10, 13)], p["steel_d"])
    c.outlined([R(2, 3, 14, 5)], p["coral"], ink)


def d_pass(c, p):
    ink = p["ink"]
    a, b = (5.5, 5.5), (14.2, 14.2)
    shaft = [P(*seg_poly(a, b, 2.4, 0.3, 1.0)), P(*seg_poly((10.3, 13.3), (12.8, 10.8), 2.0, 0, 1)),
             P(*seg_poly((8.2, 11.2), (10.2, 9.2), 2.0, 0, 1))]
    c.outlined(shaft, p["warm"], ink)
    c.outlined([C(5, 5, 4)], p["warm"], ink)
    c.outlined([C(4, 4, 1.2)], CLEAR, ink)
    c.fill([A(5, 5, 2.7, 250, 340, 0.8)], p["warm_l"])


def d_browse(c, p):
    ink = p["ink"]
    c.outlined([R(1, 2, 7, 5, 0.8), R(1, 4, 14, 14, 0.8)], p["warm_d"], ink)
    c.outlined([P((3.5, 7), (15.2, 7), (13.2, 14), (1, 14))], p["warm_l"], ink)


def d_play(c, p):
    c.outlined([C(8, 8, 6.5)], p["teal"], p["ink"])
    c.fill([P((6, 4.5), (12, 8), (6, 11.5))], p["light"])


def d_stop(c, p):
    c.outlined([C(8, 8, 6.5)], p["coral"], p["ink"])
    c.fill([R(5, 5, 11, 11, 0.6)], p["light"])


def d_close(c, p):
    c.outlined([R(1, 1, 15, 15, 3)], p["coral"], p["ink"])
    c.bits(4, 4, XMARK, p["light"])


def d_login(c, p):
    ink = p["ink"]
    c.outlined([R(8, 1, 15, 15, 0.8)], p["teal_d"], ink)
    c.fill([R(9.5, 2.5, 13.5, 13.5)], p["teal_p"])
    c.outlined([R(1, 6.5, 8, 9.5), P((7, 3), (12, 8), (7, 13))], p["warm"], ink)


def d_book16(c, p):
    address_book(c, p)


# ---------------------------------------------------------------- icons with several sizes

OUTLINE_PX = {16: 1.0, 24: 1.0, 32: 1.5, 48: 2.0, 64: 2.5, 128: 3.5, 256: 6.0}


def sized(draw, size, p=BASE):
    ss = 16 if size <= 48 else 6 if size <= 128 else 3
    c = Canvas(size, size, size / 16.0, ss)
    draw(c, p, OUTLINE_PX[size] * 16.0 / size, size)
    return c.result()


def multi(draw, p=BASE):
    """48, 32, 16 at 256 colours, then 128, 48, 32, 24, 16 at 32-bit."""
    pics = {s: sized(draw, s, p) for s in (128, 48, 32, 24, 16)}
    return [(pics[48], 8), (pics[32], 8), (pics[16], 8),
            (pics[128], 32), (pics[48], 32), (pics[32], 32), (pics[24], 32), (pics[16], 32)]


def m_emblem(c, p, ow, size):
    address_book(c, p, ow, detail=size >= 24, rings=size >= 32)


def m_search_card(c, p, ow, size):
    card(c, p, 0.5, 1.5, 13, 11, ow, crisp=size <= 16)
    magnifier(c, p, 10.5, 10, 3.6, 14.4, 14.0, ow, 2.2)


def m_add_card(c, p, ow, size):
    card(c, p, 0.5, 2.5, 14.5, 12.5, ow, crisp=size <= 16)
    c.outlined([C(12, 12, 3.5)], p["green"], p["ink"], ow)
    t = 0.5 if size <= 16 else 0.6
    c.fill([R(12 - t, 9.6, 12 + t, 14.4), R(9.6, 12 - t, 14.4, 12 + t)], p["light"])


# ---------------------------------------------------------------- larger pictures


def speaker48(p=BASE):
    c = Canvas(48, 48, 1.0, 8)
    ink = p["ink"]
    c.outlined([R(4, 19, 13, 33, 2)], p["steel_d"], ink, 2)
    c.fill([R(6, 21, 8, 31, 1)], p["steel"])
    c.outlined([P((12, 19), (24, 9), (24, 43), (12, 33))], p["teal"], ink, 2)
    c.fill([P((14, 20.5), (22, 14), (22, 18), (14, 23))], p["teal_l"])
    for r in (7, 13):
        c.outlined([A(25, 26, r, -38, 38, 2.6)], p["blue"], ink, 1.3)
    # a quaver above the waves
    c.outlined([L([(42, 3), (42, 15)], 2.4), L([(42, 3), (46.5, 7.5)], 2.4)], p["warm"], ink, 1.3)
    c.outlined([P(*rrect_pts(38.8, 15.6, 7.4, 5.4, 2.7, -22))], p["warm"], ink, 1.3)
    return c.result()


def desk_phone(p=BASE):
    c = Canvas(40, 33, 1.0, 8)
    ink = p["ink"]
    c.outlined([P((9, 15), (31, 15), (36.5, 30), (3.5, 30))], p["teal"], ink, 1.5)
    c.fill([P((9.8, 16.4), (30.2, 16.4), (30.9, 18.4), (9.1, 18.4))], p["teal_l"])
    c.outlined([C(20, 23, 5.6)], p["paper"], ink, 1.2)
    for i in range(8):
        a = math.radians(100 + i * 36)
        if i == 7:
            continue
        c.fill([C(20 + 3.6 * math.cos(a), 23 - 3.6 * math.sin(a), 0.95)], p["ink"])
    c.fill([C(20, 23, 1.3)], p["warm"])
    handset(c, 20, 9.6, 35, 0, p["blue_d"], ink, 1.5, sy=0.62)
    return c.result()


def mobile_phone(p=BASE):
    c = Canvas(50, 50, 1.0, 8)
    ink = p["ink"]
    c.outlined([R(14, 2, 36, 48, 5)], p["blue_d"], ink, 1.5)
    c.fill([R(15.5, 3.5, 20, 46.5, 4, ("tr", "br"))], mix(p["blue_d"], p["blue"], 0.5))
    c.fill([R(21, 5, 29, 6.6, 0.8)], p["ink"])
    c.outlined([R(17.5, 9, 32.5, 25, 1.5)], p["teal_l"], ink, 1.0)
    c.fill([P((17.5, 9), (27, 9), (17.5, 19))], mix(p["teal_l"], p["light"], 0.35))
    for n, yy in enumerate((28.5, 33.5, 38.5, 43)):
        for xx in (19.5, 25, 30.5):
            col = p["warm"] if (n == 0 and xx == 19.5) else p["paper"]
            if n == 3 and xx != 25:
                continue
            c.fill([R(xx - 2.2, yy - 1.6, xx + 2.2, yy + 1.6, 1.2)], col)
    for r in (4.5, 8, 11.5):
        c.fill([A(37, 12, r, 20, 70, 2.0)], p["warm"])
    return c.result()


def cordless_phone(p=BASE):
    c = Canvas(13, 32, 1.0, 16)
    ink = p["ink"]
    c.outlined([R(8.5, 0.8, 10.8, 6, 1.1)], p["steel_d"], ink, 0.9)
    c.outlined([R(1.5, 4.5, 11.5, 31, 2.8)], p["blue_d"], ink, 0.9)
    c.fill([R(4.5, 6, 8.5, 7)], p["ink"])
    c.fill([R(3, 8.5, 10, 13.5, 0.6)], p["teal_l"])
    for yy in (16.5, 19.5, 22.5, 25.5):
        for xx in (4, 6.5, 9):
            c.fill([R(xx - 0.9, yy - 0.8, xx + 0.9, yy + 0.8, 0.4)], p["warm"] if yy == 16.5 else p["paper"])
    c.fill([R(5, 28, 8, 29)], p["ink"])
    return c.result()


def phone_book(p=BASE):
    c = Canvas(133, 114, 1.0, 4)
    ink = p["ink"]
    ow = 2.0
    c.outlined([R(24, 10, 118, 108, 5)], p["paper_d"], ink, ow)
    c.fill([R(26, 12, 115, 104, 4)], p["paper"])
    for yy, col in ((18, "warm"), (38, "green"), (58, "coral"), (78, "blue")):
        c.outlined([R(112, yy, 128, yy + 16, 4, ("tl", "bl"))], p[col], ink, ow)
        c.fill([R(121, yy + 5, 125, yy + 11, 1)], mix(p[col], p["light"], 0.5))
    c.outlined([R(14, 4, 112, 102, 6)], p["teal"], ink, ow)
    c.fill([R(14, 4, 34, 102, 6, ("tr", "br"))], p["teal_d"])
    c.fill([R(34, 4, 36, 102)], mix(p["teal_d"], p["ink"], 0.5))
    c.fill([R(38, 7, 108, 14, 3)], mix(p["teal"], p["light"], 0.16))
    for yy in (18, 38, 58, 78):
        c.outlined([R(6, yy, 30, yy + 7, 3.5)], p["steel"], ink, 1.6)
        c.fill([R(9, yy + 1.5, 26, yy + 3, 1)], p["light"])
    c.outlined([R(46, 22, 102, 80, 6)], p["paper"], ink, 1.6)
    handset(c, 74, 51, 38, -45, p["teal_d"])
    c.fill([R(52, 86, 96, 90, 2), R(58, 94, 90, 97, 1.5)], mix(p["teal"], p["light"], 0.45))
    return c.result()


# ------------------------------------------------ lettering: a small geometric Latin face


def word_width(text, xh):
    return sum(_glyph(ch, None, 0, 0, xh, 0, None) for ch in text) + 0.26 * xh * (len(text) - 1)


def draw_word(d, text, x, base, xh, w, col):
    for ch in text:
        x += _glyph(ch, d, x, base, xh, w, col) + 0.26 * xh
    return x


def _glyph(ch, d, x, base, xh, w, col):
    cap = 1.36 * xh
    widths = {"H": 0.86, "a": 0.98, "l": 0.0, "v": 0.92, "e": 0.98, "x": 0.88}
    gw = widths[ch] * xh
    if d is None:
        return gw + (w if ch == "l" else 0)

    def line(*pts):
        d.line(pts, fill=col, width=round(w), joint="curve")
        for px, py in (pts[0], pts[-1]):
            d.ellipse([px - w / 2, py - w / 2, px + w / 2, py + w / 2], fill=col)

    h = w / 2
    r = xh / 2
    if ch == "H":
        line((x + h, base - cap + h), (x + h, base - h))
        line((x + gw - h, base - cap + h), (x + gw - h, base - h))
        d.line([(x + h, base - cap * 0.5), (x + gw - h, base - cap * 0.5)], fill=col, width=round(w))
        return gw
    if ch == "a":
        d.arc([x, base - xh, x + xh - w * 0.3, base], 0, 360, fill=col, width=round(w))
        line((x + gw - h, base - xh + h), (x + gw - h, base - h))
        return gw
    if ch == "l":
        line((x + h, base - cap + h), (x + h, base - h))
        return w
    if ch == "v":
        line((x + h, base - xh + h), (x + gw / 2, base - h), (x + gw - h, base - xh + h))
        return gw
    if ch == "e":
        d.arc([x, base - xh, x + gw, base], 35, 360, fill=col, width=round(w))
        d.line([(x + h, base - r), (x + gw - h * 0.4, base - r)], fill=col, width=round(w * 0.9))
        return gw
    if ch == "x":
        line((x + h, base - xh + h), (x + gw - h, base - h))
        line((x + gw - h, base - xh + h), (x + h, base - h))
        return gw
    raise ValueError(ch)


# ------------------------------------------------ helpers for painted scenes


def gradient(w, h, stops, vertical=True):
    n = 256
    strip = []
    for i in range(n):
        t = i / (n - 1)
        for j in range(len(stops) - 1):
            (t0, c0), (t1, c1) = stops[j], stops[j + 1]
            if t0 <= t <= t1:
                strip.append(mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0))
                break
    g = Image.new("RGB", (1, n) if vertical else (n, 1))
    g.putdata(strip)
    return g.resize((w, h), Image.BILINEAR).convert("RGBA")


def glow(base, cx, cy, rx, ry, col, strength):
    """Adds a soft elliptic light."""
    n = 64
    m = Image.new("L", (n, n))
    m.putdata([round(255 * strength * max(0.0, 1 - math.hypot(x - n / 2 + 0.5, y - n / 2 + 0.5) / (n / 2)) ** 2)
               for y in range(n) for x in range(n)])
    m = m.resize((round(2 * rx), round(2 * ry)), Image.BILINEAR)
    layer = Image.new("RGBA", base.size, col + (0,))
    a = Image.new("L", base.size, 0)
    a.paste(m, (round(cx - rx), round(cy - ry)))
    layer.putalpha(a)
    base.alpha_composite(layer)


def over(base, draw_fn, opacity=1.0, blur=0):
    layer = Image.new("RGBA", base.size, CLEAR)
    draw_fn(ImageDraw.Draw(layer))
    if blur:
        layer = layer.filter(ImageFilter.GaussianBlur(blur))
    if opacity < 1:
        layer.putalpha(layer.getchannel("A").point(lambda v: round(v * opacity)))
    base.alpha_composite(layer)


def paste_icon(base, draw, x, y, size, p=BASE, opacity=1.0):
    ic = icon16(draw, p, size, 8)
    if opacity < 1:
        ic.putalpha(ic.getchannel("A").point(lambda v: round(v * opacity)))
    base.alpha_composite(ic, (x, y))


def mono(col):
    return {k: col for k in BASE}


def emblem_picture(size, p=BASE):
    c = Canvas(size, size, size / 16.0, 4)
    address_book(c, p, 3.5 * 16.0 / size, detail=True)
    return c.result()


def splash():
    W, H, S = 550, 300, 2
    im = gradient(W * S, H * S, [(0, (30, 118, 128)), (0.55, (26, 92, 122)), (1, (22, 64, 104))])
    glow(im, 120 * S, 40 * S, 260 * S, 180 * S, (120, 210, 200), 0.35)
    glow(im, 520 * S, 300 * S, 240 * S, 160 * S, (70, 120, 200), 0.35)
    for cx, cy, r, a in ((470, 40, 70, 0.07), (520, 110, 34, 0.08), (60, 250, 50, 0.06),
                         (330, 20, 24, 0.07), (250, 270, 30, 0.05)):
        over(im, lambda d, cx=cx, cy=cy, r=r: d.ellipse([(cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S],
                                                          fill=(255, 255, 255, 255)), a, 3 * S)

    def waves(d):
        for n in range(3):
            pts = [(x * S, (240 + n * 9 + 7 * math.sin(x / 46.0 + n * 0.9)) * S) for x in range(-5, W + 6, 4)]
            d.line(pts, fill=(190, 236, 230, 255), width=S)
    over(im, waves, 0.22)
    # soft shadow, then the emblem
    sh = Image.new("RGBA", im.size, CLEAR)
    ImageDraw.Draw(sh).rounded_rectangle([52 * S, 40 * S, 152 * S, 150 * S], 12 * S, fill=(0, 20, 30, 255))
    sh = sh.filter(ImageFilter.GaussianBlur(8 * S))
    sh.putalpha(sh.getchannel("A").point(lambda v: v * 45 // 100))
    im.alpha_composite(sh)
    em = emblem_picture(128)
    im.alpha_composite(em.resize((118 * S, 118 * S), Image.LANCZOS), (32 * S, 22 * S))
    # lettering with a faint shadow
    xh = 46 * S
    width = word_width("Halvex", xh)
    x0 = 176 * S + (290 * S - width) / 2
    over(im, lambda d: draw_word(d, "Halvex", x0 + 2 * S, 118 * S + 3 * S, xh, 9 * S, (0, 30, 40, 255)), 0.35, 3 * S)
    over(im, lambda d: draw_word(d, "Halvex", x0, 118 * S, xh, 9 * S, (250, 247, 236, 255)))
    over(im, lambda d: d.rounded_rectangle([x0, 130 * S, x0 + width, 133 * S], S, fill=BASE["warm"] + (255,)))
    # calm plate for the date line
    over(im, lambda d: d.rounded_rectangle([124 * S, 152 * S, 478 * S, 193 * S], 10 * S, fill=(0, 20, 30, 255)),
         0.25, 4 * S)
    over(im, lambda d: d.rounded_rectangle([124 * S, 151 * S, 478 * S, 192 * S], 10 * S,
                                           fill=(244, 242, 232, 255)), 0.92)
    over(im, lambda d: d.rounded_rectangle([124 * S, 151 * S, 130 * S, 192 * S], 3 * S,
                                           fill=BASE["warm"] + (255,)))
    im = im.resize((W, H), Image.LANCZOS)
    # the directory's fields, drawn as light line work
    light = (226, 244, 240, 255)
    line_art = dict(mono(CLEAR), ink=light, line=light, blue=light)
    for n, fn in enumerate((d_person, d_family, d_house, d_idcard)):
        paste_icon(im, fn, 175 + n * 58, 212, 32, line_art, 0.6)
    ph = desk_phone(line_art).resize((40, 33), Image.LANCZOS)
    ph.putalpha(ph.getchannel("A").point(lambda v: v * 6 // 10))
    im.alpha_composite(ph, (171 + 4 * 58, 211))
    return im


def sound_banner():
    # Shown squeezed to 497 x 81 on the settings page, so it is painted at that shape.
    W, H = 994, 162
    im = gradient(W, H, [(0, (24, 58, 100)), (0.45, (26, 112, 126)), (0.8, (60, 140, 140)),
                         (1, (214, 150, 84))], vertical=False)
    glow(im, 860, 60, 260, 120, (255, 200, 120), 0.35)
    glow(im, 420, 170, 300, 80, (120, 220, 210), 0.25)
    for cx, cy, r, a in ((300, 30, 22, 0.10), (620, 40, 30, 0.08), (760, 120, 18, 0.12),
                         (520, 130, 14, 0.10), (930, 30, 16, 0.14)):
        over(im, lambda d, cx=cx, cy=cy, r=r: d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=(255, 255, 255, 255)),
             a, 3)

    def bars(d):
        for i in range(40):
            x = 130 + i * 17
            hgt = 18 + 46 * abs(math.sin(i * 0.55) * math.cos(i * 0.21)) + 8 * math.sin(i * 1.7) ** 2
            col = mix((120, 214, 204), (250, 200, 120), i / 39)
            d.rounded_rectangle([x, 150 - hgt, x + 10, 150], 4, fill=col + (255,))
    over(im, bars, 0.55)

    def wave(d):
        pts = [(x, 74 + 22 * math.sin(x / 37.0) * math.sin(x / 190.0)) for x in range(120, 860, 3)]
        d.line(pts, fill=(240, 252, 250, 255), width=3, joint="curve")
    over(im, wave, 0.55, 1)

    def notes(d):
        for x, y, s in ((650, 70, 1.0), (740, 44, 0.8), (820, 84, 0.9)):
            col = (255, 248, 236, 255)
            d.ellipse([x - 9 * s, y + 16 * s, x + 9 * s, y + 30 * s], fill=col)
            d.rectangle([x + 5 * s, y - 22 * s, x + 9 * s, y + 23 * s], fill=col)
            d.polygon([(x + 5 * s, y - 22 * s), (x + 24 * s, y - 8 * s), (x + 24 * s, y - 1 * s),
                       (x + 9 * s, y - 12 * s)], fill=col)
    over(im, notes, 0.25, 4)
    over(im, notes, 0.9)
    sp = speaker48()
    im.alpha_composite(sp.resize((96, 96), Image.LANCZOS), (880, 30))
    return im.resize((450, 250), Image.LANCZOS)


def padlock_picture():
    W, H, S = 241, 244, 3
    im = gradient(W * S, H * S, [(0, (214, 238, 234)), (1, (150, 200, 200))])
    glow(im, 110 * S, 90 * S, 160 * S, 140 * S, (255, 255, 250), 0.55)
    over(im, lambda d: d.ellipse([50 * S, 206 * S, 200 * S, 226 * S], fill=(20, 60, 70, 255)), 0.35, 6 * S)
    steel_dark, steel_light = (96, 112, 126), (214, 224, 230)

    def shackle(d):
        d.arc([68 * S, 36 * S, 152 * S, 130 * S], 180, 360, fill=steel_dark + (255,), width=20 * S)
        d.rectangle([68 * S, 82 * S, 88 * S, 116 * S], fill=steel_dark + (255,))
        d.rectangle([132 * S, 82 * S, 152 * S, 112 * S], fill=steel_dark + (255,))
        d.arc([73 * S, 41 * S, 147 * S, 125 * S], 195, 300, fill=steel_light + (255,), width=5 * S)
        d.rectangle([73 * S, 84 * S, 78 * S, 114 * S], fill=steel_light + (255,))
    over(im, shackle)
    body = gradient(136 * S, 104 * S, [(0, (252, 206, 110)), (0.5, (238, 160, 58)), (1, (196, 112, 36))])
    m = Image.new("L", body.size, 0)
    ImageDraw.Draw(m).rounded_rectangle([0, 0, body.width - 1, body.height - 1], 16 * S, fill=255)
    body.putalpha(m)
    im.alpha_composite(body, (42 * S, 104 * S))
    over(im, lambda d: d.rounded_rectangle([48 * S, 110 * S, 172 * S, 126 * S], 8 * S, fill=(255, 236, 190, 255)), 0.5,
         2 * S)
    over(im, lambda d: d.rounded_rectangle([42 * S, 104 * S, 177 * S, 207 * S], 16 * S, outline=(140, 80, 30, 255),
                                           width=2 * S))

    def keyhole(d):
        d.ellipse([98 * S, 136 * S, 122 * S, 160 * S], fill=BASE["ink"] + (255,))
        d.polygon([(103 * S, 152 * S), (117 * S, 152 * S), (121 * S, 184 * S), (99 * S, 184 * S)],
                  fill=BASE["ink"] + (255,))
    over(im, keyhole)
    # the key, leaning in front
    key = Image.new("RGBA", (120 * S, 50 * S), CLEAR)
    kd = ImageDraw.Draw(key)
    blue, blue_d = BASE["blue"] + (255,), BASE["blue_d"] + (255,)
    kd.ellipse([2 * S, 5 * S, 42 * S, 45 * S], fill=blue_d)
    kd.ellipse([6 * S, 9 * S, 38 * S, 41 * S], fill=blue)
    kd.ellipse([14 * S, 17 * S, 30 * S, 33 * S], fill=CLEAR)
    kd.rectangle([38 * S, 20 * S, 114 * S, 30 * S], fill=blue_d)
    kd.rectangle([40 * S, 22 * S, 112 * S, 26 * S], fill=blue)
    for x0 in (84, 100):
        kd.rectangle([x0 * S, 30 * S, (x0 + 8) * S, 41 * S], fill=blue_d)
    key = key.rotate(28, resample=Image.BICUBIC, expand=True)
    ksh = Image.new("RGBA", key.size, (10, 40, 50, 0))
    ksh.putalpha(key.getchannel("A").filter(ImageFilter.GaussianBlur(4 * S)).point(lambda v: v * 2 // 5))
    im.alpha_composite(ksh, (118 * S, 150 * S))
    im.alpha_composite(key, (112 * S, 140 * S))
    return im.resize((W, H), Image.LANCZOS)


def settings_banner():
    W, H, S = 563, 47, 3
    im = gradient(W * S, H * S, [(0, (22, 92, 104)), (0.6, (36, 104, 150)), (1, (44, 86, 150))], vertical=False)
    glow(im, 140 * S, 0, 220 * S, 60 * S, (140, 220, 210), 0.3)

    def gears(d):
        for cx, cy, ro, ri, ph in ((505, 30, 40, 31, 0), (448, 6, 22, 17, 10)):
            d.polygon([(x * S, y * S) for x, y in gear_pts(cx, cy, ro, ri, 12 if ro > 30 else 8, ph)],
                      fill=(255, 255, 255, 255))
            d.ellipse([(cx - ri * 0.45) * S, (cy - ri * 0.45) * S, (cx + ri * 0.45) * S, (cy + ri * 0.45) * S],
                      fill=CLEAR)
    over(im, gears, 0.12)

    def sliders(d):
        for n, (yy, knob) in enumerate(((13, 0.7), (23.5, 0.35), (34, 0.55))):
            x0, x1 = 250, 400
            d.rounded_rectangle([x0 * S, (yy - 1.5) * S, x1 * S, (yy + 1.5) * S], S * 1.5, fill=(230, 246, 244, 150))
            kx = x0 + (x1 - x0) * knob
            d.rounded_rectangle([x0 * S, (yy - 1.5) * S, kx * S, (yy + 1.5) * S], S * 1.5,
                                fill=BASE["warm_l"] + (220,))
            d.ellipse([(kx - 4.5) * S, (yy - 4.5) * S, (kx + 4.5) * S, (yy + 4.5) * S], fill=(250, 248, 240, 255))
    over(im, sliders, 0.85)
    over(im, lambda d: d.rectangle([0, 44 * S, W * S, 47 * S], fill=BASE["warm"] + (255,)), 0.9)
    im = im.resize((W, H), Image.LANCZOS)
    c = Canvas(40, 40, 40 / 16.0, 8)
    c.outlined([P(*gear_pts(8, 8, 6.8, 5.0, 8, 22.5))], BASE["paper"], BASE["teal_d"], 0.8)
    c.outlined([C(8, 8, 2)], BASE["warm"], BASE["teal_d"], 0.8)
    im.alpha_composite(c.result(), (16, 2))
    xh = 17
    over(im, lambda d: draw_word(d, "Halvex", 70, 30, xh, 4, (250, 247, 236, 255)), 0.95)
    return im


def login_skin():
    W, H, S = 228, 268, 4
    # Outline: drawn without smoothing so only exact white is background.
    mask = Image.new("L", (W, H), 0)
    md = ImageDraw.Draw(mask)
    md.rounded_rectangle([12, 8, 213, 257], 18, fill=255)
    tabs = ((56, "warm"), (96, "green"), (136, "coral"), (176, "blue"))
    for yy, _ in tabs:
        md.rounded_rectangle([200, yy, 224, yy + 30], 7, fill=255)
    rings = (44, 92, 140, 188, 230)
    for yy in rings:
        md.rounded_rectangle([4, yy, 30, yy + 11], 5, fill=255)

    im = gradient(W * S, H * S, [(0, (44, 150, 148)), (1, (24, 98, 112))])
    for yy, col in tabs:
        over(im, lambda d, yy=yy, col=col: d.rounded_rectangle([196 * S, yy * S, 224 * S, (yy + 30) * S], 7 * S,
                                                                fill=BASE[col] + (255,)))
        over(im, lambda d, yy=yy: d.rounded_rectangle([214 * S, (yy + 8) * S, 219 * S, (yy + 22) * S], 2 * S,
                                                       fill=(255, 255, 255, 255)), 0.35)
    over(im, lambda d: d.rounded_rectangle([12 * S, 8 * S, 213 * S, 257 * S], 18 * S, fill=(44, 148, 146, 255)))
    cover = gradient(W * S, H * S, [(0, (46, 152, 150)), (0.5, (34, 128, 134)), (1, (24, 96, 112))])
    cm = Image.new("L", im.size, 0)
    ImageDraw.Draw(cm).rounded_rectangle([12 * S, 8 * S, 213 * S, 257 * S], 18 * S, fill=255)
    im.paste(cover, (0, 0), cm)
    over(im, lambda d: d.rounded_rectangle([12 * S, 8 * S, 40 * S, 257 * S], 18 * S, fill=BASE["teal_d"] + (255,)))
    over(im, lambda d: d.rectangle([30 * S, 8 * S, 40 * S, 257 * S], fill=BASE["teal_d"] + (255,)))
    over(im, lambda d: d.rectangle([40 * S, 8 * S, 42 * S, 257 * S], fill=(16, 70, 80, 255)))
    for yy in rings:
        over(im, lambda d, yy=yy: d.rounded_rectangle([4 * S, yy * S, 30 * S, (yy + 11) * S], 5 * S,
                                                       fill=BASE["steel"] + (255,)))
        over(im, lambda d, yy=yy: d.rounded_rectangle([8 * S, (yy + 2) * S, 26 * S, (yy + 5) * S], 2 * S,
                                                       fill=(236, 242, 246, 255)), 0.9)
    # header: emblem and lettering
    over(im, lambda d: d.ellipse([44 * S, 26 * S, 80 * S, 62 * S], fill=(0, 30, 40, 255)), 0.3, 2 * S)
    over(im, lambda d: d.ellipse([44 * S, 24 * S, 80 * S, 60 * S], fill=BASE["paper"] + (255,)))
    hs = Canvas(W, H, 1.0, S)
    handset(hs, 62, 42.5, 24, -45, BASE["teal_d"])
    im.alpha_composite(hs.im)
    over(im, lambda d: draw_word(d, "Halvex", 89 * S, 50 * S, 12.5 * S, 3.2 * S, (246, 244, 234, 255)))
    # calm plates under the close button, the password box and the enter button
    over(im, lambda d: d.rounded_rectangle([172 * S, 36 * S, 197 * S, 61 * S], 6 * S, fill=(18, 74, 84, 255)), 0.9)
    over(im, lambda d: d.rounded_rectangle([46 * S, 80 * S, 171 * S, 115 * S], 8 * S, fill=(14, 70, 82, 255)), 0.5)
    over(im, lambda d: d.rounded_rectangle([48 * S, 82 * S, 169 * S, 113 * S], 7 * S, fill=(226, 242, 238, 255)))
    over(im, lambda d: d.rounded_rectangle([46 * S, 121 * S, 171 * S, 168 * S], 9 * S, fill=(14, 70, 82, 255)), 0.4)
    over(im, lambda d: d.rounded_rectangle([48 * S, 123 * S, 169 * S, 166 * S], 8 * S, fill=(196, 228, 224, 255)))
    # a preview of the book's first page
    over(im, lambda d: d.rounded_rectangle([50 * S, 182 * S, 186 * S, 240 * S], 7 * S, fill=(250, 245, 232, 255)),
         0.16)
    im = im.resize((W, H), Image.LANCZOS)
    for n, fn in enumerate((d_person, d_idcard, d_house)):
        paste_icon(im, fn, 60 + n * 40, 195, 24)
    ph = desk_phone().resize((27, 22), Image.LANCZOS)
    im.alpha_composite(ph, (59 + 3 * 40 - 1, 196))
    over(im, lambda d: d.rounded_rectangle([60, 232, 176, 234], 1, fill=BASE["warm"] + (255,)), 0.9)
    # colour only inside the outline, a dark rim on its edge, exact white outside
    im = im.convert("RGB")
    px = im.load()
    for y in range(H):
        for x in range(W):
            r, g, b = px[x, y]
            if min(r, g, b) > 246:
                px[x, y] = (246, 246, 244)
    rim = Image.new("RGB", (W, H), (16, 62, 72))
    inner = mask.filter(ImageFilter.MinFilter(3))
    im = Image.composite(im, rim, inner)
    im = Image.composite(im, Image.new("RGB", (W, H), (255, 255, 255)), mask)
    return im


# ---------------------------------------------------------------- the set


def main():
    os.makedirs(OUT, exist_ok=True)
    names = []

    def ico16(name, draw, p=BASE, bpp=8):
        write_ico(name, [(icon16(draw, p), bpp)])
        names.append(name)

    ico16("halvex.ico", d_book16)
    ico16("frmAbout.ico", d_book16)
    ico16("ImageList1_1.ico", d_person)
    ico16("ImageList1_2.ico", d_family)
    ico16("ImageList1_3.ico", d_house)
    ico16("ImageList1_4.ico", d_idcard)
    ico16("CmdAddTab.ico", d_addtab, bpp=24)
    ico16("CmdEditTab.ico", d_edittab)
    ico16("CmdDeleteTab.ico", d_deltab, bpp=24)
    ico16("CmdSettingTab.ico", d_settingtab)
    ico16("CmdHelpTab.ico", d_helptab)
    ico16("CmdAboutUsTab.ico", d_abouttab)
    ico16("CmdExitTab.ico", d_exittab)
    ico16("CmdHelp.ico", d_help)
    ico16("cmdDisplay_normal.ico", d_display)
    ico16("CmdClose.ico", d_close)
    for stem, draw in (("cmdAdd", d_add), ("search", d_search), ("CmdSave", d_save), ("CmdDelete", d_delete),
                       ("CmdPass", d_pass), ("CmdBrowse", d_browse), ("CmdPlay", d_play), ("CmdStop", d_stop),
                       ("CmdLog", d_login)):
        ico16(stem + "_normal.ico", draw)
        ico16(stem + "_hover.ico", draw, HOVER)

    write_ico("Image1.ico", [(speaker48(), 8)])
    write_ico("Image4.ico", multi(m_search_card))
    write_ico("Image5.ico", multi(m_add_card))
    write_ico("picIcon.ico", multi(m_emblem))
    names += ["Image1.ico", "Image4.ico", "Image5.ico", "picIcon.ico"]

    write_gif("ImageList1_5.gif", desk_phone())
    write_gif("ImageList1_6.gif", mobile_phone())
    write_gif("ImageList1_7.gif", phone_book())
    write_bmp("ImageList1_8.bmp", cordless_phone())
    write_gif_keyed("Skin1.gif", login_skin())
    names += ["ImageList1_5.gif", "ImageList1_6.gif", "ImageList1_7.gif", "ImageList1_8.bmp", "Skin1.gif"]

    write_jpeg("Image2.jpg", sound_banner())
    write_jpeg("Image3.jpg", padlock_picture())
    write_jpeg("Image6.jpg", settings_banner())
    write_jpeg("FrmLoad.jpg", splash())
    names += ["Image2.jpg", "Image3.jpg", "Image6.jpg", "FrmLoad.jpg"]

    # The desktop's icon theme: the emblem at the usual sizes.
    for size in (16, 32, 48, 64, 128, 256):
        write_png(os.path.join(ICONS, "hicolor", "%dx%d" % (size, size), "apps", "halvex.png"),
                  sized(m_emblem, size))

    qrc = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '  <qresource prefix="/pictures">']
    qrc += ['    <file alias="%s">pictures/%s</file>' % (n, n) for n in sorted(names, key=str.lower)]
    qrc += ['  </qresource>', '</RCC>', '']
    with open(os.path.join(ROOT, "layouts", "pictures.qrc"), "w", newline="\n") as f:
        f.write("\n".join(qrc))
    print("make-pictures: %d pictures in %s, icons in %s"
          % (len(names), os.path.relpath(OUT, ROOT), os.path.relpath(ICONS, ROOT)))


if __name__ == "__main__":
    main()
