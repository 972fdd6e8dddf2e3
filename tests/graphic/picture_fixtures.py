#!/usr/bin/env python3
"""Makes the picture files that the decoder tests read.

usage: picture_fixtures.py OUTPUT_DIR PICSCRAMBLE

Files made with ImageMagick's convert (a real encoder, adaptive filtering) are
named im_*.png; the others are put together here, chunk by chunk, with zlib, so
that their filters, chunk types and damage are exactly what a test needs.
A file that should decode like another one has a twin: the same image written
plainly (NAME_twin.png), which the tests decode with libpng for comparison.
"""

import os
import random
import struct
import subprocess
import sys
import zlib

WIDTH, HEIGHT = 384, 256
SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def ihdr(width=WIDTH, height=HEIGHT, depth=8, colour=0, interlace=0, kind=b"IHDR"):
    return chunk(kind, struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))


def samples(colour, depth, seed, width=WIDTH, height=HEIGHT):
    """Rows of sample values: smooth areas with noisy patches, so that every filter earns its keep."""
    rng = random.Random(seed)
    top = (1 << depth) - 1
    per_pixel = 3 if colour == 2 else 1
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            for c in range(per_pixel):
                if (x // 48 + y // 32) % 3 == 0:
                    v = rng.randint(0, top)
                else:
                    v = ((x * (c + 1) + y * 3 + (x * y >> 6)) >> (8 - depth if depth < 8 else 0)) & top
                row.append(v)
        rows.append(row)
    return rows


def pack_row(values, depth):
    if depth == 8:
        return bytes(values)
    out = bytearray()
    per_byte = 8 // depth
    for i in range(0, len(values), per_byte):
        byte = 0
        for j in range(per_byte):
            v = values[i + j] if i + j < len(values) else 0
            byte |= v << (8 - depth * (j + 1))
        out.append(byte)
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, raw, prior, bpp):
    out = bytearray([kind])
    for i, v in enumerate(raw):
        a = raw[i - bpp] if i >= bpp else 0
        b = prior[i]
        c = prior[i - bpp] if i >= bpp else 0
        if kind == 1:
            v -= a
        elif kind == 2:
            v -= b
        elif kind == 3:
            v -= (a + b) // 2
        elif kind == 4:
            v -= paeth(a, b, c)
        out.append(v & 255)
    return bytes(out)


def image_data(rows, colour, depth, filters, odd_filter_rows=(), flush_at=None):
    """The zlib stream of the rows; row y uses filters[y % len(filters)].
    Rows in odd_filter_rows carry the unknown filter byte 9 in front of their raw bytes.
    With flush_at, the stream is fully flushed after that many rows and the result is
    (stream, offset of the flush point)."""
    bpp = 3 if colour == 2 else 1
    prior = bytes(len(pack_row(rows[0], depth)))
    packer = zlib.compressobj(9)
    stream, flush_point = b"", None
    for y, values in enumerate(rows):
        if y == flush_at:
            stream += packer.flush(zlib.Z_FULL_FLUSH)
            flush_point = len(stream)
        raw = pack_row(values, depth)
        if y in odd_filter_rows:
            stream += packer.compress(b"\x09" + raw)
        else:
            stream += packer.compress(filter_row(filters[y % len(filters)], raw, prior, bpp))
        prior = raw
    stream += packer.flush()
    return stream if flush_at is None else (stream, flush_point)


def split(data, sizes):
    """Cuts data into pieces of the given sizes (the last size repeats), for several IDAT chunks."""
    pieces, at, i = [], 0, 0
    while at < len(data):
        size = sizes[min(i, len(sizes) - 1)]
        pieces.append(data[at:at + size])
        at += size
        i += 1
    return pieces


def palette(count, seed):
    rng = random.Random(seed)
    return bytes(rng.randint(0, 255) for _ in range(3 * count))


def png(colour, depth, seed, filters=(0, 1, 2, 3, 4), idat_sizes=(1 << 30,), extra_before=(),
        extra_after=(), types=None, palette_entries=None, with_palette=True, rows=None,
        odd_filter_rows=(), palette_seed=None):
    types = types or {}
    rows = rows or samples(colour, depth, seed)
    out = SIGNATURE + ihdr(depth=depth, colour=colour, kind=types.get("IHDR", b"IHDR"))
    out += b"".join(extra_before)
    if colour == 3 and with_palette:
        entries = palette_entries if palette_entries is not None else 1 << depth
        out += chunk(types.get("PLTE", b"PLTE"), palette(entries, seed if palette_seed is None else palette_seed))
    for piece in split(image_data(rows, colour, depth, filters, odd_filter_rows), idat_sizes):
        out += chunk(types.get("IDAT", b"IDAT"), piece)
    out += b"".join(extra_after)
    return out + chunk(types.get("IEND", b"IEND"), b"")


def imagemagick():
    for path in ("/usr/bin/convert", "/usr/bin/convert-im6.q16"):
        if os.path.exists(path):
            return path
    sys.exit("picture_fixtures: ImageMagick's convert is not installed (scripts/setup installs it)")


def real_encoder_files(out, convert):
    """Every accepted colour type and depth, written by ImageMagick with adaptive filters."""
    kinds = [(0, 1), (0, 2), (0, 4), (0, 8), (2, 8), (3, 1), (3, 2), (3, 4), (3, 8)]
    for colour, depth in kinds:
        name = "im_%s%d" % ({0: "grey", 2: "rgb", 3: "palette"}[colour], depth)
        source = os.path.join(out, name + ".ppm")
        levels = 1 << depth if colour != 2 else 256
        rng = random.Random(colour * 10 + depth)
        colours = [(rng.randint(0, 255), rng.randint(0, 255), rng.randint(0, 255)) for _ in range(levels)]
        with open(source, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (WIDTH, HEIGHT))
            pixels = bytearray()
            for y, row in enumerate(samples(colour, 8 if colour == 2 else depth, colour * 10 + depth)):
                for x in range(WIDTH):
                    if colour == 2:
                        pixels += bytes(row[3 * x:3 * x + 3])
                    elif colour == 0:
                        pixels += bytes([row[x] * 255 // (levels - 1)] * 3)
                    else:
                        pixels += bytes(colours[row[x]])
            f.write(pixels)
        target = os.path.join(out, name + ".png")
        subprocess.run([convert, source, "-quality", "96",
                        "-define", "png:color-type=%d" % colour, "-define", "png:bit-depth=%d" % depth,
                        ("PNG8:" if colour == 3 else "") + target], check=True)
        os.remove(source)
        with open(target, "rb") as f:
            head = f.read(33)
        got = (head[25], head[24], head[28])
        if head[12:16] != b"IHDR" or got != (colour, depth, 0):
            sys.exit("picture_fixtures: %s came out as colour type %d, depth %d, interlace %d" % ((target,) + got))


def hand_made_files(out):
    files = {}
    # Every accepted kind, all five filters in turn, the data cut into several chunks.
    for colour, depth in [(0, 1), (0, 2), (0, 4), (0, 8), (2, 8), (3, 1), (3, 2), (3, 4), (3, 8)]:
        name = "%s%d" % ({0: "grey", 2: "rgb", 3: "palette"}[colour], depth)
        files[name] = png(colour, depth, seed=depth + colour, filters=(4, 0, 3, 1, 2, 4, 4, 1),
                          idat_sizes=(777, 5000))
    # Refused at the header.
    files["refused_wide"] = SIGNATURE + ihdr(width=385) + chunk(b"IEND", b"")
    files["refused_interlaced"] = SIGNATURE + ihdr(interlace=1) + chunk(b"IEND", b"")
    files["refused_depth16"] = SIGNATURE + ihdr(depth=16) + chunk(b"IEND", b"")
    files["refused_grey_alpha"] = SIGNATURE + ihdr(colour=4) + chunk(b"IEND", b"")
    files["refused_rgb_alpha"] = SIGNATURE + ihdr(colour=6) + chunk(b"IEND", b"")
    files["refused_compression"] = (SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 0, 1, 0, 0))
                                    + chunk(b"IEND", b""))
    files["refused_header_not_first"] = SIGNATURE + chunk(b"gAMA", struct.pack(">I", 45455)) + ihdr()
    files["refused_end_first"] = SIGNATURE + chunk(b"IEND", b"")
    files["refused_short_header"] = SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBB", WIDTH, HEIGHT, 8, 0, 0, 0))
    files["refused_truncated_header"] = (SIGNATURE + ihdr())[:20]
    files["refused_data_first"] = SIGNATURE + chunk(b"IDAT", image_data(samples(0, 8, 1), 0, 8, (0,))) + ihdr()
    files["not_png"] = b"GIF89a" + bytes(100)
    files["short_signature"] = SIGNATURE[:5]
    files["empty"] = b""
    # Ancillary chunks that must not change the picture.
    ancillary = [chunk(b"tEXt", b"Comment\0made for the tests"), chunk(b"gAMA", struct.pack(">I", 45455)),
                 chunk(b"tRNS", bytes([0, 128, 255]))]
    files["ancillary"] = png(3, 4, seed=41, extra_before=ancillary, extra_after=[chunk(b"tEXt", b"After\0data")])
    files["ancillary_twin"] = png(3, 4, seed=41)
    # Chunk types in small or mixed letters.
    files["small_letters"] = png(3, 8, seed=7, idat_sizes=(3000,),
                                 types={"IHDR": b"ihdr", "PLTE": b"plte", "IDAT": b"idat", "IEND": b"iend"})
    files["small_letters_twin"] = png(3, 8, seed=7)
    files["mixed_letters"] = png(0, 8, seed=9, idat_sizes=(4000,), types={"IDAT": b"IdAt"})
    files["mixed_letters_twin"] = png(0, 8, seed=9)
    # Large true-colour noise: one image-data chunk and several, each well beyond the 32 KB input buffer.
    rng = random.Random(99)
    noise = [[rng.randint(0, 255) for _ in range(3 * WIDTH)] for y in range(HEIGHT)]
    files["noise_one_chunk"] = png(2, 8, seed=0, rows=noise)
    files["noise_chunks"] = png(2, 8, seed=0, rows=noise, idat_sizes=(40000, 70001, 33333))
    # Unknown filter bytes leave their rows as stored.
    files["odd_filter"] = png(0, 8, seed=5, odd_filter_rows=(0, 17, 18, 255))
    files["odd_filter_twin"] = png(0, 8, seed=5, filters=(0,))
    # A palette of 300 entries: those past 255 are read and ignored (the twin has the first 256).
    files["long_palette"] = png(3, 8, seed=13, palette_entries=300)
    files["long_palette_twin"] = png(3, 8, seed=13)
    # More rows of data than the header announces: rows past 256 are ignored.
    extra_rows = samples(0, 8, 21, height=HEIGHT + 40)
    files["extra_rows"] = png(0, 8, seed=21, rows=extra_rows)
    files["extra_rows_twin"] = png(0, 8, seed=21, rows=extra_rows[:HEIGHT])
    # A second header, of a kind that would not fit the rows: the first one stays in force.
    files["second_header"] = png(0, 8, seed=5, extra_before=[ihdr(width=5000, depth=16, colour=2)])
    # A palette picture without palette: it keeps the colours of the picture before.
    files["no_palette"] = png(3, 8, seed=3, with_palette=False)
    files["no_palette_twin"] = png(3, 8, seed=3, palette_seed=11)  # the palette of palette8
    # Damage after the header, each right after the first 100 rows: those rows stand, black below.
    rows = samples(2, 8, 17)
    files["damaged_twin"] = png(2, 8, seed=17, rows=rows)
    stream, cut = image_data(rows, 2, 8, (0, 1, 2, 3, 4), flush_at=100)
    start = SIGNATURE + ihdr(colour=2)
    files["truncated"] = start + struct.pack(">I", len(stream)) + b"IDAT" + stream[:cut]
    invalid_block = b"\x07" + bytes(40)  # final block of the reserved type 3
    files["inflate_error"] = start + chunk(b"IDAT", stream[:cut] + invalid_block + stream[cut:]) + chunk(b"IEND", b"")
    files["missing_end"] = start + chunk(b"IDAT", stream[:cut])
    files["huge_chunk"] = start + chunk(b"IDAT", stream[:cut]) + struct.pack(">I", 0xFFFFFFF0) + b"zzZZ" + bytes(64)
    files["marker_after_data"] = (start + chunk(b"IDAT", stream[:cut]) + chunk(b"SrMB", b"twk?")
                                  + chunk(b"IDAT", stream[cut:]) + chunk(b"IEND", b""))
    # Markers that stop the reading before any image data: a second one, a short one.
    grey = chunk(b"IDAT", image_data(samples(0, 8, 1), 0, 8, (0,))) + chunk(b"IEND", b"")
    files["second_marker"] = SIGNATURE + ihdr() + chunk(b"SrMB", b"twk?") + chunk(b"SrMB", b"twk?") + grey
    files["short_marker"] = SIGNATURE + ihdr() + chunk(b"SrMB", b"twk") + grey
    for name, content in files.items():
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(content)


def bomb_files(out):
    """Image data that inflates to 4 GiB: a picture's 256 rows, then zeros without end.
    The zeros are one self-contained stretch of deflate blocks, repeated: each holds 1 MiB
    and starts after a full flush, so a few megabytes of file stand for gigabytes."""
    rows = samples(3, 8, 61)
    packer = zlib.compressobj(9)
    stream = packer.compress(b"".join(b"\0" + pack_row(row, 8) for row in rows)) + packer.flush(zlib.Z_FULL_FLUSH)
    zeros = packer.compress(bytes(1 << 20)) + packer.flush(zlib.Z_FULL_FLUSH)
    stream += zeros * 4096
    start = SIGNATURE + ihdr(depth=8, colour=3) + chunk(b"PLTE", palette(256, 61))
    files = {
        "bomb_twin": png(3, 8, seed=61, rows=rows, filters=(0,)),
        # Many chunks, then the end.
        "bomb_chunks": start + b"".join(chunk(b"IDAT", piece) for piece in split(stream, (8192,)))
                       + chunk(b"IEND", b""),
        # One chunk that announces 2 GiB, of which the file holds the stream only.
        "bomb_long_chunk": start + struct.pack(">I", 0x7FFFFFFF) + b"IDAT" + stream,
    }
    for name, content in files.items():
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(content)


def scrambled_files(out, picscramble):
    """Scrambled with the project's tool; a copy with its marker's data changed; and a round trip."""
    plain = os.path.join(out, "noise_chunks.png")
    scrambled = os.path.join(out, "scrambled.png")
    subprocess.run([picscramble, plain, scrambled], check=True)
    with open(scrambled, "rb") as f:
        data = bytearray(f.read())
    at = data.index(b"SrMB")
    data[at + 4:at + 8] = b"TWK?"
    data[at + 8:at + 12] = struct.pack(">I", zlib.crc32(b"SrMBTWK?"))
    with open(os.path.join(out, "wrong_marker.png"), "wb") as f:
        f.write(data)
    subprocess.run([picscramble, "-u", scrambled, os.path.join(out, "unscrambled.png")], check=True)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: picture_fixtures.py OUTPUT_DIR PICSCRAMBLE")
    out, picscramble = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    real_encoder_files(out, imagemagick())
    hand_made_files(out)
    bomb_files(out)
    scrambled_files(out, picscramble)


if __name__ == "__main__":
    main()
