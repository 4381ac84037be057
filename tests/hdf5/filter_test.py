#!/usr/bin/env python3
"""The vaskor HDF5 filter through HDF5's own readers and writers.

Every check runs in a fresh process with HDF5_PLUGIN_PATH naming the
plugin's folder: h5py writes every integer type (both byte orders), chunks
that do not divide the dataset, fill values and a resized dataset, and
another process reads them back exactly; a float dataset is refused at
creation; h5dump prints what Python wrote; a C program writes through
H5Pset_filter and Python reads it; a chunk changed on disk is a read error
in h5py and in h5dump, not a crash. Exit 77 (skipped) without h5py or
h5dump.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

PYTHON = "/usr/bin/python3"

# The child side: ROLE FILE FILTER_ID [DATASET].
CHILD = r'''
import sys
import numpy as np
import h5py

role, path, fid = sys.argv[1], sys.argv[2], int(sys.argv[3])
TYPES = ["i1", "u1"] + [o + k + str(s) for s in (2, 4, 8) for k in "iu" for o in "<>"]


def column(dtype, n, seed):
    rng = np.random.default_rng(seed)
    info = np.iinfo(dtype)
    v = rng.integers(info.min, info.max, size=n, endpoint=True, dtype=dtype.newbyteorder("="))
    v[: n // 2] = info.min + rng.integers(0, 100, size=n // 2)  # small above the minimum
    v[n // 2 :: 7] = info.max
    return v.astype(dtype)


def expected():
    out = {}
    for i, t in enumerate(TYPES):
        out[t] = column(np.dtype(t), 37 * 23, i).reshape(37, 23)
    fill = np.full(50, -7, dtype="i4")
    fill[:10] = np.arange(10)
    fill[40:45] = 1000
    out["fill"] = fill
    out["grow"] = np.arange(40, dtype="i8") * 3_000_000_007 - 10**12
    out["delta_wholebyte"] = np.cumsum(np.arange(500, dtype="i8")) + 1_700_000_000_000_000_000
    out["dump"] = np.array([-32768, -1, 0, 7, 300, 32767, 12, 12], dtype="i2")
    out["victim"] = np.arange(100, dtype="i2")
    return out


if role == "write":
    want = expected()
    with h5py.File(path, "w") as f:
        for t in TYPES:
            f.create_dataset(t, data=want[t], chunks=(8, 5), compression=fid)
        d = f.create_dataset("fill", shape=(50,), dtype="i4", chunks=(16,), fillvalue=-7, compression=fid)
        d[:10] = want["fill"][:10]
        d[40:45] = want["fill"][40:45]
        d = f.create_dataset("grow", data=want["grow"][:10], maxshape=(None,), chunks=(7,), compression=fid)
        d.resize((40,))
        d[10:] = want["grow"][10:]
        f.create_dataset("delta_wholebyte", data=want["delta_wholebyte"], chunks=(64,),
                         compression=fid, compression_opts=(2, 2))
        f.create_dataset("dump", data=want["dump"], chunks=(8,), compression=fid)
        f.create_dataset("victim", data=want["victim"], chunks=(100,), compression=fid)
elif role == "read":
    want = expected()
    with h5py.File(path, "r") as f:
        for name, w in want.items():
            d = f[name]
            # Stored through the filter (an optional one that failed would not be).
            mask, raw = d.id.read_direct_chunk((0,) * d.ndim)
            assert mask == 0 and raw[:4] == b"VSKF", name
            got = d[()]
            assert got.dtype == w.dtype and np.array_equal(got, w), name
        assert f["fill"].fillvalue == -7
    print("read back", len(want), "datasets exactly")
elif role == "float":
    with h5py.File(path, "w") as f:
        try:
            f.create_dataset("f", data=np.ones(10), chunks=(5,), compression=fid)
        except Exception as e:  # h5py raises ValueError here
            print("refused:", e)
            sys.exit(0)
    sys.exit("a float dataset was created with the filter")
elif role == "from_c":
    with h5py.File(path, "r") as f:
        got = f["from_c"][()]
    want = np.arange(1000, dtype="i4") ** 2 - 5000
    assert got.dtype == np.dtype("<i4") and np.array_equal(got, want)
    print("read the C program's dataset exactly")
elif role == "offset":
    with h5py.File(path, "r") as f:
        print(f[sys.argv[4]].id.get_chunk_info(0).byte_offset)
elif role == "read_one":
    with h5py.File(path, "r") as f:
        try:
            f[sys.argv[4]][()]
        except OSError as e:
            print("read error:", e)
            sys.exit(0)
    sys.exit("a corrupt chunk was read without an error")
'''


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--plugin-dir", required=True)
    ap.add_argument("--header", required=True)
    ap.add_argument("--writer", required=True)
    ap.add_argument("--work", required=True)
    a = ap.parse_args()

    if subprocess.run([PYTHON, "-c", "import h5py, numpy"], capture_output=True).returncode != 0:
        print("skipped: Debian's python3-h5py is not installed")
        return 77
    h5dump = shutil.which("h5dump")
    if h5dump is None:
        print("skipped: h5dump (Debian's hdf5-tools) is not installed")
        return 77
    with open(a.header) as f:
        fid = re.search(r"#define VASKOR_H5_FILTER_ID (\d+)", f.read()).group(1)

    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    env = dict(os.environ, HDF5_PLUGIN_PATH=os.path.abspath(a.plugin_dir))
    failures = []

    def run(what, cmd, ok=lambda r: r.returncode == 0):
        r = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=60)
        shown = (r.stdout + r.stderr).strip()
        if ok(r):
            print("ok  ", what, "|", shown.splitlines()[-1] if shown else "")
        else:
            failures.append(what)
            print("FAIL", what, "(exit %d)\n%s" % (r.returncode, shown))
        return r

    def child(role, path, *more):
        return [PYTHON, "-c", CHILD, role, path, fid, *more]

    data = os.path.join(a.work, "data.h5")
    run("h5py writes every integer type, partial chunks, fill values, a resize", child("write", data))
    run("a fresh process reads them back exactly", child("read", data))
    run("a float dataset is refused at creation",
        child("float", os.path.join(a.work, "float.h5")),
        lambda r: r.returncode == 0 and "not an integer" in r.stdout)

    dump = run("h5dump prints a dataset Python wrote", [h5dump, "-d", "/dump", data])
    body = dump.stdout.split("DATA {", 1)[-1]
    printed = [int(v) for v in re.findall(r"-?\d+", re.sub(r"\(\d+\):", "", body))]
    if printed != [-32768, -1, 0, 7, 300, 32767, 12, 12]:
        failures.append("h5dump's values")
        print("FAIL h5dump printed", printed)

    from_c = os.path.join(a.work, "from_c.h5")
    if run("a C program writes through H5Pset_filter", [a.writer, from_c]).returncode == 0:
        run("h5py reads the C program's dataset", child("from_c", from_c))

    # Changed on disk: the frame's magic, then its element type (int16 to
    # uint16: a valid frame, but not the dataset's type).
    offset = int(run("the chunk's file offset", child("offset", data, "victim")).stdout)
    for what, at, byte in (("magic", 0, ord("X")), ("element type", 6, 0x12)):
        bad = os.path.join(a.work, "corrupt_%d.h5" % at)
        shutil.copy(data, bad)
        with open(bad, "r+b") as f:
            f.seek(offset + at)
            f.write(bytes([byte]))
        run("corrupt %s: h5py's read error" % what, child("read_one", bad, "victim"))
        run("corrupt %s: h5dump's read error, no crash" % what,
            [h5dump, "--enable-error-stack", "-d", "/victim", bad],
            lambda r: r.returncode > 0 and "vaskor filter" in r.stderr + r.stdout)

    if failures:
        print("%d failed: %s" % (len(failures), "; ".join(failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
