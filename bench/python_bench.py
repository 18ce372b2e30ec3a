#!/usr/bin/python3
"""The Python module against numexpr and numpy on the ten benchmark expressions (those of
bench/Cases.h), one thread each, over columns of random data.

    PYTHONPATH=build-bench/python /usr/bin/python3 bench/python_bench.py [--rows N] [--repeat R]

First checks that the three agree on every expression (relative difference at most 1e-12);
then times each evaluation, keeps the best of --repeat runs, and prints a Markdown table with
the ratios and a summary against the targets. --check stops after the agreement check (no
timing): the test suite runs it on small columns so the translations cannot drift apart."""

import argparse
import sys
import time

import numexpr
import numpy as np

import qvcalc

PI = 3.14159265358979  # qvCalc's PI, 15 significant digits

# (qvCalc's text, numexpr's text, numpy's function); the variables are a, b, c, x and y.
CASES = [
    ("a+b*c", "a+b*c", lambda a, b, c, x, y: a + b * c),
    ("(a+b)*(a-b)/(c+1)", "(a+b)*(a-b)/(c+1)", lambda a, b, c, x, y: (a + b) * (a - b) / (c + 1)),
    ("x^2 + y^2", "x**2 + y**2", lambda a, b, c, x, y: x**2 + y**2),
    ("SIN(x)*COS(y) + 1", "sin(x)*cos(y) + 1", lambda a, b, c, x, y: np.sin(x) * np.cos(y) + 1),
    ("SQR(x*x + y*y)", "sqrt(x*x + y*y)", lambda a, b, c, x, y: np.sqrt(x * x + y * y)),
    ("a*x^3 + b*x^2 + c*x + 1", "a*x**3 + b*x**2 + c*x + 1",
     lambda a, b, c, x, y: a * x**3 + b * x**2 + c * x + 1),
    ("EXP(-x*x/2) / SQR(2*PI)", f"exp(-x*x/2) / sqrt(2*{PI!r})",
     lambda a, b, c, x, y: np.exp(-x * x / 2) / np.sqrt(2 * PI)),
    # MIN gives b on a tie, MAX gives c on a tie.
    ("MIN(a,b) + MAX(b,c)", "where(a < b, a, b) + where(b > c, b, c)",
     lambda a, b, c, x, y: np.minimum(a, b) + np.maximum(b, c)),
    ("(x > 0.5) * a + (x <= 0.5) * b", "(x > 0.5) * a + (x <= 0.5) * b",
     lambda a, b, c, x, y: (x > 0.5) * a + (x <= 0.5) * b),
    ("((a+b)*(c-x)+(y*a-b)/(c+2))*((x-y)/(a+1)+b*c)", "((a+b)*(c-x)+(y*a-b)/(c+2))*((x-y)/(a+1)+b*c)",
     lambda a, b, c, x, y: ((a + b) * (c - x) + (y * a - b) / (c + 2)) * ((x - y) / (a + 1) + b * c)),
]


def host_function(x):
    """The vectorized host function of the host-function case, and numpy's own call of it."""
    return np.sqrt(x) * 2 + 1


def host_runners(data):
    """A vectorized Python function over the column x: F(x) + 1 on the engine, one call a block
    of rows, against numpy calling the function on the whole column."""
    engine = qvcalc.Engine()
    engine.define_function("F", host_function, args=1, vectorized=True)
    qvcalc.declare(engine, ["x"])
    index = engine.compile("F(x) + 1")
    x = data["x"]
    return [lambda: engine.evaluate(index, x=x), lambda: host_function(x) + 1]


def columns(rows):
    rng = np.random.default_rng(2024)
    return {"a": rng.uniform(0.5, 2.5, rows), "b": rng.uniform(0.5, 2.5, rows),
            "c": rng.uniform(0.5, 2.5, rows), "x": rng.uniform(0, 1, rows), "y": rng.uniform(0, 1, rows)}


def runners(data, text, ne_text, numpy_function):
    """The three evaluations of one case as functions of no argument."""
    engine = qvcalc.Engine()
    qvcalc.declare(engine, data)
    index = engine.compile(text)
    return [
        lambda: engine.evaluate(index, threads=1, data=data),
        lambda: numexpr.evaluate(ne_text, local_dict=data),
        lambda: numpy_function(**data),
    ]


def best_time(run, repeat):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--check", action="store_true", help="only check that the three agree")
    options = parser.parse_args()
    numexpr.set_num_threads(1)
    data = columns(options.rows)
    cases = [(text, runners(data, text, ne_text, function)) for text, ne_text, function in CASES]

    disagreements = 0
    for text, (ours, theirs, plain) in cases:
        mine = ours()
        for name, other in (("numexpr", theirs()), ("numpy", plain())):
            if not np.allclose(mine, other, rtol=1e-12, atol=0):
                print(f"{text}: qvcalc and {name} disagree", file=sys.stderr)
                disagreements += 1
    hosted = host_runners(data)
    if not np.array_equal(hosted[0](), hosted[1]()):
        print("F(x) + 1: qvcalc and numpy disagree", file=sys.stderr)
        disagreements += 1
    if disagreements or options.check:
        print(f"{len(cases)} expressions, {disagreements} disagreements")
        return 1 if disagreements else 0

    print(f"{options.rows:,} rows, one thread each, best of {options.repeat} runs; times in ms\n")
    print("| # | expression | qvcalc | numexpr | numpy | qvcalc / numexpr | qvcalc / numpy |")
    print("|---|---|---:|---:|---:|---:|---:|")
    ratios = []
    for number, (text, runs) in enumerate(cases, 1):
        ours, theirs, plain = (best_time(run, options.repeat) * 1e3 for run in runs)
        ratios.append((ours / theirs, ours / plain))
        print(f"| {number} | `{text}` | {ours:.2f} | {theirs:.2f} | {plain:.2f} | "
              f"{ours / theirs:.2f} | {ours / plain:.2f} |")
    faster = sum(r < 1 for r, _ in ratios)
    print(f"\nFaster than numexpr on {faster} of {len(ratios)} (slowest {max(r for r, _ in ratios):.2f}x its time); "
          f"within 1.2x of numpy on {sum(p <= 1.2 for _, p in ratios)} of {len(ratios)} "
          f"(slowest {max(p for _, p in ratios):.2f}x its time).")
    ours, plain = (best_time(run, options.repeat) * 1e3 for run in hosted)
    print(f"\nA vectorized Python function, f(x) = np.sqrt(x)*2+1: `F(x) + 1` {ours:.2f} ms, numpy's "
          f"f(x) + 1 {plain:.2f} ms: {ours / plain:.2f}x its time (target: at most 1.2).")
    return 0


if __name__ == "__main__":
    sys.exit(main())
