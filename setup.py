"""`pip install .`: builds pyvaskor.so with CMake and installs it, with its
type stub beside it, as the top-level module `pyvaskor`.

Needs cmake, make and g++ on PATH. Intermediate files go to build-pip/.
"""

import os
import runpy
import types

from setuptools import setup
from setuptools.command.build_ext import build_ext
from setuptools.dist import Distribution

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
    """Builds the module with CMake and puts it and the stub into build_lib."""

    def run(self):
        build_temp = os.path.abspath(self.build_temp)
        cmake_dir = os.path.join(build_temp, "cmake")
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        self.spawn(["cmake", "-S", HERE, "-B", cmake_dir,
                    "-DCMAKE_BUILD_TYPE=Release",
                    "-DVASKOR_BUILD_PYTHON=ON",
                    "-DVASKOR_BUILD_TESTS=OFF",
                    "-DVASKOR_BUILD_EXAMPLES=OFF",
                    "-DVASKOR_BUILD_BENCH=OFF"])
        self.spawn(["cmake", "--build", cmake_dir, "--target", "pyvaskor",
                    "-j", jobs])
        self.mkpath(self.build_lib)
        for src in (os.path.join(cmake_dir, "pyvaskor.so"),
                    os.path.join(HERE, "pyvaskor.pyi")):
            self.copy_file(src, os.path.join(self.build_lib, os.path.basename(src)))


os.makedirs(os.path.join(HERE, BUILD_BASE), exist_ok=True)
with open(os.path.join(HERE, "README.md"), encoding="utf-8") as f:
    long_description = f.read()

setup(
    name=meta.NAME,
    version=meta.project_version(HERE),
    description=meta.SUMMARY,
    long_description=long_description,
    long_description_content_type="text/markdown",
    license=meta.LICENSE,
    classifiers=meta.CLASSIFIERS,
    platforms=["Linux"],
    python_requires=meta.REQUIRES_PYTHON,
    py_modules=[],
    distclass=BinaryDistribution,
    cmdclass={"build_ext": BuildModule},
    zip_safe=False,
    options={
        "build": {"build_base": BUILD_BASE},
        "egg_info": {"egg_base": BUILD_BASE},
    },
)
