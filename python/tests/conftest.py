"""Shared helpers of the module's tests: the command line and tavrel-show as
child processes, and databases written for them.

CTest runs these tests with the built package on PYTHONPATH and the
programs in TAVREL_EXE and TAVREL_SHOW; by hand, from the repository:
``PYTHONPATH=build/python /usr/bin/python3 -m pytest python/tests``.
"""

from __future__ import annotations

import os
import subprocess
from collections.abc import Sequence
from pathlib import Path

import numpy as np
import pytest

SOURCE_DIR = Path(os.environ.get("TAVREL_SOURCE_DIR", Path(__file__).resolve().parents[2]))
TAVREL_EXE = Path(os.environ.get("TAVREL_EXE", SOURCE_DIR / "build/src/Tavrel.exe"))
TAVREL_SHOW = Path(os.environ.get("TAVREL_SHOW", SOURCE_DIR / "build/tools/tavrel-show"))
TAVREL_PREP = Path(os.environ.get("TAVREL_PREP", SOURCE_DIR / "build/tools/tavrel-prep"))
EXAMPLES = SOURCE_DIR / "examples"


def _data_dir() -> Path:
    """The shared real data sets: beside the repository, as CI lays them,
    or in the workplace's shared folder."""
    for folder in (os.environ.get("TAVREL_DATA_DIR"), SOURCE_DIR.parent / "shared/data"):
        if folder and Path(folder).is_dir():
            return Path(folder)
    return Path("/work/shared/data")


DATA_DIR = _data_dir()


def write_database(folder: Path, name: str, strings: Sequence[Sequence[int]]) -> Path:
    """Writes `strings` as NAME.db and NAME.spec in `folder`; returns the
    spec file's path (its first line is the bare database name)."""
    lines = [" ".join(str(item) for item in [len(string), *string]) for string in strings]
    (folder / f"{name}.db").write_text("".join(line + "\n" for line in lines))
    items = 1 + max((max(string) for string in strings if string), default=0)
    longest = max((len(string) for string in strings), default=1)
    (folder / f"{name}.spec").write_text(f"{name}.db\n{items}\n{max(longest, 1)}\n{len(strings)}\n")
    return folder / f"{name}.spec"


def run_miner(spec: Path, min_sup: int | str, *options: str) -> str:
    """The command line's standard output, run from the spec file's folder."""
    done = subprocess.run(
        [str(TAVREL_EXE), *options, spec.name, str(min_sup)],
        cwd=spec.parent,
        capture_output=True,
        check=False,
    )
    return done.stdout.decode()


def read_database(path: Path) -> list[list[int]]:
    """The strings of a database file: each line's items after its count."""
    with open(path) as lines:
        return [[int(item) for item in line.split()[1:]] for line in lines]


def random_strings(seed: int, count: int, items: int) -> list[list[int]]:
    """`count` strings of distinct items below `items`, of random lengths,
    in random orders that favour the items' natural order."""
    generator = np.random.default_rng(seed)
    strings = []
    for _ in range(count):
        length = int(generator.integers(1, items + 1))
        chosen = generator.choice(items, size=length, replace=False)
        keys = chosen + generator.normal(0, items / 3, size=length)
        strings.append([int(item) for item in chosen[np.argsort(keys)]])
    return strings


@pytest.fixture(scope="session")
def programs() -> None:
    """Skips a test when the programs it compares with are not built."""
    for program in (TAVREL_EXE, TAVREL_SHOW, TAVREL_PREP):
        if not program.is_file():
            pytest.skip(f"{program} is not built")
