#!/usr/bin/env python3
"""Builds the pyvaskor wheel from a built pyvaskor.so, with the standard
library only.

    python3 packaging/build_wheel.py --module build/pyvaskor.so --out-dir dist

One wheel serves every interpreter: the module links against no Python
library, so it is tagged py2.py3-none-<platform>, where the platform tag is
the lowest manylinux level the library meets (platform_tag.py). The archive is
deterministic: fixed entry order, timestamps and permissions, so the same
inputs always give the same bytes. SOURCE_DATE_EPOCH, when set, replaces the
fixed timestamp.

setup.py loads this file for the project's metadata, so the two ways of
installing describe the package in the same words.
"""

import argparse
import base64
import glob
import hashlib
import io
import os
import re
import runpy
import sys
import time
import types
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# By path, like setup.py loads this file: a folder named `packaging` must not
# be imported as a package.
platform_tag = types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, "platform_tag.py")))

NAME = "pyvaskor"
SUMMARY = ("Packs signed 64-bit integer sequences into compact byte strings; "
           "one binary module for Python 2.7, 3.x and PyPy")
AUTHOR = "pyvaskor developers"
LICENSE = "MIT"
REQUIRES_PYTHON = ">=2.7"
CLASSIFIERS = [
    "Operating System :: POSIX :: Linux",
    "Programming Language :: C++",
    "Programming Language :: Python :: 2",
    "Programming Language :: Python :: 2.7",
    "Programming Language :: Python :: 3",
    "Programming Language :: Python :: Implementation :: CPython",
    "Programming Language :: Python :: Implementation :: PyPy",
    "Topic :: System :: Archiving :: Compression",
]
PYTHON_TAGS = ("py2", "py3")
ABI_TAG = "none"
# What goes into site-packages besides the module: (wheel path, source).
# The stub is written once; the copy in pyvaskor-stubs/ is the one mypy
# finds (it ignores a .pyi beside a top-level module), pyright takes either.
# pyvaskor.py lets PyPy, which looks only for its own extension suffix, load
# the same pyvaskor.so; CPython finds the .so first and never runs it.
EXTRA_FILES = (
    (NAME + ".py", os.path.join("packaging", "pypy_import.py")),
    (NAME + ".pyi", NAME + ".pyi"),
    (NAME + "-stubs/__init__.pyi", NAME + ".pyi"),
    ("pyvaskor_errors.py", os.path.join("storage", "pyvaskor_errors.py")),
    ("pyvaskor_frames.py", os.path.join("storage", "pyvaskor_frames.py")),
    ("pyvaskor_numcodecs.py", os.path.join("storage", "pyvaskor_numcodecs.py")),
    ("pyvaskor_zarr.py", os.path.join("storage", "pyvaskor_zarr.py")),
    ("pyvaskor_hdf5.py", os.path.join("storage", "pyvaskor_hdf5.py")),
)
# The vaskor command, whatever number of modules it takes.
EXTRA_FILES += tuple((name, os.path.join("storage", name)) for name in sorted(
    os.path.basename(p) for p in glob.glob(os.path.join(ROOT, "storage", "pyvaskor_cli*.py"))))
# Native libraries besides the module, at the same paths in the wheel as
# beside the built module (the build tree mirrors the wheel); each is held to
# manylinux's rules like the module.
NATIVE_LIBRARIES = (
    "pyvaskor.libs/libvaskor.so.0",
    "pyvaskor.libs/hdf5/libh5vaskor.so",
)
# The codecs that numcodecs and zarr 3 find without anyone importing
# pyvaskor first, and the command: entry point group -> "name = module:object" lines.
ENTRY_POINTS = {
    "console_scripts": ["vaskor = pyvaskor_cli:main"],
    "numcodecs.codecs": ["pyvaskor = pyvaskor_numcodecs:Vaskor"],
    "zarr.codecs": ["pyvaskor = pyvaskor_zarr:VaskorCodec"],
}

# 1980-01-01 00:00:00, the earliest time a zip entry can carry.
_ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def project_version(root=ROOT):
    """The version from the top-level CMakeLists.txt, the one place it is set."""
    with io.open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as f:
        text = f.read()
    m = re.search(r"project\(\s*pyvaskor\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)", text)
    if not m:
        raise SystemExit("CMakeLists.txt: no 'project(pyvaskor VERSION x.y.z)'")
    return m.group(1)


def wheel_tag(platform):
    return "%s-%s-%s" % (".".join(PYTHON_TAGS), ABI_TAG, platform)


def wheel_name(version, platform):
    return "%s-%s-%s.whl" % (NAME, version, wheel_tag(platform))


def metadata_text(version, readme=None):
    lines = [
        "Metadata-Version: 2.1",
        "Name: " + NAME,
        "Version: " + version,
        "Summary: " + SUMMARY,
        "Author: " + AUTHOR,
        "License: " + LICENSE,
        "Platform: Linux",
    ]
    lines += ["Classifier: " + c for c in CLASSIFIERS]
    lines.append("Requires-Python: " + REQUIRES_PYTHON)
    body = ""
    if readme:
        lines.append("Description-Content-Type: text/markdown")
        body = "\n" + readme
        if not body.endswith("\n"):
            body += "\n"
    return "\n".join(lines) + "\n" + body


def entry_points_text():
    return "\n".join("[%s]\n%s\n" % (group, "\n".join(ENTRY_POINTS[group]))
                     for group in sorted(ENTRY_POINTS))


def wheel_text(platform):
    lines = [
        "Wheel-Version: 1.0",
        "Generator: pyvaskor packaging/build_wheel.py",
        "Root-Is-Purelib: false",
    ]
    lines += ["Tag: %s-%s-%s" % (py, ABI_TAG, plat)
              for py in PYTHON_TAGS for plat in platform.split(".")]
    return "\n".join(lines) + "\n"


def record_hash(data):
    digest = hashlib.sha256(data).digest()
    return "sha256=" + base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


def _date_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        return _ZIP_EPOCH
    t = time.gmtime(max(int(epoch), 315532800))  # not before 1980
    return t[:6]


def _read(path):
    with open(path, "rb") as f:
        return f.read()


def frame_names(root=ROOT):
    """The Python names of the frame's vocabulary, from the one table of
    them: {"LAYOUTS": ["bpe", ...], "TRANSFORMS": [...], ...}."""
    with io.open(os.path.join(root, "include", "vaskor", "frame_names.h"), encoding="utf-8") as f:
        text = f.read()
    names = {}
    for macro, body in re.findall(r"#define VASKOR_(\w+)\(X\)((?:.*\\\n)*.*)", text):
        names[macro] = re.findall(r'X\(\w+, \w+, \w+, "([^"]+)"', body)
    return names


def source_content(src, root=ROOT):
    """A file as the wheel holds it: the stub with the names of its option
    literals filled in from the table, the rest as they are."""
    data = _read(os.path.join(root, src))
    if src.endswith(".pyi"):
        for macro, names in frame_names(root).items():
            data = data.replace(("@%s@" % macro).encode("ascii"),
                                ", ".join("'%s'" % n for n in names).encode("ascii"))
    return data


def build(module, out_dir, version=None, readme_path=None, root=ROOT, readelf="readelf"):
    """Writes the wheel into out_dir and returns its path; refuses (SystemExit)
    a library that meets no manylinux level."""
    version = version or project_version(root)
    libraries = [(name, os.path.join(os.path.dirname(os.path.abspath(module)), *name.split("/")))
                 for name in NATIVE_LIBRARIES]
    missing = [path for _, path in libraries if not os.path.isfile(path)]
    if missing:
        raise SystemExit("%s: no wheel: not built beside it: %s" % (module, ", ".join(missing)))
    try:
        platform = platform_tag.libraries_tag([module] + [path for _, path in libraries], readelf)
    except platform_tag.Refused as e:
        raise SystemExit("%s: no wheel: %s" % (module, e))
    readme = None
    if readme_path:
        with io.open(readme_path, encoding="utf-8") as f:
            readme = f.read()

    dist_info = "%s-%s.dist-info" % (NAME, version)
    # (archive name, content, unix mode); the .dist-info directory goes last
    # and RECORD last of all.
    entries = [(NAME + ".so", _read(module), 0o755)]
    entries += [(name, _read(path), 0o755) for name, path in libraries]
    entries += [(name, source_content(src, root), 0o644) for name, src in EXTRA_FILES]
    entries += [
        (dist_info + "/LICENSE", _read(os.path.join(root, "LICENSE")), 0o644),
        (dist_info + "/METADATA", metadata_text(version, readme).encode("utf-8"), 0o644),
        (dist_info + "/WHEEL", wheel_text(platform).encode("utf-8"), 0o644),
        (dist_info + "/entry_points.txt", entry_points_text().encode("utf-8"), 0o644),
    ]
    record_name = dist_info + "/RECORD"
    record = "".join("%s,%s,%d\n" % (name, record_hash(data), len(data))
                     for name, data, _ in entries)
    record += record_name + ",,\n"
    entries.append((record_name, record.encode("utf-8"), 0o644))

    if not os.path.isdir(out_dir):
        os.makedirs(out_dir)
    path = os.path.join(out_dir, wheel_name(version, platform))
    tmp = path + ".tmp"
    date_time = _date_time()
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as zf:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, date_time=date_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # unix, so the mode below is honoured
            info.external_attr = (0o100000 | mode) << 16
            zf.writestr(info, data)
    os.replace(tmp, path)
    return path


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--module", default=os.path.join(ROOT, "build", NAME + ".so"),
                   help="the built module (default: build/pyvaskor.so)")
    p.add_argument("--readme", default=os.path.join(ROOT, "README.md"),
                   help="long description for METADATA (default: README.md)")
    p.add_argument("--out-dir", default=os.path.join(ROOT, "dist"),
                   help="where the wheel goes (default: dist/)")
    p.add_argument("--readelf", default="readelf",
                   help="the readelf that reads the module (default: readelf)")
    args = p.parse_args(argv)
    readme = args.readme if args.readme and os.path.exists(args.readme) else None
    print(build(args.module, args.out_dir, readme_path=readme, readelf=args.readelf))
    return 0


if __name__ == "__main__":
    sys.exit(main())
