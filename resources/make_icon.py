#!/usr/bin/env python3
"""Draw the Pathwink application icon and write resources/pathwink.ico.

Run from the repository root:

    python3 resources/make_icon.py

or give another output path as the only argument:

    python3 resources/make_icon.py /tmp/test.ico

The icon is a golden folder: a darker back panel with a tab at the top left,
a lighter front flap, a dark amber outline and a transparent background.
The file holds nine images in the classic ICO layout (BITMAPINFOHEADER
bitmaps with an AND mask, no PNG), so every Windows version and Wine can
read it:

    16x16, 32x32, 48x48  x  4 bits (VGA palette), 8 bits (palette derived
    from the drawing), 32 bits (BGRA, straight alpha).

Only the Python standard library is used and nothing depends on time,
hashing or the environment, so the output is byte-identical on every run.
"""

import math
import os
import struct
import sys

SIZES = (16, 32, 48)
DEPTHS = (4, 8, 32)

# Sub-samples per pixel side for anti-aliasing (SUPER * SUPER per pixel).
SUPER = 8

# ---------------------------------------------------------------------------
# Colours (R, G, B)
# ---------------------------------------------------------------------------

OUTLINE = (104, 60, 4)
BACK_TOP = (232, 166, 38)
BACK_BOTTOM = (196, 124, 14)
BACK_LIGHT = (246, 196, 88)      # inner highlight along the tab and back top
FRONT_TOP = (255, 216, 96)
FRONT_BOTTOM = (240, 170, 40)
FRONT_LIGHT = (255, 240, 170)    # inner highlight along the front flap top
FRONT_SHADE = (222, 146, 26)     # inner shade along the front flap bottom

# Region labels, used for the 16-colour images.
CLEAR, EDGE, BACK, BACK_HI, FRONT, FRONT_HI = range(6)

# The standard Windows 16-colour (VGA) palette, in index order.
VGA_PALETTE = (
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
)

# Which VGA colour each region takes in the 4-bit images.
VGA_FOR_LABEL = {
    EDGE: 0,       # black outline
    BACK: 3,       # dark yellow back panel and tab
    BACK_HI: 11,   # yellow highlight on the back panel
    FRONT: 11,     # yellow front flap
    FRONT_HI: 15,  # white highlight along the flap top
}

# ---------------------------------------------------------------------------
# The 16x16 image is drawn pixel by pixel so that it stays crisp:
#
#   .  transparent          O  outline            o  outline, partly
#   B  back panel and tab   h  back highlight        transparent (corner
#   F  front flap           L  flap highlight        and slope smoothing)
# ---------------------------------------------------------------------------

PIXELS_16 = (
    "................",
    "oOOOOOOo........",
    "OhhhhhhOo.......",
    "OBBBBBBBOOOOOOOo",
    "OBBBBBBBhhhhhhhO",
    "OBBBBBBBBBBBBBBO",
    "OOOOOOOOOOOOOOOO",
    "OLLLLLLLLLLLLLLO",
    "OFFFFFFFFFFFFFFO",
    "OFFFFFFFFFFFFFFO",
    "OFFFFFFFFFFFFFFO",
    "OFFFFFFFFFFFFFFO",
    "OFFFFFFFFFFFFFFO",
    "OFFFFFFFFFFFFFFO",
    "oOOOOOOOOOOOOOOo",
    "................",
)

# Alpha of the "o" pixels in the 32-bit image.
SOFT_ALPHA = 110

# ---------------------------------------------------------------------------
# Geometry of the larger sizes, in pixel units of each size. Straight edges
# lie on pixel boundaries so that they stay crisp; only the rounded corners
# and the tab's slope are anti-aliased.
#
#   left, right    outer sides of the folder
#   tab_top        top of the tab
#   tab_right      x where the tab's top edge ends and its slope begins
#   slope          horizontal run of the tab's sloping right edge
#   body_top       top of the back panel right of the tab
#   front_top      top of the front flap
#   bottom         bottom of the folder
#   radius         corner rounding of the outer shape
#   front_radius   corner rounding of the front flap's top corners
#   line           outline width
#   light          width of the inner highlight lines
# ---------------------------------------------------------------------------

GEOMETRY = {
    32: dict(left=1, right=31, tab_top=4, tab_right=12, slope=3, body_top=7,
             front_top=12, bottom=29, radius=1.6, front_radius=1.0,
             line=1.0, light=1.0),
    48: dict(left=2, right=46, tab_top=6, tab_right=18, slope=4, body_top=11,
             front_top=18, bottom=43, radius=2.5, front_radius=1.5,
             line=1.0, light=1.0),
}


# ---------------------------------------------------------------------------
# Signed distance helpers (negative inside)
# ---------------------------------------------------------------------------

def polygon_sdf(px, py, pts):
    """Signed distance from (px, py) to a simple polygon given as points."""
    n = len(pts)
    best = float("inf")
    inside = False
    j = n - 1
    for i in range(n):
        ax, ay = pts[j]
        bx, by = pts[i]
        ex, ey = bx - ax, by - ay
        wx, wy = px - ax, py - ay
        t = (wx * ex + wy * ey) / (ex * ex + ey * ey)
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
        dx, dy = wx - ex * t, wy - ey * t
        d = dx * dx + dy * dy
        if d < best:
            best = d
        if (ay > py) != (by > py):
            if px < ax + (py - ay) * (bx - ax) / (by - ay):
                inside = not inside
        j = i
    dist = math.sqrt(best)
    return -dist if inside else dist


class RoundedPolygon:
    """Polygon shrunk by radius, then grown back: rounds convex corners."""

    def __init__(self, pts, radius):
        self.radius = radius
        self.pts = _inset(pts, radius) if radius > 0.0 else list(pts)

    def sdf(self, px, py):
        return polygon_sdf(px, py, self.pts) - self.radius


def _inset(pts, r):
    """Move every edge of a polygon (either winding) inwards by r.

    Meant for the simple shapes used here, whose edges are all longer than
    2 * r; the result is the polygon offset inwards by r.
    """
    n = len(pts)
    # Orientation: positive area means clockwise in y-down coordinates.
    area = 0.0
    for i in range(n):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % n]
        area += x0 * y1 - x1 * y0
    sign = 1.0 if area > 0 else -1.0
    lines = []
    for i in range(n):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % n]
        ex, ey = x1 - x0, y1 - y0
        length = math.hypot(ex, ey)
        # Inward normal.
        nx, ny = -ey / length * sign, ex / length * sign
        lines.append((x0 + nx * r, y0 + ny * r, ex, ey))
    out = []
    for i in range(n):
        ax, ay, aex, aey = lines[i - 1]
        bx, by, bex, bey = lines[i]
        den = aex * bey - aey * bex
        if abs(den) < 1e-12:
            out.append((bx, by))
            continue
        t = ((bx - ax) * bey - (by - ay) * bex) / den
        out.append((ax + aex * t, ay + aey * t))
    return out


# ---------------------------------------------------------------------------
# The drawing
# ---------------------------------------------------------------------------

def mix(c0, c1, t):
    t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


class Folder:
    def __init__(self, size):
        g = GEOMETRY[size]
        self.g = g
        left, right = g["left"], g["right"]
        tab_top, body_top = g["tab_top"], g["body_top"]
        front_top, bottom = g["front_top"], g["bottom"]
        tab_right, slope = g["tab_right"], g["slope"]
        # Back panel and tab as one outline (clockwise in y-down space).
        back = [
            (left, tab_top), (tab_right, tab_top),
            (tab_right + slope, body_top), (right, body_top),
            (right, bottom), (left, bottom),
        ]
        front = [
            (left, front_top), (right, front_top),
            (right, bottom), (left, bottom),
        ]
        self.back = RoundedPolygon(back, g["radius"])
        self.front = RoundedPolygon(front, g["front_radius"])

    def sample(self, x, y):
        """Return (label, colour) of the drawing at point (x, y)."""
        g = self.g
        line, light = g["line"], g["light"]
        d_back = self.back.sdf(x, y)
        # The front flap shares the sides and bottom of the back panel, so the
        # whole silhouette is the back shape.
        if d_back >= 0.0:
            return CLEAR, None
        if d_back > -line:
            return EDGE, OUTLINE
        d_front = max(self.front.sdf(x, y),
                      d_back)
        if d_front < 0.0:
            if d_front > -line:
                return EDGE, OUTLINE
            t = (y - g["front_top"]) / (g["bottom"] - g["front_top"])
            if d_front > -line - light:
                if y < g["front_top"] + line + light:
                    return FRONT_HI, FRONT_LIGHT
                if y > g["bottom"] - line - light:
                    return FRONT, FRONT_SHADE
            return FRONT, mix(FRONT_TOP, FRONT_BOTTOM, t)
        t = (y - g["tab_top"]) / (g["front_top"] - g["tab_top"])
        if d_back > -line - light and y < g["body_top"] + line + light \
                and x < g["right"] - line - light * 0.5:
            return BACK_HI, BACK_LIGHT
        return BACK, mix(BACK_TOP, BACK_BOTTOM, t)


def render_pixels(rows):
    """Turn a character map such as PIXELS_16 into (rgba, labels)."""
    size = len(rows)
    first_front = min(y for y, r in enumerate(rows) if "F" in r or "L" in r)
    first_back = min(y for y, r in enumerate(rows) if "B" in r or "h" in r)
    rgba, labels = [], []
    for y, text in enumerate(rows):
        assert len(text) == size
        row, lrow = [], []
        tf = (y - first_front) / max(1, size - 3 - first_front)
        tb = (y - first_back) / max(1, first_front - 1 - first_back)
        for ch in text:
            if ch == ".":
                row.append((0, 0, 0, 0))
                lrow.append(CLEAR)
                continue
            if ch in "Oo":
                colour, label = OUTLINE, EDGE
            elif ch == "B":
                colour, label = mix(BACK_TOP, BACK_BOTTOM, tb), BACK
            elif ch == "h":
                colour, label = BACK_LIGHT, BACK_HI
            elif ch == "F":
                colour, label = mix(FRONT_TOP, FRONT_BOTTOM, tf), FRONT
            elif ch == "L":
                colour, label = FRONT_LIGHT, FRONT_HI
            else:
                raise ValueError("unknown pixel %r" % ch)
            alpha = SOFT_ALPHA if ch == "o" else 255
            row.append(tuple(int(round(c)) for c in colour) + (alpha,))
            lrow.append(CLEAR if ch == "o" else label)
        rgba.append(row)
        labels.append(lrow)
    return rgba, labels


def render(size):
    """Render one size.

    Returns (rgba, labels): rgba is a list of rows of (r, g, b, a) with
    straight alpha (0..255); labels is a list of rows of region labels by
    majority of the sub-samples, for the 16-colour images.
    """
    if size == 16:
        return render_pixels(PIXELS_16)
    folder = Folder(size)
    n = SUPER * SUPER
    rgba, labels = [], []
    for py in range(size):
        row, lrow = [], []
        for px in range(size):
            sr = sg = sb = 0.0
            hits = 0
            votes = [0] * 6
            for sy in range(SUPER):
                y = py + (sy + 0.5) / SUPER
                for sx in range(SUPER):
                    x = px + (sx + 0.5) / SUPER
                    label, colour = folder.sample(x, y)
                    votes[label] += 1
                    if colour is not None:
                        sr += colour[0]
                        sg += colour[1]
                        sb += colour[2]
                        hits += 1
            if hits:
                colour = (int(round(sr / hits)), int(round(sg / hits)),
                          int(round(sb / hits)),
                          int(round(255.0 * hits / n)))
            else:
                colour = (0, 0, 0, 0)
            row.append(colour)
            if votes[CLEAR] * 2 > n:
                lrow.append(CLEAR)
            else:
                best = EDGE
                for lab in (EDGE, BACK, BACK_HI, FRONT, FRONT_HI):
                    if votes[lab] > votes[best]:
                        best = lab
                lrow.append(best)
        rgba.append(row)
        labels.append(lrow)
    return rgba, labels


# ---------------------------------------------------------------------------
# Palette quantisation for the 8-bit images (deterministic median cut)
# ---------------------------------------------------------------------------

def median_cut(colours, count):
    """Reduce a sorted list of distinct colours to at most count colours."""
    boxes = [sorted(colours)]
    while len(boxes) < count:
        # Split the box with the widest channel range.
        best, best_range, best_ch = -1, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                lo = min(c[ch] for c in box)
                hi = max(c[ch] for c in box)
                if hi - lo > best_range:
                    best, best_range, best_ch = i, hi - lo, ch
        if best < 0:
            break
        box = sorted(boxes[best], key=lambda c: (c[best_ch], c))
        half = len(box) // 2
        boxes[best:best + 1] = [box[:half], box[half:]]
    palette = []
    for box in boxes:
        palette.append(tuple(int(round(sum(c[ch] for c in box) / len(box)))
                             for ch in range(3)))
    return palette


def nearest(palette, colour):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = ((p[0] - colour[0]) ** 2 + (p[1] - colour[1]) ** 2
             + (p[2] - colour[2]) ** 2)
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


# ---------------------------------------------------------------------------
# ICO writing
# ---------------------------------------------------------------------------

def row_bytes(width, bpp):
    return ((width * bpp + 31) // 32) * 4


def pack_and_mask(size, opaque):
    """AND mask rows, bottom-up; bit set = transparent."""
    stride = row_bytes(size, 1)
    out = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if not opaque[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def bitmap(size, bpp, palette, xor_rows, opaque):
    """BITMAPINFOHEADER + palette + XOR bitmap + AND mask."""
    xor = bytearray()
    stride = row_bytes(size, bpp)
    for y in range(size - 1, -1, -1):
        row = bytearray()
        src = xor_rows[y]
        if bpp == 4:
            for x in range(0, size, 2):
                hi = src[x]
                lo = src[x + 1] if x + 1 < size else 0
                row.append((hi << 4) | lo)
        elif bpp == 8:
            row += bytes(src)
        else:
            for (r, g, b, a) in src:
                row += bytes((b, g, r, a))
        row += bytes(stride - len(row))
        xor += row
    mask = pack_and_mask(size, opaque)
    colours = len(palette)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, colours, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return header + pal + bytes(xor) + mask


def image_4bpp(size, rgba, labels):
    rows, opaque = [], []
    for y in range(size):
        rows.append([VGA_FOR_LABEL.get(l, 0) for l in labels[y]])
        opaque.append([l != CLEAR for l in labels[y]])
    return bitmap(size, 4, VGA_PALETTE, rows, opaque)


def image_8bpp(size, rgba):
    opaque = [[px[3] >= 128 for px in row] for row in rgba]
    used = sorted({px[:3] for y, row in enumerate(rgba)
                   for x, px in enumerate(row) if opaque[y][x]})
    # Index 0 stays black for the transparent pixels.
    if len(used) > 255:
        used = median_cut(used, 255)
    palette = [(0, 0, 0)] + used
    palette += [(0, 0, 0)] * (256 - len(palette))
    lookup = {}
    rows = []
    for y, row in enumerate(rgba):
        out = []
        for x, px in enumerate(row):
            if not opaque[y][x]:
                out.append(0)
                continue
            key = px[:3]
            if key not in lookup:
                lookup[key] = 1 + nearest(used, key)
            out.append(lookup[key])
        rows.append(out)
    return bitmap(size, 8, palette, rows, opaque)


def image_32bpp(size, rgba):
    rows = []
    for row in rgba:
        # Fully transparent pixels carry no colour.
        rows.append([px if px[3] else (0, 0, 0, 0) for px in row])
    opaque = [[px[3] > 0 for px in row] for row in rgba]
    return bitmap(size, 32, [], rows, opaque)


def build_icon():
    images = []  # (size, bpp, colour count, data)
    for size in SIZES:
        rgba, labels = render(size)
        images.append((size, 4, 16, image_4bpp(size, rgba, labels)))
        images.append((size, 8, 0, image_8bpp(size, rgba)))
        images.append((size, 32, 0, image_32bpp(size, rgba)))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, bpp, colours, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours,
                               0, 1, bpp, len(data), offset)
        offset += len(data)
        blobs += data
    return header + entries + blobs


def main(argv):
    if len(argv) > 1:
        path = argv[1]
    else:
        path = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                            "pathwink.ico")
    data = build_icon()
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (path, len(data)))


if __name__ == "__main__":
    main(sys.argv)
