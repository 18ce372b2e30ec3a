"""The engine over columns: every row as the one-value path gives it, on any number of threads,
the caller's float64 memory read where it lies, and the ways columns can be handed in."""

import re
import threading

import numpy as np
import pandas as pd
import pytest

import qvcalc
from qvcalc import _core

ROWS = 1500

# Formulas, and whether some of their rows fail in the middle of the column (a zero divisor, a
# domain error, an array subscript out of bounds, a text that is no number).
FORMULAS = [
    ("a + b*c", False),
    ("(x > 0.5) * a + (x <= 0.5) * b", False),
    ("1 / (x - 0.5) + MIN(a, b) - MAX(b, c)", True),
    ("LN(x) + SQR(a) * EXP(-x*x/2)", True),
    ('IIF(x > 0.5, "big", x)', True),
    ('IIF(x > 0.5, "12.5", x) & ""', True),  # texts that read as numbers, but for "NaN"
    ("Hyp(x, a) * T(x * 10)", True),
    ("FACT(a) / NCR(c, 2)", True),
    ("RND(1) + x", False),  # the sequence successive values would draw
]


def prepared_engine(strict=True):
    e = qvcalc.Engine(strict=strict)
    qvcalc.declare(e, "abcx")
    e.define("Hyp(P, Q) = SQR(P*P + Q*Q)")
    e.array("T(10)")
    for k in range(11):
        e.set_element("T", k, k * k / 2)
    return e


def columns():
    rng = np.random.default_rng(20240611)
    x = rng.uniform(-0.2, 1.05, ROWS)
    x[::97] = 0.5  # zero divisors
    x[5] = np.nan
    return {"a": rng.uniform(-5, 175, ROWS).round(1), "b": rng.uniform(-2, 2, ROWS),
            "c": rng.integers(-1, 12, ROWS).astype(np.float64), "x": x}


# A text that reads as a number: the whole text, blanks around it allowed (no "NaN" or "inf").
NUMBER = re.compile(r"\s*[+-]?(\d+\.?\d*|\.\d+)([EeDd][+-]?\d+)?\s*")


def as_number(value):
    if not isinstance(value, str):
        return float(value), 0
    if NUMBER.fullmatch(value):
        return float(value.replace("D", "E").replace("d", "e")), 0
    return np.nan, 13


def row_by_row(e, index, data):
    """What Value gives for each row, converted as evaluate converts it."""
    out, codes = np.empty(ROWS), np.zeros(ROWS, dtype=np.int32)
    for r in range(ROWS):
        for name, values in data.items():
            e[name] = values[r]
        try:
            value = e.value(index)
        except qvcalc.Error as error:
            out[r], codes[r] = np.nan, error.code
            continue
        out[r], codes[r] = as_number(value)
    return out, codes


@pytest.mark.parametrize("strict", [True, False])
def test_every_row_is_what_value_gives_on_any_thread_count(strict):
    data = columns()
    for text, fails in FORMULAS:
        e = prepared_engine(strict)
        index = e.compile(text)
        e.seed(11)
        expected, expected_codes = row_by_row(e, index, data)
        # Strict, the NaN of x fails every formula that reads x, and only the row holding it.
        assert (expected_codes != 0).any() == (fails or (strict and "x" in text)), text
        if strict and "x" in text:
            assert expected_codes[5] == 13 and np.isnan(expected[5]), text
        for threads in (1, 2, 0):
            e.seed(11)
            out, codes = e.evaluate(index, threads=threads, status=True, data=data)
            assert out.dtype == np.float64 and codes.dtype == np.int32
            assert np.array_equal(out, expected, equal_nan=True), (text, threads)
            assert np.array_equal(codes, expected_codes), (text, threads)


def test_float64_columns_are_read_where_they_lie():
    rng = np.random.default_rng(7)
    a, b = rng.random(1000), rng.random(1000)
    frame = pd.DataFrame({"a": rng.random(1000), "b": rng.random(1000), "label": ["row"] * 1000})
    e = qvcalc.Engine()
    qvcalc.declare(e, "ab")
    index = e.compile("a * 2 - b")
    before = _core.converted_columns()
    assert np.array_equal(e.evaluate(index, a=a, b=pd.Series(b)), a * 2 - b)
    assert np.array_equal(e.evaluate(index, data=frame), frame.a * 2 - frame.b)  # "label" is not fed
    assert _core.converted_columns() == before
    # Input of another type or layout is converted, once a column, to the same values.
    converted = [np.arange(1000), a.copy()[::-1], list(b), a.astype(">f8")]
    for column in converted:
        assert np.array_equal(e.evaluate(index, a=column, b=b), np.asarray(column, dtype=np.float64) * 2 - b)
    assert _core.converted_columns() == before + len(converted)


def test_ways_of_handing_in_columns():
    e = qvcalc.Engine()
    qvcalc.declare(e, "XY")
    index = e.compile("X + Y")
    frame = pd.DataFrame({"x": [1.0, 2.0], "Y": [10.0, 20.0]})
    assert e.evaluate(index, data=frame).tolist() == [11.0, 22.0]
    assert e.evaluate(index, data={"X": [1.0, 2.0], "Y": [3.0, 4.0]}).tolist() == [4.0, 6.0]
    assert e.evaluate(index, data=frame, y=[0.5, 0.5]).tolist() == [1.5, 2.5]  # a keyword wins
    assert e.evaluate(e.compile("7"), data=frame[[]]).tolist() == [7.0, 7.0]
    out, codes = e.evaluate(index, X=np.array([]), Y=np.array([]), status=True)
    assert out.shape == codes.shape == (0,)
    # Variables the columns do not name keep their values; the engine's own are not changed.
    e["Y"] = 100
    assert e.evaluate(index, X=[1.0, 2.0]).tolist() == [101.0, 102.0] and e["X"] == 0
    assert qvcalc.evaluate("Twice(X)", definitions=["Twice(V) = 2 * V"], X=[1.5]).tolist() == [3.0]
    for bad, error in [(dict(X=[1.0], Y=[1.0, 2.0]), ValueError), (dict(X=np.ones((2, 2))), ValueError),
                       (dict(X=[1.0], x=[2.0]), ValueError), (dict(), ValueError)]:
        with pytest.raises(error):
            e.evaluate(index, **bad)
    with pytest.raises(IndexError):
        e.evaluate(99, X=[1.0])
    with pytest.raises(qvcalc.Error):
        qvcalc.evaluate("1 +", X=[1.0])


def test_python_threads_share_an_engine():
    data = columns()
    e = prepared_engine()
    indices = [e.compile(text) for text, _ in FORMULAS if "RND" not in text]
    expected = [e.evaluate(i, data=data) for i in indices]
    failures = []

    def work(offset):
        for n in range(3 * len(indices)):
            k = (n + offset) % len(indices)
            if not np.array_equal(e.evaluate(indices[k], threads=2, data=data), expected[k], equal_nan=True):
                failures.append((offset, k))

    workers = [threading.Thread(target=work, args=(t,)) for t in range(4)]
    for w in workers:
        w.start()
    for n in range(200):  # the engine stays usable from here meanwhile
        e["Other"] = n
        assert e["Other"] == n
    for w in workers:
        w.join(timeout=120)
    assert not any(w.is_alive() for w in workers) and failures == []
