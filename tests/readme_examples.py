"""The README's C and C++ examples, built against this build and run: a block with a main is a
program, and each "prints: TEXT" comment in it must appear in what it prints; a block without one
is compiled (inside a function, after the headers it uses) so that it stays valid code.

Usage: readme_examples.py README SOURCE_DIR GENERATED_INCLUDE_DIR CC CXX CORE_LIBRARY C_LIBRARY [EXTRA_LIBRARY...]
"""
import os
import re
import subprocess
import sys
import tempfile

readme, source, generated, cc, cxx, core, capi, *extra = sys.argv[1:]
text = open(readme, encoding="utf-8").read()
blocks = re.findall(r"```(c|cpp)\n(.*?)```", text, re.S)
assert len(blocks) >= 4, "the README's C and C++ examples are gone"
defines = ["-DQV_HAVE_NATIVE=1"] if extra else []
failures = []
with tempfile.TemporaryDirectory() as folder:
    for number, (language, code) in enumerate(blocks):
        name = os.path.join(folder, f"example{number}.{language}")
        program = "int main" in code
        if "#include" not in code:  # a fragment of statements on an engine e
            code = '#include <vector>\n#include "engine/qvExpression.h"\nvoid Example(qvExpression& e) {\n' + code + "}\n"
        open(name, "w").write(code)
        if language == "c":
            command = [cc, "-std=c11", "-Wall", "-Werror", "-I", source, "-I", generated, name, "-o", name + ".out", capi,
                       "-Wl,-rpath," + os.path.dirname(capi)]
        else:
            command = [cxx, "-std=c++20", "-Wall", "-Werror", *defines, "-I", source, "-I", generated, name, "-o", name + ".out",
                       core, *extra, "-lpthread"]
        if not program:
            command = [part for part in command if part not in (core, capi, "-lpthread", *extra)]
            command[command.index("-o"):command.index("-o") + 2] = ["-c", "-o", name + ".o"]
        built = subprocess.run(command, capture_output=True, text=True)
        if built.returncode != 0:
            failures.append(f"example {number} ({language}) does not build:\n{built.stderr}")
            continue
        if not program:
            continue
        ran = subprocess.run([name + ".out"], capture_output=True, text=True, timeout=60)
        printed = ran.stdout + ran.stderr
        for expected in re.findall(r"prints: (.*?)(?: \*/)?$", code, re.M):
            if expected.strip() not in printed:
                failures.append(f"example {number} ({language}) does not print {expected.strip()!r}:\n{printed}")
if failures:
    sys.exit("\n".join(failures))
print(f"{len(blocks)} examples built, the programs among them printed what the README says")
