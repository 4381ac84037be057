# Type stubs for the pyvaskor extension module.
#
# Every parameter may be given by position or by keyword, under the names
# below; all but out are required. Wrong argument counts, names or types raise
# TypeError; a failure inside a codec raises a subclass of NimPyException.
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

# The project's version, as in the wheel's name.
__version__: str

class NimPyException(Exception):
    """Base of every codec failure; raised as subclasses named after the
    failure's kind (nimpy.AssertionDefect, nimpy.ValueError)."""
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

def frameEncode(a: Union[_Buffer, _Values], layout: Literal['bpe', 'ne'] = ...,
                transform: Literal['for', 'delta'] = ...) -> bytes:
    """A self-describing frame (40-byte header, then the packed values) of
    the integer items of a buffer, of the buffer's own element type (a list
    or tuple: int64); layout 'bpe' (bit-packed) or 'ne' (whole-byte),
    transform 'for' (frame of reference) or 'delta'."""
    ...

def frameDecode(frame: _Buffer, out: Optional[_Buffer] = ...) -> Union[array[int], int]:
    """The values of a frame: a new array.array of its element type, or
    with out (integers of the frame's item size) the count written there.
    A corrupt, truncated or newer frame raises ValueError."""
    ...

def frameInfo(frame: _Buffer) -> Dict[str, Union[int, str]]:
    """The frame's header without decoding it: version, layout, transform,
    dtype ('int8' ... 'uint64'), itemsize, count, width, nbytes."""
    ...
