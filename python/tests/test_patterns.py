"""The module finds the command line's patterns, and those that the
definitions give, whatever the labels."""

from __future__ import annotations

from collections import Counter
from collections.abc import Callable, Hashable, Sequence
from itertools import combinations
from pathlib import Path
from typing import cast

import numpy as np
import pytest

import tavrel
from conftest import EXAMPLES, random_strings, read_database, run_miner, write_database


def output_text(result: tavrel.Result) -> str:
    """The patterns as the command line writes them, up to its closing lines."""
    parts = [" \n"]
    for pattern in result:
        parts.append(f"Pattern {pattern.number} Support = {pattern.support}: \n")
        parts.append("".join(f"{before}-{after}\t" for before, after in pattern.edges) + "\n\n")
    return "".join(parts)


def assert_same_as_command_line(spec: Path, min_sup: int | str, result: tavrel.Result) -> None:
    text = run_miner(spec, min_sup)
    patterns, _, closing = text.partition("Total Runtime: ")
    assert closing, text
    assert output_text(result) == patterns
    assert closing.splitlines()[1] == f"Total Number of patterns: {len(result)}"


def test_the_command_lines_patterns_on_examples_and_generated_databases(
    programs: None, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    cases: list[tuple[Path, int]] = [(EXAMPLES / "clicks.spec", 6), (EXAMPLES / "overview.spec", 2)]
    for seed, count, items, share in [(1, 60, 8, 0.2), (2, 200, 12, 0.3), (3, 40, 20, 0.1)]:
        strings = random_strings(seed, count, items)
        cases.append((write_database(tmp_path, f"random{seed}", strings), int(count * share)))
    for spec, min_sup in cases:
        strings = read_database(spec.parent / f"{spec.stem}.db")
        for threads in (1, None):
            result = tavrel.mine(strings, min_sup, threads=threads)
            assert result.complete and result.min_sup == min_sup
            assert_same_as_command_line(spec, min_sup, result)
        monkeypatch.chdir(spec.parent)  # where the spec file's database name leads
        assert tavrel.mine_file(spec.name, min_sup)[:] == result[:]

        # Labels in the same order as the numbers give the same patterns in
        # the same order, with the same edge order.
        label_ofs: list[Callable[[int], Hashable]] = [
            lambda item: 7 * item - 100,
            lambda item: f"item{item:04d}",
        ]
        for label_of in label_ofs:
            other = tavrel.mine(
                [[label_of(item) for item in string] for string in strings], min_sup
            )
            assert result.labels is not None
            assert other.labels == [label_of(cast(int, label)) for label in result.labels]
            for array in ("supports", "offsets", "edge_items"):
                np.testing.assert_array_equal(getattr(other, array), getattr(result, array))


def brute_force(
    strings: Sequence[Sequence[Hashable]], min_sup: int
) -> tuple[
    dict[tuple[Hashable, Hashable], int], set[tuple[frozenset[tuple[Hashable, Hashable]], int]]
]:
    """The edges with their supports, and the closed patterns with theirs,
    straight from the definitions."""
    counts = Counter(item for string in strings for item in set(string))
    frequent = {item for item, count in counts.items() if count >= min_sup}
    kept = [[item for item in string if item in frequent] for string in strings]
    places = [{item: k for k, item in enumerate(string)} for string in kept]
    holders: dict[tuple[Hashable, Hashable], frozenset[int]] = {}
    for a in frequent:
        for b in frequent - {a}:
            held = [s for s, at in enumerate(places) if a in at and b in at and at[a] < at[b]]
            if len(held) < min_sup:
                continue
            between = [set(kept[s][places[s][a] + 1 : places[s][b]]) for s in held]
            if not set.intersection(*between):
                holders[(a, b)] = frozenset(held)
    patterns = set()
    for size in range(min_sup, len(strings) + 1):
        for group in combinations(range(len(strings)), size):
            common = frozenset(edge for edge, held in holders.items() if held.issuperset(group))
            if common:
                patterns.add((common, len(frozenset.intersection(*(holders[e] for e in common)))))
    return {edge: len(held) for edge, held in holders.items()}, patterns


def assert_as_defined(strings: Sequence[Sequence[Hashable]], min_sup: int) -> tavrel.Result:
    result = tavrel.mine(strings, min_sup)
    edges, patterns = brute_force(strings, min_sup)
    assert {(frozenset(p.edges), p.support) for p in result} == patterns
    assert len(result) == len(patterns)
    # Edges in the output's order: descending support, then ascending item numbers.
    assert result.labels is not None
    number = {label: item for item, label in enumerate(result.labels)}
    order = sorted(edges, key=lambda e: (-edges[e], number[e[0]], number[e[1]]))
    table = result.edge_table()
    assert list(zip(table.before, table.after)) == order
    assert list(table.support) == [edges[e] for e in order]
    for pattern in result:
        assert pattern.edges == [edge for edge in order if edge in set(pattern.edges)]
    return result


def test_patterns_as_defined_on_tiny_databases_with_labels_of_several_types() -> None:
    generator = np.random.default_rng(11)
    for _ in range(25):
        count = int(generator.integers(3, 9))
        strings = random_strings(
            int(generator.integers(1 << 30)), count, int(generator.integers(2, 6))
        )
        assert_as_defined(strings, int(generator.integers(1, count + 1)))

    strings = [[3, 0, 1, 2], [0, 1, 2], [1, 3, 2, 0], [0, 3, 2], [2, 1, 3, 0], [0, 1, 3]]
    letters = [["dcab"[i] for i in string] for string in strings]
    result = assert_as_defined(letters, 2)
    assert result.labels == ["a", "b", "c", "d"]  # sorted
    big = [[2**70 - item * 2**65 for item in string] for string in strings]  # ints past 64 bits
    result = assert_as_defined(big, 2)
    assert result.labels == sorted({2**70 - item * 2**65 for item in range(4)})
    mixed_labels: list[Hashable] = [("case", 1), "b", 2.5, None]
    mixed = [[mixed_labels[i] for i in string] for string in strings]
    result = assert_as_defined(mixed, 3)
    assert result.labels == [None, ("case", 1), "b", 2.5]  # by first appearance
    as_numpy = [np.array(string, dtype=np.int16) for string in strings]
    assert tavrel.mine(as_numpy, 2)[:] == tavrel.mine(strings, 2)[:]
    flags = [np.array([True, False]), np.array([False, True])]  # bools are no ints
    assert tavrel.mine(flags, 1).labels == [True, False]


def test_repeats_and_empty_sequences_are_dropped_and_counted() -> None:
    pandas = pytest.importorskip("pandas")
    events = pandas.DataFrame(
        {
            "case": [1, 1, 1, 1, 2, 2, 3, 3, 3],
            "page": ["home", "news", "home", "sport", "home", "sport", "news", "news", "sport"],
        }
    )
    visits = events.groupby("case")["page"].agg(list)
    result = tavrel.mine([*visits, [], ()], 2)
    assert (result.dropped_repeats, result.dropped_empty, result.string_count) == (2, 2, 3)
    assert result.labels == ["home", "news", "sport"]
    first_only = [["home", "news", "sport"], ["home", "sport"], ["news", "sport"]]
    assert result[:] == tavrel.mine(first_only, 2)[:]


def test_a_share_as_min_sup_is_rounded_up_as_the_command_line_rounds_it(
    programs: None, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    strings = random_strings(5, 30, 6)
    spec = write_database(tmp_path, "shares", strings)
    monkeypatch.chdir(tmp_path)
    # 0.1 * 30 is 3.0000000000000004 in floats; the share is one tenth.
    for share, text, absolute in [(0.1, "10%", 3), (0.5, "0.5", 15), (0.51, "51%", 16)]:
        result = tavrel.mine(strings + [[]], share)
        assert result.min_sup == absolute  # of the 30 non-empty sequences
        from_file = tavrel.mine_file(spec.name, share)
        assert from_file.min_sup == absolute
        assert_same_as_command_line(spec, text, from_file)
        # The command line's text is taken as it takes it.
        assert tavrel.mine(strings, text).min_sup == tavrel.mine_file(spec.name, text).min_sup
        assert tavrel.mine(strings, text)[:] == result[:]
    assert tavrel.mine(strings, 1e-30).min_sup == 1
    typed = {"7": 7, " +7": 7, "12.5%": 4, ".5%": 1, "100%": 30, "0.05": 2, "5.%": 2}
    assert {text: tavrel.mine(strings, text).min_sup for text in typed} == typed
    for refused in ["12.5", "5 %", "5pct", "1e3", "50%%", "0", "0%", "101%", "1.5", "", "%", "٣"]:
        with pytest.raises(ValueError, match="min_sup|share"):
            tavrel.mine(strings, refused)
