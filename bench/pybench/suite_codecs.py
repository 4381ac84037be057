"""What the column suite times on each column: pyvaskor's frames through
frameEncode/frameDecode and through the numcodecs codec, for every
layout/transform the module takes; bpeEncodeArray as the bare codec under
the frames; numcodecs' Blosc (lz4, zstd; byte and bit shuffle; clevel 5,
one thread), Zstd(3) and LZ4 beside them."""
from __future__ import absolute_import, division, print_function

from .common import np

PEER = 'blosc zstd bitshuffle'  # the throughput targets' peer
BLOSC_CLEVEL = 5


class Codec(object):
    """encode(a) -> packed; decode(packed, out) fills out; size(packed);
    takes(a): whether it gives a back."""

    def __init__(self, name, group, encode, decode, size=None, variant=None, takes=None):
        self.name, self.group = name, group
        self.encode, self.decode = encode, decode
        self.size = size or (lambda p: memoryview(p).nbytes)
        self.variant = variant
        self.takes = takes or (lambda a: True)


def numcodecs_codec(name, group, c, variant=None):
    return Codec(name, group, c.encode, lambda p, o: c.decode(p, out=o), variant=variant)


def blosc_compressors():
    """[(name, numcodecs.Blosc)], each on one thread."""
    import numcodecs
    from numcodecs import blosc
    blosc.use_threads = False
    blosc.set_nthreads(1)
    out = []
    for cname in ('lz4', 'zstd'):
        for shuffle, sname in ((numcodecs.Blosc.SHUFFLE, 'shuffle'),
                               (numcodecs.Blosc.BITSHUFFLE, 'bitshuffle')):
            out.append(('blosc %s %s' % (cname, sname),
                        numcodecs.Blosc(cname, BLOSC_CLEVEL, shuffle)))
    return out


def vaskor_codec(mod, variant):
    """The numcodecs codec writing variant's frames (its layout alone where
    it names the transform otherwise), or None where it writes none."""
    # From the module's folder, which holds the storage modules beside it.
    from pyvaskor_numcodecs import Vaskor
    probe = np.arange(3000, dtype=np.int64) * 7
    for kwargs in (variant.kwargs(), {'layout': variant.layout}):
        try:
            codec = Vaskor(**kwargs)
            info = mod.frameInfo(codec.encode(probe))
        except (TypeError, ValueError):
            continue
        if (info['layout'], info['transform']) == (variant.layout, variant.transform):
            return codec
    return None


def codecs(mod, variants):
    import numcodecs
    out = []
    for v in variants:
        kw = v.kwargs()
        out.append(Codec('frame ' + v.label, 'frame', lambda a, kw=kw: mod.frameEncode(a, **kw),
                         lambda f, o: mod.frameDecode(f, out=o), variant=v))
    for v in variants:
        c = vaskor_codec(mod, v)
        if c is not None:
            out.append(numcodecs_codec('numcodecs ' + v.label, 'codec', c, variant=v))
    # The bare codec keeps only the low bits of a negative value.
    out.append(Codec('bpeEncodeArray', 'array', mod.bpeEncodeArray,
                     lambda p, o: mod.bpeDecodeArray(p[0], p[1], o), size=lambda p: len(p[0]),
                     takes=lambda a: not len(a) or a.min() >= 0))
    out += [numcodecs_codec(name, 'blosc', c) for name, c in blosc_compressors()]
    out.append(numcodecs_codec('zstd 3', 'other', numcodecs.Zstd(3)))
    out.append(numcodecs_codec('lz4', 'other', numcodecs.LZ4()))
    return out


class Row(object):
    def __init__(self, codec, size, enc, dec):
        self.codec, self.size = codec, size
        self.enc, self.dec = enc, dec  # ns per value


def measure(codec_list, timer, a):
    """[Row] of every codec on column a, each checked to give a back."""
    out = np.empty_like(a)
    n = max(1, len(a))
    rows = []
    for c in [c for c in codec_list if c.takes(a)]:
        packed = c.encode(a)
        np.invert(a, out=out)  # every value wrong until decoded
        c.decode(packed, out)
        if not np.array_equal(out, a):
            raise SystemExit('columns bench: %s does not give the column back' % c.name)
        rows.append(Row(c, c.size(packed), timer.per_call(c.encode, (a,)) * 1e9 / n,
                        timer.per_call(c.decode, (packed, out)) * 1e9 / n))
    return rows
