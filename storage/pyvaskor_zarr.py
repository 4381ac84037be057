"""The pyvaskor frame as a zarr 3 array-to-bytes codec, named "pyvaskor".

    >>> zarr.create_array(store, shape=(10000,), dtype="int64",
    ...                   serializer={"name": "pyvaskor"}, compressors=None)

Each chunk is one frame (through pyvaskor_frames, as the numcodecs codec
does): the codec takes the place of "bytes", and a frame holds values, so
the array's byte order is the array's business. Chunks are packed and
unpacked in worker threads, as zarr's own compressors are, and the frame
calls let go of the interpreter lock, so chunks pack side by side. zarr
finds the codec through the wheel's entry point; importing this module
registers it too.

zarr 3 needs Python 3.11, but the wheel that ships this module is installed
by Python 2.7 as well, which must still parse it: hence no annotations and
no async syntax. The fields come from make_dataclass, and the coroutines
zarr awaits from asyncio.to_thread.
"""

import asyncio
from dataclasses import field, make_dataclass

import numpy as np
from zarr.abc.codec import ArrayBytesCodec
from zarr.core.common import parse_named_configuration
from zarr.registry import register_codec

import pyvaskor_frames as frames
from pyvaskor_numcodecs import decode_into, stored_dtype, stored_values

NAME = "pyvaskor"


class _FrameCodec(ArrayBytesCodec):
    """What VaskorCodec does; VaskorCodec adds its fields, layout and
    transform, with the numcodecs codec's defaults."""

    def __post_init__(self):
        # A configuration without a transform names the layout's default.
        _, transform = frames.check(self.layout, self.transform)
        object.__setattr__(self, "transform", transform)

    @classmethod
    def from_dict(cls, data):
        _, config = parse_named_configuration(data, NAME, require_configuration=False)
        return cls(**(config or {}))

    def to_dict(self):
        return {"name": NAME,
                "configuration": {"layout": self.layout, "transform": self.transform}}

    def validate(self, shape=None, dtype=None, chunk_grid=None, **_):
        stored_dtype(dtype.to_native_dtype())

    def compute_encoded_size(self, input_byte_length, chunk_spec):
        raise NotImplementedError("a frame's size depends on the values")

    def _encode_sync(self, chunk_array, chunk_spec):
        # zarr 3 names the dtype on both sides: frames hold native values.
        values = chunk_array.as_numpy_array()
        values = stored_values(values.astype(values.dtype.newbyteorder("="), copy=False))
        frame = frames.encode(values, self.layout, self.transform)
        return chunk_spec.prototype.buffer.from_bytes(frame)

    def _decode_sync(self, chunk_bytes, chunk_spec):
        dtype = chunk_spec.dtype.to_native_dtype()
        frame = chunk_bytes.as_numpy_array()
        held = frames.header(frame)["dtype"]
        if np.dtype(held) != stored_dtype(dtype):
            raise ValueError("the chunk holds %s, the array is %s" % (held, dtype))
        values = np.empty(chunk_spec.shape, dtype.newbyteorder("="))
        decode_into(frame, values)
        return chunk_spec.prototype.nd_buffer.from_ndarray_like(values.astype(dtype, copy=False))

    def _encode_single(self, chunk_array, chunk_spec):
        return asyncio.to_thread(self._encode_sync, chunk_array, chunk_spec)

    def _decode_single(self, chunk_bytes, chunk_spec):
        return asyncio.to_thread(self._decode_sync, chunk_bytes, chunk_spec)


VaskorCodec = make_dataclass(
    "VaskorCodec",
    [("layout", str, field(default="blocked")), ("transform", str, field(default=None))],
    bases=(_FrameCodec,), frozen=True)
VaskorCodec.__module__ = __name__
VaskorCodec.__doc__ = ("Integers, bools, datetime64 and timedelta64 in a pyvaskor frame per "
                       "chunk: layout 'blocked' (the default), 'bpe' or 'ne', transform as "
                       "pyvaskor_numcodecs.Vaskor takes it.")

register_codec(NAME, VaskorCodec)
