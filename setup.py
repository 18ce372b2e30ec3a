# The Python module qvcalc: the package in python/qvcalc and the extension qvcalc._core, which
# compiles the engine's sources itself (every .cpp under engine/, wherever it lies) with the
# bindings in python/src. Built with setuptools and pybind11 as Debian packages them:
#   pip install --no-build-isolation .
# QVCALC_BUILD_DIR moves setuptools' build and metadata folders out of the source tree.
import glob
import os

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

ParallelCompile("QVCALC_BUILD_JOBS", default=2).install()

root = os.path.dirname(os.path.abspath(__file__))
# Not the native tier (engine/native/): Debian's asmjit library cannot go into a shared module.
sources = sorted(s for s in glob.glob("engine/**/*.cpp", root_dir=root, recursive=True)
                 if not s.startswith("engine/native/"))
sources += sorted(glob.glob("python/src/*.cpp", root_dir=root))
build_dir = os.environ.get("QVCALC_BUILD_DIR", "build-python")
os.makedirs(build_dir, exist_ok=True)

setup(
    packages=["qvcalc"],
    package_dir={"qvcalc": "python/qvcalc"},
    ext_modules=[
        Pybind11Extension("qvcalc._core", sources, include_dirs=["."], cxx_std=20,
                          extra_compile_args=["-O2"]),
    ],
    options={"build": {"build_base": build_dir}, "egg_info": {"egg_base": build_dir}},
)
