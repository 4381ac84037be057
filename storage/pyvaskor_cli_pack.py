"""`vaskor pack` and `vaskor unpack`: an .npy file to a file of frames and
back, exactly. The file:

    bytes 0-3    magic "VSKP"
    byte  4      version, 1
    bytes 5-7    zero
    bytes 8-11   length N of the header, little-endian
    N bytes      the header, JSON in UTF-8: "dtype" (numpy's dtype string,
                 byte order and datetime unit included), "shape",
                 "fortran_order", "chunk" (items per frame but the last)
    then per frame, ceil(items / chunk) of them: its length as 8 bytes
    little-endian, then the frame, holding the next items in the order the
    .npy stores them (bool as uint8, datetime64/timedelta64 as int64).

The lengths let a reader step from frame to frame without parsing one; the
frame's own header check then confirms each.
"""

import json
import os
import struct

import numpy as np
import numpy.lib.format as npy_format

import pyvaskor_frames as frames
from pyvaskor_cli_data import CliError, Npy, frame_dtype, from_frame_values, parse_dtype

MAGIC = b"VSKP"
VERSION = 1
PREFIX = struct.Struct("<4sB3sI")
LENGTH = struct.Struct("<Q")


def _replace(path, write):
    """Runs write(file) on a temporary file beside `path`, which takes its
    place only when write succeeds."""
    tmp = "%s.%d.part" % (path, os.getpid())
    try:
        with open(tmp, "wb") as f:
            write(f)
        os.rename(tmp, path)
    except BaseException:
        if os.path.exists(tmp):
            os.remove(tmp)
        raise


def pack(args, progress):
    npy = Npy(args.input)
    column = npy.column
    if args.chunk < 1:
        raise CliError("--chunk must be at least 1")
    header = json.dumps({"dtype": npy.dtype.str, "shape": list(npy.shape),
                         "fortran_order": npy.fortran_order, "chunk": args.chunk},
                        sort_keys=True).encode("utf-8")
    options = dict((k, v) for k, v in (("layout", args.layout), ("transform", args.transform)) if v)
    try:
        frames.check(**options)
    except ValueError as e:
        raise CliError(str(e))

    def write(f):
        f.write(PREFIX.pack(MAGIC, VERSION, b"\0\0\0", len(header)) + header)
        progress.start(column.count, column.name)
        for part in column.chunks(args.chunk):
            frame = frames.encode(part, **options)
            f.write(LENGTH.pack(len(frame)) + frame)
            progress.advance(len(part))
        progress.finish()
    _replace(args.output, write)


class PackFile(object):
    """An open pack file: its header's fields, then its frames in order."""

    def __init__(self, path, f):
        self.path, self.f = path, f
        prefix = f.read(PREFIX.size)
        if len(prefix) < PREFIX.size or prefix[:4] != MAGIC:
            raise CliError("%s is not a vaskor pack file (no VSKP magic)" % path)
        magic, version, zero, size = PREFIX.unpack(prefix)
        if version != VERSION or zero != b"\0\0\0":
            raise CliError("%s: pack version %d, this command reads %d" % (path, version, VERSION))
        try:
            meta = json.loads(f.read(size).decode("utf-8"))
            self.dtype = parse_dtype(str(meta["dtype"]))
            self.shape = tuple(int(n) for n in meta["shape"])
            self.fortran_order = meta["fortran_order"]
            self.chunk = int(meta["chunk"])
        except (ValueError, KeyError, TypeError) as e:
            raise CliError("%s: bad pack header: %s" % (path, e))
        if (min(self.shape + (0,)) < 0 or self.chunk < 1
                or not isinstance(self.fortran_order, bool)):
            raise CliError("%s: bad pack header %s" % (path, meta))
        self.native = frame_dtype(self.dtype, path)
        self.count = int(np.prod(self.shape, dtype=object))
        self.frames = -(-self.count // self.chunk)

    def each(self):
        """(index, frame, item count it must hold) for every frame."""
        for index in range(self.frames):
            length = self.f.read(LENGTH.size)
            size = LENGTH.unpack(length)[0] if len(length) == LENGTH.size else -1
            frame = self.f.read(size) if size > 0 else b""
            if len(frame) != size:
                raise CliError("%s is truncated: frame %d of %d incomplete" % (self.path, index, self.frames))
            want = min(self.chunk, self.count - index * self.chunk)
            yield index, frame, want
        if self.f.read(1):
            raise CliError("%s: bytes after its last frame" % self.path)

    def values(self):
        """Each frame's values as items of the array's dtype, checked."""
        for index, frame, want in self.each():
            try:
                got = frames.decode(frame)
            except ValueError as e:  # FrameError and its kin
                raise CliError("%s: frame %d: %s" % (self.path, index, e))
            if got.dtype != self.native or len(got) != want:
                raise CliError("%s: frame %d holds %d %s values, the header needs %d %s"
                               % (self.path, index, len(got), got.dtype, want, self.native))
            yield from_frame_values(got, self.dtype, self.native)


def write_npy_header(f, dtype, shape, fortran_order):
    """The header numpy.save writes: format 1.0 unless it does not fit."""
    d = {"descr": npy_format.dtype_to_descr(dtype), "fortran_order": fortran_order, "shape": shape}
    try:
        npy_format.write_array_header_1_0(f, d)
    except ValueError:
        npy_format.write_array_header_2_0(f, d)


def unpack(args, progress):
    with open(args.input, "rb") as src:
        pack_file = PackFile(args.input, src)

        def write(f):
            write_npy_header(f, pack_file.dtype, pack_file.shape, pack_file.fortran_order)
            progress.start(pack_file.count, os.path.basename(args.input))
            for part in pack_file.values():
                f.write(part.tobytes())
                progress.advance(len(part))
            progress.finish()
        _replace(args.output, write)
