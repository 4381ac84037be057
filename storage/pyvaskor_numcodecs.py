"""The pyvaskor frame as a numcodecs codec, for zarr v2 and whatever else
reads numcodecs' configurations.

    >>> import numcodecs
    >>> codec = numcodecs.get_codec({"id": "pyvaskor"})   # found by entry point
    >>> frame = codec.encode(numpy.arange(1000, dtype="int64"))

Each encoded chunk is one frame: it names its own element type and count,
so decoding needs no configuration at all; layout and transform only steer
the encoder. Installed beside pyvaskor.so by the same wheel, which Python
2.7 installs too: the syntax stays 2.7's, although numcodecs needs Python 3.
"""

import numpy as np
from numcodecs.abc import Codec
from numcodecs.compat import ensure_contiguous_ndarray
from numcodecs.registry import register_codec

import pyvaskor

LAYOUTS = ("bpe", "ne")
TRANSFORMS = ("for", "delta")


def choose(name, value, allowed):
    """value when it is one of allowed, else ValueError naming them."""
    if value not in allowed:
        raise ValueError("%s must be one of %s, not %r"
                         % (name, ", ".join(repr(a) for a in allowed), value))
    return str(value)


def integer_array(buf):
    """buf as a flat native-order integer ndarray, or TypeError: a frame
    holds integers only, and gives them back in native order."""
    arr = ensure_contiguous_ndarray(buf)
    if arr.dtype.kind not in "iu":
        raise TypeError("pyvaskor frames hold integers (int8 to uint64), not %s" % arr.dtype)
    if not arr.dtype.isnative:
        raise TypeError("pyvaskor frames hold native-order integers, not %s" % arr.dtype.str)
    return arr


class Vaskor(Codec):
    """Integers packed into a pyvaskor frame: bit-packed ('bpe') or in whole
    bytes ('ne'), after subtracting the minimum ('for') or taking the
    differences of neighbours ('delta', for sorted ids and timestamps)."""

    codec_id = "pyvaskor"

    def __init__(self, layout="bpe", transform="for"):
        self.layout = choose("layout", layout, LAYOUTS)
        self.transform = choose("transform", transform, TRANSFORMS)

    def encode(self, buf):
        return pyvaskor.frameEncode(integer_array(buf), layout=self.layout,
                                    transform=self.transform)

    def decode(self, buf, out=None):
        frame = ensure_contiguous_ndarray(buf)
        info = pyvaskor.frameInfo(frame)
        dtype = np.dtype(info["dtype"])
        if out is None:
            result = np.empty(info["count"], dtype)
            pyvaskor.frameDecode(frame, out=result)
            return result
        # zarr hands an N-d view of the chunk, numcodecs' checks a
        # bytearray: any writable contiguous buffer of exactly the frame's
        # bytes, filled through a flat view of the frame's own type.
        dest = ensure_contiguous_ndarray(out)
        if dest.nbytes != info["count"] * dtype.itemsize:
            raise ValueError("out holds %d bytes, the frame decodes to %d"
                             % (dest.nbytes, info["count"] * dtype.itemsize))
        pyvaskor.frameDecode(frame, out=dest.view(dtype))
        return out


# Importing the module is enough too, where no entry point is installed.
register_codec(Vaskor)
