#!/usr/bin/env python3
"""Rewrites a 32-bit-colour icon file as a 16-colour one of the same sizes.

SETUP.EXE's default icon is drawn in 32-bit colour; stored with a palette of
16 colours picked for each image (4 bits a pixel, transparency in the AND
mask) it takes a fifth of the room in the program. A pixel at least half
opaque keeps its colour; the others become transparent.

usage: make-16-colour-icon.py IN.ico OUT.ico
"""
import struct
import sys


def read_icon(data):
    _, kind, count = struct.unpack_from('<HHH', data, 0)
    if kind != 1:
        sys.exit('not an icon file')
    images = []
    for i in range(count):
        w, h, _, _, _, bpp, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        w, h = w or 256, h or 256
        header = struct.unpack_from('<IiiHHIIiiII', data, offset)
        if header[4] != 32 or header[5] != 0:
            sys.exit(f'image {i} is not uncompressed 32-bit colour')
        bits = data[offset + header[0]:offset + header[0] + w * h * 4]
        # Rows bottom-up, pixels as (blue, green, red, alpha).
        images.append((w, h, [tuple(bits[j:j + 4]) for j in range(0, len(bits), 4)]))
    return images


def distance(a, b):
    return sum((x - y) ** 2 for x, y in zip(a, b))


def palette_for(colours, size):
    """Up to `size` colours for the weighted colours given (k-means, seeded
    with the most frequent colours so that the result is reproducible)."""
    counts = {}
    for c in colours:
        counts[c] = counts.get(c, 0) + 1
    if len(counts) <= size:
        return sorted(counts)
    centres = [c for c, _ in sorted(counts.items(), key=lambda kv: (-kv[1], kv[0]))[:size]]
    for _ in range(50):
        sums = [[0, 0, 0, 0] for _ in centres]
        for c, n in counts.items():
            k = min(range(len(centres)), key=lambda i: distance(c, centres[i]))
            s = sums[k]
            s[0] += c[0] * n; s[1] += c[1] * n; s[2] += c[2] * n; s[3] += n
        moved = [tuple(round(v / s[3]) for v in s[:3]) if s[3] else centres[k]
                 for k, s in enumerate(sums)]
        if moved == centres:
            break
        centres = moved
    return sorted(set(centres))


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def write_image(w, h, pixels):
    opaque = [p[3] >= 128 for p in pixels]
    # Index 0 is black: a transparent pixel is black under a set AND-mask bit.
    palette = [(0, 0, 0)] + palette_for([p[:3] for p, o in zip(pixels, opaque) if o], 15)
    palette = palette[:1] + [c for c in palette[1:] if c != (0, 0, 0)]
    colour, mask = bytearray(), bytearray()
    for y in range(h):
        row = pixels[y * w:(y + 1) * w]
        ops = opaque[y * w:(y + 1) * w]
        idx = [min(range(len(palette)), key=lambda i: distance(p[:3], palette[i])) if o else 0
               for p, o in zip(row, ops)]
        packed = bytearray((idx[x] << 4 | (idx[x + 1] if x + 1 < w else 0)) for x in range(0, w, 2))
        colour += packed.ljust(row_bytes(4 * w), b'\0')
        bits = bytearray(row_bytes(w))
        for x, o in enumerate(ops):
            if not o:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 4, 0, len(colour) + len(mask), 0, 0, 16, 0)
    table = b''.join(struct.pack('<BBBB', *c, 0) for c in palette).ljust(64, b'\0')
    return header + table + bytes(colour) + bytes(mask)


def main():
    source, target = sys.argv[1:3]
    images = read_icon(open(source, 'rb').read())
    blobs = [write_image(w, h, px) for w, h, px in images]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (w, h, _), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    open(target, 'wb').write(out)


if __name__ == '__main__':
    main()
