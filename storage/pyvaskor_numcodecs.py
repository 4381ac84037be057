"""The pyvaskor frame as a numcodecs codec, for zarr 2, Dask and whatever
else reads numcodecs' configurations.

    >>> import numcodecs
    >>> codec = numcodecs.get_codec({"id": "pyvaskor"})   # found by entry point
    >>> frame = codec.encode(numpy.arange(1000, dtype="int64"))

Each encoded chunk is one frame: it names its own element type and count,
so decoding needs no configuration; layout and transform only steer the
encoder. The frames are reached through pyvaskor_frames, which loads the C
library and not the pyvaskor module, so that a process reading data keeps
its own signal handlers. Installed beside pyvaskor.so by the same wheel,
which Python 2.7 installs too: the syntax stays 2.7's, although numcodecs
needs Python 3.
"""

import numpy as np
from numcodecs.abc import Codec
from numcodecs.compat import ensure_ndarray
from numcodecs.registry import register_codec

import pyvaskor_frames as frames


def refusal(dtype):
    """The TypeError for a dtype that frames do not hold."""
    return TypeError(
        "the pyvaskor codec stores integers, bools, datetime64 and timedelta64, not %s; "
        "floats go through a filter that turns them into integers first, such as numcodecs' "
        "FixedScaleOffset with an integer astype (after Quantize, if precision is to be "
        "dropped too)" % dtype)


def stored_dtype(dtype):
    """The native integer dtype a frame holds dtype's values as: bools as
    uint8, datetime64 and timedelta64 as int64, integers in native order."""
    dtype = np.dtype(dtype)
    if dtype.kind == "b":
        return np.dtype(np.uint8)
    if dtype.kind in "Mm":
        return np.dtype(np.int64)
    if dtype.kind not in "iu":
        raise refusal(dtype)
    return dtype.newbyteorder("=")


def stored_values(arr):
    """arr's values as integers for encode (a view where that is enough;
    encode itself brings them to native order and C order)."""
    integer = stored_dtype(arr.dtype)
    if arr.dtype.kind in "bMm":
        return arr.view(integer.newbyteorder(arr.dtype.byteorder))
    return arr


def decode_into(frame, out, start=0, stop=None):
    """The frame's values [start, stop) written into out as the frame holds
    them, then swapped where out's dtype is of the other byte order."""
    dest = ensure_ndarray(out)
    frames.decode(frame, out=dest, start=start, stop=stop)
    if not dest.dtype.isnative:
        if dest.dtype.itemsize != np.dtype(frames.header(frame)["dtype"]).itemsize:
            raise ValueError("out is %s, the frame holds %s" % (dest.dtype, frames.header(frame)["dtype"]))
        flat = dest.reshape(-1, order="A")
        flat.view("u%d" % flat.dtype.itemsize).byteswap(inplace=True)
    return out


class Vaskor(Codec):
    """Integers in a pyvaskor frame. layout 'blocked' (the default) packs
    blocks of 1024 values each its own way; transform 'auto' (its default)
    lets each block choose, 'for' or 'delta' keep every block to that
    transform's schemes. The version 1 layouts, 'bpe' (bit-packed) and 'ne'
    (whole bytes), take 'for' (minus the minimum, their default) or 'delta'
    (differences of neighbours: sorted ids, timestamps)."""

    codec_id = "pyvaskor"

    def __init__(self, layout="blocked", transform=None):
        self.layout, self.transform = frames.check(layout, transform)

    def encode(self, buf):
        arr = stored_values(ensure_ndarray(buf))
        return frames.encode(arr.reshape(-1, order="A"), self.layout, self.transform)

    def decode(self, buf, out=None):
        """The values as the frame holds them (int64 for datetime64, uint8
        for bool, native order), or into out, whose dtype, where it has one,
        gives them back as they were written (bool, datetime64, either byte
        order)."""
        if out is None:
            return frames.decode(buf)
        return decode_into(buf, out)

    def decode_partial(self, buf, start, nitems, out=None):
        """Values [start, start + nitems) of the chunk, reading of a blocked
        frame only the blocks that hold them; as decode otherwise."""
        if out is None:
            return frames.decode(buf, start=start, stop=start + nitems)
        return decode_into(buf, out, start, start + nitems)


# Importing the module is enough too, where no entry point is installed.
register_codec(Vaskor)
