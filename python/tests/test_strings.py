"""The strings behind the patterns (Result.strings_of, Pattern.strings) and
the keyword arguments that set conditions on the patterns."""

from __future__ import annotations

import io

from collections.abc import Sequence
from pathlib import Path

import numpy as np
import pytest

import tavrel
from conftest import random_strings, write_database


def holding(strings: Sequence[Sequence[object]], edges: list[tuple[object, object]]) -> list[int]:
    """The positions of the strings that hold every edge: a stands anywhere
    before b."""
    found = []
    for position, string in enumerate(strings):
        where = {label: k for k, label in enumerate(string)}
        if all(a in where and b in where and where[a] < where[b] for a, b in edges):
            found.append(position)
    return found


def test_strings_of_equals_a_brute_force_string_set(tmp_path: Path) -> None:
    for seed in range(12):
        strings = random_strings(seed, 6 + seed, 6)
        strings[seed % len(strings)] = []  # an empty sequence still counts in the positions
        result = tavrel.mine(strings, 1 + seed % 3)
        everyone = result.strings_of()
        assert len(everyone) == len(result) > 0
        for k, pattern in enumerate(result):
            expected = holding(strings, pattern.edges)
            assert everyone[k].dtype == np.int64
            assert everyone[k].tolist() == expected
            assert pattern.strings.tolist() == expected
        some = result.strings_of([len(result) - 1, 0])
        assert [found.tolist() for found in some] == [everyone[-1].tolist(), everyone[0].tolist()]
        assert result.strings_of(-1).tolist() == everyone[-1].tolist()

        kept = [string for string in strings if string]
        spec = write_database(tmp_path, f"db{seed}", kept)
        from_file = tavrel.mine_file(spec, 1 + seed % 3)
        for k, pattern in enumerate(from_file):
            assert from_file.strings_of(k).tolist() == holding(kept, pattern.edges)
        batches = list(tavrel.iter_mine_file(spec, 1 + seed % 3, batch_size=3))
        assert batches[-1].strings_of(-1).tolist() == from_file.strings_of(-1).tolist()


def test_strings_of_over_many_strings_equals_the_brute_force() -> None:
    strings = random_strings(99, 5000, 5)  # blocks of strings, and words they end inside
    result = tavrel.mine(strings, 1200)
    assert len(result) > 5
    for pattern, found in zip(result, result.strings_of()):
        assert found.tolist() == holding(strings, pattern.edges)


def test_strings_of_refuses_what_it_cannot_know(tmp_path: Path) -> None:
    spec = write_database(tmp_path, "db", [[0, 1, 2], [0, 2], [2, 0]])
    result = tavrel.mine_file(spec, 2)
    assert result.strings_of(0).tolist() == [0, 1]
    (tmp_path / "db.db").write_text("3 0 1 2\n2 2 0\n2 2 0\n")
    with pytest.raises(ValueError, match="1 strings of .*db.db hold pattern 1, whose support is 2"):
        result.strings_of(0)
    with pytest.raises(IndexError):
        result.strings_of(len(result))
    read_back = tavrel.read_output(
        io.StringIO(
            " \nPattern 1 Support = 2: \n0-2\t\n\nTotal Runtime: 0 sec.\n"
            "Total Number of patterns: 1\n" + "*" * 47 + "\n"
        )
    )
    with pytest.raises(ValueError, match="keeps no strings"):
        read_back[0].strings


def test_condition_keywords_reach_the_run_and_bad_values_are_refused(tmp_path: Path) -> None:
    strings = [["a", "b", "c"], ["b", "a", "c"], ["a", "c"]]
    spec = write_database(tmp_path, "db", [[0, 1, 2], [1, 0, 2], [0, 2]])
    for call in (
        lambda **kw: tavrel.mine(strings, 1, **kw),
        lambda **kw: tavrel.mine_file(spec, 1, **kw),
        lambda **kw: list(tavrel.iter_mine(strings, 1, **kw)),
        lambda **kw: list(tavrel.iter_mine_file(spec, 1, **kw)),
    ):
        for arguments, message in (
            ({"min_edges": 3, "max_edges": 2}, r"least number of edges \(3\) is above the most \(2\)"),
            ({"min_edges": -1}, "the bounds on a pattern's edges must be at least 1"),
            ({"top": -2}, "top must be at least 1"),
            ({"max_edges": 0}, "max_edges must be at least 1"),
            ({"top": 0}, "top must be at least 1"),
            ({"items": []}, "items must name at least one item"),
        ):
            with pytest.raises(ValueError, match=message):
                call(**arguments)
        call(maximal=True, min_edges=1, max_edges=4, top=2)
    with pytest.raises(ValueError, match="item 'z' is not a label of the sequences"):
        tavrel.mine(strings, 1, items=["a", "z"])
    with pytest.raises(ValueError, match="item 7 is not in the database, whose items are 0 to 2"):
        tavrel.mine_file(spec, 1, items=[0, 7])
    with pytest.raises(TypeError):
        tavrel.mine(strings, 1, maximal=1)
