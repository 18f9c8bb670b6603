#!/usr/bin/python3
"""Draws Brambun, the mascot, and writes resources/brambun.ico.

Brambun is a round moss-green bun with a blackberry on its head. The three small
sizes are hand-placed pixel sprites (a downscale would turn to mush at 16 pixels);
48 pixels and up are drawn from shapes, still with hard pixel edges and a dark
outline so the family keeps the same chunky look.

Regenerate (needs Debian's python3-pil, hence /usr/bin/python3 rather than a
python3 from another installation):

    /usr/bin/python3 resources/draw_brambun.py

It rewrites resources/brambun.ico next to this script; the build embeds that file.
Every run produces the same bytes: the PNG streams carry no metadata chunks and
the container is assembled here rather than by Pillow's ICO writer, whose layout
we would not control. Pass --sheet PATH to also write an enlarged contact sheet
for looking at the artwork (keep it out of the repository).
"""

import io
import math
import struct
import sys
from pathlib import Path

from PIL import Image

PALETTE = {
    "O": (38, 16, 48, 255),  # outline, blackberry black
    "d": (58, 100, 40, 255),  # moss shadow
    "g": (104, 150, 58, 255),  # moss
    "l": (146, 188, 80, 255),  # moss, lit side
    "h": (206, 230, 140, 255),  # moss highlight
    "b": (44, 14, 58, 255),  # berry shadow
    "p": (100, 36, 122, 255),  # berry
    "q": (148, 74, 172, 255),  # berry, lit side
    "Q": (214, 160, 226, 255),  # berry glint
    "w": (255, 248, 236, 255),  # eye glint
    "r": (206, 52, 82, 255),  # cheeks, berry red
    "k": (128, 178, 64, 255),  # leaf
    "K": (70, 116, 42, 255),  # leaf vein
}

SPRITE_16 = (
    "...........OOO..",
    ".....OOOOO.OkkO.",
    "....OqpqpbOkkO..",
    "....OpqpqbOOO...",
    "....OqpqbbO.....",
    "...OObpbbbOOO...",
    "..OlhOOOOOlggO..",
    ".OlhhlllgggggdO.",
    "OlhllgggggggggdO",
    "OlgggOggggOgggdO",
    "OlgggOggggOgggdO",
    "OgrrggOggOggrrdO",
    "OdgggggOOgggdddO",
    ".OddggggggggddO.",
    "..OOddddddddOO..",
    "....OOOOOOOO....",
)

SPRITE_24 = (
    "................OOO.....",
    ".........OOOOOOOkkkO....",
    "........OqpbqpbOkkkO....",
    ".......ObppbppbOkOO.....",
    "......OqpbqpbqpbO.......",
    "......OppbppbppbO.......",
    "......ObbqpbqpbbO.......",
    "......OOOppbppbOOO......",
    ".....OllObbbbbbOllO.....",
    "...OOllllOOOOOOggglOO...",
    "..OlllhhhgggggggggggdO..",
    "..OllghhhggggggggggggO..",
    ".OllgggggggggggggggggdO.",
    ".OllgggwOggggggwOggggdO.",
    ".OlggggOOggggggOOggggdO.",
    ".OlggggOOggggggOOggggdO.",
    ".OlgrrggggOggOggggrrgdO.",
    ".OlgrrgggggOOgggggrrddO.",
    ".OdggggggggggggggggdddO.",
    "..OddggggggggggggddddO..",
    "...OddddddddddddddddO...",
    "....OOOOddddddddOOOO....",
    "........OOOOOOOO........",
    "........................",
)

SPRITE_32 = (
    ".......................OOO......",
    "............OOOOOOOO..OkkkO.....",
    "...........ObqpbbqpbOOkkkkkO....",
    "...........OqQppqQppOkkKkkO.....",
    "..........OOpppbpppbOOkkOO......",
    ".........ObqpbbqpbbqpbOO........",
    ".........OqQppqQppqQppO.........",
    ".........OpppbpppbpppbO.........",
    ".........ObpbqpbbqpbbbO.........",
    "..........OOqQppqQppOO..........",
    "..........OOpppbpppbOO..........",
    "........OOlObpbbbpbbOlOO........",
    "......OOllllOOOOOOOOllllOO......",
    ".....OllllllggggggggggglllO.....",
    "....OlllhhhhgggggggggggggglO....",
    "...OllllhhhhggggggggggggggglO...",
    "...OlllghhhgggggggggggggggggO...",
    "..OlllggggggggggggggggggggggdO..",
    "..OllgggggwOggggggggwOggggggdO..",
    ".OlllgggggOOggggggggOOggggggddO.",
    ".OllggggggOOggggggggOOggggggddO.",
    ".OllggggggOOggggggggOOggggggddO.",
    ".OllgggrrggggOggggOggggrrgggddO.",
    ".OllggrrrgggggOOOOgggggrrrggddO.",
    "..OlgggggggggggggggggggggggddO..",
    "..OlggggggggggggggggggggggdddO..",
    "...OdgggggggggggggggggggddddO...",
    "....OdddgggggggggggggddddddO....",
    ".....OddddddddddddddddddddO.....",
    "......OOOddddddddddddddOOO......",
    ".........OOOOOOOOOOOOOO.........",
    "................................",
)

# Icon entries in directory order: (image width, image height). The largest image
# is one row short of square; its directory entry says width 0 (meaning 256) and
# height 255.
ENTRIES = ((16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (128, 128), (256, 255))


def from_sprite(rows):
    n = len(rows)
    assert all(len(row) == n for row in rows), "sprite rows must be square"
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != ".":
                img.putpixel((x, y), PALETTE[ch])
    return img


# Shapes in unit coordinates (0..1 across the image, y downwards).

BODY_CENTRE = (0.5, 0.63)
BODY_HALF_WIDTH = 0.43
BODY_TOP = 0.34  # dome height above the centre
BODY_BOTTOM = 0.28  # flattened base below the centre

LEAF_CENTRE = (0.68, 0.125)
LEAF_ANGLE = math.radians(-28)
LEAF_AXES = (0.11, 0.05)


def in_body(x, y):
    cx, cy = BODY_CENTRE
    dx = (x - cx) / BODY_HALF_WIDTH
    if y < cy:
        dy = (y - cy) / BODY_TOP
        return dx * dx + dy * dy <= 1
    dy = (y - cy) / BODY_BOTTOM
    return abs(dx) ** 2.2 + abs(dy) ** 3.2 <= 1


def leaf_coords(x, y):
    cx, cy = LEAF_CENTRE
    c, s = math.cos(LEAF_ANGLE), math.sin(LEAF_ANGLE)
    return (x - cx) * c + (y - cy) * s, -(x - cx) * s + (y - cy) * c


def in_leaf(x, y):
    u, v = leaf_coords(x, y)
    return (u / LEAF_AXES[0]) ** 2 + (v / LEAF_AXES[1]) ** 2 <= 1


def drupelets(n):
    """The blackberry as a hex cluster of round drupelets: seven big ones while
    each must stay readable, twelve smaller ones (a longer, truer berry) from 128."""
    if n >= 128:
        radius, rows = 0.047, ((-1.5, 2), (-0.5, 3), (0.5, 4), (1.5, 3))
    else:
        radius, rows = 0.064, ((-1, 2), (0, 3), (1, 2))
    step_x = 2 * radius * 0.88
    step_y = step_x * 0.84
    return [
        (0.5 + (k - (count - 1) / 2) * step_x, 0.27 + row * step_y, radius)
        for row, count in rows
        for k in range(count)
    ]


def draw(n):
    """Draws the mascot n pixels square from the shapes above, hard-edged."""
    thickness = max(1, round(n / 32))
    px = [[None] * n for _ in range(n)]
    centre = [(i + 0.5) / n for i in range(n)]
    one = 1.0 / n

    def mask(inside):
        return [[inside(centre[i], centre[j]) for i in range(n)] for j in range(n)]

    def outline(m):
        # A round pen: at one pixel this is the plus-shaped outline of pixel art.
        reach = thickness * thickness + thickness * 0.5
        pen = [
            (dx, dy)
            for dx in range(-thickness, thickness + 1)
            for dy in range(-thickness, thickness + 1)
            if dx * dx + dy * dy <= reach
        ]
        for j in range(n):
            for i in range(n):
                if not m[j][i] and any(
                    0 <= j + dy < n and 0 <= i + dx < n and m[j + dy][i + dx] for dx, dy in pen
                ):
                    px[j][i] = "O"

    def paint(colour_at):
        for j in range(n):
            for i in range(n):
                colour = colour_at(centre[i], centre[j], j, i)
                if colour:
                    px[j][i] = colour

    # Body, lit from the upper left.
    body = mask(in_body)
    outline(body)

    def body_colour(x, y, j, i):
        if not body[j][i]:
            return None
        if ((x - 0.31) / 0.075) ** 2 + ((y - 0.45) / 0.045) ** 2 <= 1:
            return "h"
        if not in_body(x + 0.045, y + 0.065):
            return "d"
        if not in_body(x - 0.05, y - 0.07):
            return "l"
        return "g"

    paint(body_colour)

    # Face: eyes with a glint, berry-red cheeks, a small smile.
    def face_colour(x, y, j, i):
        for ex in (0.35, 0.65):
            if ((x - ex) / 0.05) ** 2 + ((y - 0.62) / 0.075) ** 2 <= 1:
                if ((x - ex + 0.015) / 0.02) ** 2 + ((y - 0.60) / 0.025) ** 2 <= 1:
                    return "w"
                return "O"
        for ex in (0.23, 0.77):
            if ((x - ex) / 0.065) ** 2 + ((y - 0.735) / 0.035) ** 2 <= 1:
                return "r"
        if y > 0.69 and abs(math.hypot(x - 0.5, y - 0.67) - 0.065) <= max(0.5 * one, 0.012):
            return "O"
        return None

    paint(face_colour)

    # Leaf behind the berry, with a vein where there is room for one.
    leaf = mask(in_leaf)
    outline(leaf)

    def leaf_colour(x, y, j, i):
        if not leaf[j][i]:
            return None
        if abs(leaf_coords(x, y)[1]) <= 0.6 * one + 0.004:
            return "K"
        return "k"

    paint(leaf_colour)

    # The blackberry: drupelets back to front, each with a dark rim, a shaded
    # lower right, a lit upper left and a glint.
    cluster = drupelets(n)
    berry = mask(lambda x, y: any((x - a) ** 2 + (y - b) ** 2 <= r * r for a, b, r in cluster))
    outline(berry)

    def berry_colour(x, y, j, i):
        if not berry[j][i]:
            return None
        colour = "b"
        for a, b, r in cluster:
            dx, dy = x - a, y - b
            d2 = dx * dx + dy * dy
            if d2 > r * r:
                continue
            if d2 > (r - 1.2 * one) ** 2:
                colour = "b"
            elif (dx + r * 0.35) ** 2 + (dy + r * 0.38) ** 2 <= (r * 0.22) ** 2 + one * one * 0.3:
                colour = "Q"
            elif (dx + r * 0.15) ** 2 + (dy + r * 0.18) ** 2 > (r * 0.78) ** 2 and dx + dy > 0:
                colour = "b"
            elif (dx + r * 0.2) ** 2 + (dy + r * 0.22) ** 2 <= (r * 0.55) ** 2:
                colour = "q"
            else:
                colour = "p"
        return colour

    paint(berry_colour)

    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    for j in range(n):
        for i in range(n):
            if px[j][i]:
                img.putpixel((i, j), PALETTE[px[j][i]])
    return img


def image_for(width, height):
    sprites = {16: SPRITE_16, 24: SPRITE_24, 32: SPRITE_32}
    img = from_sprite(sprites[width]) if width in sprites else draw(width)
    if height < width:
        # Only transparent rows may be dropped, or the mascot would lose its base.
        dropped = img.crop((0, height, width, width))
        assert all(alpha == 0 for alpha in dropped.getdata(3)), "cropping would cut the artwork"
        img = img.crop((0, 0, width, height))
    return img


def png_bytes(img):
    buffer = io.BytesIO()
    # No pnginfo and no optimiser pass: IHDR, IDAT and IEND only, same bytes every run.
    img.save(buffer, format="PNG", optimize=False)
    return buffer.getvalue()


def ico_bytes(images):
    header = struct.pack("<HHH", 0, 1, len(images))
    directory = b""
    streams = [png_bytes(img) for img in images]
    offset = len(header) + 16 * len(images)
    for img, stream in zip(images, streams):
        width, height = img.size
        directory += struct.pack(
            "<BBBBHHII", width % 256, height % 256, 0, 0, 0, 32, len(stream), offset
        )
        offset += len(stream)
    return header + directory + b"".join(streams)


def contact_sheet(images):
    """Each image enlarged to 256 wide, then all at actual size on white and on dark."""
    gap = 8
    sheet = Image.new("RGBA", (gap + len(images) * (256 + gap), 256 + 2 * 280 + 2 * gap), "gray")
    x = gap
    for img in images:
        big = img.resize((256, 256 * img.height // img.width), Image.NEAREST)
        tile = Image.new("RGBA", big.size, "white")
        tile.alpha_composite(big)
        sheet.paste(tile, (x, gap))
        x += 256 + gap
    for row, background in enumerate(((255, 255, 255, 255), (30, 30, 36, 255))):
        strip = Image.new("RGBA", (sheet.width, 272), background)
        x = gap
        for img in images:
            strip.alpha_composite(img, (x, gap))
            x += img.width + 12
        sheet.paste(strip, (0, 256 + 2 * gap + row * 280))
    return sheet


def main(argv):
    images = [image_for(width, height) for width, height in ENTRIES]
    target = Path(__file__).resolve().parent / "brambun.ico"
    target.write_bytes(ico_bytes(images))
    if len(argv) == 3 and argv[1] == "--sheet":
        contact_sheet(images).save(argv[2])
    elif len(argv) != 1:
        sys.exit("usage: draw_brambun.py [--sheet PATH]")


if __name__ == "__main__":
    main(sys.argv)
