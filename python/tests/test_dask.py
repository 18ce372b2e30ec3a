"""qvcalc.dask on a real cluster: a scheduler and two worker processes on this machine."""

import os

import dask.dataframe as dd
import numpy as np
import pandas as pd
import pytest
from distributed import Client, LocalCluster

import qvcalc
import qvcalc.dask

TEXT = "Hyp(x, y) / LN(x) + T(y * 10) * Rate"


def test_partitions_on_two_worker_processes_equal_one_local_evaluation():
    # The workers import qvcalc from where this process found it.
    here = os.path.dirname(os.path.dirname(os.path.abspath(qvcalc.__file__)))
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [here, os.environ.get("PYTHONPATH")]))
    rng = np.random.default_rng(3)
    rows = 4000
    frame = pd.DataFrame({"x": rng.uniform(-0.5, 3, rows), "y": rng.uniform(0, 1, rows), "label": "r"},
                         index=rng.permutation(rows) * 7 + 1000)
    engine = qvcalc.Engine()
    qvcalc.declare(engine, ["x", "y"])
    engine.define("Hyp(A, B) = SQR(A*A + B*B)")
    engine.array("T(10)")
    for k in range(11):
        engine.set_element("T", k, k / 4)
    engine["Rate"] = 1.5
    local = engine.evaluate(engine.compile(TEXT), data=frame)
    assert 0 < np.isnan(local).sum() < rows  # LN fails on some rows

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, silence_logs=40) as cluster, Client(cluster, timeout=60) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        parts = dd.from_pandas(frame, npartitions=6, sort=False)  # keeps the shuffled index as it is

        shipped = qvcalc.dask.evaluate(parts, TEXT, engine=engine, threads=2)
        result = client.compute(shipped).result(timeout=120)
        assert result.index.equals(frame.index) and result.dtype == np.float64
        assert np.array_equal(result.to_numpy(), local, equal_nan=True)

        plain = qvcalc.dask.evaluate(parts, "Hyp(x, y) / LN(x)", definitions=["Hyp(A, B) = SQR(A*A + B*B)"])
        expected = qvcalc.evaluate("Hyp(x, y) / LN(x)", definitions=["Hyp(A, B) = SQR(A*A + B*B)"], data=frame)
        assert np.array_equal(client.compute(plain).result(timeout=120).to_numpy(), expected, equal_nan=True)

        with pytest.raises(qvcalc.Error) as caught:
            qvcalc.dask.evaluate(parts, "x +")
        assert caught.value.code == 1
