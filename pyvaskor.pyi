# Type stubs for the pyvaskor extension module.
#
# Every parameter may be given by position or by keyword, under the names
# below; all are required. Wrong argument counts, names or types raise
# TypeError; a failure inside a codec raises a subclass of NimPyException.
from typing import List, Tuple, Union

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
