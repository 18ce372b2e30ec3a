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

    # A function that uses the engine calling it fails (it used to wait on itself for ever);
    # another engine serves it.
    e.define_function("Own", lambda v: e["x"] + v, args=1)
    e.define_function("Other", lambda v: plain.value(plain.compile("2")) + v, args=1)
    with pytest.raises(qvcalc.Error, match="cannot use that engine"):
        e.value(e.compile("Own(1)"))
    assert list(e.evaluate(e.compile("Own(x)"), x=np.zeros(5000), threads=2, status=True)[1]) == [6] * 5000
    assert e.value(e.compile("Other(1)")) == 3


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


SIZES = []


def doubled(x):
    SIZES.append(len(x))
    return x * 2


def test_vectorized_functions_take_blocks_of_rows():
    """One call a block of rows over columns, one-element arrays for value; the same bits as
    the per-row form; a row's failure (an exception, a result that is not finite) is that row's
    alone, with the function's message, found in few calls; results that are not one number a
    row are refused."""
    calls = []

    def f(x):
        calls.append(x.shape)
        if (x < 0).any():
            raise ValueError("needs x >= 0")
        return np.where(x == 4, np.inf, np.sqrt(x) * 2 + 1)

    e = qvcalc.Engine()
    e.define_function("F", f, args=1, vectorized=True)
    per_row = qvcalc.Engine()
    per_row.define_function("F", lambda x: math.inf if x == 4 else math.sqrt(x) * 2 + 1, args=1)
    xs = np.random.default_rng(5).uniform(0, 9, 100_000)
    xs[[10, 20_000, 99_999]] = [-1, 4, -2]
    for engine in (e, per_row):
        engine["X"] = 0
    i = e.compile("F(X) + F(X * 0.5) + 1")
    per_row.compile("F(X) + F(X * 0.5) + 1")
    want, want_status = per_row.evaluate(i, X=xs, status=True)
    for threads in (1, 3):
        calls.clear()
        out, status = e.evaluate(i, X=xs, status=True, threads=threads)
        np.testing.assert_array_equal(out, want)
        np.testing.assert_array_equal(status, want_status)
        assert len(calls) < 300 and max(calls) > (1000,)  # a failing block is split in halves
    assert list(np.flatnonzero(status)) == [10, 20_000, 99_999] and set(status) == {0, 6}
    calls.clear()
    e["X"] = 9
    assert e.value(i) == 7 + (math.sqrt(4.5) * 2 + 1) + 1 and calls == [(1,), (1,)]
    e["X"] = -1
    with pytest.raises(qvcalc.Error, match=r"F\(-1\): .*needs x >= 0"):
        e.value(i)

    for name, wrong, said in (("Short", lambda x: x[:-1], "shape"), ("Words", lambda x: np.array(["a"] * len(x)), "numbers"),
                              ("Flat", lambda x: 2.5, None)):
        e.define_function(name, wrong, args=1, vectorized=True)
        j = e.compile(f"{name}(X)")
        out, status = e.evaluate(j, X=np.arange(3.0), status=True)
        if said:
            assert list(status) == [6, 6, 6]
            with pytest.raises(qvcalc.Error, match=said):
                e.value(j)
        else:
            assert list(out) == [2.5] * 3 and e.value(j) == 2.5

    copy = pickle.loads(pickle.dumps(_with_doubled()))
    SIZES.clear()
    assert list(copy.evaluate(copy.compile("Doubled(X)"), X=np.arange(50_000.0))[:3]) == [0, 2, 4]
    assert min(SIZES) > 1


def _with_doubled():
    e = qvcalc.Engine()
    e.define_function("Doubled", doubled, args=1, vectorized=True)
    e["X"] = 0
    return e
