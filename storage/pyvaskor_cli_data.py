"""The vaskor command's inputs: columns of integers from .npy, raw binary
and CSV files, read from the file a chunk at a time; the frame type that holds each
column's values; the progress bar; the one error the command reports as a
usage error. Python 3 at run time; the syntax stays 2.7's (the wheel is
installed there too).
"""

import contextlib
import csv
import itertools
import os
import re
import shutil
import sys
import tempfile
import time
from array import array

import numpy as np
import numpy.lib.format as npy_format

import pyvaskor_frames as frames

FLOATS_HINT = ("frames hold integers: turn floats into integers first, for example with "
               "numcodecs' FixedScaleOffset or Quantize filters")
NPY_MAGIC = b"\x93NUMPY"


class CliError(Exception):
    """A problem with what the user gave: reported in one line, status 2."""


def frame_dtype(dtype, where):
    """The native integer type whose frames hold the values of `dtype`:
    bool as uint8, datetime64/timedelta64 as int64, integers in native
    order. CliError for anything else, naming `where`."""
    kind = dtype.kind
    if kind in "fc":
        raise CliError("%s holds %s values; %s" % (where, dtype, FLOATS_HINT))
    if kind not in "iubMm" or dtype.fields is not None or dtype.subdtype is not None:
        raise CliError("%s holds %s values, not integers" % (where, dtype))
    if kind == "b":
        native = np.dtype("u1")
    elif kind in "Mm":
        native = np.dtype("i8")
    else:
        native = dtype.newbyteorder("=")
    if native.name not in frames.TYPES:
        raise CliError("%s holds %s values; frames hold %s" % (where, dtype, ", ".join(frames.TYPES)))
    return native


def as_frame_values(values, dtype, native):
    """Items of `dtype` as the native integers their frames hold (a view
    where no byte swap is needed)."""
    raw = np.ascontiguousarray(values).view(native.newbyteorder(dtype.byteorder))
    return np.asarray(raw.astype(native, copy=False))


def from_frame_values(values, dtype, native):
    """The inverse of as_frame_values: frame values as items of `dtype`."""
    return values.astype(native.newbyteorder(dtype.byteorder), copy=False).view(dtype)


def parse_dtype(text):
    try:
        return np.dtype(text)
    except TypeError:
        raise CliError("unknown dtype %r (numpy's spelling, for example '<i8', 'uint16', '>i4')" % text)


class Column(object):
    """`count` items of `dtype` stored from `offset` in a file, read a chunk
    at a time as the native integers of their frames: read, not mapped, so
    that what the process holds stays one chunk whatever the file's size."""

    def __init__(self, name, path, offset, dtype, count):
        self.name, self.path, self.offset, self.dtype, self.count = name, path, offset, dtype, count
        self.native = frame_dtype(dtype, name)

    def chunks(self, size):
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            for start in range(0, self.count, size):
                n = min(size, self.count - start)
                values = np.fromfile(f, self.dtype, n)
                if len(values) != n:
                    raise CliError("%s ends after %d of its %d items" % (self.path, start + len(values),
                                                                         self.count))
                yield as_frame_values(values, self.dtype, self.native)


class Npy(object):
    """An .npy file's header: dtype, shape, fortran_order, the offset of its
    items and their count, checked against the file's size."""

    def __init__(self, path):
        try:
            with open(path, "rb") as f:
                version = npy_format.read_magic(f)
                read = {(1, 0): npy_format.read_array_header_1_0,
                        (2, 0): npy_format.read_array_header_2_0}.get(version)
                if read is None:
                    raise ValueError("format version %d.%d" % version)
                self.shape, self.fortran_order, self.dtype = read(f)
                self.offset = f.tell()
        except ValueError as e:
            raise CliError("cannot read %s as .npy: %s" % (path, e))
        self.count = int(np.prod(self.shape, dtype=object))
        if os.path.getsize(path) != self.offset + self.count * self.dtype.itemsize:
            raise CliError("%s: %d bytes, its header needs %d" % (
                path, os.path.getsize(path), self.offset + self.count * self.dtype.itemsize))
        self.column = Column(os.path.basename(path), path, self.offset, self.dtype, self.count)


def is_npy(path):
    with open(path, "rb") as f:
        return f.read(len(NPY_MAGIC)) == NPY_MAGIC


def raw_column(path, dtype, name=None):
    frame_dtype(dtype, path)
    size = os.path.getsize(path)
    if size % dtype.itemsize:
        raise CliError("%s: %d bytes is no whole number of %s items (%d bytes each)"
                       % (path, size, dtype.str, dtype.itemsize))
    return Column(name or os.path.basename(path), path, 0, dtype, size // dtype.itemsize)


def _columns(path, dtype, columns, delimiter, tmp, progress):
    if is_npy(path):
        return [Npy(path).column]
    if dtype is not None:
        return [raw_column(path, parse_dtype(dtype))]
    ext = os.path.splitext(path)[1].lower()
    if columns or ext in (".csv", ".tsv", ".txt"):
        return read_csv(path, columns, delimiter or ("\t" if ext == ".tsv" else ","), tmp, progress)
    raise CliError("%s: not an .npy file; give --dtype for raw binary, or --column for CSV" % path)


@contextlib.contextmanager
def open_columns(path, dtype=None, columns=(), delimiter=None, progress=None):
    """The columns of one input file; CSV columns are parsed once into
    temporary files, so that every file is read in bounded memory."""
    tmp = tempfile.mkdtemp(prefix="vaskor-")
    try:
        try:
            found = _columns(path, dtype, columns, delimiter, tmp, progress)
        except (IOError, OSError) as e:
            raise CliError("cannot read %s: %s" % (path, e.strerror or e))
        except (UnicodeDecodeError, csv.Error) as e:
            raise CliError("%s is no CSV text: %s" % (path, e))
        yield found
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


INTEGER = re.compile(r"\s*[-+]?\d+\s*$")
INT64 = (-2 ** 63, 2 ** 63 - 1)


def _lines(f, progress):
    for line in f:
        if progress:
            progress.advance(len(line))
        yield line.decode("utf-8")


def pick_columns(path, names, wanted, header):
    """The indices of the columns asked for (all when none are)."""
    if not wanted:
        return list(range(len(names)))
    picked = []
    for w in wanted:
        if header and w in names:
            picked.append(names.index(w))
        elif re.match(r"\d+$", w) and int(w) < len(names):
            picked.append(int(w))
        else:
            raise CliError("%s has no column %r (columns: %s)" % (path, w, ", ".join(names)))
    return picked


def read_csv(path, wanted, delimiter, tmp, progress):
    """Integer columns of a CSV file (a first row that is not all integers
    names them) as int64 memory maps in `tmp`."""
    with open(path, "rb") as f:
        if progress:
            progress.start(os.fstat(f.fileno()).st_size, "reading " + os.path.basename(path))
        reader = csv.reader(_lines(f, progress), delimiter=delimiter)
        first = next(reader, None)
        if not first:
            raise CliError("%s: no CSV rows" % path)
        header = not all(INTEGER.match(c) for c in first)
        names = first if header else [str(i) for i in range(len(first))]
        picked = pick_columns(path, names, wanted, header)
        buffers = [array("q") for _ in picked]
        outs = [open(os.path.join(tmp, "%d.i8" % i), "wb") for i in range(len(picked))]
        try:
            for row in itertools.chain([] if header else [first], reader):
                if not row:
                    continue
                for buf, index in zip(buffers, picked):
                    buf.append(_cell(path, reader.line_num, names[index], row, index))
                if len(buffers[0]) >= 65536:
                    for buf, out in zip(buffers, outs):
                        buf.tofile(out)
                        del buf[:]
            for buf, out in zip(buffers, outs):
                buf.tofile(out)
        finally:
            for out in outs:
                out.close()
    base = os.path.basename(path)
    return [raw_column(out.name, np.dtype("i8"), "%s:%s" % (base, names[index]))
            for index, out in zip(picked, outs)]


def _cell(path, line, name, row, index):
    if index >= len(row):
        raise CliError("%s line %d: %d fields, no column %r" % (path, line, len(row), name))
    cell = row[index]
    if not INTEGER.match(cell):
        try:
            float(cell)
            hint = "; " + FLOATS_HINT
        except ValueError:
            hint = ""
        raise CliError("%s line %d, column %r: %r is not an integer%s" % (path, line, name, cell, hint))
    value = int(cell)
    if not INT64[0] <= value <= INT64[1]:
        raise CliError("%s line %d, column %r: %s is outside int64" % (path, line, name, cell))
    return value


class Progress(object):
    """A bar on stderr, drawn only when `shown`, and only for work that
    has lasted `delay` seconds; redrawn at most every tenth of a second."""

    WIDTH = 30

    def __init__(self, shown, delay=0.0, stream=None):
        self.shown, self.delay = shown, delay
        self.stream = stream or sys.stderr
        self.total = self.done = 0
        self.label = ""
        self.started = self.drawn = 0.0
        self.active = False

    def start(self, total, label):
        self.total, self.done, self.label = max(total, 1), 0, label
        self.started = time.time()
        self.draw()

    def advance(self, n):
        self.done += n
        if self.shown and time.time() - self.drawn >= 0.1:
            self.draw()

    def draw(self):
        if not self.shown or (not self.active and time.time() - self.started < self.delay):
            return
        part = min(self.done, self.total) / float(self.total)
        filled = int(part * self.WIDTH)
        self.stream.write("\r[%s%s] %3d%% %s" % ("#" * filled, "-" * (self.WIDTH - filled),
                                                 int(part * 100), self.label[-40:].ljust(40)))
        self.stream.flush()
        self.drawn = time.time()
        self.active = True

    def finish(self, complete=True):
        """Ends the bar's line, when one was drawn: at 100% when the work is
        complete, else where it stopped."""
        if self.active:
            if complete:
                self.done = self.total
            self.draw()
            self.stream.write("\n")
            self.stream.flush()
            self.active = False
