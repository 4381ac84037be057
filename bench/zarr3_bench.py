#!/usr/bin/env python3
"""zarr 3 with two threads: a 10^8-value int64 column of event timestamps
written and read through the pyvaskor codec and through zarr's BloscCodec,
with the seconds each takes and the bytes it stores. Figures only.

    zarr3_bench.py --module build/pyvaskor.so --chroot build-hosts/chroots/sid \\
                   --out bench/results/zarr3_bench.md [--values N] [--repeat R]

zarr 3 lives in Debian sid (python3-zarr): the wheel of the given module is
unpacked into the chroot and this script runs again inside it (--inside),
printing one JSON line per row; the outer run writes the table, naming the
CPU and the load before and after.
"""

import argparse
import json
import os
import platform
import runpy
import shutil
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
INSIDE = "/opt/vaskor-bench"
THREADS = 2
CHUNK = 10 ** 6


def column(n):
    """Event timestamps in nanoseconds: about a millisecond apart, with
    jitter and the odd burst, rising as a log's do."""
    import numpy as np
    rng = np.random.default_rng(7)
    gaps = rng.exponential(1e6, n).astype(np.int64)
    gaps[rng.random(n) < 0.01] = 0
    return np.datetime64("2025-01-01", "ns").astype(np.int64) + np.cumsum(gaps)


def codecs():
    """(row name, serializer, compressors) of each row."""
    from zarr.codecs import BloscCodec
    rows = [("pyvaskor (blocked, auto)", {"name": "pyvaskor"}, None)]
    rows.append(("pyvaskor (bpe, delta)",
                 {"name": "pyvaskor", "configuration": {"layout": "bpe", "transform": "delta"}}, None))
    rows.append(("BloscCodec (zstd 5, shuffle)", "auto", [BloscCodec()]))
    return rows


def stored_bytes(path):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(path) for f in files)


def run_inside(args):
    import numcodecs.blosc
    import numpy as np
    import zarr
    # Two threads in all: zarr's pool, and Blosc's own threads off.
    zarr.config.set({"threading.max_workers": args.threads})
    numcodecs.blosc.use_threads = False
    a = column(args.values)
    work = args.work
    for name, serializer, compressors in codecs():
        if args.threads != THREADS and not name.startswith("pyvaskor"):
            continue
        path = os.path.join(work, "bench.zarr")
        writes, reads = [], []
        for _ in range(args.repeat):
            shutil.rmtree(path, ignore_errors=True)
            z = zarr.create_array(store=path, shape=a.shape, chunks=(CHUNK,), dtype=a.dtype,
                                  serializer=serializer, compressors=compressors)
            started = time.perf_counter()
            z[:] = a
            writes.append(time.perf_counter() - started)
            r = zarr.open_array(path, mode="r")
            started = time.perf_counter()
            back = r[:]
            reads.append(time.perf_counter() - started)
            if not np.array_equal(back, a):
                raise SystemExit("%s: read back other values" % name)
        print(json.dumps({"row": name, "threads": args.threads, "write": min(writes), "read": min(reads),
                          "bytes": stored_bytes(path), "zarr": zarr.__version__}))
        sys.stdout.flush()
        shutil.rmtree(path, ignore_errors=True)


def cpu_name():
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.processor() or "unknown"


def run_outside(args):
    sys.path.insert(0, os.path.join(ROOT, "tests", "hosts"))
    import chroots
    root = os.path.abspath(args.chroot)
    dest = os.path.join(root, INSIDE.lstrip("/"))
    shutil.rmtree(dest, ignore_errors=True)
    builder = runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py"))
    wheel = builder["build"](args.module, os.path.join(dest, "dist"))
    with zipfile.ZipFile(wheel) as zf:
        zf.extractall(os.path.join(dest, "site"))
    os.chmod(os.path.join(dest, "site", "pyvaskor.libs", "libvaskor.so.0"), 0o755)
    shutil.copy2(os.path.abspath(__file__), os.path.join(dest, "zarr3_bench.py"))
    os.makedirs(os.path.join(dest, "work"))
    load_before = os.getloadavg()
    env = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": "/root", "LANG": "C.UTF-8",
           "PYTHONPATH": INSIDE + "/site"}
    out = ""
    with chroots.mounted(root):
        # The pyvaskor rows also on one thread: what the second one adds.
        for threads in (THREADS, 1):
            out += subprocess.check_output(
                ["chroot", root, "/usr/bin/python3", INSIDE + "/zarr3_bench.py", "--inside",
                 "--work", INSIDE + "/work", "--values", str(args.values),
                 "--repeat", str(args.repeat), "--threads", str(threads)],
                env=env, universal_newlines=True)
    load_after = os.getloadavg()
    shutil.rmtree(dest, ignore_errors=True)
    rows = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    raw = args.values * 8
    lines = [
        "# zarr 3: a %s-value int64 column, %d threads" % ("{:,}".format(args.values), THREADS),
        "",
        "Made by `make bench-zarr3` (bench/zarr3_bench.py): event timestamps in ns "
        "(exponential gaps averaging 1 ms, 1%% of them zero), chunks of %s values, a "
        "LocalStore; zarr %s in Debian sid with its python3, `threading.max_workers` %d "
        "(the pyvaskor rows also with 1), Blosc's own threads off. Best of %d: a write is `z[:] = a` into a new array, a "
        "read `z[:]` of a freshly opened one." % ("{:,}".format(CHUNK), rows[0]["zarr"] if rows else "?",
                                              THREADS, args.repeat),
        "",
        "CPU: %s (%d cores). Load average before %.2f, after %.2f." % (
            cpu_name(), os.cpu_count() or 0, load_before[0], load_after[0]),
        "",
        "| codec | threads | write s | read s | write MB/s | read MB/s | stored bytes | of raw |",
        "|---|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for r in rows:
        lines.append("| %s | %d | %.3f | %.3f | %.0f | %.0f | %s | %.1f%% |" % (
            r["row"], r["threads"], r["write"], r["read"], raw / r["write"] / 1e6, raw / r["read"] / 1e6,
            "{:,}".format(r["bytes"]), 100.0 * r["bytes"] / raw))
    text = "\n".join(lines) + "\n"
    print(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--module", default=os.path.join(ROOT, "build", "pyvaskor.so"))
    p.add_argument("--chroot", default=os.path.join(ROOT, "build-hosts", "chroots", "sid"))
    p.add_argument("--out")
    p.add_argument("--values", type=int, default=10 ** 8)
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    p.add_argument("--threads", type=int, default=THREADS, help=argparse.SUPPRESS)
    p.add_argument("--work", help=argparse.SUPPRESS)
    args = p.parse_args()
    if args.inside:
        run_inside(args)
    else:
        run_outside(args)


if __name__ == "__main__":
    main()
