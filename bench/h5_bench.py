#!/usr/bin/env python3
"""h5py writing and reading 10^7 int64 values in chunks of 64Ki values:
the vaskor filter against HDF5's gzip and hdf5plugin's Bitshuffle (lz4) and
Blosc, on columns of different kinds. Figures only: file size, write and
read throughput (MB/s of raw int64 data, best of --repeat), into a Markdown
table with the CPU and the load. Needs Debian's python3-h5py,
python3-hdf5plugin, bitshuffle, hdf5-filter-plugin and
hdf5-filter-plugin-blosc-serial; the plugin folder from a build
(`make bench-hdf5`).
"""
import argparse
import glob
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


def codecs(fid):
    import hdf5plugin
    return [
        ("none", {}),
        ("vaskor (frame of reference)", {"compression": fid}),
        ("vaskor (delta)", {"compression": fid, "compression_opts": (1, 2)}),
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
    ap.add_argument("--plugin-dir", required=True)
    ap.add_argument("--header", default=os.path.join(os.path.dirname(__file__), "..", "include", "vaskor", "vaskor.h"))
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "results", "h5_bench.md"))
    ap.add_argument("--repeat", type=int, default=2)
    ap.add_argument("--n", type=int, default=N)
    a = ap.parse_args()
    # The variable replaces HDF5's default folder, where Debian's filter
    # packages put theirs; named before h5py loads HDF5, which reads it once.
    os.environ["HDF5_PLUGIN_PATH"] = os.pathsep.join(
        [os.path.abspath(a.plugin_dir)] + glob.glob("/usr/lib/*/hdf5/serial/plugins"))
    with open(a.header) as f:
        fid = int(re.search(r"#define VASKOR_H5_FILTER_ID (\d+)", f.read()).group(1))

    import h5py
    load_before = os.getloadavg()[0]
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "bench.h5")
        for cname, data in columns(a.n).items():
            for name, options in codecs(fid):
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
