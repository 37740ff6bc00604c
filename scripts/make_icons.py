#!/usr/bin/env python3
"""Generate Wardkeep's icons: res/wardkeep.ico and res/certificate.ico.

Python 3 standard library only.  Each picture is a character grid:
  .  transparent    k  outline      W  white / rim   G  grey text line
  b  light blue     B  dark blue    Y  light gold    y  dark gold
  R  red            r  dark red
Every picture is stored twice: 16 colours (standard VGA palette) and
256 colours (the same roles with a top-to-bottom shading).
The output is deterministic: rerunning rewrites identical files.
"""
import os
import struct

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# role: (VGA index, 256-colour shade at the top, shade at the bottom)
ROLES = {
    "k": (0, (16, 16, 40), (16, 16, 40)),
    "W": (15, (255, 255, 255), (200, 206, 220)),
    "G": (8, (136, 136, 144), (112, 112, 120)),
    "b": (12, (110, 170, 255), (20, 70, 210)),
    "B": (4, (40, 90, 210), (10, 28, 120)),
    "Y": (11, (255, 244, 140), (235, 175, 30)),
    "y": (3, (210, 160, 30), (140, 90, 0)),
    "R": (9, (245, 70, 60), (180, 15, 15)),
    "r": (1, (160, 25, 25), (110, 0, 0)),
}

# Application icon: a gold key over a blue shield.
APP32 = [
    "................................",
    "...kkkkkkkkkkkkkkkkkkkkkkkkkk...",
    "...kWWWWWWWWWWWWWWWWWWWWWWWWk...",
    "...kWbbbbbbbbkkkkkkBBBBBBBBWk...",
    "...kWbbbbbbkkYYYYyykkBBBBBBWk...",
    "...kWbbbbbbkYYYYyyyykBBBBBBWk...",
    "...kWbbbbbkYYYkkkkyyykBBBBBWk...",
    "...kWbbbbbkYYkbbBBkyykBBBBBWk...",
    "...kWbbbbbkYYkbbBBkyykBBBBBWk...",
    "...kWbbbbbkYYkbbBBkyykBBBBBWk...",
    "...kWbbbbbkYYkbbBBkyykBBBBBWk...",
    "...kWbbbbbkYYYkkkkyyykBBBBBWk...",
    "...kWbbbbbbkYYYYyyyykBBBBBBWk...",
    "...kWbbbbbbkkYYYyyykkBBBBBBWk...",
    "...kWbbbbbbbbkYYyykBBBBBBBBWk...",
    "...kWbbbbbbbbkYYyykBBBBBBBBWk...",
    "...kWbbbbbbbbkYYyykkkkkBBBBWk...",
    "...kWbbbbbbbbkYYyyyyyykBBBBWk...",
    "...kWbbbbbbbbkYYyyyyyykBBBBWk...",
    "....kWbbbbbbbkYYyykkkkkBBBWk....",
    "....kWbbbbbbbkYYyykkkkBBBBWk....",
    ".....kWbbbbbbkYYyyyyykBBBWk.....",
    "......kWbbbbbkYYyyyyykBBWk......",
    ".......kWbbbbkkkkkkkkkBWk.......",
    "........kWbbbbbbBBBBBBWk........",
    ".........kWbbbbbBBBBBWk.........",
    "..........kWbbbbBBBBWk..........",
    "...........kWbbbBBBWk...........",
    "............kWbbBBWk............",
    ".............kWWWWk.............",
    "..............kkkk..............",
    "................................",
]

APP16 = [
    ".kkkkkkkkkkkkkk.",
    ".kbbbbkkkkBBBBk.",
    ".kbbbkYYyykBBBk.",
    ".kbbkYkkkkykBBk.",
    ".kbbkYkbBkykBBk.",
    ".kbbkYkbBkykBBk.",
    ".kbbkYkkkkykBBk.",
    ".kbbbkYYyykBBBk.",
    ".kbbbbkYykBBBBk.",
    ".kbbbbkYykkkBBk.",
    ".kbbbbkYyyykBBk.",
    "..kbbbkYykkkBk..",
    "...kbbkYyykBk...",
    "....kbkkkkkk....",
    ".....kbbBBk.....",
    "......kkkk......",
]

# Certificate icon: a card with text lines and a red seal with ribbons.
CERT16 = [
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kWWWWWWWWWWWWk.",
    ".kWBBBBBBBBBWWk.",
    ".kWWWWWWWWWWWWk.",
    ".kWGGGGGGGGGGWk.",
    ".kWWWWWWWWWWWWk.",
    ".kWGGGGGkkkkWWk.",
    ".kWWWWWkRRRRkWk.",
    ".kWGGGGkRYYRkWk.",
    ".kWWWWWkRYYRkWk.",
    ".kkkkkkkRRRRkkk.",
    "........kkkk....",
    ".......rr..rr...",
    ".......r....r...",
    "................",
]


def shade(role, y, h):
    """256-colour value of a role on row y (8 steps, top to bottom)."""
    top, bottom = ROLES[role][1], ROLES[role][2]
    t = round(y * 7 / (h - 1)) / 7
    return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))


def padded(data):
    return data + bytes(-len(data) % 4)


def image(grid, bpp):
    """One image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    h, w = len(grid), len(grid[0])
    assert all(len(row) == w for row in grid)
    palette = list(VGA)
    index = []
    for y, row in enumerate(grid):
        line = []
        for c in row:
            if c == ".":
                line.append(0)
            elif bpp == 4:
                line.append(ROLES[c][0])
            else:
                rgb = shade(c, y, h)
                if rgb not in palette:
                    palette.append(rgb)
                line.append(palette.index(rgb))
        index.append(line)
    palette += [(0, 0, 0)] * ((1 << bpp) - len(palette))
    assert len(palette) == 1 << bpp
    xor = mask = b""
    for y in reversed(range(h)):  # rows are stored bottom-up
        row = index[y]
        if bpp == 4:
            row = [row[x] << 4 | row[x + 1] for x in range(0, w, 2)]
        xor += padded(bytes(row))
        bits = [1 if c == "." else 0 for c in grid[y]]
        mask += padded(bytes(
            sum(bit << (7 - i) for i, bit in enumerate(bits[x:x + 8]))
            for x in range(0, w, 8)))
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("4B", b, g, r, 0) for r, g, b in palette)
    return w, h, bpp, header + colours + xor + mask


def write_ico(path, images):
    """ICONDIR, one ICONDIRENTRY per image, then the image data."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, bpp, data in images:
        out += struct.pack("<BBBBHHII", w, h, 16 if bpp == 4 else 0, 0,
                           1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)
    print("wrote %s (%d bytes)" % (path, len(out)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    res = os.path.normpath(os.path.join(here, "..", "res"))
    os.makedirs(res, exist_ok=True)
    write_ico(os.path.join(res, "wardkeep.ico"),
              [image(APP32, 4), image(APP16, 4),
               image(APP32, 8), image(APP16, 8)])
    write_ico(os.path.join(res, "certificate.ico"),
              [image(CERT16, 4), image(CERT16, 8)])


if __name__ == "__main__":
    main()
