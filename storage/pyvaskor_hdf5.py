"""The vaskor HDF5 filter for h5py, from the wheel alone.

    import h5py, numpy as np
    import pyvaskor_hdf5                    # registers the filter
    with h5py.File("ids.h5", "w") as f:
        f.create_dataset("ids", data=np.arange(10**6), chunks=(2**16,),
                         **pyvaskor_hdf5.Vaskor(transform="delta"))

Importing registers the filter (libh5vaskor.so, which the wheel puts in
pyvaskor.libs/hdf5/ beside this file) with the HDF5 that h5py uses, bundled
with h5py or the system's: the filter takes that library's functions
through h5py's own h5z module. Nothing else in the process changes: no
environment variable, and pyvaskor itself is not imported. Python 3 (h5py);
the syntax stays 2.7's, since the same wheel installs there.
"""

import ctypes
import os

try:
    from collections.abc import Mapping
except ImportError:  # Python 2, where h5py 3 is not available anyway
    from collections import Mapping

import h5py
from h5py import h5z

__all__ = ["FILTER_ID", "LAYOUTS", "TRANSFORMS", "Vaskor", "register"]

PLUGIN = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                      "pyvaskor.libs", "hdf5", "libh5vaskor.so")
# The places of layout and transform in the filter's options (cd_values).
_LAYOUT, _TRANSFORM = 0, 1


def _load(path):
    lib = ctypes.CDLL(path)
    lib.h5vaskor_register.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]
    lib.h5vaskor_register.restype = ctypes.c_int
    lib.h5vaskor_option_name.argtypes = [ctypes.c_uint, ctypes.c_uint]
    lib.h5vaskor_option_name.restype = ctypes.c_char_p
    lib.h5vaskor_filter_id.argtypes = []
    lib.h5vaskor_filter_id.restype = ctypes.c_int
    return lib


_lib = _load(PLUGIN)

FILTER_ID = _lib.h5vaskor_filter_id()


def _names(option):
    """name -> value of one option, as the filter's frame table has them
    (a value is one byte)."""
    found = {}
    for value in range(1, 256):
        name = _lib.h5vaskor_option_name(option, value)
        if name is not None:
            found[name.decode("ascii")] = value
    return found


LAYOUTS = _names(_LAYOUT)
TRANSFORMS = _names(_TRANSFORM)


def register():
    """Registers the filter with h5py's HDF5 (importing the module does;
    again is harmless). Raises RuntimeError saying why it could not."""
    why = ctypes.create_string_buffer(1024)
    library = os.fsencode(os.path.abspath(h5z.__file__))
    if _lib.h5vaskor_register(library, why, len(why)) != 0:
        raise RuntimeError(why.value.decode("utf-8", "replace"))


def _value(what, name, choices):
    if name in choices:
        return choices[name]
    ordered = sorted(choices, key=choices.get)
    raise ValueError("%s must be one of %s, not %r"
                     % (what, ", ".join(repr(n) for n in ordered), name))


try:
    _Base = h5py.filters.FilterRefBase  # h5py 3: also taken as compression=Vaskor()
except AttributeError:
    class _Base(Mapping):
        """h5py 2's way: the instance is the keyword arguments."""
        filter_id = None
        filter_options = ()

        @property
        def _kwargs(self):
            return {"compression": self.filter_id, "compression_opts": self.filter_options}

        def __hash__(self):
            return hash((self.filter_id, self.filter_options))

        def __eq__(self, other):
            return isinstance(other, _Base) and dict(self) == dict(other)

        def __len__(self):
            return len(self._kwargs)

        def __iter__(self):
            return iter(self._kwargs)

        def __getitem__(self, item):
            return self._kwargs[item]


class Vaskor(_Base):
    """create_dataset's compression arguments for the vaskor filter:
    ``**Vaskor(layout="blocked", transform=None)``.

    layout: a name of LAYOUTS, the frame's layouts; transform: a name of
    TRANSFORMS, or None for the layout's own default (the blocked layout
    then chooses per block). Other names raise ValueError listing these."""

    filter_id = FILTER_ID

    def __init__(self, layout="blocked", transform=None):
        self.filter_options = (_value("layout", layout, LAYOUTS),
                               0 if transform is None else _value("transform", transform, TRANSFORMS))

    def __repr__(self):
        return "Vaskor(compression=%d, compression_opts=%r)" % (self.filter_id, self.filter_options)


register()
