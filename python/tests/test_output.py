"""Reading the command line's output back, pictures as tavrel-show draws
them, and the pandas tables."""

from __future__ import annotations

import io
import subprocess
from pathlib import Path

import numpy as np
import pytest

import tavrel
from conftest import TAVREL_SHOW, random_strings, run_miner, write_database


def show(*arguments: object) -> str:
    done = subprocess.run([str(TAVREL_SHOW), *map(str, arguments)], capture_output=True, check=True)
    return done.stdout.decode()


def assert_same_patterns(a: tavrel.Result, b: tavrel.Result) -> None:
    for array in ("supports", "offsets", "edge_items"):
        np.testing.assert_array_equal(getattr(a, array), getattr(b, array))


def test_read_output_takes_the_command_lines_output_back(programs: None, tmp_path: Path) -> None:
    strings = random_strings(21, 120, 9)
    text = run_miner(write_database(tmp_path, "db", strings), 12)
    output = tmp_path / "out.txt"
    output.write_text(text)
    mined = tavrel.mine(strings, 12)

    from_path = tavrel.read_output(output)
    assert from_path.ending == "complete" and from_path.labels is None
    assert_same_patterns(from_path, mined)
    assert from_path[:] == mined[:]
    with open(output, "rb") as binary:
        assert_same_patterns(tavrel.read_output(binary), mined)
    assert_same_patterns(tavrel.read_output(io.StringIO(text)), mined)
    with pytest.raises(ValueError, match="no edge table"):
        from_path.edge_table()

    # Cut off inside pattern 4: the three patterns before it are read.
    cut = text[: text.index("Pattern 4 ") + 12]
    partial = tavrel.read_output(io.StringIO(cut))
    assert (partial.ending, partial.complete, partial[:]) == ("cut_off", False, mined[:3])

    # Capped by --max-patterns: whole, but not every pattern.
    capped_text = run_miner(tmp_path / "db.spec", 12, "--max-patterns", "3")
    capped = tavrel.read_output(io.StringIO(capped_text))
    assert (capped.ending, capped.complete, capped[:]) == ("pattern_limit", False, mined[:3])

    broken = tmp_path / "broken.txt"
    broken.write_text(text.replace("Pattern 2 Support", "Pattern 5 Support"))
    with pytest.raises(ValueError, match=rf"^{broken}:5: "):
        tavrel.read_output(broken)
    with pytest.raises(FileNotFoundError):
        tavrel.read_output(tmp_path / "absent.txt")


def test_pictures_are_tavrel_shows(programs: None, tmp_path: Path) -> None:
    strings = random_strings(4, 60, 8)
    output = tmp_path / "out.txt"
    output.write_text(run_miner(write_database(tmp_path, "db", strings), 9))
    mined, read = tavrel.mine(strings, 9), tavrel.read_output(output)
    assert len(mined) > 5
    # One numbering: to_dot(k) draws result[k], pattern number k + 1.
    for index in (0, 1, len(mined) - 1, -1):
        number = mined[index].number
        drawn = show("--format", "dot", "--pattern", number, output)
        assert mined.to_dot(index) == read.to_dot(index) == mined.to_dot(mined[index]) == drawn
        every_edge = show("--format", "dot", "--all-edges", "--pattern", number, output)
        assert mined.to_dot(index, all_edges=True) == every_edge
    for beyond in (len(mined), -len(mined) - 1):
        with pytest.raises(IndexError):
            mined.to_dot(beyond)

    # Labels that are not item numbers: tavrel-show with a table of the labels.
    names = ['say "hi"', "back\\slash", "two\nlines", "Übersicht", "plain", "x", "y", "z"]
    labelled = tavrel.mine([[names[item] for item in string] for string in strings], 9)
    assert labelled.labels is not None
    number_of = {label: item for item, label in enumerate(labelled.labels)}
    in_numbers = [[number_of[names[item]] for item in string] for string in strings]
    output.write_text(run_miner(write_database(tmp_path, "named", in_numbers), 9))
    table = tmp_path / "items.tsv"
    escaped = [str(label).replace("\\", "\\\\").replace("\n", "\\n") for label in labelled.labels]
    table.write_text("".join(f"{item}\t{label}\n" for item, label in enumerate(escaped)))
    for pattern in labelled:
        drawn = show("--format", "dot", "--items", table, "--pattern", pattern.number, output)
        assert labelled.to_dot(pattern) == labelled.to_dot(pattern.number - 1) == drawn


def test_tables_hold_what_iteration_gives() -> None:
    pandas = pytest.importorskip("pandas")
    sequences = [["home", "news", "sport"], ["home", "sport"], ["news", "home", "sport"]] * 3
    result = tavrel.mine(sequences, 4)
    patterns = list(result)
    frame = result.to_pandas()
    assert list(frame.columns) == ["pattern", "support", "size", "edges"]
    records = frame.to_dict("records")
    for record in records:
        record["edges"] = [tuple(pair) for pair in record["edges"].tolist()]
    assert records == [
        {"pattern": p.number, "support": p.support, "size": len(p.edges), "edges": p.edges}
        for p in patterns
    ]
    edges = result.edges_frame()
    assert list(edges.itertuples(index=False, name=None)) == [
        (p.number, before, after) for p in patterns for before, after in p.edges
    ]
    # home->sport in all 9 sequences, news->sport in 6; each other pair in 3 only.
    table = result.edge_table()
    assert list(table.itertuples(index=False, name=None)) == [
        ("home", "sport", 9),
        ("news", "sport", 6),
    ]
    assert isinstance(frame, pandas.DataFrame) and frame.support.dtype == np.int64
    numbers = tavrel.mine([[3, 1], [3, 1], [1, 3]], 2).edges_frame()
    assert numbers.before.dtype == np.int64 and list(numbers.before) == [3]
