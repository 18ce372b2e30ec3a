"""Installs qvcalc the way its documentation says, into a fresh virtual environment that sees
Debian's packages, with no package index at all, then imports it there and evaluates a formula
over a numpy column. Usage: check_install.py REPOSITORY_ROOT (run by ctest as python.pip_install)."""

import os
import subprocess
import sys
import tempfile

CHECK = """
import numpy, qvcalc
assert qvcalc.__file__.startswith(__import__("sys").prefix), qvcalc.__file__
out = qvcalc.evaluate("SQR(X) + Hyp(3, 4)", definitions=["Hyp(A, B) = SQR(A*A + B*B)"], X=numpy.array([4.0, 9.0]))
assert out.tolist() == [7.0, 8.0], out
print("installed and working:", qvcalc.__file__)
"""


def run(command, **options):
    print("+", " ".join(command), flush=True)
    subprocess.run(command, check=True, timeout=800, **options)


def main():
    root = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="qvcalc-install-") as scratch:
        venv = os.path.join(scratch, "venv")
        run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", venv])
        python = os.path.join(venv, "bin", "python")
        environment = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
        environment["QVCALC_BUILD_DIR"] = os.path.join(scratch, "build")
        environment["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
        run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-cache-dir", root], env=environment)
        run([python, "-c", CHECK], env=environment, cwd=scratch)


if __name__ == "__main__":
    main()
