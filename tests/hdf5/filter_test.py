#!/usr/bin/env python3
"""The vaskor HDF5 filter through HDF5's own tools and a pip install.

    filter_test.py --build-dir BUILD [--writer write_dataset] --work DIR

The build is installed into a fresh prefix (cmake --install), and h5dump and
h5repack find the plugin there through HDF5_PLUGIN_PATH: h5dump prints what
Python wrote (through `import pyvaskor_hdf5`, no variable), h5repack -f
UD=317,... filters a plain dataset and Python reads it back, a chunk changed
on disk is h5dump's read error with the filter's reason. A C program writes
through H5Pset_filter. The wheel built from the tree goes into a fresh venv
(--system-site-packages, for Debian's h5py) by pip, and the installed
pyvaskor_hdf5 makes h5py write and read the filter. Last, the README's
"HDF5 filter" examples run as written: its Python, then its shell lines,
with `build` this build and HOME a fresh folder. Exit 77 (skipped) without
h5py, h5dump or h5repack.
"""
import argparse
import glob
import os
import re
import runpy
import shutil
import subprocess
import sys

PYTHON = "/usr/bin/python3"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

CHILD = r'''
import sys
import numpy as np
import h5py

role, path = sys.argv[1], sys.argv[2]
if role != "loader_first":
    import pyvaskor_hdf5 as p
DUMP = [-32768, -1, 0, 7, 300, 32767, 12, 12]
if role == "write":
    with h5py.File(path, "w") as f:
        f.create_dataset("dump", data=np.array(DUMP, dtype=">i2"), chunks=(8,), **p.Vaskor("bpe"))
        f.create_dataset("plain", data=np.arange(5000, dtype="i8") * 7 - 3, chunks=(512,))
elif role == "loader_first":
    # HDF5's plugin loader takes the filter first, then the import registers it.
    assert h5py.File(path, "r")["dump"][()].tolist() == DUMP
    import pyvaskor_hdf5
    with h5py.File(path, "a") as f:
        f.create_dataset("more", data=np.arange(9), chunks=(3,), **pyvaskor_hdf5.Vaskor("ne"))
    print("read through the plugin loader, then registered and wrote")
elif role == "repacked":
    with h5py.File(path, "r") as f:
        d = f["plain"]
        cd = d.id.get_create_plist().get_filter_by_id(p.FILTER_ID)[1]
        assert np.array_equal(d[()], np.arange(5000, dtype="i8") * 7 - 3)
        assert d.id.read_direct_chunk((0,))[1][:4] == b"VSKF"
        print("read h5repack's output exactly, record", list(cd))
elif role == "from_c":
    with h5py.File(path, "r") as f:
        got = f["from_c"][()]
    assert got.dtype == np.dtype("<i4") and np.array_equal(got, np.arange(1000, dtype="i4") ** 2 - 5000)
    print("read the C program's dataset exactly")
elif role == "blocked":
    try:
        with h5py.File(path, "w", driver="core", backing_store=False) as f:
            f.create_dataset("v", data=[1, 2, 3], chunks=(3,), **p.Vaskor())
        print("blocked writes")
    except ValueError as e:
        print("blocked refused: %s" % e)
elif role == "installed":
    assert p.__file__.startswith(sys.prefix), (p.__file__, sys.prefix)
    assert h5py.h5z.filter_avail(p.FILTER_ID)
    with h5py.File(path, "w") as f:
        f.create_dataset("v", data=np.arange(10**5, dtype="u4") * 3, chunks=(10**4,), **p.Vaskor("ne", "delta"))
    with h5py.File(path, "r") as f:
        assert np.array_equal(f["v"][()], np.arange(10**5, dtype="u4") * 3)
    print("installed at %s: h5py wrote and read the filter" % p.__file__)
'''


def readme_examples(build, work):
    """Runs the README's HDF5 examples; returns what failed."""
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        section = f.read().split("\n## HDF5 filter\n", 1)[1].split("\n## ", 1)[0]
    blocks = re.findall(r"^```(python|sh)\n(.*?)^```", section, re.M | re.S)
    if [kind for kind, _ in blocks] != ["python", "sh"]:
        print("FAIL the README's HDF5 section has %s examples, not one Python and one shell"
              % [kind for kind, _ in blocks])
        return ["the README's examples"]
    os.makedirs(os.path.join(work, "home"))
    os.symlink(build, os.path.join(work, "build"))
    # python3 as Debian's, which has h5py.
    env = dict(os.environ, PYTHONPATH=build, HOME=os.path.join(work, "home"),
               PATH=os.path.dirname(PYTHON) + os.pathsep + os.environ.get("PATH", ""))
    env.pop("HDF5_PLUGIN_PATH", None)
    failed = []
    for kind, code in blocks:
        cmd = [PYTHON, "-c", code] if kind == "python" else ["bash", "-e", "-c", code]
        r = subprocess.run(cmd, env=env, cwd=work, capture_output=True, text=True, timeout=120)
        what = "the README's HDF5 %s example" % kind
        if r.returncode == 0:
            print("ok  ", what, "|", " ".join(r.stdout.split())[-160:])
        else:
            failed.append(what)
            print("FAIL", what, "(exit %d)\n%s%s" % (r.returncode, r.stdout, r.stderr))
    return failed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", required=True)
    ap.add_argument("--writer")
    ap.add_argument("--work", required=True)
    a = ap.parse_args()
    build = os.path.abspath(a.build_dir)

    if subprocess.run([PYTHON, "-c", "import h5py, numpy"], capture_output=True).returncode != 0:
        print("skipped: Debian's python3-h5py is not installed")
        return 77
    tools = [shutil.which(t) for t in ("h5dump", "h5repack")]
    if None in tools:
        print("skipped: h5dump and h5repack (Debian's hdf5-tools) are not installed")
        return 77
    h5dump, h5repack = tools

    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    failures = []
    # Python finds the helper in the build tree (laid out as the wheel);
    # the tools find the plugin in the installed prefix.
    py_env = dict(os.environ, PYTHONPATH=build)
    py_env.pop("HDF5_PLUGIN_PATH", None)
    prefix = os.path.join(a.work, "prefix")

    def run(what, cmd, ok=lambda r: r.returncode == 0, env=None):
        r = subprocess.run(cmd, env=env or py_env, capture_output=True, text=True, timeout=120,
                           cwd=a.work)
        shown = (r.stdout + r.stderr).strip()
        if ok(r):
            print("ok  ", what, "|", shown.splitlines()[-1] if shown else "")
        else:
            failures.append(what)
            print("FAIL", what, "(exit %d)\n%s" % (r.returncode, shown))
        return r

    def child(role, path):
        return [PYTHON, "-c", CHILD, role, path]

    run("cmake --install into a fresh prefix", ["cmake", "--install", build, "--prefix", prefix])
    plugins = glob.glob(os.path.join(prefix, "lib*", "**", "libh5vaskor.so"), recursive=True)
    if len(plugins) != 1:
        print("FAIL the installed prefix holds %s" % plugins)
        return 1
    tool_env = dict(os.environ, HDF5_PLUGIN_PATH=os.path.dirname(plugins[0]))
    blocked = "blocked writes" in run("does the C library write the blocked layout?",
                                      child("blocked", "-")).stdout

    data = os.path.join(a.work, "data.h5")
    run("h5py writes through import pyvaskor_hdf5", child("write", data))
    dump = run("h5dump prints a big-endian dataset Python wrote", [h5dump, "-d", "/dump", data],
               env=tool_env)
    printed = [int(v) for v in re.findall(r"-?\d+", re.sub(r"\(\d+\):", "", dump.stdout.split("DATA {", 1)[-1]))]
    if printed != [-32768, -1, 0, 7, 300, 32767, 12, 12]:
        failures.append("h5dump's values")
        print("FAIL h5dump printed", printed)

    # The very file pyvaskor_hdf5 loads, found by the plugin loader first.
    run("Python with HDF5_PLUGIN_PATH: the plugin loader's filter, then import pyvaskor_hdf5",
        child("loader_first", shutil.copy(data, os.path.join(a.work, "loader_first.h5"))),
        env=dict(py_env, HDF5_PLUGIN_PATH=os.path.join(build, "pyvaskor.libs", "hdf5")))

    # h5repack: whole bytes with delta, and with no values the default.
    for what, ud in (("ne, delta", "UD=317,0,2,2,2"), ("the default", "UD=317,0,0")):
        if what == "the default" and not blocked:
            print("skip h5repack -f %s: the C library does not write the blocked layout yet" % ud)
            continue
        out = os.path.join(a.work, "repacked_%d.h5" % len(ud))
        if run("h5repack -f %s (%s)" % (ud, what), [h5repack, "-f", "plain:" + ud, data, out],
               env=tool_env).returncode == 0:
            run("Python reads h5repack's %s dataset" % what, child("repacked", out))

    if a.writer:
        for cd in ([1, 2], [2, 1]) + (([],) if blocked else ()):
            from_c = os.path.join(a.work, "from_c.h5")
            if run("a C program writes through H5Pset_filter, cd_values %s" % cd,
                   [os.path.abspath(a.writer), from_c] + [str(v) for v in cd], env=tool_env).returncode == 0:
                run("Python reads the C program's dataset", child("from_c", from_c))

    # Changed on disk: the frame's magic. h5dump fails with the filter's reason.
    with open(data, "rb") as f:
        raw = f.read()
    at = raw.index(b"VSKF")  # the one filtered dataset's one chunk
    bad = os.path.join(a.work, "corrupt.h5")
    with open(bad, "wb") as f:
        f.write(raw[:at] + b"X" + raw[at + 1:])
    run("corrupt chunk: h5dump's read error, no crash",
        [h5dump, "--enable-error-stack", "-d", "/dump", bad],
        lambda r: r.returncode > 0 and "vaskor filter" in r.stderr + r.stdout, env=tool_env)

    # The wheel as a pip user installs it.
    builder = runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py"))
    wheel = builder["build"](os.path.join(build, "pyvaskor.so"), os.path.join(a.work, "dist"))
    venv = os.path.join(a.work, "venv")
    clean_env = dict(os.environ)
    for k in ("PYTHONPATH", "HDF5_PLUGIN_PATH"):
        clean_env.pop(k, None)
    if run("a fresh venv", [PYTHON, "-m", "venv", "--system-site-packages", venv]).returncode == 0:
        vpy = os.path.join(venv, "bin", "python")
        if run("pip installs the wheel", [vpy, "-m", "pip", "install", "--no-index", "--no-deps", wheel],
               env=clean_env).returncode == 0:
            run("import pyvaskor_hdf5 from the venv: h5py writes and reads the filter",
                [vpy, "-c", CHILD, "installed", os.path.join(a.work, "venv.h5")], env=clean_env)

    failures += readme_examples(build, os.path.join(a.work, "readme"))

    if failures:
        print("%d failed: %s" % (len(failures), "; ".join(failures)))
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
