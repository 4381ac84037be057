"""The frame layouts and transforms to measure: their names from the C
library (vaskor_layout_name, vaskor_transform_name: the frame vocabulary's
one table), and of those the pairs this module's frameEncode takes, each
with the frame version it writes. A layout the module does not take yet
simply has no rows."""
from __future__ import absolute_import, division, print_function

import ctypes
import glob
import os

from .common import np


def c_library(module_dir):
    """libvaskor.so.0 of the build that made the module (in capi/ of a
    build folder)."""
    found = (glob.glob(os.path.join(module_dir, 'capi', 'libvaskor.so.0')) or
             sorted(glob.glob(os.path.join(module_dir, '**', 'libvaskor.so.0'), recursive=True)))
    if not found:
        raise SystemExit('columns bench: no libvaskor.so.0 under %s (build target vaskor_c)'
                         % module_dir)
    return ctypes.CDLL(os.path.abspath(found[0]))


def names(lib, function):
    """Every name the C function gives a byte, in byte order."""
    fn = getattr(lib, function)
    fn.restype = ctypes.c_char_p
    fn.argtypes = [ctypes.c_int]
    return [n.decode() for n in (fn(b) for b in range(256)) if n is not None]


class Variant(object):
    """A layout with one transform, as frameEncode takes them."""

    def __init__(self, layout, transform, version, default):
        self.layout, self.transform = layout, transform
        self.version = version
        self.default = default  # the transform frameEncode picks for this layout
        self.label = '%s/%s' % (layout, transform)

    def kwargs(self):
        return {'layout': self.layout, 'transform': self.transform}


def variants(mod, module_dir):
    lib = c_library(module_dir)
    probe = np.arange(5000, dtype=np.int64) * 7
    out = []
    for layout in names(lib, 'vaskor_layout_name'):
        try:
            default = mod.frameInfo(mod.frameEncode(probe, layout=layout))['transform']
        except ValueError:
            continue
        for transform in names(lib, 'vaskor_transform_name'):
            try:
                info = mod.frameInfo(mod.frameEncode(probe, layout=layout, transform=transform))
            except ValueError:
                continue
            out.append(Variant(layout, transform, info['version'], transform == default))
    return out


def plain_default(mod):
    """(layout, transform) of frameEncode(a) without options."""
    info = mod.frameInfo(mod.frameEncode(np.arange(10, dtype=np.int64)))
    return info['layout'], info['transform']
