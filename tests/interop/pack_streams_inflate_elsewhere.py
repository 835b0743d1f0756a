#!/usr/bin/python3
"""Every zlib stream in a pack we write (the index and each compressed data
entry) inflates with Python's zlib to the bytes we expect, after a new pack
was filled and then edited by deleting entries both ways.

usage: pack_streams_inflate_elsewhere.py VANTORO_CLI WORK_FOLDER
"""
import os
import random
import struct
import subprocess
import sys
import zlib

cli, work = sys.argv[1:3]
os.makedirs(work, exist_ok=True)
pack = os.path.join(work, "streams.pak")


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


def payload(n):
    rng = random.Random(n)
    words = [bytes(rng.randrange(256) for _ in range(rng.randrange(1, 9))) for _ in range(20)]
    return b"".join(rng.choice(words) for _ in range(rng.randrange(1, 3000) * (1 + n % 4)))


# Ten entries, levels 0..9 (0: stored as it is).
payloads = [payload(n) for n in range(10)]
items = []
for n, data in enumerate(payloads):
    path = os.path.join(work, "source%d.dat" % n)
    with open(path, "wb") as f:
        f.write(data)
    items.append((("--no-zip",) if n == 0 else ("--zip", "--level", str(n)), path))

run(cli, "new", "--force", pack)
for zip_options, path in items:
    run(cli, "import", pack, "--content", "data", *zip_options, path)
run(cli, "delete", pack, "2", "3")
run(cli, "delete", pack, "4", "4", "--placeholders")
expected = payloads[:2] + payloads[4:]
expected[4] = None

with open(pack, "rb") as f:
    file = f.read()
if file[:15] != b"PACK4.0 - zeqon":
    sys.exit("signature %r" % file[:15])
word_a, word_b, packed, count = struct.unpack_from("<IIii", file, 36)
index_at = (word_b & 0xFFFF0000) | (word_a >> 16)
if packed <= 0:
    sys.exit("index not compressed")
index = zlib.decompress(file[index_at:index_at + packed])
if len(index) != 40 + 4 * count or count != len(expected):
    sys.exit("index inflates to %d bytes for %d slots" % (len(index), count))
slots = struct.unpack_from("<%di" % count, index, 40)
for n, (slot, want) in enumerate(zip(slots, expected)):
    if want is None:
        if slot != 0:
            sys.exit("entry %d: placeholder at %d" % (n, slot))
        continue
    length, data_type, compressed = struct.unpack_from("<iBB", file, slot + 13)
    stored = file[slot + 23:slot + 23 + length]
    got = zlib.decompress(stored) if compressed else stored
    if data_type != 47 or got != want:
        sys.exit("entry %d: type %d, %d bytes, want %d" % (n, data_type, len(got), len(want)))
    if compressed != (payloads.index(want) > 0):
        sys.exit("entry %d: compressed flag %d" % (n, compressed))
print("every zlib stream of the pack inflates in Python's zlib")
