"""Hostile calls and scarce memory end in a Python exception, never in a
crash of the interpreter: each case runs in a child interpreter, so that a
crash fails the test instead of ending pytest."""

from __future__ import annotations

import os
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

import tavrel
from conftest import DATA_DIR, write_database

BIBLE = DATA_DIR / "bible/bible.spec"


def run_child(script: str, *args: str, cwd: Path | None = None) -> subprocess.CompletedProcess[str]:
    """Runs `script` with `args` in a child interpreter that sees this package."""
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(script), *args],
        cwd=cwd,
        env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)},
        capture_output=True,
        text=True,
        timeout=120,
        check=False,
    )


def test_a_label_whose_index_drops_it_from_its_list_is_read_safely() -> None:
    # __index__ empties the list that holds the only reference to the label.
    done = run_child(
        """
        import numbers, tavrel

        class Vanishing:
            def __init__(self, home):
                self.home = home
            def __index__(self):
                self.home.clear()
                return 2**70

        numbers.Integral.register(Vanishing)
        for _ in range(20):
            home = [1, 2]
            home.insert(0, Vanishing(home))
            try:
                tavrel.mine([home, [1, 2], [1, 2]], 1)
            except TypeError as error:  # the label does not sort among ints
                outcome = "TypeError"
        print(outcome)
        """
    )
    assert (done.returncode, done.stdout, done.stderr) == (0, "TypeError\n", "")


def test_thread_counts_beyond_the_command_lines_and_nul_in_paths_are_refused(
    tmp_path: Path,
) -> None:
    spec = write_database(tmp_path, "small", [[0, 1], [0, 1]])
    with pytest.raises(ValueError, match="threads must be between 1 and 4096"):
        tavrel.mine([[1, 2]], 1, threads=100_000)
    with pytest.raises(ValueError, match="threads must be between 1 and 4096"):
        tavrel.mine_file(spec, 1, threads=4097)
    assert len(tavrel.mine([[1, 2], [1, 2]], 1, threads=4096)) == 1
    # The path up to the NUL names a real spec file, which must not be mined.
    with pytest.raises(ValueError, match="null byte"):
        tavrel.mine_file(f"{spec}\0anything", 1)


@pytest.mark.skipif(not BIBLE.is_file(), reason=f"{BIBLE} is not here")
def test_eight_threads_short_of_address_space_raise_memory_error() -> None:
    # Limits from the interpreter's own size up to well past the run's
    # peak: each run completes or raises MemoryError, and the child exits
    # by itself (glibc ends a process whose thread-local data cannot be
    # made with status 127; an abort is a signal).
    script = """
        import resource, sys, tavrel
        size = int(open("/proc/self/status").read().split("VmSize:")[1].split()[0]) * 1024
        limit = size + int(sys.argv[1]) * 2**20
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        try:
            print(len(tavrel.mine_file("bible.spec", 700, threads=8)))
        except MemoryError:
            print("MemoryError")
        """
    outcomes = set()
    for extra_mb in range(0, 480, 20):
        done = run_child(script, str(extra_mb), cwd=BIBLE.parent)
        assert done.returncode == 0, (extra_mb, done.returncode, done.stderr)
        outcomes.add(done.stdout)
    assert outcomes == {"MemoryError\n", "16854\n"}  # both ends were reached
