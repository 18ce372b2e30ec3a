"""The engine one value at a time: results of every kind, failures as qvcalc.Error with the
engine's fields, user functions, arrays, and pickling."""

import pickle

import pytest

import qvcalc


def test_results_keep_their_kind_and_variables_read_back():
    e = qvcalc.Engine()
    e["X"] = 3
    e["y"] = 1  # names ignore letter case
    i = e.compile("X^2 + Y")
    assert e.value(i) == 10.0 and type(e.value(i)) is float
    assert e["x"] == 3.0 and "Y" in e and "Z" not in e
    with pytest.raises(KeyError):
        e["Z"]
    kinds = {"2 + 3": (5, int), "7 \\ 2": (3, int), "1 / 4": (0.25, float),
             '"Total: " & 12.5': ("Total: 12.5", str), 'LEFT("qvCalc", 2) & MID("engine", 2, 3)': ("qvngi", str),
             'IIF(X > 1, "yes", "no")': ("yes", str), "LEN(1/4)": (4, int)}
    for text, (expected, kind) in kinds.items():
        value = e.value(e.compile(text))
        assert value == expected and type(value) is kind, text
    assert e.compile("1") == len(kinds) + 2  # indices count up from 1


@pytest.mark.parametrize("call, code, description, position, source", [
    (lambda e: e.compile("1 + * 2"), 1, "Syntax Error: Unknown symbol", 5, 1),
    (lambda e: e.compile('"abc'), 1, "Syntax Error: Missing string delimiter", 1, 1),
    (lambda e: e.compile("FOO(1)"), 2, "Unknown function: FOO", 1, 1),
    (lambda e: e.compile("SIN(1, 2)"), 5, "Wrong number of arguments for SIN", 6, 1),
    (lambda e: e.value(e.compile("LN(0)")), 6, "LN(0)", 0, 1),
    (lambda e: e.value(e.compile("1 / 0")), 6, "Div by zero", 0, 1),
    (lambda e: e.define("SIN(X) = 1"), 10, "(User-defined Functions)  SIN(...) is a Reserved Name.", 0, 0),
    (lambda e: e.define("F(X) = X +"), 1, "Syntax Error: Unexpected end of expression in User Function 'F'", 4, -1),
    (lambda e: e.array("T"), 12, "T: '(' expected for array definition.", 0, 0),
])
def test_failures_raise_the_engine_record_and_leave_the_engine_clean(call, code, description, position, source):
    e = qvcalc.Engine()
    with pytest.raises(qvcalc.Error) as caught:
        call(e)
    error = caught.value
    assert (error.code, error.description, error.position, error.source) == (code, description, position, source)
    assert str(error).startswith(f"error {code}")
    # The error travels between processes (the cluster's workers) with its fields.
    again = pickle.loads(pickle.dumps(error))
    assert (again.code, again.description, again.position, again.source) == (code, description, position, source)
    # The failure is not left recorded: the next evaluation runs.
    assert e.value(e.compile("6 * 7")) == 42


def test_user_functions_and_arrays():
    e = qvcalc.Engine()
    e.define("Area(W, H) = W * H")
    e.define("Hyp(A, B) = SQR(A^2 + B^2)")
    assert e.value(e.compile("Area(2, 3) + Hyp(3, 4)")) == 11
    e.array("T(10)")
    e.array("Grid(2, 3)")
    for k in range(11):
        e.set_element("T", k, k * k / 2)
    e.set_element("grid", 2, 3, -1.5)
    assert e.element("T", 4) == 8.0 and e.element("Grid", 2, 3) == -1.5 and e.element("Grid", 0, 0) == 0.0
    e["X"] = 0
    assert e.value(e.compile("T(X * 10) + Grid(2, 3)")) == -1.5
    e["X"] = 0.3
    assert e.value(e.compile("T(X * 10)")) == 4.5
    # Writes and reads the engine would ignore or answer with 0 are refused.
    with pytest.raises(KeyError):
        e.set_element("U", 1, 1.0)
    with pytest.raises(IndexError):
        e.set_element("T", 11, 1.0)
    with pytest.raises(IndexError):
        e.element("Grid", 1)
    with pytest.raises(IndexError):
        e.element("T", -1)


def test_pickling_recompiles_on_the_same_definitions_arrays_and_variables():
    assert pickle.loads(pickle.dumps(qvcalc.Engine())).strict  # the profile travels too
    e = qvcalc.Engine(strict=False)
    e["Rate"] = 0.2
    e.define("Gross(P) = P * 1.2")
    with pytest.raises(qvcalc.Error):
        e.define("Bad(P) = P +")  # fails, and stays defined as it was
    e.array("T(3, 1)")
    e.set_element("T", 2, 1, 7.25)
    texts = ["Price * (1 + Rate)", "Gross(Price) + T(2, 1)", '"Rate: " & Rate', "1 + * 2", "Price"]
    indices = []
    for text in texts:
        try:
            indices.append(e.compile(text))
        except qvcalc.Error:
            indices.append(None)
    e["Price"] = 100
    e.trap = False
    copy = pickle.loads(pickle.dumps(e))
    assert copy.trap is False
    assert copy["Rate"] == 0.2 and copy["Price"] == 100 and copy.element("T", 2, 1) == 7.25
    for i in range(1, len(texts) + 1):
        if texts[i - 1] == "1 + * 2":  # what did not compile is not run, here or there
            for engine in (e, copy):
                with pytest.raises(qvcalc.Error) as caught:
                    engine.evaluate(i, Price=[1.0])
                assert (caught.value.code, caught.value.position, caught.value.source) == (1, 5, i)
        else:
            assert copy.value(i) == e.value(i)
    assert copy.value(2) == 127.25 and copy.value(3) == "Rate: 0.2"
    assert copy.compile("Gross(1)") == len(texts) + 1 and copy.value(len(texts) + 1) == 1.2
    with pytest.raises(qvcalc.Error) as caught:
        copy.define("Gross(Q) = Q")
    assert caught.value.code == 10  # already defined there


def test_version_is_the_projects():
    import os
    import re
    cmake = os.path.join(os.path.dirname(__file__), "..", "..", "CMakeLists.txt")
    with open(cmake, encoding="utf-8") as lists:
        version = re.search(r"project\(qvcalc VERSION ([0-9.]+)", lists.read()).group(1)
    assert qvcalc.__version__ == version
