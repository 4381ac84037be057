#!/usr/bin/env python3
"""h5py writing and reading 10^7 int64 values in chunks of 64Ki values:
the vaskor filter against HDF5's gzip and hdf5plugin's Bitshuffle (lz4) and
Blosc, on columns of different kinds. Figures only: file size, write and
read throughput (MB/s of raw int64 data, best of --repeat), into a Markdown
table with the CPU and the load. Needs Debian's python3-h5py,
python3-hdf5plugin, bitshuffle, hdf5-filter-plugin and
hdf5-filter-plugin-blosc-serial (found in HDF5's default plugin folder); the
vaskor filter comes from a build tree (`make bench-hdf5`), registered by
pyvaskor_hdf5 as a pip user gets it, in each layout.
"""
import argparse
import os
import platform
import re
import sys
import tempfile
import time

N = 10 ** 7
CHUNK = 1 << 16


def columns(n):
    import numpy as np
    rng = np.random.default_rng(7)
    steps = 1_000_000 + rng.integers(-200_000, 200_000, n)  # about 1 ms, irregular
    return {
        "random < 2^7": rng.integers(0, 1 << 7, n, dtype="i8"),
        "random < 2^20": rng.integers(0, 1 << 20, n, dtype="i8"),
        "random < 2^40": rng.integers(0, 1 << 40, n, dtype="i8"),
        "ns timestamps, ~1 ms steps": 1_700_000_000_000_000_000 + np.cumsum(steps),
        "sorted ids with gaps": np.cumsum(1 + rng.geometric(0.3, n) - 1 + (rng.random(n) < 0.01) * 1000),
        "counters, small increments": np.cumsum(rng.integers(0, 4, n)),
    }


def vaskor_rows():
    """(row name, options) of each layout and transform the filter takes,
    named by what it records (transform None: the layout's default); what
    this build does not write is left out, saying so."""
    import h5py
    import pyvaskor_hdf5 as p
    layouts = dict((v, k) for k, v in p.LAYOUTS.items())
    transforms = dict((v, k) for k, v in p.TRANSFORMS.items())
    rows, seen = [], set()
    for layout in sorted(p.LAYOUTS, key=p.LAYOUTS.get):
        for transform in [None] + sorted(p.TRANSFORMS, key=p.TRANSFORMS.get):
            options = dict(p.Vaskor(layout, transform))
            try:
                with h5py.File("probe.h5", "w", driver="core", backing_store=False) as f:
                    d = f.create_dataset("v", data=[1, 2, 3], chunks=(3,), **options)
                    cd = d.id.get_create_plist().get_filter_by_id(p.FILTER_ID)[1]
            except ValueError as e:
                print("left out: vaskor %s, %s: %s" % (layout, transform, e))
                continue
            if tuple(cd[:2]) not in seen:
                seen.add(tuple(cd[:2]))
                rows.append(("vaskor %s, %s" % (layouts[cd[0]], transforms[cd[1]]), options))
    return rows


def codecs():
    import hdf5plugin
    return [("none", {})] + vaskor_rows() + [
        ("gzip (level 4)", {"compression": "gzip"}),
        ("Bitshuffle lz4", dict(hdf5plugin.Bitshuffle(cname="lz4"))),
        ("Blosc lz4 shuffle", dict(hdf5plugin.Blosc(cname="lz4", clevel=5, shuffle=hdf5plugin.Blosc.SHUFFLE))),
    ]


def measure(path, data, options, repeat):
    import h5py
    best_w = best_r = float("inf")
    for _ in range(repeat):
        t0 = time.perf_counter()
        with h5py.File(path, "w") as f:
            f.create_dataset("v", data=data, chunks=(CHUNK,), **options)
        best_w = min(best_w, time.perf_counter() - t0)
        t0 = time.perf_counter()
        with h5py.File(path, "r") as f:
            back = f["v"][()]
        best_r = min(best_r, time.perf_counter() - t0)
    if not (back == data).all():
        sys.exit("%s: values differ after the round trip" % path)
    return os.path.getsize(path), best_w, best_r


def cpu_name():
    with open("/proc/cpuinfo") as f:
        m = re.search(r"model name\s*:\s*(.*)", f.read())
    return m.group(1).strip() if m else platform.processor()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", required=True, help="holds pyvaskor_hdf5.py and pyvaskor.libs/")
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "results", "h5_bench.md"))
    ap.add_argument("--repeat", type=int, default=2)
    ap.add_argument("--n", type=int, default=N)
    a = ap.parse_args()
    sys.path.insert(0, os.path.abspath(a.build_dir))
    import h5py
    load_before = os.getloadavg()[0]
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "bench.h5")
        chosen = codecs()
        for cname, data in columns(a.n).items():
            for name, options in chosen:
                size, w, r = measure(path, data, options, a.repeat)
                mb = data.nbytes / 1e6
                rows.append((cname, name, size / 1e6, mb / w, mb / r))
                print("%-28s %-28s %8.2f MB %8.0f MB/s write %8.0f MB/s read" % rows[-1], flush=True)
    load_after = os.getloadavg()[0]

    lines = [
        "# HDF5 filters from h5py",
        "",
        "%d int64 values (%.0f MB) in chunks of %d values, h5py %s, HDF5 %s; best of %d. "
        "MB/s of raw int64 data; figures only." % (a.n, a.n * 8 / 1e6, CHUNK, h5py.__version__,
                                                   h5py.version.hdf5_version, a.repeat),
        "",
        "CPU: %s, %d cores; load average %.2f before, %.2f after." % (cpu_name(), os.cpu_count(), load_before,
                                                                       load_after),
        "",
        "| Column | Codec | File MB | Write MB/s | Read MB/s |",
        "|---|---|---:|---:|---:|",
    ]
    lines += ["| %s | %s | %.2f | %.0f | %.0f |" % r for r in rows]
    os.makedirs(os.path.dirname(os.path.abspath(a.out)), exist_ok=True)
    with open(a.out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("wrote", a.out)


if __name__ == "__main__":
    main()
