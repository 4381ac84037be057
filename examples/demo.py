"""A tour of pyvaskor: pack a day of thermometer readings both ways, unpack
them, and see where the formats need care. Runs on Python 2.7 and 3.x:

    PYTHONPATH=build python3 examples/demo.py
"""
from __future__ import print_function

import binascii
import sys

import pyvaskor


def hexbytes(data):
    """Packed bytes as spaced hex pairs: b'\\x00\\x53' -> '00 53'."""
    h = binascii.hexlify(data).decode("ascii").upper()
    return " ".join(h[i:i + 2] for i in range(0, len(h), 2))


def show(values):
    """A list of ints as Python 3 prints it (Python 2 would add L suffixes:
    there the decoders return longs)."""
    return "[" + ", ".join(str(v) for v in values) + "]"


def ratio(values, packed):
    """How many times smaller than 8 bytes per value."""
    return (8.0 * len(values)) / len(packed)


def section(title):
    print()
    print(title)
    print("-" * len(title))


# Outdoor temperature every hour for a day, in hundredths of a degree
# Celsius (1874 is 18.74 C): small non-negative integers, a typical input.
readings = [1874, 1812, 1765, 1731, 1702, 1688, 1720, 1803, 1921, 2048,
            2167, 2259, 2334, 2386, 2411, 2402, 2371, 2305, 2218, 2126,
            2051, 1990, 1943, 1902]

print("pyvaskor demo on Python %d.%d.%d" % tuple(sys.version_info[:3]))
print("values (%d readings, 8 bytes each as int64 = %d bytes):"
      % (len(readings), 8 * len(readings)))
print("  " + show(readings))

section("Bit-packed: bpeEncode / bpeDecode")
packed, width = pyvaskor.bpeEncode(readings)
print("width       %d bits per value (bit length of the largest value, 2411, plus one)"
      % width)
print("packed      %d bytes: %s" % (len(packed), hexbytes(packed)))
print("ratio       %.2fx smaller than 8 bytes per value" % ratio(readings, packed))
back = pyvaskor.bpeDecode(packed, width)
print("round trip  %s" % ("exact" if back == readings else "DIFFERENT: %r" % back))

section("Whole-byte: neEncode / neDecode")
ne_packed, ne_width = pyvaskor.neEncode(readings)
print("width       %d bytes per value, most significant byte first" % ne_width)
print("packed      %d bytes: %s" % (len(ne_packed), hexbytes(ne_packed)))
print("ratio       %.2fx smaller than 8 bytes per value" % ratio(readings, ne_packed))
ne_back = pyvaskor.neDecode(ne_packed, ne_width)
print("round trip  %s" % ("exact" if ne_back == readings else "DIFFERENT: %r" % ne_back))

section("The width travels separately; or put it in a first byte and pass l=0")
framed = bytes(bytearray([width]) + bytearray(packed))
print("bpeDecode(%s ..., 0)   first byte %02X = width %d"
      % (hexbytes(framed[:3]), width, width))
print("  gives the readings back: %s" % (pyvaskor.bpeDecode(framed, 0) == readings))
ne_framed = [ne_width] + list(bytearray(ne_packed))  # a list of ints works too
print("neDecode([%d, %s ...], 0)   first item = width %d"
      % (ne_width, ", ".join(str(b) for b in ne_framed[1:4]), ne_width))
print("  gives the readings back: %s" % (pyvaskor.neDecode(ne_framed, 0) == readings))

section("Where decoding differs from what was encoded")
small, w = pyvaskor.bpeEncode([1, 2, 3])
neg, nw = pyvaskor.neEncode([-300, 7])
for call, result, note in (
        ("bpeEncode([1, 2, 3])", "%s, width %d" % (hexbytes(small), w),
         "7 zero bits in front fill the byte"),
        ("bpeDecode(%s, %d)" % (hexbytes(small), w), show(pyvaskor.bpeDecode(small, w)),
         "below width 8, padding comes back as zeros"),
        ("bpeDecode(...)[-3:]", show(pyvaskor.bpeDecode(small, w)[-3:]),
         "so keep the count and take that many from the end"),
        ("neEncode([-300, 7])", "%s, width %d" % (hexbytes(neg), nw), ""),
        ("neDecode(%s, %d)" % (hexbytes(neg), nw), show(pyvaskor.neDecode(neg, nw)),
         "a negative value keeps only its low bits")):
    print(("%-21s -> %-16s %s" % (call, result, note)).rstrip())

section("Codec failures raise subclasses of pyvaskor.NimPyException")
for name, data, l, why in (("bpeDecode", b"\x01", -1, "a negative width"),
                           ("bpeDecode", b"\x00\x14\x09", 0, "a width byte of 0 before data")):
    try:
        getattr(pyvaskor, name)(data, l)
        print("%s(%s, %d) raised nothing?!" % (name, hexbytes(data), l))
    except pyvaskor.NimPyException as e:
        cls = type(e)
        print("%s(%s, %d), %s: %s.%s" % (name, hexbytes(data), l, why, cls.__module__, cls.__name__))
        print("  %s" % e)

section("Argument mistakes raise TypeError")
for call in (lambda: pyvaskor.neEncode("1, 2, 3"), lambda: pyvaskor.neDecode(b"\x01")):
    try:
        call()
    except TypeError as e:
        print("TypeError: %s" % e)
