"""Formulas over Dask DataFrames, partition by partition, on whatever runs the graph: the local
scheduler, or the workers of a cluster (each imports qvcalc and compiles the formula once for
each partition it evaluates)."""

import copy
import functools

import pandas

import qvcalc


def _partition(part, text, definitions, threads, engine, strict):
    if engine is None:
        values = qvcalc.evaluate(text, definitions=definitions, threads=threads, data=part, strict=strict)
    else:
        qvcalc.declare(engine, part.columns)
        values = engine.evaluate(engine.compile(text), threads=threads, data=part)
    return pandas.Series(values, index=part.index, dtype="float64")


def evaluate(frame, text, definitions=(), threads=1, *, engine=None, strict=True):
    """Evaluates text over a Dask DataFrame, each column feeding the variable of its name, and
    returns a Dask Series of float64 aligned with the frame's index (failed rows NaN).

    definitions are user functions ("Name(P, ...) = body") defined before the text is compiled.
    engine, a prepared qvcalc.Engine, is the alternative that also brings arrays and variables:
    it is pickled to the workers and the text compiled there on a copy of it, under the engine's
    own profile. Otherwise strict=False gives the compatible rules. threads is the number of
    threads a partition is evaluated on. A formula that does not compile raises qvcalc.Error here,
    before anything runs."""
    definitions = tuple(definitions)
    if engine is None:
        check = qvcalc.Engine(strict=strict)
        for definition in definitions:
            check.define(definition)
    else:
        check = copy.deepcopy(engine)  # the caller's engine gets no expression of ours
    qvcalc.declare(check, frame.columns)
    check.compile(text)
    run = functools.partial(_partition, text=text, definitions=definitions, threads=threads, engine=engine,
                            strict=strict)
    return frame.map_partitions(run, meta=pandas.Series(dtype="float64"))
