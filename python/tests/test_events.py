"""Event logs from pandas: from_events() groups a DataFrame as tavrel-prep's
csv format groups the same file, whatever the row order, and names the
column and row of bad input."""

from __future__ import annotations

import subprocess
from pathlib import Path

import numpy as np
import pytest

import tavrel
from conftest import EXAMPLES, TAVREL_PREP, read_database

pd = pytest.importorskip("pandas")

ORDERS = {"case": "order_id", "activity": "activity", "timestamp": "timestamp"}


def prep_sequences(tmp_path: Path, *options: str) -> list[list[str]]:
    """tavrel-prep's sequences of examples/orders.csv, as labels."""
    out = tmp_path / "prep"
    subprocess.run(
        [TAVREL_PREP, "--format", "csv", "--case", "order_id", "--activity", "activity",
         "--time", "timestamp", *options, EXAMPLES / "orders.csv", out],
        check=True, capture_output=True,
    )  # fmt: skip
    labels = {}
    for line in (out / "orders.items.tsv").read_text().splitlines()[1:]:
        number, name = line.split("\t")
        labels[int(number)] = name
    return [[labels[item] for item in string] for string in read_database(out / "orders.db")]


def pattern_set(result: tavrel.Result) -> set[tuple[int, frozenset]]:
    return {(p.support, frozenset(p.edges)) for p in result}


@pytest.mark.parametrize("repeats", ["drop", "number"])
def test_the_example_log_as_tavrel_prep_reads_it(
    programs: None, tmp_path: Path, repeats: str
) -> None:
    events = pd.read_csv(EXAMPLES / "orders.csv")
    expected = prep_sequences(tmp_path, "--repeats", repeats)
    sequences = tavrel.from_events(events, **ORDERS, repeats=repeats)
    assert list(sequences) == expected
    assert sequences.cases == list(dict.fromkeys(events.order_id))
    assert pattern_set(tavrel.mine_events(events, 20, **ORDERS, repeats=repeats)) == pattern_set(
        tavrel.mine(expected, 20)
    )

    # Shuffled rows, and times as datetimes: each case the same sequence
    # (the log has no equal times within a case), the same patterns.
    shuffled = events.sample(frac=1, random_state=7)
    shuffled["timestamp"] = pd.to_datetime(shuffled["timestamp"])
    again = tavrel.from_events(shuffled, **ORDERS, repeats=repeats)
    assert dict(zip(again.cases, again)) == dict(zip(sequences.cases, sequences))
    assert pattern_set(tavrel.mine(again, 20)) == pattern_set(tavrel.mine(sequences, 20))


def test_order_within_a_case_and_the_default_columns() -> None:
    events = pd.DataFrame(
        {
            "case:concept:name": [2, 1, 2, 1, 2, 1, 2],
            "concept:name": ["c", "x", "a", "y", "b", "x", "a"],
            "time:timestamp": [3.0, 5, 1, 5, 1, 2, 9],
        }
    )
    # Equal times keep their row order; a repeat is dropped or numbered.
    sequences = tavrel.from_events(events)
    assert (sequences, sequences.cases, sequences.dropped_repeats) == (
        [["a", "b", "c"], ["x", "y"]], [2, 1], 2,
    )  # fmt: skip
    assert tavrel.from_events(events, repeats="number") == [["a", "b", "c", "a#2"], ["x", "x#2", "y"]]
    # Without a timestamp column the rows are in time order.
    assert tavrel.from_events(events, timestamp=None, repeats="number") == [
        ["c", "a", "b", "a#2"], ["x", "y", "x#2"],
    ]  # fmt: skip
    assert tavrel.mine_events(events, 2, timestamp=None).dropped_empty == 0


def test_bad_events_name_the_column_and_the_first_bad_row() -> None:
    def frame(**columns: list) -> pd.DataFrame:
        base = {"case": ["a", "a", "b"], "act": ["x", "y", "x"], "time": [1, 2, 3]}
        return pd.DataFrame({**base, **columns}, index=["r1", "r2", "r3"])

    def message(events: pd.DataFrame, **options: object) -> str:
        with pytest.raises(ValueError) as caught:
            tavrel.from_events(events, case="case", activity="act", timestamp="time", **options)
        return str(caught.value)

    assert "column 'time'" in message(frame().rename(columns={"time": "when"}))
    assert "'case'" in message(frame(case=["a", None, "b"])) and "'r2'" in message(
        frame(case=["a", None, "b"])
    )
    assert "'act'" in message(frame(act=["x", "y", np.nan])) and "'r3'" in message(
        frame(act=["x", "y", np.nan])
    )
    assert "'r2'" in message(frame(time=[1, None, 3]))
    mixed = message(frame(time=[1, "2024-01-01", 3]))
    assert "'time'" in mixed and "'r2'" in mixed
    shapes = message(frame(time=["2024-01-02", "2024-1-3", "2024-01-04"]))
    assert "'time'" in shapes and "'r2'" in shapes
    assert "year" in message(frame(time=["03/01/2024", "04/01/2024", "05/01/2024"]))
    repeated = message(frame(act=["x", "x", "y"]), repeats="refuse")
    assert "'act'" in repeated and "'r2'" in repeated
    assert "repeats" in message(frame(), repeats="keep")
