"""The pyvaskor frame as a zarr 3 array-to-bytes codec, named "pyvaskor".

    >>> zarr.create_array(store, shape=(10000,), dtype="int64",
    ...                   serializer={"name": "pyvaskor"}, compressors=None)

Each chunk is one frame (see pyvaskor_numcodecs, which does the packing);
the codec takes the place of "bytes", so the stored byte order of the
array's data type plays no part: a frame holds values. zarr finds the codec
through the wheel's entry point; importing this module registers it too.

zarr 3 needs Python 3.11, but the wheel that ships this module is installed
by Python 2.7 as well, which must still parse it: hence no annotations and
no async syntax. The fields come from make_dataclass, and the coroutines
zarr awaits from asyncio.sleep(0, result).
"""

import asyncio
from dataclasses import field, make_dataclass

import numpy as np
from zarr.abc.codec import ArrayBytesCodec
from zarr.core.common import parse_named_configuration
from zarr.registry import register_codec

from pyvaskor_numcodecs import LAYOUTS, TRANSFORMS, Vaskor, choose

NAME = "pyvaskor"


class _FrameCodec(ArrayBytesCodec):
    """What VaskorCodec does; VaskorCodec adds its fields, layout and
    transform, with the same defaults as the numcodecs codec."""

    def __post_init__(self):
        choose("layout", self.layout, LAYOUTS)
        choose("transform", self.transform, TRANSFORMS)

    @classmethod
    def from_dict(cls, data):
        _, config = parse_named_configuration(data, NAME, require_configuration=False)
        return cls(**(config or {}))

    def to_dict(self):
        return {"name": NAME,
                "configuration": {"layout": self.layout, "transform": self.transform}}

    def validate(self, shape=None, dtype=None, chunk_grid=None, **_):
        native = dtype.to_native_dtype()
        if native.kind not in "iu":
            raise TypeError("the pyvaskor codec stores integers (int8 to uint64), not %s" % native)

    def compute_encoded_size(self, input_byte_length, chunk_spec):
        raise NotImplementedError("a frame's size depends on the values")

    def _encode_sync(self, chunk_array, chunk_spec):
        values = chunk_array.as_numpy_array()
        values = np.ascontiguousarray(values, values.dtype.newbyteorder("="))
        frame = Vaskor(self.layout, self.transform).encode(values)
        return chunk_spec.prototype.buffer.from_bytes(frame)

    def _decode_sync(self, chunk_bytes, chunk_spec):
        dtype = chunk_spec.dtype.to_native_dtype()
        values = Vaskor().decode(chunk_bytes.as_numpy_array())
        if values.dtype != dtype.newbyteorder("="):
            raise ValueError("the chunk holds %s, the array %s" % (values.dtype, dtype))
        values = values.astype(dtype, copy=False).reshape(chunk_spec.shape)
        return chunk_spec.prototype.nd_buffer.from_ndarray_like(values)

    def _encode_single(self, chunk_array, chunk_spec):
        return asyncio.sleep(0, self._encode_sync(chunk_array, chunk_spec))

    def _decode_single(self, chunk_bytes, chunk_spec):
        return asyncio.sleep(0, self._decode_sync(chunk_bytes, chunk_spec))


VaskorCodec = make_dataclass(
    "VaskorCodec",
    [("layout", str, field(default="bpe")), ("transform", str, field(default="for"))],
    bases=(_FrameCodec,), frozen=True)
VaskorCodec.__module__ = __name__
VaskorCodec.__doc__ = ("Integers packed into a pyvaskor frame per chunk: layout 'bpe' "
                       "(bit-packed) or 'ne' (whole bytes), transform 'for' (frame of "
                       "reference) or 'delta'.")

register_codec(NAME, VaskorCodec)
