"""qvCalc's expression engine for Python.

    import qvcalc
    e = qvcalc.Engine()
    i = e.compile("X^2 + Y")
    e["X"] = 3; e["Y"] = 1
    e.value(i)                                  # 10.0
    out = e.evaluate(i, X=xs, Y=ys)             # numpy float64 array, failed rows NaN
    qvcalc.evaluate("X^2 + Y", X=xs, Y=ys)      # one-shot, a fresh engine
"""

from ._core import Engine, __version__

__all__ = ["Engine", "Error", "evaluate", "__version__"]


class Error(Exception):
    """A failure the engine recorded: its code, description, character position (compile
    errors; 0 otherwise) and source (the expression's index, or minus the user function's)."""

    def __init__(self, code, description, position=0, source=0):
        super().__init__(code, description, position, source)
        self.code = code
        self.description = description
        self.position = position
        self.source = source

    def __str__(self):
        where = f" at position {self.position}" if self.position else ""
        return f"error {self.code}{where}: {self.description}"


def evaluate(text, /, *, definitions=(), threads=1, status=False, data=None, **columns):
    """Compiles text on a fresh engine, after the user functions in definitions, and evaluates
    it over the columns as Engine.evaluate does."""
    engine = Engine()
    for definition in definitions:
        engine.define(definition)
    index = engine.compile(text)
    return engine.evaluate(index, threads=threads, status=status, data=data, **columns)
