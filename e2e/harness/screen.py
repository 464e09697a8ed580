"""Turns a binary PPM screen capture into a PNG file, with the standard library only."""

import struct
import zlib


def _parse_ppm(data):
    """Returns (width, height, rgb bytes) of a binary (P6) PPM with 8-bit samples."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1  # the single whitespace byte before the samples
    magic, width, height, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic != b'P6' or maxval != 255:
        raise ValueError('expected an 8-bit P6 PPM, got %r maxval %d' % (magic, maxval))
    return width, height, data[pos:pos + width * height * 3]


def _chunk(kind, body):
    return (struct.pack('>I', len(body)) + kind + body
            + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))


def write_png_from_ppm(ppm, path):
    width, height, rgb = _parse_ppm(ppm)
    stride = width * 3
    raw = b''.join(b'\x00' + rgb[y * stride:(y + 1) * stride] for y in range(height))
    png = (b'\x89PNG\r\n\x1a\n'
           + _chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
           + _chunk(b'IDAT', zlib.compress(raw, 6))
           + _chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(png)
