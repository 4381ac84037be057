"""`vaskor info`: what a frame file, a pack file or a zarr array or group
holds. Zarr directories are read from their metadata JSON and chunk files
directly, so zarr itself need not be installed.
"""

import json
import mmap
import os
import re

import numpy as np

import pyvaskor_frames as frames
from pyvaskor_cli_data import CliError
from pyvaskor_cli_pack import MAGIC, PackFile
from pyvaskor_errors import FrameError

FRAME_FIELDS = ("version", "layout", "transform", "dtype", "itemsize", "count", "width", "nbytes",
                "blocks", "segments")
BLOCK_FIELDS = ("first", "count", "scheme", "width", "size", "exceptions")


def _n(value):
    return "{:,}".format(value)


def _fields(pairs):
    width = max(len(k) for k, _ in pairs)
    return ["  %s  %s" % (k.ljust(width), v) for k, v in pairs]


def _schemes(counts):
    return ", ".join("%s %s" % (name, _n(n)) for name, n in sorted(counts.items(), key=lambda kv: -kv[1])
                     if n) or "none"


def frame_lines(path, frame, blocks):
    info = frames.info(frame)
    lines = ["%s: frame" % path] + _fields([(k, info[k]) for k in FRAME_FIELDS]
                                          + [("schemes", "%s (blocks)" % _schemes(info["schemes"]))])
    if blocks:
        rows = [BLOCK_FIELDS] + [tuple(str(b[k]) for k in BLOCK_FIELDS)
                                 for b in (frames.block(frame, i) for i in range(info["blocks"]))]
        widths = [max(len(r[k]) for r in rows) for k in range(len(BLOCK_FIELDS))]
        rows[0] = tuple("bytes" if k == "size" else k for k in BLOCK_FIELDS)
        lines += ["  " + "  ".join(r[k].rjust(widths[k]) for k in range(len(r))) for r in rows]
    return lines


def pack_lines(path, f):
    pack = PackFile(path, f)
    stored, schemes, layouts = 0, {}, {}
    for index, frame, want in pack.each():
        try:
            info = frames.info(frame)
        except FrameError as e:
            raise CliError("%s: frame %d: %s" % (path, index, e))
        stored += len(frame)
        _add(schemes, info["schemes"])
        _add(layouts, {"%s/%s" % (info["layout"], info["transform"]): 1})
    nbytes = pack.count * pack.native.itemsize
    return ["%s: vaskor pack file" % path] + _fields([
        ("dtype", pack.dtype.str), ("shape", pack.shape),
        ("order", "F" if pack.fortran_order else "C"), ("chunk", _n(pack.chunk)),
        ("frames", "%s (%s)" % (_n(pack.frames), _schemes(layouts))),
        ("stored", "%s bytes of frames" % _n(stored)),
        ("ratio", _ratio(nbytes, stored)),
        ("schemes", "%s (blocks)" % _schemes(schemes))])


def _add(total, counts):
    for k, v in counts.items():
        total[k] = total.get(k, 0) + v


def _ratio(nbytes, stored):
    return "%.2f (%s bytes of values)" % (nbytes / float(stored), _n(nbytes)) if stored else "-"


def _json(path):
    try:
        with open(path, "rb") as f:
            return json.loads(f.read().decode("utf-8"))
    except ValueError as e:
        raise CliError("%s: not JSON: %s" % (path, e))


def _codec_text(c):
    """A zarr 2 codec ({"id": ..., options}) or zarr 3 one ({"name": ...,
    "configuration": {...}}) as name(option=value, ...)."""
    if c is None:
        return "none"
    if "id" in c:
        name, conf = c["id"], dict(kv for kv in c.items() if kv[0] != "id")
    else:
        name, conf = c.get("name"), c.get("configuration") or {}
    return "%s(%s)" % (name, ", ".join("%s=%s" % kv for kv in sorted(conf.items())))


def _dtype(spec):
    """numpy's dtype for a zarr data type; None for one numpy lacks."""
    try:
        return np.dtype(spec if isinstance(spec, str) else [tuple(f) for f in spec])
    except (TypeError, ValueError):
        return None


class ZarrArray(object):
    """What a zarr 2 .zarray or zarr 3 zarr.json says, and where its chunks are."""

    def __init__(self, path):
        self.path = path
        if os.path.isfile(os.path.join(path, ".zarray")):
            m = _json(os.path.join(path, ".zarray"))
            self.format, self.dtype_name, self.chunks = 2, m["dtype"], tuple(m["chunks"])
            self.codecs = [("filters", ", ".join(_codec_text(c) for c in m.get("filters") or []) or "none"),
                           ("compressor", _codec_text(m.get("compressor")))]
            self.frames = (m.get("compressor") or {}).get("id") == "pyvaskor"
            self.prefix, self.sep = "", m.get("dimension_separator") or "."
        else:
            m = _json(os.path.join(path, "zarr.json"))
            self.format, self.dtype_name = 3, m["data_type"]
            self.chunks = tuple(m["chunk_grid"]["configuration"]["chunk_shape"])
            codecs = m.get("codecs") or []
            self.codecs = [("codecs", ", ".join(_codec_text(c) for c in codecs))]
            self.frames = [c.get("name") for c in codecs] == ["pyvaskor"]
            keys = m.get("chunk_key_encoding") or {}
            sep = (keys.get("configuration") or {}).get("separator")
            self.prefix, self.sep = ("", sep or ".") if keys.get("name") == "v2" else ("c", sep or "/")
        self.shape, self.dtype = tuple(m["shape"]), _dtype(self.dtype_name)
        self.grid = int(np.prod([-(-s // c) for s, c in zip(self.shape, self.chunks)], dtype=object))

    def chunk_files(self):
        """The stored chunks' files, found by the form of their keys."""
        index = r"\d+(%s\d+){%d}" % (re.escape(self.sep), max(len(self.shape), 1) - 1)
        if self.prefix:
            index = re.escape(self.prefix) + ("" if not self.shape else re.escape(self.sep) + index)
        key = re.compile(index + "$")
        for root, dirs, files in os.walk(self.path):
            dirs.sort()
            rel = os.path.relpath(root, self.path)
            for name in sorted(files):
                if key.match(name if rel == "." else "/".join(rel.split(os.sep) + [name])):
                    yield os.path.join(root, name)

    def lines(self):
        sizes, schemes, used = [], {}, {}
        for chunk in self.chunk_files():
            with open(chunk, "rb") as f:
                data = f.read()
            sizes.append(len(data))
            if self.frames:
                try:
                    counts = frames.info(data)["schemes"]
                except FrameError as e:
                    raise CliError("%s: %s" % (chunk, e))
                _add(schemes, counts)
                _add(used, dict((k, 1) for k, v in counts.items() if v))
        items = int(np.prod(self.chunks, dtype=object)) * len(sizes)
        pairs = [("dtype", self.dtype_name), ("shape", self.shape), ("chunks", self.chunks)] + self.codecs
        pairs += [("chunks stored", "%s of %s" % (_n(len(sizes)), _n(self.grid))),
                  ("stored bytes", _summary(sizes)),
                  ("ratio", _ratio(items * self.dtype.itemsize, sum(sizes)) if self.dtype else "-")]
        if self.frames:
            pairs.append(("schemes", ", ".join(
                "%s %s blocks in %s chunk%s" % (k, _n(schemes[k]), _n(used[k]), "" if used[k] == 1 else "s")
                for k in sorted(schemes, key=lambda k: -schemes[k]) if schemes[k]) or "none"))
        return ["%s: zarr %d array" % (self.path, self.format)] + _fields(pairs)


def _summary(sizes):
    if not sizes:
        return "none"
    return "%s in all; per chunk min %s, median %s, max %s" % (
        _n(sum(sizes)), _n(min(sizes)), _n(int(np.median(sizes))), _n(max(sizes)))


def _is_array(path):
    if os.path.isfile(os.path.join(path, ".zarray")):
        return True
    meta = os.path.join(path, "zarr.json")
    return os.path.isfile(meta) and _json(meta).get("node_type") == "array"


def _is_group(path):
    return os.path.isfile(os.path.join(path, ".zgroup")) or os.path.isfile(os.path.join(path, "zarr.json"))


def zarr_lines(path):
    if _is_array(path):
        return ZarrArray(path).lines()
    if not _is_group(path):
        raise CliError("%s is a directory but no zarr array or group (no .zarray, .zgroup or zarr.json)"
                       % path)
    lines, found = ["%s: zarr group" % path], 0
    for root, dirs, files in os.walk(path):
        dirs.sort()
        if root != path and _is_array(root):
            lines += [""] + ZarrArray(root).lines()
            found += 1
            dirs[:] = []
    return lines + ([] if found else ["  no arrays"])


def run(args, out):
    path = args.file
    try:
        if os.path.isdir(path):
            lines = zarr_lines(path)
        else:
            with open(path, "rb") as f:
                if f.read(len(MAGIC)) == MAGIC:
                    f.seek(0)
                    lines = pack_lines(path, f)
                else:
                    # Mapped: a big file that is no frame is not read whole.
                    size = os.fstat(f.fileno()).st_size
                    data = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) if size else b""
                    lines = frame_lines(path, data, args.blocks)
    except FrameError as e:
        raise CliError("%s is neither a frame, a pack file nor a zarr directory: %s" % (path, e))
    except (IOError, OSError) as e:
        raise CliError("cannot read %s: %s" % (path, e.strerror or e))
    except (KeyError, TypeError) as e:
        raise CliError("%s: metadata lacks or garbles %s" % (path, e))
    out.write("\n".join(lines) + "\n")
