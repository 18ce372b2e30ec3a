"""Functions and constants a Python host adds: the same values per row and over columns (on
several threads), exceptions as qvcalc.Error with their message, the extended functions on by
default, and pickling that carries what it can."""

import math
import pickle

import numpy as np
import pytest

import qvcalc


def scaled(x, k):
    return x * k


def test_functions_constants_columns_and_failures():
    e = qvcalc.Engine()
    e.define_function("Scaled", scaled, args=2)
    e.define_function("Total", lambda *a: sum(a))
    e.define_constant("K", 3)
    e["x"] = 0
    i = e.compile("scaled(x, k) + total(x, 1, 2) + ROUND(2.345, 2) + E * 0")
    xs = np.linspace(-5, 5, 20001)
    want = xs * 3 + (xs + 3) + 2.35
    e["x"] = 1.5
    assert e.value(i) == 1.5 * 3 + 4.5 + 2.35
    np.testing.assert_array_equal(e.evaluate(i, x=xs, threads=4), want)

    def picky(v):
        if v < 0:
            raise ValueError("needs v >= 0")
        return math.sqrt(v)

    e.define_function("Picky", picky, args=1)
    j = e.compile("picky(x)")
    e["x"] = -4
    with pytest.raises(qvcalc.Error, match="Picky\\(-4\\): .*needs v >= 0"):
        e.value(j)
    out, status = e.evaluate(j, x=np.array([4.0, -1.0]), status=True)
    assert out[0] == 2 and math.isnan(out[1]) and list(status) == [0, 6]
    with pytest.raises(qvcalc.Error, match="name of a built-in function"):
        e.define_function("sin", picky)

    plain = qvcalc.Engine(extended=False)
    with pytest.raises(qvcalc.Error):
        plain.compile("ROUND(2.5)")


def test_pickling_carries_definitions_or_says_why_not():
    e = qvcalc.Engine()
    e.define_function("Scaled", scaled, args=2)
    e.define_constant("K", 3)
    i = e.compile("scaled(2, k) + ROUND(0.5)")
    copy = pickle.loads(pickle.dumps(e))
    assert copy.value(i) == 7
    e.define_function("Anon", lambda v: v)
    with pytest.raises((pickle.PicklingError, AttributeError, TypeError)):
        pickle.dumps(e)
