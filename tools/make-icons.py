#!/usr/bin/python3
"""Draws the launcher's icon and writes it as Windows icon resources.

Run from anywhere with /usr/bin/python3 (Debian's python3-pil, which
tools/setup.sh installs):

    /usr/bin/python3 tools/make-icons.py [OUTPUT_FOLDER]

The default output folder is launch/resources/icons. It receives one raw
image per icon id (1 to 10: 64, 48, 32, 16 and 256 px, each at 8 and then
32 bits per pixel), the icon group directory that lists them, a resource
script fragment that declares them under both icon groups, and Valdrenne.ico
with the same images for shortcuts and installers. The drawing is computed,
so the same script always writes the same bytes.
"""

import io
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw

ICON_SIZES = (64, 48, 32, 16, 256)
BIT_DEPTHS = (8, 32)
# Images from this size up are stored as PNG, smaller ones as DIB. Windows
# Vista, the oldest system the image's subsystem version admits, reads PNG
# icon images at every size; PNG keeps the two copies of the set small.
PNG_SIZE = 48
PALETTE_SIZE = 256
TRANSPARENT_INDEX = 0  # Palette entry of masked-out 8-bpp pixels (black).
ALPHA_THRESHOLD = 128  # Alpha from which a pixel counts as opaque at 8 bpp.
# The artwork is drawn once at this size, without anti-aliasing, and each
# icon image is its box-filtered reduction: at 16 px, 64 x 64 samples a pixel.
DRAWN_SIZE = 1024
DIB_HEADER_SIZE = 40
DIB_HEIGHT_OFFSET = 8
DIB_IMAGE_SIZE_OFFSET = 20
MONOCHROME_PALETTE_SIZE = 2 * 4  # Pillow's 1-bpp DIB: black and white entries
DIRECTORY_ENTRY_SIZE = 16

GROUPS = ((101, "0, 0", "LANG_NEUTRAL"), (110, "9, 2", "English (United Kingdom)"))

# Palette of the artwork, as 0..1 RGB.
NIGHT = (0.063, 0.094, 0.184)
DEEP_TEAL = (0.071, 0.294, 0.333)
RIM_DARK = (0.459, 0.318, 0.110)
RIM_LIGHT = (0.894, 0.729, 0.384)
GOLD_LIGHT = (0.984, 0.882, 0.576)
GOLD_DARK = (0.741, 0.494, 0.157)
GEM = (0.902, 0.941, 0.980)

# The artwork in the unit square: a rounded tile with a rim, a V of two
# strokes meeting at the bottom, and a small diamond between its arms.
TILE_INSET = 0.03
TILE_RADIUS = 0.19
RIM_WIDTH = 0.035
V_POINTS = ((0.275, 0.27), (0.5, 0.76), (0.725, 0.27))
V_HALF_WIDTH = 0.085
V_EDGE_WIDTH = 0.02
V_EDGE_DARKENING = 0.6
GOLD_TOP, GOLD_BOTTOM = 0.2, 0.8
DIAMOND_CENTRE = (0.5, 0.36)
DIAMOND_RADIUS = 0.075


def rgb(colour):
    return tuple(int(channel * 255.0 + 0.5) for channel in colour)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def scaled(*values):
    return [value * DRAWN_SIZE for value in values]


def ramp(start, end):
    """A mask rising from 0 at `start` to 255 at `end` down the drawing (0..1)."""
    vertical = Image.linear_gradient("L").resize((DRAWN_SIZE, DRAWN_SIZE), Image.Resampling.BILINEAR)
    return vertical.point(lambda v: int(min(max((v / 255.0 - start) / (end - start), 0.0), 1.0) * 255.0 + 0.5))


def gradient(first, second, mask):
    """`first` where the mask is 0, `second` where it is 255, blended between."""
    return Image.composite(Image.new("RGBA", (DRAWN_SIZE, DRAWN_SIZE), rgb(second) + (255,)),
                           Image.new("RGBA", (DRAWN_SIZE, DRAWN_SIZE), rgb(first) + (255,)), mask)


def shape(draw_on):
    mask = Image.new("L", (DRAWN_SIZE, DRAWN_SIZE), 0)
    draw_on(ImageDraw.Draw(mask))
    return mask


def rounded_tile(inset):
    return shape(lambda draw: draw.rounded_rectangle(scaled(inset, inset, 1.0 - inset, 1.0 - inset),
                                                     radius=(TILE_RADIUS - (inset - TILE_INSET)) * DRAWN_SIZE,
                                                     fill=255))


def v_strokes(half_width):
    """The points within half_width of either stroke of the V."""

    def draw_strokes(draw):
        points = [tuple(scaled(x, y)) for x, y in V_POINTS]
        draw.line(points, fill=255, width=round(2.0 * half_width * DRAWN_SIZE), joint="curve")
        for x, y in V_POINTS:
            draw.ellipse(scaled(x - half_width, y - half_width, x + half_width, y + half_width), fill=255)

    return shape(draw_strokes)


def draw_artwork():
    """The artwork at DRAWN_SIZE, RGBA, transparent outside the tile."""
    image = Image.new("RGBA", (DRAWN_SIZE, DRAWN_SIZE), (0, 0, 0, 0))
    down = ramp(0.0, 1.0)
    # Night in the top left corner to teal in the bottom right.
    across = ImageChops.add(down.transpose(Image.Transpose.ROTATE_90), down.transpose(Image.Transpose.FLIP_TOP_BOTTOM),
                            scale=2.0)
    image.paste(gradient(RIM_LIGHT, RIM_DARK, down), mask=rounded_tile(TILE_INSET))
    image.paste(gradient(NIGHT, DEEP_TEAL, across), mask=rounded_tile(TILE_INSET + RIM_WIDTH))
    gold = ramp(GOLD_TOP, GOLD_BOTTOM)
    image.paste(gradient(mix(GOLD_LIGHT, GOLD_DARK, V_EDGE_DARKENING), GOLD_DARK, gold), mask=v_strokes(V_HALF_WIDTH))
    image.paste(gradient(GOLD_LIGHT, GOLD_DARK, gold), mask=v_strokes(V_HALF_WIDTH - V_EDGE_WIDTH))
    x, y = DIAMOND_CENTRE
    ImageDraw.Draw(image).polygon(scaled(x, y - DIAMOND_RADIUS, x + DIAMOND_RADIUS, y, x, y + DIAMOND_RADIUS,
                                         x - DIAMOND_RADIUS, y), fill=rgb(GEM) + (255,))
    return image


def transparent_mask(image):
    """255 where an 8-bpp image or the DIB mask leaves the pixel out."""
    return image.getchannel("A").point(lambda a: 255 if a < ALPHA_THRESHOLD else 0)


def quantise(image):
    """The image at 8 bpp: its colours cut to PALETTE_SIZE - 1 by median cut
    and moved up one entry, so that entry TRANSPARENT_INDEX (0) is the
    masked-out pixels' alone; the palette padded to PALETTE_SIZE so that
    every encoder writes 8 bits an index."""
    colours = image.convert("RGB").quantize(PALETTE_SIZE - 1, method=Image.Quantize.MEDIANCUT,
                                            dither=Image.Dither.NONE)
    palette = bytes(3) + bytes(colours.getpalette()[:3 * (PALETTE_SIZE - 1)])
    indexed = colours.point(lambda index: index + 1)
    indexed.putpalette(palette + bytes(3 * PALETTE_SIZE - len(palette)))
    indexed.paste(TRANSPARENT_INDEX, mask=transparent_mask(image))
    return indexed


def encode(image, kind):
    out = io.BytesIO()
    image.save(out, kind)
    return out.getvalue()


def dib(colours, transparent):
    """An icon image as a DIB: Pillow's DIB of the colours, its header
    counting the 1-bpp mask that follows (set where transparent) in the
    height, which doubles, and in the image size."""
    data = bytearray(encode(colours, "DIB"))
    mask = encode(transparent.convert("1"), "DIB")[DIB_HEADER_SIZE + MONOCHROME_PALETTE_SIZE:]
    colour_bytes = struct.unpack_from("<I", data, DIB_IMAGE_SIZE_OFFSET)[0]
    struct.pack_into("<i", data, DIB_HEIGHT_OFFSET, colours.height * 2)
    struct.pack_into("<I", data, DIB_IMAGE_SIZE_OFFSET, colour_bytes + len(mask))
    return bytes(data) + mask


def icon_image(image, bits):
    """One icon image of the RGBA image at `bits` bits per pixel."""
    colours = quantise(image) if bits == 8 else image
    if image.width < PNG_SIZE:
        return dib(colours, transparent_mask(image))
    out = io.BytesIO()
    if bits == 8:
        colours.save(out, "PNG", transparency=TRANSPARENT_INDEX)
    else:
        colours.save(out, "PNG")
    return out.getvalue()


def image_name(icon_id, size, bits):
    return "%02d-%dpx-%dbpp.%s" % (icon_id, size, bits, "png" if size >= PNG_SIZE else "dib")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "launch", "resources", "icons")
    os.makedirs(folder, exist_ok=True)

    artwork = draw_artwork()
    images = []
    for size in ICON_SIZES:
        reduced = artwork.resize((size, size), Image.Resampling.BOX)
        for bits in BIT_DEPTHS:
            images.append((len(images) + 1, size, bits, icon_image(reduced, bits)))

    # The group resource and the .ico file share one directory layout; the
    # group names each image by id, the file by its offset.
    group = struct.pack("<HHH", 0, 1, len(images))
    ico = struct.pack("<HHH", 0, 1, len(images))
    offset = len(ico) + DIRECTORY_ENTRY_SIZE * len(images)
    for icon_id, size, bits, data in images:
        entry = struct.pack("<BBBBHHI", size % 256, size % 256, 0, 0, 1, bits, len(data))
        group += entry + struct.pack("<H", icon_id)
        ico += entry + struct.pack("<I", offset)
        offset += len(data)
        with open(os.path.join(folder, image_name(icon_id, size, bits)), "wb") as out:
            out.write(data)
    with open(os.path.join(folder, "group.bin"), "wb") as out:
        out.write(group)
    with open(os.path.join(folder, "Valdrenne.ico"), "wb") as out:
        out.write(ico + b"".join(data for _, _, _, data in images))

    lines = ["// Generated by tools/make-icons.py: icon images 1 to 10 and the group that",
             "// lists them, once per language. windres numbers the images of ICON",
             "// statements itself, so the images are declared as raw RT_ICON (3) data and",
             "// the group as RT_GROUP_ICON (14)."]
    for group_id, language, description in GROUPS:
        lines.append("")
        lines.append("// %s" % description)
        lines.append("LANGUAGE %s" % language)
        for icon_id, size, bits, _ in images:
            lines.append('%d 3 "icons/%s"' % (icon_id, image_name(icon_id, size, bits)))
        lines.append('%d 14 "icons/group.bin"' % group_id)
    with open(os.path.join(folder, "Icons.rc"), "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
