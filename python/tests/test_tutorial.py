"""The tutorial of docs/python.md runs as written, prints what it shows,
and finds the patterns of the companion programs' way to the same log."""

from __future__ import annotations

import contextlib
import doctest
import io
import re
import shutil
import subprocess
import textwrap
from collections.abc import Hashable
from pathlib import Path

import pytest

import tavrel
from conftest import EXAMPLES, SOURCE_DIR, TAVREL_PREP, run_miner

BLOCK = re.compile(r"^( *)```(\w+)\n(.*?)^\1```", re.MULTILINE | re.DOTALL)


def test_the_tutorial_runs_as_written(
    programs: None, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    pytest.importorskip("pandas")
    if shutil.which("dot") is None:
        pytest.skip("Graphviz's dot is not installed")
    text = (SOURCE_DIR / "docs/python.md").read_text()
    tutorial = text[text.index("### Tutorial") :]
    blocks = [(kind, textwrap.dedent(body)) for _, kind, body in BLOCK.findall(tutorial)]
    (tmp_path / "examples").symlink_to(EXAMPLES)
    monkeypatch.chdir(tmp_path)
    names: dict[str, object] = {}
    for k, (kind, body) in enumerate(blocks):
        if kind != "python":
            continue
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            exec(compile(body, f"docs/python.md, block {k}", "exec"), names)
        if k + 1 < len(blocks) and blocks[k + 1][0] == "text":
            assert printed.getvalue() == blocks[k + 1][1]
    assert (tmp_path / "pattern_1.svg").is_file() and (tmp_path / "pattern_2.svg").is_file()

    # The same patterns, as sets of labelled edges, as tavrel-prep and the
    # command line find.
    subprocess.run(
        [
            TAVREL_PREP,
            "--format",
            "csv",
            "--case",
            "order_id",
            "--activity",
            "activity",
            "--time",
            "timestamp",
            EXAMPLES / "orders.csv",
            tmp_path / "prep",
        ],
        check=True,
        capture_output=True,
    )
    label: dict[Hashable, str] = {}
    for line in (tmp_path / "prep/orders.items.tsv").read_text().splitlines()[1:]:
        number, name = line.split("\t")
        label[int(number)] = name
    output = io.StringIO(run_miner(tmp_path / "prep/orders.spec", 20))
    expected = {
        (p.support, frozenset((label[a], label[b]) for a, b in p.edges))
        for p in tavrel.read_output(output)
    }
    result = names["result"]
    assert isinstance(result, tavrel.Result)
    assert {(p.support, frozenset(p.edges)) for p in result} == expected


def test_the_docstring_examples_run() -> None:
    failures, tried = doctest.testmod(tavrel)
    assert tried > 0 and failures == 0
