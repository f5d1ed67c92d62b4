"""Runs taken in batches while they search, and tables sized before they
are built."""

from __future__ import annotations

import threading
import time
from pathlib import Path

import numpy as np
import pytest

import tavrel
from conftest import DATA_DIR, random_strings
from test_hostile import run_child
from test_runs import long_run_strings

SIGN = DATA_DIR / "sign/sign.spec"


def test_the_batches_are_the_whole_run_and_closing_stops_it(tmp_path: Path) -> None:
    strings = random_strings(8, 200, 12)
    whole = tavrel.mine(strings, 30)
    assert len(whole) > 1000
    batches = list(tavrel.iter_mine(strings, 30, batch_size=300))
    assert [len(batch) for batch in batches[:-1]] == [300] * (len(batches) - 1)
    assert [batch.ending for batch in batches] == ["batch"] * (len(batches) - 1) + ["complete"]
    assert [p for batch in batches for p in batch] == whole[:]
    for name in ("supports", "edge_items"):
        parts = [getattr(batch, name) for batch in batches]
        assert np.array_equal(np.concatenate(parts), getattr(whole, name))
    sizes = np.concatenate([np.diff(batch.offsets) for batch in batches])
    assert np.array_equal(sizes, np.diff(whole.offsets))
    assert batches[3].to_dot(0) == whole.to_dot(900)
    assert list(batches[1].to_pandas().pattern) == list(range(301, 601))

    limited = list(tavrel.iter_mine(strings, 30, max_patterns=700, batch_size=300))
    assert [batch.ending for batch in limited] == ["batch", "batch", "pattern_limit"]
    nothing = list(tavrel.iter_mine([[1], [2]], 2))
    assert [(len(batch), batch.ending) for batch in nothing] == [(0, "complete")]
    (tmp_path / "bad.db").write_text("2 0 1\n3 1 2 1\n")
    (tmp_path / "bad.spec").write_text(f"{tmp_path / 'bad.db'}\n3\n3\n2\n")
    with pytest.raises(ValueError, match="row #2"):
        next(tavrel.iter_mine_file(tmp_path / "bad.spec", 1))

    # Closing early stops a search of minutes and frees its thread.
    threads_before = threading.active_count()
    started = time.monotonic()
    long_run = tavrel.iter_mine(long_run_strings(), 270, batch_size=10)
    assert [p.number for p in next(long_run)] == list(range(1, 11))
    long_run.close()
    assert threading.active_count() == threads_before
    assert time.monotonic() - started < 60  # not the minutes of the whole search


@pytest.mark.skipif(not SIGN.is_file(), reason=f"{SIGN} is not here")
def test_batches_hold_a_fraction_of_the_run() -> None:
    # 5.7 million patterns, 480 MB as arrays: taken in batches, the peak
    # grows by well under half of that (136 MB when measured).
    done = run_child(
        """
        import resource, tavrel
        base = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
        total = 0
        for batch in tavrel.iter_mine_file("sign.spec", 135):
            total += batch.supports.nbytes + batch.offsets.nbytes + batch.edge_items.nbytes
        growth = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024 - base
        print(total > 400 * 2**20, growth < total / 2)
        """,
        cwd=SIGN.parent,
    )
    assert (done.stdout, done.stderr) == ("True True\n", "")


def test_to_pandas_refuses_before_memory_runs_out() -> None:
    # Less address space left than the frame needs: a clear MemoryError
    # before anything is built, while edges_frame() still fits.
    done = run_child(
        """
        import resource, pandas, tavrel
        from conftest import random_strings
        result = tavrel.mine(random_strings(8, 200, 12), 10)
        size = int(open("/proc/self/status").read().split("VmSize:")[1].split()[0]) * 1024
        resource.setrlimit(resource.RLIMIT_AS, (size + 2**16, resource.RLIM_INFINITY))
        try:
            result.to_pandas()
        except MemoryError as error:
            print(len(result), error)
        """
    )
    assert "to_pandas() would need about" in done.stdout, done.stderr
