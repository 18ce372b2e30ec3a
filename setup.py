# The Python module qvcalc: the package in python/qvcalc and the extension qvcalc._core, which
# compiles the engine's sources itself (every .cpp under engine/, wherever it lies) with the
# bindings in python/src. Built with setuptools and pybind11 as Debian packages them:
#   pip install --no-build-isolation .
# QVCALC_BUILD_DIR moves setuptools' build and metadata folders out of the source tree.
# The native tier (engine/native/) comes in on x86-64 and AArch64 where asmjit's static library is
# installed (Debian: libasmjit-dev), unless QVCALC_NATIVE=0.
import glob
import os
import platform
import re
import sysconfig

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

ParallelCompile("QVCALC_BUILD_JOBS", default=2).install()

root = os.path.dirname(os.path.abspath(__file__))


def asmjit_library():
    """The path of asmjit's static library when the native tier can be built, else None."""
    if os.environ.get("QVCALC_NATIVE", "1") == "0" or platform.machine() not in ("x86_64", "AMD64", "aarch64", "arm64"):
        return None
    if not os.path.exists("/usr/include/asmjit/core.h"):
        return None
    multiarch = sysconfig.get_config_var("MULTIARCH") or f"{platform.machine()}-linux-gnu"
    for folder in (f"/usr/lib/{multiarch}", "/usr/lib", "/usr/local/lib"):
        if os.path.exists(f"{folder}/libasmjit.a"):
            return f"{folder}/libasmjit.a"
    return None


asmjit = asmjit_library()
sources = sorted(s for s in glob.glob("engine/**/*.cpp", root_dir=root, recursive=True)
                 if asmjit or not s.startswith("engine/native/"))
sources += sorted(glob.glob("python/src/*.cpp", root_dir=root))
# With the tier: engine/native/AsmjitDebugOutput.cpp stands in for the one object of the library
# that cannot go into a shared module, and asmjit's symbols stay inside the module.
native = dict(define_macros=[("QV_HAVE_NATIVE", "1")], extra_objects=[asmjit],
              extra_link_args=["-Wl,--exclude-libs,libasmjit.a"]) if asmjit else {}
build_dir = os.environ.get("QVCALC_BUILD_DIR", "build-python")
os.makedirs(build_dir, exist_ok=True)


def project_version():
    """The version of the CMake project, the one place it is written."""
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(qvcalc VERSION (\d+)\.(\d+)\.(\d+)", cmake.read()).groups()


def version_header(parts):
    """qvcalc_version.h made from its template as CMake makes it; returns its folder."""
    folder = os.path.join(build_dir, "generated")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(root, "cmake", "qvcalc_version.h.in"), encoding="utf-8") as template:
        text = template.read()
    for name, value in zip(("MAJOR", "MINOR", "PATCH"), parts):
        text = text.replace(f"@PROJECT_VERSION_{name}@", value)
    text = text.replace("@PROJECT_VERSION@", ".".join(parts))
    with open(os.path.join(folder, "qvcalc_version.h"), "w", encoding="utf-8") as header:
        header.write(text)
    return folder


version = project_version()

setup(
    version=".".join(version),
    license_files=["LICENSE"],
    packages=["qvcalc"],
    package_dir={"qvcalc": "python/qvcalc"},
    ext_modules=[
        Pybind11Extension("qvcalc._core", sources, include_dirs=[".", version_header(version)], cxx_std=20,
                          extra_compile_args=["-O2", "-ffp-contract=off"], **native),
    ],
    options={"build": {"build_base": build_dir}, "egg_info": {"egg_base": build_dir}},
)
