"""Builds a wheel of qvcalc the way its documentation says (pip wheel --no-build-isolation, no
package index at all), installs it into a fresh virtual environment that sees Debian's packages,
then imports it there and evaluates a formula over a numpy column. The wheel carries the project's
version and licence. Usage: check_install.py REPOSITORY_ROOT (run by ctest as python.pip_install)."""

import glob
import os
import re
import subprocess
import sys
import tempfile
import zipfile

CHECK = """
import numpy, qvcalc, sys
assert qvcalc.__file__.startswith(sys.prefix), qvcalc.__file__
assert qvcalc.__version__ == sys.argv[1], (qvcalc.__version__, sys.argv[1])
out = qvcalc.evaluate("SQR(X) + Hyp(3, 4)", definitions=["Hyp(A, B) = SQR(A*A + B*B)"], X=numpy.array([4.0, 9.0]))
assert out.tolist() == [7.0, 8.0], out
print("installed and working:", qvcalc.__file__)
"""


def run(command, **options):
    print("+", " ".join(command), flush=True)
    subprocess.run(command, check=True, timeout=800, **options)


def project_version(root):
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(qvcalc VERSION ([0-9.]+)", cmake.read()).group(1)


def check_wheel(wheel, version):
    """The wheel's metadata names the version and the MIT licence, and it carries LICENSE."""
    with zipfile.ZipFile(wheel) as archive:
        names = archive.namelist()
        metadata = archive.read(next(n for n in names if n.endswith(".dist-info/METADATA"))).decode()
    assert f"\nVersion: {version}\n" in metadata, metadata
    assert "License: MIT" in metadata, metadata
    assert any(n.endswith("/LICENSE") for n in names), names


def main():
    root = os.path.abspath(sys.argv[1])
    version = project_version(root)
    with tempfile.TemporaryDirectory(prefix="qvcalc-install-") as scratch:
        environment = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
        environment["QVCALC_BUILD_DIR"] = os.path.join(scratch, "build")
        environment["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
        wheels = os.path.join(scratch, "wheels")
        run(["/usr/bin/python3", "-m", "pip", "wheel", "--no-build-isolation", "--no-index", "--no-deps",
             "--no-cache-dir", "-w", wheels, root], env=environment)
        [wheel] = glob.glob(os.path.join(wheels, "qvcalc-*.whl"))
        check_wheel(wheel, version)
        venv = os.path.join(scratch, "venv")
        run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", venv])
        python = os.path.join(venv, "bin", "python")
        run([python, "-m", "pip", "install", "--no-index", "--no-cache-dir", wheel], env=environment)
        run([python, "-c", CHECK, version], env=environment, cwd=scratch)


if __name__ == "__main__":
    main()
