#!/usr/bin/env python3
"""Draws Quillbeacon's pictures: the application icon (SVG and PNG in several
sizes), the 32 x 32 face of the tray icon control, the 11 x 11 close cross and
the 500 x 400 splash picture.

Standard library only. The icon is a list of shapes in a 36 x 36 design grid;
the same list is rasterised (with supersampling) and written out as SVG, so the
PNG and SVG forms show one drawing. Run it from anywhere:

    python3 src/ui/images/make_images.py

The outputs are committed; run it again only after changing a drawing.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The sixteen colours of the classic 16-colour palette; the 36 x 36 icon uses
# only these.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
TEAL = (0, 128, 128)
WHITE = (255, 255, 255)
SILVER = (192, 192, 192)
GRAY = (128, 128, 128)
YELLOW = (255, 255, 0)
RED = (255, 0, 0)
MAROON = (128, 0, 0)
RED_ORANGE = (255, 69, 0)


# ---------------------------------------------------------------- shapes ---

class RoundRect:
    def __init__(self, x0, y0, x1, y1, r, colour):
        self.x0, self.y0, self.x1, self.y1, self.r = x0, y0, x1, y1, r
        self.colour = colour

    def bbox(self):
        return self.x0, self.y0, self.x1, self.y1

    def inside(self, x, y):
        if x < self.x0 or x > self.x1 or y < self.y0 or y > self.y1:
            return False
        cx = min(max(x, self.x0 + self.r), self.x1 - self.r)
        cy = min(max(y, self.y0 + self.r), self.y1 - self.r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= self.r ** 2

    def svg(self):
        return ('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"/>'
                % (self.x0, self.y0, self.x1 - self.x0, self.y1 - self.y0, self.r,
                   hexcolour(self.colour)))


class Circle:
    def __init__(self, cx, cy, r, colour):
        self.cx, self.cy, self.r, self.colour = cx, cy, r, colour

    def bbox(self):
        return self.cx - self.r, self.cy - self.r, self.cx + self.r, self.cy + self.r

    def inside(self, x, y):
        return (x - self.cx) ** 2 + (y - self.cy) ** 2 <= self.r ** 2

    def svg(self):
        return ('<circle cx="%g" cy="%g" r="%g" fill="%s"/>'
                % (self.cx, self.cy, self.r, hexcolour(self.colour)))


class Polygon:
    def __init__(self, points, colour):
        self.points, self.colour = points, colour

    def bbox(self):
        xs = [p[0] for p in self.points]
        ys = [p[1] for p in self.points]
        return min(xs), min(ys), max(xs), max(ys)

    def inside(self, x, y):
        result = False
        pts = self.points
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result

    def svg(self):
        return ('<polygon points="%s" fill="%s"/>'
                % (" ".join("%g,%g" % p for p in self.points), hexcolour(self.colour)))


def line(x0, y0, x1, y1, width, colour):
    """A straight stroke as a four-cornered polygon."""
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    nx, ny = -dy / length * width / 2, dx / length * width / 2
    return Polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny),
                    (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], colour)


def hexcolour(c):
    return "#%02x%02x%02x" % c


# ------------------------------------------------------------- the icon ---

def icon_shapes():
    """An envelope under a shining beacon, on a navy tile (36 x 36 grid)."""
    shapes = [RoundRect(1, 1, 35, 35, 6, TEAL), RoundRect(2.5, 2.5, 33.5, 33.5, 5, NAVY)]
    # Rays of the beacon.
    cx, cy = 26.5, 10.5
    for angle in (200, 240, 280, 320, 0, 40):
        a = math.radians(angle)
        shapes.append(line(cx + 6.5 * math.cos(a), cy + 6.5 * math.sin(a),
                           cx + 9.5 * math.cos(a), cy + 9.5 * math.sin(a), 2, YELLOW))
    # The envelope with its flap.
    shapes.append(Polygon([(5, 15), (26, 15), (26, 31), (5, 31)], WHITE))
    shapes.append(Polygon([(5, 31), (13.5, 23), (17.5, 23), (26, 31)], SILVER))
    shapes.append(line(5.5, 15.5, 15.5, 24.5, 1.6, GRAY))
    shapes.append(line(15.5, 24.5, 25.5, 15.5, 1.6, GRAY))
    # The beacon's lamp.
    shapes.append(Circle(cx, cy, 5, MAROON))
    shapes.append(Circle(cx, cy, 4, RED))
    shapes.append(Circle(cx - 1.2, cy - 1.2, 1.6, YELLOW))
    return shapes


def icon_svg(shapes, size):
    body = "\n  ".join(s.svg() for s in shapes)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 36 36">\n  %s\n</svg>\n' % (size, size, body))


# ----------------------------------------------------------- raster ---

class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.px = [list(fill) for _ in range(width * height)]

    def get(self, x, y):
        return self.px[y * self.width + x]

    def set(self, x, y, rgba):
        self.px[y * self.width + x] = list(rgba)

    def blend(self, x, y, colour, coverage):
        if len(colour) == 4:  # a see-through colour
            coverage *= colour[3] / 255.0
        if coverage <= 0:
            return
        dst = self.px[y * self.width + x]
        a = coverage
        da = dst[3] / 255.0
        out_a = a + da * (1 - a)
        for i in range(3):
            dst[i] = round((colour[i] * a + dst[i] * da * (1 - a)) / out_a)
        dst[3] = round(out_a * 255)

    def draw(self, shapes, scale, dx=0.0, dy=0.0, samples=4):
        """Shapes in design units; one unit is `scale` pixels."""
        offsets = [(i + 0.5) / samples for i in range(samples)]
        for shape in shapes:
            x0, y0, x1, y1 = shape.bbox()
            px0 = max(0, int(math.floor(x0 * scale + dx)))
            py0 = max(0, int(math.floor(y0 * scale + dy)))
            px1 = min(self.width, int(math.ceil(x1 * scale + dx)) + 1)
            py1 = min(self.height, int(math.ceil(y1 * scale + dy)) + 1)
            for py in range(py0, py1):
                for px in range(px0, px1):
                    hits = 0
                    for oy in offsets:
                        for ox in offsets:
                            if shape.inside((px + ox - dx) / scale, (py + oy - dy) / scale):
                                hits += 1
                    self.blend(px, py, shape.colour, hits / (samples * samples))


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((colour[k] - palette[i][k]) ** 2 for k in range(3)))


# ------------------------------------------------------------------ PNG ---

def png_chunk(kind, data):
    chunk = kind + data
    return struct.pack(">I", len(data)) + chunk + struct.pack(">I", zlib.crc32(chunk) & 0xFFFFFFFF)


def write_png_rgba(path, canvas):
    rows = b"".join(b"\x00" + bytes(v for p in canvas.px[y * canvas.width:(y + 1) * canvas.width]
                                    for v in p) for y in range(canvas.height))
    write_png(path, canvas.width, canvas.height, 6, rows, [])


def write_png_indexed(path, canvas, palette):
    """Palette PNG; fully transparent pixels get one transparent entry."""
    entries = list(palette) + [(0, 0, 0)]
    clear = len(entries) - 1
    indices = []
    for p in canvas.px:
        indices.append(clear if p[3] < 128 else nearest(p[:3], palette))
    rows = b"".join(b"\x00" + bytes(indices[y * canvas.width:(y + 1) * canvas.width])
                    for y in range(canvas.height))
    plte = b"".join(bytes(c) for c in entries)
    trns = bytes([255] * clear + [0])
    write_png(path, canvas.width, canvas.height, 3, rows,
              [(b"PLTE", plte), (b"tRNS", trns)])


def write_png(path, width, height, colour_type, rows, extra):
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
    for kind, payload in extra:
        data += png_chunk(kind, payload)
    data += png_chunk(b"IDAT", zlib.compress(rows, 9)) + png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def distinct_palette(canvas, limit):
    colours = sorted({tuple(p[:3]) for p in canvas.px if p[3] >= 128})
    if len(colours) > limit:
        raise SystemExit("too many colours: %d" % len(colours))
    return colours


# ----------------------------------------------------------------- font ---

# A 5 x 7 pixel font, only the letters the splash picture needs.
GLYPHS = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "u": ["00000", "00000", "10001", "10001", "10001", "10011", "01101"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110"],
    "b": ["10000", "10000", "10110", "11001", "10001", "10001", "11110"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    "c": ["00000", "00000", "01110", "10000", "10000", "10001", "01110"],
    "o": ["00000", "00000", "01110", "10001", "10001", "10001", "01110"],
    "n": ["00000", "00000", "10110", "11001", "10001", "10001", "10001"],
    "m": ["00000", "00000", "11010", "10101", "10101", "10001", "10001"],
    "t": ["01000", "01000", "11100", "01000", "01000", "01001", "00110"],
    "f": ["00110", "01001", "01000", "11100", "01000", "01000", "01000"],
    "r": ["00000", "00000", "10110", "11001", "10000", "10000", "10000"],
    " ": ["00000"] * 7,
}


def text_shapes(text, x, y, cell, colour):
    """Each lit pixel of the font becomes a slightly rounded square."""
    shapes = []
    for n, ch in enumerate(text):
        rows = GLYPHS[ch]
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == "1":
                    px = x + (n * 6 + gx) * cell
                    py = y + gy * cell
                    shapes.append(RoundRect(px, py, px + cell, py + cell, cell * 0.2, colour))
    return shapes


def text_width(text, cell):
    return (len(text) * 6 - 1) * cell


# -------------------------------------------------------------- outputs ---

def make_icons():
    shapes = icon_shapes()
    with open(os.path.join(HERE, "app.svg"), "w") as f:
        f.write(icon_svg(shapes, 36))

    # The 36 x 36 application icon keeps to the sixteen colours: one sample
    # per pixel, so no in-between colours arise at the edges.
    small = Canvas(36, 36)
    small.draw(shapes, 1.0, samples=1)
    write_png_indexed(os.path.join(HERE, "app.png"), small, PALETTE16)

    for size in (48, 64, 128, 256):
        canvas = Canvas(size, size)
        canvas.draw(shapes, size / 36.0, samples=4 if size <= 64 else 3)
        write_png_rgba(os.path.join(HERE, "app-%d.png" % size), canvas)

    # The face of the control: the same drawing at 32 x 32, smoothed, within
    # 256 colours.
    # trayface@2x.png serves screens with twice the pixel density.
    for side, name in ((32, "trayface.png"), (64, "trayface@2x.png")):
        face = Canvas(side, side)
        face.draw(shapes, side / 36.0, samples=4)
        for p in face.px:  # an opaque face: the control is a square on its window
            if p[3] < 255:
                a = p[3] / 255.0
                for i in range(3):
                    p[i] = round(p[i] * a + 212 * (1 - a))
                p[3] = 255
        write_png_indexed(os.path.join(HERE, name), face, distinct_palette(face, 255))


def make_cross():
    """11 x 11: a white cross on a red-orange square."""
    canvas = Canvas(11, 11, (*RED_ORANGE, 255))
    for i in range(2, 9):
        canvas.set(i, i, (*WHITE, 255))
        canvas.set(10 - i, i, (*WHITE, 255))
    write_png_rgba(os.path.join(HERE, "cross.png"), canvas)


def make_splash():
    width, height = 500, 400
    canvas = Canvas(width, height)
    # Night sky: navy at the top to teal at the bottom.
    for y in range(height):
        t = y / (height - 1)
        colour = (round(8 + 10 * t), round(20 + 100 * t), round(90 + 50 * t), 255)
        for x in range(width):
            canvas.set(x, y, colour)
    # The beam of the beacon sweeping across.
    canvas.draw([Polygon([(330, 95), (500, 10), (500, 170)], (255, 255, 160, 70))], 1.0,
                samples=2)
    canvas.draw(icon_shapes(), 5.0, dx=160, dy=40, samples=2)
    title = "Quillbeacon"
    cell = 7
    tx = (width - text_width(title, cell)) / 2
    canvas.draw(text_shapes(title, tx + 3, 250 + 3, cell, (0, 0, 40)), 1.0, samples=2)
    canvas.draw(text_shapes(title, tx, 250, cell, WHITE), 1.0, samples=2)
    subtitle = "mail notifier"
    cell2 = 3
    sx = (width - text_width(subtitle, cell2)) / 2
    canvas.draw(text_shapes(subtitle, sx, 325, cell2, (200, 230, 240)), 1.0, samples=2)
    write_png_rgba(os.path.join(HERE, "splash.png"), canvas)


if __name__ == "__main__":
    make_icons()
    make_cross()
    make_splash()
