"""qvCalc's expression engine for Python.

    import qvcalc
    e = qvcalc.Engine()
    i = e.compile("X^2 + Y")
    e["X"] = 3; e["Y"] = 1
    e.value(i)                                  # 10.0
    out = e.evaluate(i, X=xs, Y=ys)             # numpy float64 array, failed rows NaN
    qvcalc.evaluate("X^2 + Y", X=xs, Y=ys)      # one-shot, a fresh engine

Engines are strict unless made with strict=False: a name that is no variable fails to compile,
a NaN or infinite input fails its row (NaN out), a failing step fails instead of passing.
"""

from ._core import Engine, __version__

__all__ = ["Engine", "Error", "declare", "evaluate", "__version__"]


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


def declare(engine, names):
    """Makes each of names that the engine does not hold a variable (value 0), so that a strict
    engine compiles expressions that read them."""
    for name in names:
        if isinstance(name, str) and name not in engine:
            engine[name] = 0.0


def evaluate(text, /, *, definitions=(), threads=1, status=False, data=None, strict=True, **columns):
    """Compiles text on a fresh engine, after the user functions in definitions, and evaluates
    it over the columns as Engine.evaluate does. The columns' names are the engine's variables;
    strict=False gives the compatible rules (Engine(strict=False))."""
    engine = Engine(strict=strict)
    for definition in definitions:
        engine.define(definition)
    declare(engine, list(columns) + ([] if data is None else list(data.keys())))
    index = engine.compile(text)
    return engine.evaluate(index, threads=threads, status=status, data=data, **columns)
