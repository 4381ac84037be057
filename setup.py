"""`pip install .` and installing the sdist: builds pyvaskor.so with CMake,
then packs it with packaging/build_wheel.py, so pip installs the very wheel
`make wheel` gives (one py2.py3 wheel with a manylinux tag read off the
library), not one tagged for the Python that ran the build.

Needs cmake, make, g++ and readelf on PATH. Intermediate files go to
build-pip/. `python3 setup.py sdist` packs the sources MANIFEST.in names.

VASKOR_CMAKE_BUILD_DIR=<dir> names a configured CMake build tree of these
sources (the test suite's own): the module is brought up to date there
instead of being compiled from scratch in a tree of its own.
"""

import os
import runpy
import types

from setuptools import setup
from setuptools.command.build_ext import build_ext
from setuptools.dist import Distribution

try:
    from wheel.bdist_wheel import bdist_wheel
except ImportError:  # enough for `setup.py sdist`; pip needs wheel to build
    bdist_wheel = None

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD_BASE = "build-pip"


def _load_wheel_builder():
    # Run by path: the folder name `packaging` would shadow the library of
    # the same name if it were imported as a package.
    return types.SimpleNamespace(
        **runpy.run_path(os.path.join(HERE, "packaging", "build_wheel.py")))


meta = _load_wheel_builder()


class BinaryDistribution(Distribution):
    """The module is native code: the wheel is platform specific, and the
    build runs build_ext, which builds it."""

    def has_ext_modules(self):
        return True


class BuildModule(build_ext):
    """Builds the module with CMake and puts it into build_lib."""

    def run(self):
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        cmake_dir = os.environ.get("VASKOR_CMAKE_BUILD_DIR")
        if cmake_dir:
            if not os.path.isfile(os.path.join(cmake_dir, "CMakeCache.txt")):
                raise SystemExit("VASKOR_CMAKE_BUILD_DIR=%s is no configured CMake build tree"
                                 % cmake_dir)
        else:
            cmake_dir = os.path.join(os.path.abspath(self.build_temp), "cmake")
            self.spawn(["cmake", "-S", HERE, "-B", cmake_dir,
                        "-DCMAKE_BUILD_TYPE=Release",
                        "-DVASKOR_BUILD_PYTHON=ON",
                        "-DVASKOR_BUILD_TESTS=OFF",
                        "-DVASKOR_BUILD_EXAMPLES=OFF",
                        "-DVASKOR_BUILD_BENCH=OFF"])
        self.spawn(["cmake", "--build", cmake_dir, "--target", "pyvaskor", "h5vaskor",
                    "-j", jobs])
        self.mkpath(self.build_lib)
        self.copy_file(os.path.join(cmake_dir, "pyvaskor.so"),
                       os.path.join(self.build_lib, "pyvaskor.so"))
        # The wheel builder takes the native libraries from beside the module.
        for name in meta.NATIVE_LIBRARIES:
            dest = os.path.join(self.build_lib, *name.split("/"))
            self.mkpath(os.path.dirname(dest))
            self.copy_file(os.path.join(cmake_dir, *name.split("/")), dest)


class BuildWheel(bdist_wheel or object):
    """bdist_wheel as pip calls it (--dist-dir DIR): the module from
    build_ext, packed by the project's own wheel builder. The rest of
    bdist_wheel stays, since setuptools' dist_info borrows from it."""

    def run(self):
        self.run_command("build_ext")
        module = os.path.join(self.get_finalized_command("build_ext").build_lib,
                              "pyvaskor.so")
        print(meta.build(module, self.dist_dir, readme_path=os.path.join(HERE, "README.md")))


os.makedirs(os.path.join(HERE, BUILD_BASE), exist_ok=True)
with open(os.path.join(HERE, "README.md"), encoding="utf-8") as f:
    long_description = f.read()

setup(
    name=meta.NAME,
    version=meta.project_version(HERE),
    description=meta.SUMMARY,
    long_description=long_description,
    long_description_content_type="text/markdown",
    author=meta.AUTHOR,
    license=meta.LICENSE,
    classifiers=meta.CLASSIFIERS,
    platforms=["Linux"],
    python_requires=meta.REQUIRES_PYTHON,
    py_modules=[],
    # The wheel carries the same; pip reads them from the prepared metadata too.
    entry_points=meta.ENTRY_POINTS,
    distclass=BinaryDistribution,
    cmdclass=dict({"build_ext": BuildModule},
                  **({"bdist_wheel": BuildWheel} if bdist_wheel else {})),
    zip_safe=False,
    options={
        "build": {"build_base": BUILD_BASE},
        "egg_info": {"egg_base": BUILD_BASE},
    },
)
