#!/usr/bin/env python3
"""Exit 0 when the X pointer shows any pixel, 1 when it is fully transparent.

Reads the pointer image the X server shows right now (XFixes), which is what a user
would see; screenshots do not include the pointer.
"""
import ctypes
import sys


class CursorImage(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_short), ("y", ctypes.c_short),
        ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
        ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
        ("cursor_serial", ctypes.c_ulong),
        ("pixels", ctypes.POINTER(ctypes.c_ulong)),
        ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p),
    ]


x11 = ctypes.CDLL("libX11.so.6")
xfixes = ctypes.CDLL("libXfixes.so.3")
x11.XOpenDisplay.restype = ctypes.c_void_p
xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("no X display")
image = xfixes.XFixesGetCursorImage(display)
if not image:
    sys.exit("no pointer image")
c = image.contents
opaque = sum(1 for i in range(c.width * c.height) if (c.pixels[i] >> 24) & 0xFF)
print(f"pointer {c.width}x{c.height}, {opaque} visible pixels")
sys.exit(0 if opaque else 1)
