"""The mistakes that must not pass for numbers, as a new user meets them, one row each: under the
default (strict) profile each gives its sound result; with strict=False the engine's compatible
rules stay as they were."""

import dask.dataframe as dd
import numpy as np
import pandas as pd
import pytest

import qvcalc
import qvcalc.dask

NAN = np.nan


def outcome(call):
    """What call gives, or the failure it raises (type, code, text); arrays as plain lists with
    NaN as "nan", so that one comparison covers values, statuses and messages."""
    try:
        return plain(call())
    except (qvcalc.Error, ValueError, KeyError) as error:
        return [type(error).__name__, getattr(error, "code", None), str(error)]


def plain(value):
    if isinstance(value, (np.ndarray, pd.Series)):
        value = value.tolist()
    if isinstance(value, (tuple, list)):
        return [plain(v) for v in value]
    return "nan" if isinstance(value, float) and np.isnan(value) else value


def columns(text, strict=True, **kw):
    return qvcalc.evaluate(text, status=True, strict=strict, **kw)


def steps(*calls, strict=True):
    """calls on a fresh engine, each a function of it; a failure of any but the last is ignored."""
    e = qvcalc.Engine(strict=strict)
    for call in calls[:-1]:
        outcome(lambda: call(e))
    return calls[-1](e)


ROWS = [
    # NaN or infinite inputs: the row fails (NaN, code 13); the others compute.
    ("X*3 over NaN", lambda: columns("X*3", X=np.array([NAN, 2.0])), [["nan", 6.0], [13, 0]]),
    ("X+1, X/2, X^2, X>1 over NaN and inf",
     lambda: [columns(t, X=np.array([NAN, np.inf, 2.0]))[1] for t in ("X+1", "X/2", "X^2", "X>1")],
     [[13, 13, 0]] * 4),
    ("a missing price", lambda: qvcalc.evaluate("Price * Qty", data=pd.DataFrame({"Price": [10, NAN], "Qty": [1, 2]})),
     [10.0, "nan"]),
    ("the same through Dask",
     lambda: qvcalc.dask.evaluate(dd.from_pandas(pd.DataFrame({"X": [NAN, 2.0]}), npartitions=1), "X*3").compute(),
     ["nan", 6.0]),
    # A misspelt name, and a keyword column that the expression does not read.
    ("Pirce", lambda: qvcalc.evaluate("Pirce*2", Price=np.array([1.0, 2.0])),
     ("Error", 3, "error 3 at position 1: Undefined variable: Pirce (did you mean Price?)")),
    ("Prize", lambda: qvcalc.evaluate("Price*2", Price=np.array([1.0]), Prize=np.array([1.0])),
     ("ValueError", None, "no variable Prize in the expression; did you mean Price?")),
    # Failing steps fail, also inside a user function.
    ("SQR(-4)", lambda: columns("SQR(X)", X=np.array([-4.0, 4.0])), [["nan", 2.0], [5, 0]]),
    ("an overflow", lambda: columns("X*1.0E308*10", X=np.array([1.0])), [["nan"], [6]]),
    ("EXP(710)", lambda: steps(lambda e: e.value(e.compile("EXP(710)"))), ("Error", 6, "error 6: EXP(710): Overflow")),
    ("G(X) = 1/X", lambda: columns("G(X)", definitions=["G(X) = 1/X"], X=np.array([0.0, 2.0])),
     [["nan", 0.5], [6, 0]]),
    # Definitions: a failed one leaves nothing, a second replaces, undefine removes.
    ("a failed definition", lambda: steps(lambda e: e.define("F(X) = X +"), lambda e: e.value(e.compile("F(1)"))),
     ("Error", 2, "error 2 at position 1: Unknown function: F")),
    ("corrected, then replaced", lambda: steps(lambda e: e.define("F(X) = X +"), lambda e: e.define("F(X) = X + 1"),
                                               lambda e: e.define("F(X) = X * 10"), lambda e: e.value(e.compile("F(2)"))),
     20),
    ("undefined", lambda: steps(lambda e: e.define("F(X) = X"), lambda e: e.undefine("f"),
                                lambda e: e.value(e.compile("F(2)"))),
     ("Error", 2, "error 2 at position 1: Unknown function: F")),
    ("undefined twice", lambda: steps(lambda e: e.undefine("F")), ("KeyError", None, "'F'")),
    # Arrays the store cannot hold are refused at definition.
    ("P(32768)", lambda: steps(lambda e: e.array("P(32768)")),
     ("Error", 12, "error 12: an upper bound is a whole number from 0 to 32767, not '32768'")),
    ("N(-1)", lambda: steps(lambda e: e.array("N(-1)")),
     ("Error", 12, "error 12: an upper bound is a whole number from 0 to 32767, not '-1'")),
    ("S(3", lambda: steps(lambda e: e.array("S(3")), ("Error", 12, "error 12: S: ')' expected after the bounds of the array")),
    # The compatible rules, asked for, stay as they were.
    ("compatible X*3", lambda: columns("X*3", strict=False, X=np.array([NAN, 2.0])), [[3.0, 6.0], [0, 0]]),
    ("compatible Pirce", lambda: qvcalc.evaluate("Pirce*2", strict=False, Price=np.array([1.0])), [0.0]),
    ("compatible definitions", lambda: steps(lambda e: e.define("F(X) = X +"), lambda e: e.value(e.compile("F(1)")),
                                             strict=False), None),
    ("compatible arrays", lambda: steps(lambda e: e.array("P(32768)"), lambda e: e.element("P", 0), strict=False), 0.0),
]


@pytest.mark.parametrize("call, expected", [row[1:] for row in ROWS], ids=[row[0] for row in ROWS])
def test_no_mistake_passes_for_a_number(call, expected):
    assert outcome(call) == plain(expected)
