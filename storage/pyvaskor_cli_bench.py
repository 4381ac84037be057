"""`vaskor bench`: each column of the user's files stored in chunks by every
frame layout and by the numcodecs compressors installed, with the stored
bytes and the encode and decode rates of each.
"""

import json
import time

import numpy as np

import pyvaskor_frames as frames
from pyvaskor_cli_data import CliError

TIMING = "wall clock (time.perf_counter), median of %d runs after an untimed one"
BLOSC_LEVEL = 5


class Codec(object):
    def __init__(self, name, encode, decode):
        self.name, self.encode, self.decode = name, encode, decode


def frame_codecs():
    """Every layout with each transform it takes, as the library names
    them; a pair the library does not write is left out."""
    found = []
    for layout in frames.LAYOUTS:
        for transform in frames.TRANSFORMS:
            try:
                frames.check(layout, transform)
            except ValueError:
                continue
            found.append(Codec("pyvaskor %s/%s" % (layout, transform),
                               lambda a, l=layout, t=transform: frames.encode(a, l, t),
                               frames.decode))
    return found


def numcodecs_codecs():
    """numcodecs' Blosc, Zstd and LZ4 where installed, and what is missing."""
    try:
        import numcodecs
    except ImportError:
        return [], ["numcodecs (Blosc, Zstd, LZ4): not installed"]
    found, missing = [], []
    try:
        from numcodecs import blosc
        names = blosc.list_compressors()
    except ImportError:
        blosc, names = None, ()
    for cname in ("lz4", "zstd"):
        for shuffle in ("shuffle", "bitshuffle"):
            if cname not in names:
                missing.append("Blosc %s/%s" % (cname, shuffle))
                continue
            c = blosc.Blosc(cname=cname, clevel=BLOSC_LEVEL, shuffle=getattr(blosc, shuffle.upper()))
            found.append(_numcodec("blosc %s/%s" % (cname, shuffle), c))
    for cls, what in (("Zstd", "level"), ("LZ4", "acceleration")):
        if hasattr(numcodecs, cls):
            c = getattr(numcodecs, cls)()
            found.append(_numcodec("%s %s=%s" % (cls.lower(), what, getattr(c, what)), c))
        else:
            missing.append(cls)
    return found, missing


def _numcodec(name, codec):
    return Codec(name, codec.encode, codec.decode)


def bench_column(column, codecs, chunk, runs, progress):
    """Stored bytes and median encode/decode seconds of each codec over the
    whole column, chunk by chunk (run r of the column is the sum of run r
    of each chunk); each decode is checked against the chunk."""
    stored = [0] * len(codecs)
    enc = [[0.0] * runs for _ in codecs]
    dec = [[0.0] * runs for _ in codecs]
    progress.start(column.count * len(codecs), column.name)
    clock = time.perf_counter
    for values in column.chunks(chunk):
        for i, codec in enumerate(codecs):
            # An untimed pass first: the size, the check, and warm caches.
            packed = codec.encode(values)
            stored[i] += len(packed)
            if not np.array_equal(np.frombuffer(codec.decode(packed), values.dtype), values):
                raise RuntimeError("%s did not give %s back" % (codec.name, column.name))
            for r in range(runs):
                t0 = clock()
                packed = codec.encode(values)
                t1 = clock()
                codec.decode(packed)
                t2 = clock()
                enc[i][r] += t1 - t0
                dec[i][r] += t2 - t1
            progress.advance(len(values))
    progress.finish()
    nbytes = column.count * column.native.itemsize
    rows = []
    for i, codec in enumerate(codecs):
        rows.append({
            "codec": codec.name,
            "stored": stored[i],
            "bytes_per_value": stored[i] / float(column.count) if column.count else None,
            "ratio": nbytes / float(stored[i]) if stored[i] else None,
            "encode_mbs": _rate(nbytes, enc[i]),
            "decode_mbs": _rate(nbytes, dec[i]),
        })
    smallest = min(rows, key=lambda row: row["stored"])["codec"] if rows and column.count else None
    return {"name": column.name, "dtype": column.dtype.str, "frame_dtype": column.native.name,
            "count": column.count, "nbytes": nbytes, "rows": rows, "smallest": smallest}


def _rate(nbytes, seconds):
    median = float(np.median(seconds))
    return nbytes / median / 1e6 if nbytes and median > 0 else None


def _num(value, fmt):
    return "-" if value is None else fmt % value


def table(result, chunk):
    """One column's result as aligned text."""
    head = ("%s: %s values of %s (%s bytes as %s), in chunks of %s values"
            % (result["name"], "{:,}".format(result["count"]), result["dtype"],
               "{:,}".format(result["nbytes"]), result["frame_dtype"], "{:,}".format(chunk)))
    cols = ("codec", "stored bytes", "bytes/value", "ratio", "encode MB/s", "decode MB/s")
    body = []
    for row in result["rows"]:
        mark = " *" if row["codec"] == result["smallest"] else ""
        body.append((row["codec"] + mark, "{:,}".format(row["stored"]),
                     _num(row["bytes_per_value"], "%.3f"), _num(row["ratio"], "%.2f"),
                     _num(row["encode_mbs"], "%.0f"), _num(row["decode_mbs"], "%.0f")))
    widths = [max(len(r[k]) for r in [cols] + body) for k in range(len(cols))]
    lines = [head]
    for r in [cols] + body:
        lines.append("  " + "  ".join(r[0].ljust(widths[0]) if k == 0 else r[k].rjust(widths[k])
                                      for k in range(len(cols))))
    if result["smallest"]:
        lines.append("  smallest (*): " + result["smallest"])
    return "\n".join(lines)


def run(args, open_columns, progress, out):
    """The bench subcommand: returns the results it printed."""
    if args.chunk < 1 or args.runs < 1:
        raise CliError("--chunk and --runs must be at least 1")
    found, missing = numcodecs_codecs()
    codecs = frame_codecs() + found
    results = []
    for path in args.files:
        with open_columns(path) as columns:
            progress.finish()
            for column in columns:
                results.append(bench_column(column, codecs, args.chunk, args.runs, progress))
                if not args.json:
                    out.write(table(results[-1], args.chunk) + "\n\n")
                    out.flush()
    notes = {"timing": TIMING % args.runs, "chunk": args.chunk, "missing": missing,
             "blosc": "clevel %d, numcodecs' default threads" % BLOSC_LEVEL}
    if args.json:
        out.write(json.dumps(dict(notes, columns=results), indent=1) + "\n")
    else:
        out.write("timing: %s; MB/s: 10^6 bytes of values a second\n" % notes["timing"])
        out.write("Blosc: %s; Zstd, LZ4: numcodecs' defaults\n" % notes["blosc"])
        out.write("missing: %s\n" % (", ".join(missing) or "none"))
    if args.svg:
        import pyvaskor_cli_svg
        with open(args.svg, "w") as f:
            f.write(pyvaskor_cli_svg.chart(results, notes["timing"]))
    return results
