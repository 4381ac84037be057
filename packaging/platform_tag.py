"""The wheel's platform tag, read off the built library with readelf (which
reads ELF files of every architecture, so a cross-built library is tagged
on the build machine).

A library gets the lowest manylinux level whose rules it meets: it may need
only libraries from ALLOWED_LIBRARIES, and the newest symbol version it asks
of each must exist at that level. Anything else is refused, since a wrongly
tagged wheel installs and then fails to load.
"""

import os
import re
import subprocess

# ELF machine as readelf names it, with class and byte order -> wheel arch.
ARCHES = {
    ("Advanced Micro Devices X86-64", "ELF64", "little endian"): "x86_64",
    ("AArch64", "ELF64", "little endian"): "aarch64",
}

# The oldest glibc each architecture has a manylinux level for (aarch64 came
# with glibc 2.17, manylinux2014).
ARCH_FLOOR = {"x86_64": (2, 5), "aarch64": (2, 17)}

# The names PEP 513/571/599 gave the levels before PEP 600 numbered them by
# glibc version.
LEGACY_NAMES = {(2, 5): "manylinux1", (2, 12): "manylinux2010", (2, 17): "manylinux2014"}

# The libraries every manylinux system provides, as the policies list them
# (the X11 and GL ones they also allow are left out: nothing here needs them).
GLIBC_LIBRARIES = ("libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0",
                   "librt.so.1", "libutil.so.1", "libresolv.so.2")
ALLOWED_LIBRARIES = GLIBC_LIBRARIES + ("libgcc_s.so.1", "libstdc++.so.6")
LOADER = re.compile(r"^ld-linux[-\w]*\.so\.\d+$")

# Newest GCC runtime symbol versions per level, from the policies. Above
# 2.17 the 2.17 limits are kept: a newer glibc says nothing certain about the
# GCC runtime beside it.
GCC_RUNTIME_LIMITS = {
    (2, 5): {"GLIBCXX": (3, 4, 8), "CXXABI": (1, 3, 1), "GCC": (4, 2, 0)},
    (2, 12): {"GLIBCXX": (3, 4, 13), "CXXABI": (1, 3, 3), "GCC": (4, 3, 0)},
    (2, 17): {"GLIBCXX": (3, 4, 19), "CXXABI": (1, 3, 7), "GCC": (4, 8, 0)},
}
RUNTIME_OF = {"libstdc++.so.6": ("GLIBCXX", "CXXABI"), "libgcc_s.so.1": ("GCC",)}


class Refused(Exception):
    """The library cannot carry any manylinux tag."""


def readelf_listing(path, readelf="readelf"):
    env = dict(os.environ, LC_ALL="C")
    try:
        return subprocess.check_output(
            [readelf, "--file-header", "--dynamic", "--version-info", "--wide", path],
            env=env, universal_newlines=True)
    except OSError as e:
        raise Refused("cannot run %s (binutils): %s" % (readelf, e))
    except subprocess.CalledProcessError as e:
        raise Refused("%s failed on %s (status %d)" % (readelf, path, e.returncode))


def parse_listing(text):
    """(header fields, NEEDED list, {file: [version names]}) from readelf."""
    header = dict(re.findall(r"^\s*(Class|Data|Machine|Type):\s*(.*?)\s*$", text, re.M))
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", text)
    versions = {}
    section = re.search(r"^Version needs section.*?(?=^\S|\Z)", text, re.M | re.S)
    current = None
    for line in (section.group(0).splitlines() if section else []):
        m = re.search(r"File: (\S+)", line)
        if m:
            current = versions.setdefault(m.group(1), [])
            continue
        m = re.search(r"Name: (\S+)", line)
        if m and current is not None:
            current.append(m.group(1))
    return header, needed, versions


def _version(name, prefix):
    m = re.match(r"^%s_(\d+(?:\.\d+)*)$" % prefix, name)
    return tuple(int(p) for p in m.group(1).split(".")) if m else None


def requirements(text):
    """(arch, needed libraries, glibc (major, minor), GCC runtime needs)."""
    header, needed, versions = parse_listing(text)
    key = (header.get("Machine"), header.get("Class"),
           (header.get("Data") or "").split(", ")[-1])
    if key not in ARCHES:
        raise Refused("no manylinux architecture for %s, %s, %s" % key)
    if not (header.get("Type") or "").startswith("DYN"):
        raise Refused("not a shared object: %s" % header.get("Type"))
    arch = ARCHES[key]
    outside = [lib for lib in needed if lib not in ALLOWED_LIBRARIES and not LOADER.match(lib)]
    if outside:
        raise Refused("needs %s, outside the libraries manylinux allows" % ", ".join(outside))

    glibc = ARCH_FLOOR[arch]
    runtime = {}
    for lib, names in sorted(versions.items()):
        for name in names:
            if lib in GLIBC_LIBRARIES or LOADER.match(lib):
                v = _version(name, "GLIBC")
                if v is None:
                    raise Refused("needs %s from %s" % (name, lib))
                glibc = max(glibc, v[:2])
                continue
            for prefix in RUNTIME_OF.get(lib, ()):
                v = _version(name, prefix)
                if v is not None:
                    runtime[prefix] = max(runtime.get(prefix, v), v)
                    break
            else:
                raise Refused("needs %s from %s" % (name, lib))
    return arch, needed, glibc, runtime


def _tag(arch, glibc, runtime):
    if runtime:
        fits = [lv for lv in sorted(GCC_RUNTIME_LIMITS)
                if all(v <= GCC_RUNTIME_LIMITS[lv][p] for p, v in runtime.items())]
        if not fits:
            raise Refused("needs %s, newer than the manylinux GCC runtime" % ", ".join(
                "%s_%s" % (p, ".".join(map(str, v))) for p, v in sorted(runtime.items())))
        glibc = max(glibc, fits[0])
    tags = ["manylinux_%d_%d_%s" % (glibc + (arch,))]
    if glibc in LEGACY_NAMES:
        tags.append("%s_%s" % (LEGACY_NAMES[glibc], arch))
    return ".".join(tags)


def platform_tag(text):
    """The compressed platform tag, e.g.
    manylinux_2_17_x86_64.manylinux2014_x86_64."""
    arch, _, glibc, runtime = requirements(text)
    return _tag(arch, glibc, runtime)


def library_tag(path, readelf="readelf"):
    return platform_tag(readelf_listing(path, readelf))


def libraries_tag(paths, readelf="readelf"):
    """The tag of a wheel holding all of paths: one machine, the newest
    needs of any. Each library must meet manylinux's rules on its own."""
    found = []
    for path in paths:
        try:
            found.append(requirements(readelf_listing(path, readelf)))
        except Refused as e:
            raise Refused("%s: %s" % (os.path.basename(path), e))
    arches = sorted(set(r[0] for r in found))
    if len(arches) != 1:
        raise Refused("libraries of different machines: %s" % ", ".join(arches))
    runtime = {}
    for r in found:
        for p, v in r[3].items():
            runtime[p] = max(runtime.get(p, v), v)
    return _tag(arches[0], max(r[2] for r in found), runtime)
