#!/usr/bin/python3
"""Every picture vantoro-cli exports opens in another decoder (Pillow) with
the size the archive lists and the pixels it holds.

usage: export_opens_elsewhere.py VANTORO_CLI ARCHIVE WORK_FOLDER
"""
import os
import subprocess
import sys

from PIL import Image

cli, archive, work = sys.argv[1:4]


def listed_sizes():
    out = subprocess.run([cli, "list", archive], check=True, capture_output=True, text=True).stdout
    sizes = {}
    for line in out.splitlines():
        index, _type, width, height = line.split()[:4]
        sizes[int(index)] = (int(width), int(height))
    return sizes


def export(folder, *options):
    last = max(listed_sizes())
    subprocess.run([cli, "export", archive, "0", str(last), folder, *options], check=True,
                   capture_output=True)


def check(folder, extension, mode_of_pixels):
    sizes = listed_sizes()
    for index, size in sizes.items():
        path = os.path.join(folder, "%06d.%s" % (index, extension))
        with Image.open(path) as picture:
            picture.load()
            if picture.size != size:
                sys.exit("%s: %s, listed %s" % (path, picture.size, size))
            mode_of_pixels(path, picture)


def some_pixel_is_opaque(path, picture):
    if picture.convert("RGBA").getextrema()[3][1] == 0:
        sys.exit("%s: every pixel transparent" % path)


def nothing(path, picture):
    pass


for options, extension, pixels in [((), "bmp", nothing), (("--png",), "png", some_pixel_is_opaque),
                                   (("--alpha",), "bmp", nothing),
                                   (("--alpha", "--png"), "png", some_pixel_is_opaque)]:
    folder = os.path.join(work, "-".join(options) or "plain")
    export(folder, *options)
    check(folder, extension, pixels)
print("every exported picture opens in Pillow")
