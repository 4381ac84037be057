"""Frames for the storage codecs, through the C library libvaskor.so.0 and
ctypes rather than through the pyvaskor module: the C library starts
nothing when it loads (the module installs signal handlers), ctypes lets go
of the interpreter lock during each call, so threads pack side by side, and
one file serves every Python 3 and PyPy 3.

    >>> frame = encode(numpy.arange(10 ** 6))          # layout 'blocked'
    >>> decode(frame, start=1000, stop=2000)           # only the blocks needed

The library is found beside this file, in pyvaskor.libs/, where the wheel
and the build tree put it. Names of layouts, transforms, element types and
block schemes are the library's own (vaskor_*_name). Python 3 at run time;
the syntax stays 2.7's, since the same wheel installs there.
"""

import ctypes
import os

import numpy as np

from pyvaskor_errors import FrameError, FrameVersionError

LIBRARY = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                       "pyvaskor.libs", "libvaskor.so.0")
try:
    _lib = ctypes.CDLL(LIBRARY)
except OSError as e:
    raise ImportError("pyvaskor_frames needs %s: %s" % (LIBRARY, e))

# The structures of include/vaskor/vaskor.h (C enums are ints).
_u8, _u64, _enum = ctypes.c_uint8, ctypes.c_uint64, ctypes.c_int
MESSAGE_SIZE = 256


class _Error(ctypes.Structure):
    _fields_ = [("status", _enum), ("message", ctypes.c_char * MESSAGE_SIZE)]


class _Header(ctypes.Structure):
    _fields_ = [("version", _u8), ("layout", _enum), ("type", _enum), ("transform", _enum),
                ("width", _u8), ("count", _u64), ("reference", _u64), ("first", _u64),
                ("frame_size", _u64)]


class _Block(ctypes.Structure):
    _fields_ = [("first", _u64), ("count", _u64), ("scheme", _enum), ("width", _u8),
                ("offset", _u64), ("size", _u64), ("exceptions", _u64), ("segment", _u64)]


def _names(function):
    """{byte: name} of every value the library names (a byte each)."""
    function.restype = ctypes.c_char_p
    function.argtypes = [_enum]
    found = ((b, function(b)) for b in range(256))
    return dict((b, name.decode("ascii")) for b, name in found if name is not None)


_TYPE_NAMES = _names(_lib.vaskor_type_name)
_LAYOUT_NAMES = _names(_lib.vaskor_layout_name)
_TRANSFORM_NAMES = _names(_lib.vaskor_transform_name)
_SCHEME_NAMES = _names(_lib.vaskor_scheme_name)
# In byte order, as the library numbers them.
TYPES = tuple(_TYPE_NAMES[b] for b in sorted(_TYPE_NAMES))
LAYOUTS = tuple(_LAYOUT_NAMES[b] for b in sorted(_LAYOUT_NAMES))
TRANSFORMS = tuple(_TRANSFORM_NAMES[b] for b in sorted(_TRANSFORM_NAMES))
SCHEMES = tuple(_SCHEME_NAMES[b] for b in sorted(_SCHEME_NAMES))
_BYTE = dict((kind, dict((n, b) for b, n in names.items())) for kind, names in (
    ("dtype", _TYPE_NAMES), ("layout", _LAYOUT_NAMES), ("transform", _TRANSFORM_NAMES)))


class _Blocks(ctypes.Structure):
    # schemes[] is indexed by scheme byte: one more entry than the largest.
    _fields_ = [("blocks", _u64), ("block_values", _u64), ("segments", _u64),
                ("schemes", _u64 * (max(_SCHEME_NAMES) + 1))]


_p, _size, _psize = ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t)
_pu64, _perror = ctypes.POINTER(_u64), ctypes.POINTER(_Error)
# Each call's arguments; every one returns a vaskor_status. Looked up at its
# first use, so that a library without one still serves the others.
_PROTOTYPES = {
    "vaskor_frame_max_size": [_enum, _u64, _enum, _pu64, _perror],
    "vaskor_frame_encode": [_enum, _p, _u64, _enum, _enum, _p, _size, _psize, _perror],
    "vaskor_frame_read_header": [_p, _size, ctypes.POINTER(_Header), _perror],
    "vaskor_frame_decode": [_p, _size, _p, _size, _pu64, _perror],
    "vaskor_frame_decode_range": [_p, _size, _u64, _u64, _p, _size, _perror],
    "vaskor_frame_read_blocks": [_p, _size, ctypes.POINTER(_Blocks), _perror],
    "vaskor_frame_read_block": [_p, _size, _u64, ctypes.POINTER(_Block), _perror],
}
_functions = {}
_lib.vaskor_status_name.restype = ctypes.c_char_p
_lib.vaskor_status_name.argtypes = [_enum]
# The exception of each failing status, by the library's name for it.
_FAILURES = {
    "VASKOR_CORRUPT_FRAME": FrameError,
    "VASKOR_UNSUPPORTED_VERSION": FrameVersionError,
    "VASKOR_INVALID_ARGUMENT": ValueError,
    "VASKOR_OUTPUT_TOO_SMALL": ValueError,
    "VASKOR_OUT_OF_MEMORY": MemoryError,
}


def _call(name, *args):
    """Calls the library's function name with args and a vaskor_error;
    raises the status's exception with the library's message, less the
    C++ class name it begins with."""
    function = _functions.get(name)
    if function is None:
        function = getattr(_lib, name)
        function.restype = _enum
        function.argtypes = _PROTOTYPES[name]
        _functions[name] = function
    error = _Error()
    status = function(*(args + (ctypes.byref(error),)))
    if status == 0:
        return
    message = error.message.decode("utf-8", "replace")
    kind, colon, rest = message.partition(": ")
    if colon and kind.isidentifier():
        message = rest
    status_name = _lib.vaskor_status_name(status).decode("ascii")
    raise _FAILURES.get(status_name, RuntimeError)(message)


def _choice(kind, name):
    """The library's byte for name, or ValueError naming the choices."""
    try:
        return _BYTE[kind][name]
    except (KeyError, TypeError):
        raise ValueError("%s must be one of %s, not %r" % (
            kind, ", ".join(repr(n) for n in sorted(_BYTE[kind], key=_BYTE[kind].get)), name))


def default_transform(layout):
    """The transform a layout takes when none is named: the blocked layout
    lets each block choose, the others subtract the minimum."""
    return "auto" if layout == "blocked" else "for"


def _frame_bytes(frame):
    """frame's bytes as a flat uint8 array over the same memory (any
    contiguous buffer: bytes, bytearray, memoryview, ndarray)."""
    if isinstance(frame, np.ndarray):
        if not (frame.flags.c_contiguous or frame.flags.f_contiguous):
            raise ValueError("the frame is not contiguous in memory")
        return frame.reshape(-1, order="A").view(np.uint8)
    return np.frombuffer(frame, np.uint8)


def _header(view):
    header = _Header()
    _call("vaskor_frame_read_header", view.ctypes.data, view.nbytes, ctypes.byref(header))
    return header


def encode(values, layout="blocked", transform=None):
    """The frame of values (a numpy integer array of any shape and memory
    order; its values in C order) as bytes. transform None is the layout's
    default (default_transform)."""
    values = np.asarray(values)
    if values.dtype.kind not in "iu":
        raise TypeError("frames hold integers (%s), not %s" % (", ".join(TYPES), values.dtype))
    native = values.dtype.newbyteorder("=")
    values = np.ascontiguousarray(values, native).reshape(-1)
    type_byte = _choice("dtype", native.name)
    layout_byte = _choice("layout", layout)
    transform_byte = _choice("transform", default_transform(layout) if transform is None else transform)
    room = _u64()
    _call("vaskor_frame_max_size", type_byte, values.size, layout_byte, ctypes.byref(room))
    out = np.empty(room.value, np.uint8)
    written = _size()
    _call("vaskor_frame_encode", type_byte, values.ctypes.data, values.size, layout_byte,
          transform_byte, out.ctypes.data, out.nbytes, ctypes.byref(written))
    return out[:written.value].tobytes()


def check(layout="blocked", transform=None):
    """(layout, transform) as encode takes them, transform None resolved;
    ValueError, in the library's words, for a pair it does not write."""
    transform = default_transform(layout) if transform is None else transform
    encode(np.zeros(0, np.int8), layout, transform)
    return layout, transform


def _destination(out, nbytes):
    """out as a flat writable uint8 array over its memory, of nbytes bytes."""
    if isinstance(out, np.ndarray):
        if not (out.flags.c_contiguous or out.flags.f_contiguous):
            raise ValueError("out is not contiguous in memory")
        dest = out.reshape(-1, order="A").view(np.uint8)
    else:
        dest = np.frombuffer(out, np.uint8)
    if not dest.flags.writeable:
        raise ValueError("out is read-only")
    if dest.nbytes != nbytes:
        raise ValueError("out holds %d bytes, the values need %d" % (dest.nbytes, nbytes))
    return dest


def decode(frame, out=None, start=0, stop=None):
    """The values [start, stop) of frame: a new 1-d array of the frame's
    dtype, or written into out (any writable contiguous buffer of exactly
    their bytes, in native order), which is returned. start and stop are as
    in a slice of the values: None for either end, negatives count from the
    end, both clipped to the count, stop before start selects nothing.
    Anything short of the whole frame reads, of a blocked frame, only the
    blocks that hold the values."""
    view = _frame_bytes(frame)
    header = _header(view)
    count = header.count
    start, stop, _ = slice(start, stop).indices(count)
    stop = max(start, stop)
    dtype = np.dtype(_TYPE_NAMES[header.type])
    nbytes = (stop - start) * dtype.itemsize
    if out is None:
        out = np.empty(stop - start, dtype)
        dest = out
    else:
        dest = _destination(out, nbytes)
    # Never a null pointer, even for no bytes.
    into = dest.ctypes.data if nbytes else view.ctypes.data
    if start == 0 and stop == count:
        got = _u64()
        _call("vaskor_frame_decode", view.ctypes.data, view.nbytes, into, nbytes, ctypes.byref(got))
    else:
        _call("vaskor_frame_decode_range", view.ctypes.data, view.nbytes, start, stop, into, nbytes)
    return out


def header(frame):
    """The frame's header: version, layout, transform, dtype, itemsize,
    count, width, nbytes."""
    view = _frame_bytes(frame)
    h = _header(view)
    dtype = _TYPE_NAMES[h.type]
    return {
        "version": h.version,
        "layout": _LAYOUT_NAMES[h.layout],
        "transform": _TRANSFORM_NAMES[h.transform],
        "dtype": dtype,
        "itemsize": np.dtype(dtype).itemsize,
        "count": h.count,
        "width": h.width,
        "nbytes": view.nbytes,
    }


def info(frame):
    """header(frame) and the frame's blocks, as pyvaskor.frameInfo gives
    them: blocks, segments, and schemes, the number of blocks of each
    scheme."""
    found = header(frame)
    view = _frame_bytes(frame)
    blocks = _Blocks()
    _call("vaskor_frame_read_blocks", view.ctypes.data, view.nbytes, ctypes.byref(blocks))
    found["blocks"] = blocks.blocks
    found["segments"] = blocks.segments
    found["schemes"] = dict((name, blocks.schemes[b]) for b, name in _SCHEME_NAMES.items())
    return found


def block(frame, index):
    """Block index of the frame: first (its first value's index), count,
    scheme, width, offset and size (its bytes in the frame), exceptions
    (values stored apart) and segment."""
    view = _frame_bytes(frame)
    b = _Block()
    _call("vaskor_frame_read_block", view.ctypes.data, view.nbytes, index, ctypes.byref(b))
    found = dict((name, getattr(b, name)) for name, _ in _Block._fields_)
    found["scheme"] = _SCHEME_NAMES.get(b.scheme, b.scheme)
    return found
