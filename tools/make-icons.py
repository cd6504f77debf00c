#!/usr/bin/python3
"""Draws the launcher's icon and writes it as Windows icon resources.

Run from anywhere with /usr/bin/python3 (standard library only):

    /usr/bin/python3 tools/make-icons.py [OUTPUT_FOLDER]

The default output folder is launch/resources/icons. It receives one raw
image per icon id (1 to 10: 64, 48, 32, 16 and 256 px, each at 8 and then
32 bits per pixel), the icon group directory that lists them, a resource
script fragment that declares them under both icon groups, and Valdrenne.ico
with the same images for shortcuts and installers. The drawing is computed,
so the same script always writes the same bytes.
"""

import math
import os
import struct
import sys
import zlib

ICON_SIZES = (64, 48, 32, 16, 256)
BIT_DEPTHS = (8, 32)
# Images from this size up are stored as PNG, smaller ones as DIB. Windows
# Vista, the oldest system the image's subsystem version admits, reads PNG
# icon images at every size; PNG keeps the two copies of the set small.
PNG_SIZE = 48
PALETTE_SIZE = 256
TRANSPARENT_INDEX = 0  # Palette entry of masked-out 8-bpp pixels (black).
ALPHA_THRESHOLD = 128  # Alpha from which a pixel counts as opaque at 8 bpp.
SAMPLED_EDGE = 256  # Samples along the image edge that each size aims for,
MAX_SUPERSAMPLING = 8  # with at most this many per pixel edge (small images)
MIN_SUPERSAMPLING = 2  # and at least this many (the 256 px image).

GROUPS = ((101, "0, 0", "LANG_NEUTRAL"), (110, "9, 2", "English (United Kingdom)"))

# Palette of the artwork, as 0..1 RGB.
NIGHT = (0.063, 0.094, 0.184)
DEEP_TEAL = (0.071, 0.294, 0.333)
RIM_DARK = (0.459, 0.318, 0.110)
RIM_LIGHT = (0.894, 0.729, 0.384)
GOLD_LIGHT = (0.984, 0.882, 0.576)
GOLD_DARK = (0.741, 0.494, 0.157)
GEM = (0.902, 0.941, 0.980)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def rounded_square_distance(x, y, half, radius):
    """Signed distance to a square of half-size `half` with rounded corners."""
    qx = abs(x - 0.5) - half + radius
    qy = abs(y - 0.5) - half + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def segment_distance(x, y, ax, ay, bx, by):
    """Distance to the segment from (ax, ay) to (bx, by)."""
    px, py = x - ax, y - ay
    dx, dy = bx - ax, by - ay
    t = min(max((px * dx + py * dy) / (dx * dx + dy * dy), 0.0), 1.0)
    return math.hypot(px - dx * t, py - dy * t)


def shade(x, y):
    """Colour (r, g, b, a) of the artwork at one point of the unit square."""
    tile = rounded_square_distance(x, y, 0.47, 0.19)
    if tile > 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    colour = mix(NIGHT, DEEP_TEAL, (x + (1.0 - y)) * 0.5)
    if tile > -0.035:
        colour = mix(RIM_LIGHT, RIM_DARK, y)
    # The V: two strokes meeting at the bottom.
    stroke = min(segment_distance(x, y, 0.275, 0.27, 0.5, 0.76), segment_distance(x, y, 0.725, 0.27, 0.5, 0.76))
    if stroke < 0.085:
        colour = mix(GOLD_LIGHT, GOLD_DARK, (y - 0.2) / 0.6)
        if stroke > 0.065:
            colour = mix(colour, GOLD_DARK, 0.6)
    # A small diamond between the arms.
    if abs(x - 0.5) + abs(y - 0.36) < 0.075:
        colour = GEM
    return colour + (1.0,)


def render(size):
    """Renders the artwork at size x size; rows top down, (r, g, b, a) bytes."""
    samples = min(MAX_SUPERSAMPLING, max(MIN_SUPERSAMPLING, SAMPLED_EDGE // size))
    weight = 1.0 / (samples * samples)
    pixels = []
    for row in range(size):
        line = []
        for column in range(size):
            r = g = b = a = 0.0
            for sy in range(samples):
                y = (row + (sy + 0.5) / samples) / size
                for sx in range(samples):
                    x = (column + (sx + 0.5) / samples) / size
                    cr, cg, cb, ca = shade(x, y)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a > 0.0:
                r, g, b = r / a, g / a, b / a
            a *= weight
            line.append(tuple(to_byte(v) for v in (r, g, b, a)))
        pixels.append(line)
    return pixels


def to_byte(value):
    return min(255, max(0, int(math.floor(value * 255.0 + 0.5))))


def median_cut(colours, limit):
    """A palette of at most `limit` colours for a {colour: count} histogram."""
    boxes = [sorted(colours.items())]
    while len(boxes) < limit:
        best = None
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for channel in range(3):
                values = [colour[channel] for colour, _ in box]
                spread = max(values) - min(values)
                if best is None or spread > best[0]:
                    best = (spread, index, channel)
        if best is None or best[0] == 0:
            break
        _, index, channel = best
        box = sorted(boxes[index], key=lambda item: (item[0][channel], item[0]))
        total = sum(count for _, count in box)
        running = 0
        cut = 1
        for position, (_, count) in enumerate(box[:-1]):
            running += count
            cut = position + 1
            if running * 2 >= total:
                break
        boxes[index:index + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(count for _, count in box)
        palette.append(tuple((sum(colour[c] * count for colour, count in box) + total // 2) // total for c in range(3)))
    return palette


def quantise(pixels):
    """Palette (PALETTE_SIZE entries) and index rows for an 8-bpp image."""
    histogram = {}
    for line in pixels:
        for r, g, b, a in line:
            if a >= ALPHA_THRESHOLD:
                histogram[(r, g, b)] = histogram.get((r, g, b), 0) + 1
    palette = [(0, 0, 0)] + median_cut(histogram, PALETTE_SIZE - 1)
    palette += [(0, 0, 0)] * (PALETTE_SIZE - len(palette))
    nearest = {}
    for colour in histogram:
        nearest[colour] = min(
            range(1, PALETTE_SIZE),
            key=lambda i: (sum((colour[c] - palette[i][c]) ** 2 for c in range(3)), i),
        )
    indices = [[nearest[(r, g, b)] if a >= ALPHA_THRESHOLD else TRANSPARENT_INDEX for r, g, b, a in line]
               for line in pixels]
    return palette, indices


def row_bytes(bits):
    """Bytes of one DIB row of `bits` bits, padded to 4 bytes."""
    return (bits + 31) // 32 * 4


def and_mask(pixels):
    """1-bpp mask, bottom-up: set where the pixel is transparent."""
    size = len(pixels)
    data = bytearray()
    for line in reversed(pixels):
        packed = bytearray(row_bytes(size))
        for column, (_, _, _, a) in enumerate(line):
            if a < ALPHA_THRESHOLD:
                packed[column // 8] |= 0x80 >> (column % 8)
        data += packed
    return bytes(data)


def dib(pixels, bits):
    """Icon image as a DIB: header, palette at 8 bpp, colour rows, mask."""
    size = len(pixels)
    mask = and_mask(pixels)
    body = bytearray()
    if bits == 8:
        palette, indices = quantise(pixels)
        colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
        for line in reversed(indices):
            body += bytes(line) + bytes(row_bytes(size * 8) - size)
    else:
        colours = b""
        for line in reversed(pixels):
            body += b"".join(struct.pack("<BBBB", b, g, r, a) for r, g, b, a in line)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(body) + len(mask), 0, 0,
                         PALETTE_SIZE if bits == 8 else 0, 0)
    return header + colours + bytes(body) + mask


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def paeth(left, up, corner):
    estimate = left + up - corner
    pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
    if pa <= pb and pa <= pc:
        return left
    return up if pb <= pc else corner


def png(pixels, bits):
    """Icon image as PNG: RGBA at 32 bpp, palette with transparency at 8 bpp."""
    size = len(pixels)
    if bits == 8:
        palette, indices = quantise(pixels)
        rows = [bytes(line) for line in indices]
        header = struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0)
        extra = png_chunk(b"PLTE", b"".join(bytes(colour) for colour in palette))
        extra += png_chunk(b"tRNS", bytes([0]) + bytes([255] * (PALETTE_SIZE - 1)))
        stride = 1
    else:
        rows = [b"".join(bytes(pixel) for pixel in line) for line in pixels]
        header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
        extra = b""
        stride = 4
    raw = bytearray()
    previous = bytes(len(rows[0]))
    for row in rows:
        if bits == 8:
            raw += b"\x00" + row  # Indices do not predict well.
        else:
            filtered = bytearray(len(row))
            for i, value in enumerate(row):
                left = row[i - stride] if i >= stride else 0
                corner = previous[i - stride] if i >= stride else 0
                filtered[i] = (value - paeth(left, previous[i], corner)) & 0xFF
            raw += b"\x04" + bytes(filtered)
        previous = row
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + extra + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def image_name(icon_id, size, bits):
    return "%02d-%dpx-%dbpp.%s" % (icon_id, size, bits, "png" if size >= PNG_SIZE else "dib")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "launch", "resources", "icons")
    os.makedirs(folder, exist_ok=True)

    images = []
    for size in ICON_SIZES:
        pixels = render(size)
        for bits in BIT_DEPTHS:
            data = png(pixels, bits) if size >= PNG_SIZE else dib(pixels, bits)
            images.append((len(images) + 1, size, bits, data))

    group = struct.pack("<HHH", 0, 1, len(images))
    ico = struct.pack("<HHH", 0, 1, len(images))
    offset = len(ico) + 16 * len(images)
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
