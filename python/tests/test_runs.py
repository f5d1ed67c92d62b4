"""How runs end: limits, the callback, Ctrl-C, errors, and a large input."""

from __future__ import annotations

import _thread
import gc
import threading
import time
from collections.abc import Callable
from pathlib import Path

import numpy as np
import pytest

import tavrel
from conftest import DATA_DIR, random_strings, read_database, run_miner, write_database

MSNBC = DATA_DIR / "msnbc/msnbc.db"


def long_run_strings() -> list[list[int]]:
    """300 strings of the items 0..99, each sorted by its rank plus noise
    of standard deviation 10: at min_sup 270 a search of minutes."""
    generator = np.random.default_rng(1)
    return [np.argsort(np.arange(100) + generator.normal(0, 10, 100)).tolist() for _ in range(300)]


def test_max_patterns_and_the_callback_stop_the_run_where_asked() -> None:
    strings = random_strings(8, 80, 10)
    whole = tavrel.mine(strings, 8)
    assert len(whole) > 20 and whole.ending == "complete"

    limited = tavrel.mine(strings, 8, max_patterns=20)
    assert (limited.ending, limited.complete) == ("pattern_limit", False)
    assert limited[:] == whole[:20]

    seen: list[tavrel.Pattern] = []
    assert tavrel.mine(strings, 8, on_pattern=seen.append)[:] == whole[:]
    assert seen == whole[:]  # each pattern once, in order

    stopped = tavrel.mine(strings, 8, on_pattern=lambda p: p.number < 13)
    assert (stopped.ending, stopped.complete) == ("stopped", False)
    assert stopped[:] == whole[:13]  # up to the pattern that said stop

    def failing(pattern: tavrel.Pattern) -> None:
        if pattern.number == 5:
            raise RuntimeError("no more")

    with pytest.raises(RuntimeError, match="no more"):
        tavrel.mine(strings, 8, on_pattern=failing)


def test_keyboard_interrupt_stops_a_long_run_soon_and_frees_it() -> None:
    strings = long_run_strings()
    threads_before = threading.active_count()
    for options in [{}, {"threads": 1}, {"on_pattern": lambda pattern: None}]:
        fired: list[float] = []

        def interrupt() -> None:
            fired.append(time.monotonic())
            _thread.interrupt_main()

        timer = threading.Timer(0.3, interrupt)
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            tavrel.mine(strings, 270, **options)  # type: ignore[arg-type]
        assert fired, "the run ended before the interrupt"
        assert time.monotonic() - fired[0] < 1.0
        timer.join()
        assert threading.active_count() == threads_before  # the run's thread has ended
    assert tavrel.mine([[1, 2], [1, 2]], 2)[0].edges == [(1, 2)]


def test_defective_input_raises_the_command_lines_message(
    programs: None, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    monkeypatch.chdir(tmp_path)
    write_database(tmp_path, "good", [[0, 1], [1, 2]])
    databases = {
        "repeat": "2 0 1\n3 1 2 1\n",  # an item twice in a line
        "range": "2 0 1\n2 1 9\n",  # an item past the spec file's count
        "count": "2 0 1\n3 1 2\n",  # fewer items than the line's count says
    }
    specs = {name: f"{name}.db\n3\n3\n2\n" for name in databases}
    specs["missing"] = "absent.db\n3\n3\n2\n"
    specs["values"] = "good.db\n0\n3\n2\n"
    specs["short"] = "good.db\n3\n"
    for name, text in databases.items():
        (tmp_path / f"{name}.db").write_text(text)
    for name, text in specs.items():
        spec = tmp_path / f"{name}.spec"
        spec.write_text(text)
        message = run_miner(spec, 1)
        assert message.startswith(("Error", "row #")), message
        with pytest.raises(ValueError) as raised:
            tavrel.mine_file(spec.name, 1)
        assert str(raised.value) + "\n" == message
    with pytest.raises(ValueError) as raised:
        tavrel.mine_file("nowhere.spec", 0.5)
    assert str(raised.value) + "\n" == run_miner(tmp_path / "nowhere.spec", 1)

    calls: list[tuple[Callable[[], object], type[Exception]]] = [
        (lambda: tavrel.mine(["a b"], 1), TypeError),
        (lambda: tavrel.mine([3], 1), TypeError),  # type: ignore[list-item]
        (lambda: tavrel.mine([[["unhashable"]]], 1), TypeError),  # type: ignore[list-item]
        (lambda: tavrel.mine([[1]], 0), ValueError),
        (lambda: tavrel.mine([[1]], 1.0), ValueError),
        (lambda: tavrel.mine([[1]], b"2"), TypeError),  # type: ignore[arg-type]
        (lambda: tavrel.mine([[1]], 1, threads=100_000), ValueError),
        (lambda: tavrel.mine([[1]], 1, threads=0), ValueError),
        (lambda: tavrel.mine([[1]], 1, max_patterns=0), ValueError),
    ]
    for call, error in calls:
        with pytest.raises(error):
            call()


@pytest.mark.skipif(not MSNBC.is_file(), reason=f"{MSNBC} is not here")
def test_a_million_strings_are_kept_in_arrays_not_objects(monkeypatch: pytest.MonkeyPatch) -> None:
    strings = read_database(MSNBC)
    assert len(strings) > 900_000
    gc.collect()
    objects_before = len(gc.get_objects())
    result = tavrel.mine(strings, 990)
    assert len(gc.get_objects()) - objects_before < 100 < len(result)
    for array, kind in [(result.supports, np.int32), (result.offsets, np.int64)]:
        assert isinstance(array, np.ndarray) and array.dtype == kind
    assert result.edge_items.dtype == np.int32 and result.edge_items.shape == (
        result.offsets[-1],
        2,
    )
    monkeypatch.chdir(MSNBC.parent)
    assert tavrel.mine_file("msnbc.spec", 990)[:] == result[:]


def test_ctrl_c_and_a_failing_callback_keep_what_was_found() -> None:
    strings = long_run_strings()
    timer = threading.Timer(0.5, _thread.interrupt_main)
    timer.start()
    with pytest.raises(tavrel.Interrupted) as raised:
        tavrel.mine(strings, 270, threads=1)
    timer.join()
    kept = raised.value.result
    assert isinstance(raised.value, KeyboardInterrupt)
    assert (kept.ending, kept.complete) == ("interrupted", False) and len(kept) > 0
    # The patterns kept are the first of the whole run's, in its order.
    first = tavrel.mine(strings, 270, threads=1, max_patterns=len(kept))
    for name in ("supports", "offsets", "edge_items"):
        assert np.array_equal(getattr(kept, name), getattr(first, name))

    def failing(pattern: tavrel.Pattern) -> None:
        if pattern.number == 5:
            raise RuntimeError("no more")

    with pytest.raises(RuntimeError) as failed:
        tavrel.mine(random_strings(8, 80, 10), 8, on_pattern=failing)
    assert len(failed.value.result) >= 5  # type: ignore[attr-defined]

