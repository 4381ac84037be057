# Type stubs for the pyvaskor extension module. The wheel's copy has the
# option literals filled in from the frame's table of names.
#
# Every parameter may be given by position or by keyword, under the names
# below; all but out are required. Wrong argument counts, names or types raise
# TypeError; a failure inside a codec raises a subclass of NimPyException,
# a corrupt frame FrameError and a newer one FrameVersionError.
import sys
from array import array
from mmap import mmap
from typing import Any, Dict, List, Literal, Optional, Tuple, Union

if sys.version_info >= (3, 12):
    from collections.abc import Buffer as _Buffer
else:
    # Any object exporting a buffer: these and numpy arrays, among others.
    _Buffer = Union[bytes, bytearray, memoryview, array[Any], mmap]

# The values to pack: a list or tuple of ints in the signed 64-bit range.
_Values = Union[List[int], Tuple[int, ...]]
# Packed data: a bytes object, or a list or tuple of ints of which only the
# low 8 bits are used.
_Packed = Union[bytes, List[int], Tuple[int, ...]]
_Layout = Literal[@LAYOUTS@]
_Transform = Literal[@TRANSFORMS@]

# The project's version, as in the wheel's name.
__version__: str

class NimPyException(Exception):
    """Base of every codec failure; raised as subclasses named after the
    failure's kind (nimpy.AssertionDefect, nimpy.ValueError)."""
    ...

class FrameError(ValueError):
    """A frame that is truncated, corrupt or hostile; the message names the
    field that is wrong. (pyvaskor_errors.FrameError: it pickles without
    the module.)"""
    ...

class FrameVersionError(FrameError):
    """A frame of a version newer than this library reads."""
    ...

def bpeEncode(a: _Values) -> Tuple[bytes, int]:
    """Bit-packed format: returns the packed bytes and the width in bits."""
    ...

def bpeDecode(bytes: _Packed, l: int) -> List[int]:
    """Bit-packed format: unpacks at width l bits; l == 0 takes the width
    from the first byte."""
    ...

def neEncode(a: _Values) -> Tuple[bytes, int]:
    """Whole-byte format: returns the packed bytes and the width in bytes."""
    ...

def neDecode(bytes: _Packed, l: int) -> List[int]:
    """Whole-byte format: unpacks at width l bytes; l == 0 takes the width
    from the first byte."""
    ...

def bpeEncodeArray(a: Union[_Buffer, _Values]) -> Tuple[bytes, int]:
    """bpeEncode of the integer items of a C-contiguous buffer (numpy
    integer dtypes, array.array, memoryview; bytes read as unsigned)."""
    ...

def neEncodeArray(a: Union[_Buffer, _Values]) -> Tuple[bytes, int]:
    """neEncode of the integer items of a C-contiguous buffer."""
    ...

def bpeDecodeArray(bytes: Union[_Buffer, _Packed], l: int, out: Optional[_Buffer] = ...) -> Union[array[int], int]:
    """bpeDecode of any buffer read as bytes: a new array.array('q'), or
    with out (8-byte signed integers) the count of values written there."""
    ...

def neDecodeArray(bytes: Union[_Buffer, _Packed], l: int, out: Optional[_Buffer] = ...) -> Union[array[int], int]:
    """neDecode of any buffer read as bytes, into a new array.array('q') or out."""
    ...

def frameEncode(a: Union[_Buffer, _Values], layout: _Layout = ...,
                transform: Optional[_Transform] = ...) -> bytes:
    """A self-describing frame (40-byte header, then the packed values) of
    the integer items of a buffer, of the buffer's own element type (a list
    or tuple: int64). layout 'bpe' (bit-packed, the default), 'ne'
    (whole-byte) or 'blocked' (blocks of 1024 values, each encoded its own
    way); transform 'for' (frame of reference) or 'delta', and for
    'blocked' also 'auto' (its default: each block chooses)."""
    ...

def frameDecode(frame: _Buffer, out: Optional[_Buffer] = ..., start: Optional[int] = ...,
                stop: Optional[int] = ...) -> Union[array[int], int]:
    """The values [start:stop] of a frame (taken as a slice takes them): a
    new array.array of its element type, or with out (integers of the
    frame's item size) the count written there. A corrupt or truncated
    frame raises FrameError, a newer one FrameVersionError."""
    ...

def frameInfo(frame: _Buffer) -> Dict[str, Any]:
    """The frame's header and blocks without decoding it: version, layout,
    transform, dtype ('int8' ... 'uint64'), itemsize, count, width, nbytes,
    blocks, segments, and schemes (blocks of each scheme, by name)."""
    ...
