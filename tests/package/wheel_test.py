"""Wheel tests, run by a Python 3 harness.

    wheel_test.py build  --module <pyvaskor.so> --work <dir> [--min-glibc 2.5]
        builds the wheel twice (same bytes expected) and checks its name (its
        tag naming exactly the given glibc), its file list, METADATA, WHEEL
        and every RECORD line.
    wheel_test.py install --module <pyvaskor.so> --work <dir> --python <exe>
        builds the wheel and installs it as a user does, with <exe>'s own pip
        (install_wheel.py); exits 77 when <exe> is not there.
    wheel_test.py tags --module <pyvaskor.so> --work <dir>
        the platform tag for libraries of other machines, glibc versions and
        needs, given to the builder through a stand-in readelf; libraries
        manylinux does not allow must give no wheel at all.
"""

import argparse
import base64
import email.parser
import hashlib
import os
import re
import runpy
import shutil
import subprocess
import sys
import types
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def load_builder():
    return types.SimpleNamespace(
        **runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py")))


def fail(msg):
    print("FAILED: " + msg)
    sys.exit(1)


def ok(msg):
    print("ok: " + msg)


def fresh_dir(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def build_wheel(builder, module, out_dir):
    return builder.build(module, out_dir, readme_path=os.path.join(ROOT, "README.md"))


# Machine (as readelf names it) -> wheel arch, and the oldest glibc with a
# manylinux level there.
ARCH = {"Advanced Micro Devices X86-64": ("x86_64", (2, 5)), "AArch64": ("aarch64", (2, 17))}
LEGACY = {(2, 5): "manylinux1", (2, 12): "manylinux2010", (2, 17): "manylinux2014"}


def tag_for(glibc, arch):
    tag = "manylinux_%d_%d_%s" % (glibc + (arch,))
    return tag + (".%s_%s" % (LEGACY[glibc], arch) if glibc in LEGACY else "")


# The native libraries the wheel carries beside the module, as the build
# puts them beside pyvaskor.so.
NATIVE = ("pyvaskor.libs/libvaskor.so.0", "pyvaskor.libs/hdf5/libh5vaskor.so")


def expected_platform(module, min_glibc=None):
    """The tag from what readelf says the module and the native libraries
    beside it need: their machine and the newest GLIBC_ version any asks for.
    With min_glibc, none may need more than that, and the tag names exactly
    that."""
    found, arches = [], set()
    for path in [module] + [os.path.join(os.path.dirname(module), *n.split("/")) for n in NATIVE]:
        text = subprocess.check_output(["readelf", "-hVW", path], universal_newlines=True,
                                       env=dict(os.environ, LC_ALL="C"))
        arch, floor = ARCH[re.search(r"Machine:\s+(.*\S)", text).group(1)]
        arches.add(arch)
        found += [floor] + [(int(a), int(b)) for a, b in re.findall(r"Name: GLIBC_(\d+)\.(\d+)", text)]
    if len(arches) != 1:
        fail("the wheel's libraries are built for %s" % sorted(arches))
    glibc = max(found)
    if min_glibc and glibc != tuple(int(n) for n in min_glibc.split(".")):
        fail("the library needs glibc %d.%d, the project's minimum is %s" % (glibc + (min_glibc,)))
    return tag_for(glibc, arch)


# The vaskor command's modules: every storage/pyvaskor_cli*.py.
CLI_MODULES = sorted(n for n in os.listdir(os.path.join(ROOT, "storage"))
                     if n.startswith("pyvaskor_cli") and n.endswith(".py"))
ENTRY_POINTS = ("[console_scripts]\nvaskor = pyvaskor_cli:main\n\n"
                "[numcodecs.codecs]\npyvaskor = pyvaskor_numcodecs:Vaskor\n\n"
                "[zarr.codecs]\npyvaskor = pyvaskor_zarr:VaskorCodec\n")


def read(*parts):
    with open(os.path.join(ROOT, *parts), "rb") as f:
        return f.read()


def verify_wheel(path, module, version, min_glibc=None):
    """Checks the archive against the files it should hold; returns nothing,
    exits on the first mismatch."""
    name = os.path.basename(path)
    platform = expected_platform(module, min_glibc)
    want = "pyvaskor-%s-py2.py3-none-%s.whl" % (version, platform)
    if name != want:
        fail("wheel file name %s, expected %s" % (name, want))
    ok("file name " + name)

    dist_info = "pyvaskor-%s.dist-info" % version
    with zipfile.ZipFile(path) as zf:
        names = zf.namelist()
        expected = list(NATIVE) + CLI_MODULES + [
                    "pyvaskor.so", "pyvaskor.py", "pyvaskor.pyi", "pyvaskor-stubs/__init__.pyi",
                    "pyvaskor_errors.py", "pyvaskor_frames.py", "pyvaskor_numcodecs.py", "pyvaskor_zarr.py",
                    "pyvaskor_hdf5.py",
                    dist_info + "/LICENSE", dist_info + "/METADATA", dist_info + "/WHEEL",
                    dist_info + "/entry_points.txt", dist_info + "/RECORD"]
        if sorted(names) != sorted(expected):
            fail("wheel holds %s, expected %s" % (names, expected))
        if names[-1] != dist_info + "/RECORD":
            fail("RECORD is not the last entry: %s" % names)
        ok("contents " + ", ".join(names))
        if zf.testzip() is not None:
            fail("corrupt entry " + zf.testzip())
        data = {n: zf.read(n) for n in names}
        for so in ("pyvaskor.so",) + NATIVE:
            so_mode = (zf.getinfo(so).external_attr >> 16) & 0o777
            if so_mode != 0o755:
                fail("%s has mode %o in the wheel" % (so, so_mode))

    for entry in ("pyvaskor.so",) + NATIVE:
        with open(os.path.join(os.path.dirname(module), *entry.split("/")), "rb") as f:
            if data[entry] != f.read():
                fail("%s in the wheel differs from the built one" % entry)
    for entry, source in (("pyvaskor.pyi", ("pyvaskor.pyi",)),
                          ("pyvaskor-stubs/__init__.pyi", ("pyvaskor.pyi",)),
                          ("pyvaskor.py", ("packaging", "pypy_import.py")),
                          ("pyvaskor_numcodecs.py", ("storage", "pyvaskor_numcodecs.py")),
                          ("pyvaskor_zarr.py", ("storage", "pyvaskor_zarr.py")),
                          ("pyvaskor_errors.py", ("storage", "pyvaskor_errors.py")),
                          ("pyvaskor_frames.py", ("storage", "pyvaskor_frames.py")),
                          ("pyvaskor_hdf5.py", ("storage", "pyvaskor_hdf5.py")),
                          (dist_info + "/LICENSE", ("LICENSE",))) + tuple(
                              (n, ("storage", n)) for n in CLI_MODULES):
        if data[entry] != load_builder().source_content(os.path.join(*source), ROOT):
            fail("%s in the wheel differs from %s" % (entry, os.path.join(*source)))
    ok("pyvaskor.so and %s are the built ones; stubs, PyPy loader, codecs and LICENSE are the sources" % ", ".join(NATIVE))

    # numcodecs and zarr 3 find the codecs by these names alone, pip makes the script.
    if data[dist_info + "/entry_points.txt"].decode("utf-8") != ENTRY_POINTS:
        fail("entry_points.txt is %r" % data[dist_info + "/entry_points.txt"])
    ok("entry points: the vaskor command; pyvaskor for numcodecs.codecs and zarr.codecs")

    meta = email.parser.Parser().parsestr(data[dist_info + "/METADATA"].decode("utf-8"))
    for field, value in (("Metadata-Version", "2.1"), ("Name", "pyvaskor"),
                         ("Version", version), ("Requires-Python", ">=2.7")):
        if meta.get(field) != value:
            fail("METADATA %s is %r, expected %r" % (field, meta.get(field), value))
    for field in ("Summary", "License", "Author"):
        if not (meta.get(field) or "").strip():
            fail("METADATA has no " + field)
    empty = [k for k, v in meta.items() if not v.strip()]
    if empty:
        fail("METADATA has empty fields %s" % empty)
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        if meta.get_payload().strip() != f.read().strip():
            fail("METADATA's description is not README.md")
    ok("METADATA: %s %s, License %s, Requires-Python %s"
       % (meta["Name"], meta["Version"], meta["License"], meta["Requires-Python"]))

    wheel = email.parser.Parser().parsestr(data[dist_info + "/WHEEL"].decode("utf-8"))
    if wheel.get("Wheel-Version") != "1.0":
        fail("WHEEL Wheel-Version is %r" % wheel.get("Wheel-Version"))
    if wheel.get("Root-Is-Purelib") != "false":
        fail("WHEEL Root-Is-Purelib is %r" % wheel.get("Root-Is-Purelib"))
    if not wheel.get("Generator"):
        fail("WHEEL has no Generator")
    tags = sorted(wheel.get_all("Tag") or [])
    if tags != sorted("%s-none-%s" % (py, plat)
                      for py in ("py2", "py3") for plat in platform.split(".")):
        fail("WHEEL tags %s" % tags)
    ok("WHEEL: Wheel-Version 1.0, Root-Is-Purelib false, tags " + ", ".join(tags))

    record = data[dist_info + "/RECORD"].decode("utf-8")
    rows = [line.split(",") for line in record.splitlines()]
    seen = set()
    for row in rows:
        if len(row) != 3:
            fail("RECORD line %r" % ",".join(row))
        entry, digest, size = row
        seen.add(entry)
        if entry == dist_info + "/RECORD":
            if digest or size:
                fail("RECORD's own line must have no hash or size: %r" % ",".join(row))
            continue
        raw = hashlib.sha256(data[entry]).digest()
        want_digest = "sha256=" + base64.urlsafe_b64encode(raw).rstrip(b"=").decode()
        if digest != want_digest or size != str(len(data[entry])):
            fail("RECORD %s: %s,%s but the file has %s,%d"
                 % (entry, digest, size, want_digest, len(data[entry])))
    if seen != set(names):
        fail("RECORD lists %s, the wheel holds %s" % (sorted(seen), sorted(names)))
    ok("RECORD: sha256 and size right for all %d files" % (len(rows) - 1))


def cmd_build(args, builder):
    version = builder.project_version()
    first = build_wheel(builder, args.module, fresh_dir(os.path.join(args.work, "a")))
    verify_wheel(first, args.module, version, args.min_glibc)
    second = build_wheel(builder, args.module, fresh_dir(os.path.join(args.work, "b")))
    with open(first, "rb") as f1, open(second, "rb") as f2:
        if f1.read() != f2.read():
            fail("two builds from the same inputs differ")
    ok("two builds give the same bytes")


def cmd_install(args, builder):
    if not os.path.exists(args.python):
        print("skipped: %s is not installed here" % args.python)
        sys.exit(77)
    wheel = build_wheel(builder, args.module, fresh_dir(os.path.join(args.work, "dist")))
    verify_wheel(wheel, args.module, builder.project_version())
    # The user's way, with pip's platform check: never --target.
    sys.exit(subprocess.call([sys.executable, os.path.join(HERE, "install_wheel.py"),
                              "--wheel", wheel, "--python", args.python,
                              "--work", os.path.join(args.work, "install")]))


# Stand-in readelf listings: (what, machine, NEEDED, {file: versions}, tag or
# None for no wheel).
X86, ARM = "Advanced Micro Devices X86-64", "AArch64"
LIBC, LOADER = "libc.so.6", "ld-linux-x86-64.so.2"
TAG_CASES = [
    ("glibc 2.3.4 at most", X86, [LIBC], {LIBC: ["GLIBC_2.2.5", "GLIBC_2.3.4"]},
     "manylinux_2_5_x86_64.manylinux1_x86_64"),
    ("glibc 2.12 through libm and the loader", X86, [LIBC, "libm.so.6", LOADER],
     {LIBC: ["GLIBC_2.2.5"], "libm.so.6": ["GLIBC_2.12"], LOADER: ["GLIBC_2.3"]},
     "manylinux_2_12_x86_64.manylinux2010_x86_64"),
    ("aarch64 never below 2.17", ARM, [LIBC, "ld-linux-aarch64.so.1"], {LIBC: ["GLIBC_2.17"]},
     "manylinux_2_17_aarch64.manylinux2014_aarch64"),
    ("aarch64 at glibc 2.34", ARM, [LIBC], {LIBC: ["GLIBC_2.17", "GLIBC_2.34"]},
     "manylinux_2_34_aarch64"),
    ("libstdc++ from gcc 4.4 lifts glibc 2.5 to 2.12", X86, [LIBC, "libstdc++.so.6"],
     {LIBC: ["GLIBC_2.2.5"], "libstdc++.so.6": ["GLIBCXX_3.4.11", "CXXABI_1.3"]},
     "manylinux_2_12_x86_64.manylinux2010_x86_64"),
    ("libstdc++ from gcc 12", X86, [LIBC, "libstdc++.so.6"],
     {LIBC: ["GLIBC_2.34"], "libstdc++.so.6": ["GLIBCXX_3.4.30"]}, None),
    ("a library manylinux does not allow", X86, [LIBC, "libz.so.1"], {LIBC: ["GLIBC_2.2.5"]},
     None),
    ("glibc's private symbols", X86, [LIBC], {LIBC: ["GLIBC_2.2.5", "GLIBC_PRIVATE"]}, None),
    ("another machine", "IBM S/390", [LIBC], {LIBC: ["GLIBC_2.2"]}, None),
]


def fake_listing(machine, needed, versions):
    """What `readelf --file-header --dynamic --version-info --wide` prints."""
    lines = ["ELF Header:", "  Class:                             ELF64",
             "  Data:                              2's complement, little endian",
             "  Type:                              DYN (Shared object file)",
             "  Machine:                           " + machine, "",
             "Dynamic section at offset 0x9dd58 contains 26 entries:",
             "  Tag        Type                         Name/Value"]
    lines += [" 0x0000000000000001 (NEEDED)             Shared library: [%s]" % lib
              for lib in needed]
    lines += ["", "Version needs section '.gnu.version_r' contains %d entries:" % len(versions),
              " Addr: 0x0000000000000ba0  Offset: 0x00000ba0  Link: 4 (.dynstr)"]
    for lib, names in versions.items():
        lines.append("  000000: Version: 1  File: %s  Cnt: %d" % (lib, len(names)))
        lines += ["  0x0010:   Name: %s  Flags: none  Version: %d" % (n, i + 2)
                  for i, n in enumerate(names)]
    return "\n".join(lines) + "\n"


def cmd_tags(args, builder):
    script = os.path.join(ROOT, "packaging", "build_wheel.py")
    for what, machine, needed, versions, tag in TAG_CASES:
        work = fresh_dir(os.path.join(args.work, re.sub(r"\W+", "_", what)))
        with open(os.path.join(work, "listing"), "w") as f:
            f.write(fake_listing(machine, needed, versions))
        readelf = os.path.join(work, "readelf")
        with open(readelf, "w") as f:
            f.write("#!/bin/sh\ncat '%s'\n" % os.path.join(work, "listing"))
        os.chmod(readelf, 0o755)
        out = os.path.join(work, "dist")
        proc = subprocess.run([sys.executable, script, "--module", args.module,
                               "--out-dir", out, "--readelf", readelf],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              universal_newlines=True)
        wheels = os.listdir(out) if os.path.isdir(out) else []
        got = wheels[0].rsplit("-", 1)[1][:-len(".whl")] if len(wheels) == 1 else None
        if got != tag or (proc.returncode == 0) != (tag is not None):
            fail("%s: tag %s (status %d), expected %s\n%s"
                 % (what, got, proc.returncode, tag, proc.stdout))
        ok("%s: %s" % (what, tag or "refused: " + proc.stdout.strip().splitlines()[-1]))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("command", choices=("build", "install", "tags"))
    p.add_argument("--module", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--python")
    p.add_argument("--min-glibc", help="the oldest glibc the wheel's tag must name")
    args = p.parse_args()
    if args.command == "install" and not args.python:
        p.error("install needs --python")
    builder = load_builder()
    {"build": cmd_build, "install": cmd_install, "tags": cmd_tags}[args.command](args, builder)
    print("wheel test passed")


if __name__ == "__main__":
    main()
