#!/usr/bin/env python3
"""Writes a PNG of an X display's root window (for looking at the Standalone under Xvfb).

Usage: x11_screenshot.py OUTPUT.png [WIDTH HEIGHT]
Uses only libX11 (through ctypes) and the Python standard library; reads $DISPLAY.
"""

import ctypes
import ctypes.util
import struct
import sys
import zlib


class XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
    ]


def write_png(path, width, height, rgb_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rgb_rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    if len(sys.argv) not in (2, 4):
        sys.exit(__doc__)

    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the X display")

    width = int(sys.argv[2]) if len(sys.argv) == 4 else x11.XDisplayWidth(display, 0)
    height = int(sys.argv[3]) if len(sys.argv) == 4 else x11.XDisplayHeight(display, 0)
    z_pixmap, all_planes = 2, 0xFFFFFFFF
    image = x11.XGetImage(display, x11.XDefaultRootWindow(display), 0, 0, width, height, all_planes, z_pixmap)
    if not image or image.contents.bits_per_pixel != 32:
        sys.exit("unsupported X image (expected 32 bits per pixel)")

    img = image.contents
    data = ctypes.string_at(img.data, img.bytes_per_line * img.height)
    rows = []
    for y in range(img.height):
        line = data[y * img.bytes_per_line: y * img.bytes_per_line + 4 * img.width]
        row = bytearray(3 * img.width)
        row[0::3] = line[2::4]  # little-endian BGRX
        row[1::3] = line[1::4]
        row[2::3] = line[0::4]
        rows.append(bytes(row))

    write_png(sys.argv[1], img.width, img.height, rows)


if __name__ == "__main__":
    main()
