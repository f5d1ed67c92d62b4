"""Times the Python module against the command line's whole run.

For each case NAME:MIN_SUP (a folder of the shared data), in rounds that
interleave the contenders, it times

  * Tavrel.exe NAME.spec MIN_SUP > /dev/null, started from the data folder
    (the process's whole run: start, reading, search, writing the text);
  * tavrel.mine_file("NAME.spec", MIN_SUP) in this process, from the same
    folder (reading, search, the patterns into numpy arrays);
  * with --lists, tavrel.mine() on the strings already in Python lists
    (turning the lists into the library's strings, search, arrays);

and prints each wall-clock time, the medians of wall-clock and processor
time (user and system, all threads) and their ratios to the command
line's medians; on a machine shared with other work the processor times
vary less.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py \\
        [--exe build/src/Tavrel.exe] [--data /work/shared/data] [--runs 3] \\
        [--threads N] [--lists] [NAME:MIN_SUP ...]

The default cases are msnbc:990 and sign:200. Both contenders search on
every core unless --threads says otherwise.

With --pandas it measures instead, for each case, what the tables cost:
the time of to_pandas() and edges_frame() on the case's result, and the
memory each adds (the growth of the process's peak resident size, each
table made in a child process of its own), per pattern and per edge.
"""

from __future__ import annotations

import argparse
import os
import resource
import statistics
import subprocess
import sys
import time
from collections.abc import Callable
from pathlib import Path

import tavrel


def read_database(path: Path) -> list[list[int]]:
    """The strings of a database file: each line's items after its count."""
    with open(path) as lines:
        return [[int(item) for item in line.split()[1:]] for line in lines]


def cpu_seconds() -> float:
    """The processor time (user and system) of this process and its ended
    children so far: the module's threads and the command line's runs."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def timed(run: Callable[[], object]) -> tuple[float, float, object]:
    """The wall-clock and processor seconds that `run` takes, and what it
    returned."""
    start, start_cpu = time.perf_counter(), cpu_seconds()
    value = run()
    return time.perf_counter() - start, cpu_seconds() - start_cpu, value


TABLE_CHILD = """
import resource, sys, time, tavrel
result = tavrel.mine_file(sys.argv[1], int(sys.argv[2]))
import pandas
base = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
started = time.perf_counter()
table = getattr(result, sys.argv[3])()
seconds = time.perf_counter() - started
grown = (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - base) * 1024
print(len(result), len(result.edge_items), seconds, grown)
"""


def measure_tables(data: Path, name: str, min_sup: str) -> None:
    """Prints the time and the memory of to_pandas() and edges_frame() on
    the patterns of NAME at MIN_SUP, each in a child process."""
    print(f"{name} {min_sup}:")
    for method in ("to_pandas", "edges_frame"):
        done = subprocess.run(
            [sys.executable, "-c", TABLE_CHILD, f"{name}.spec", min_sup, method],
            cwd=data / name,
            env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)},
            capture_output=True,
            text=True,
            check=True,
        )
        patterns, edges, seconds, grown = done.stdout.split()
        count, size = int(patterns), int(grown)
        print(
            f"  {method:12} {count} patterns, {edges} edges: {float(seconds):.2f} s, "
            f"{size / 2**20:.0f} MB = {size / max(count, 1):.0f} bytes per pattern"
            f" = {size / max(int(edges), 1):.1f} per edge"
        )


def main() -> None:
    root = Path(__file__).resolve().parents[1]
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", type=Path, default=root / "build/src/Tavrel.exe")
    parser.add_argument("--data", type=Path, default=Path("/work/shared/data"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--threads", type=int, default=None)
    parser.add_argument("--lists", action="store_true", help="time mine() on Python lists too")
    parser.add_argument("--pandas", action="store_true", help="measure the tables instead")
    parser.add_argument("cases", nargs="*", default=["msnbc:990", "sign:200"])
    arguments = parser.parse_args()
    if arguments.pandas:
        for case in arguments.cases:
            measure_tables(arguments.data, *case.split(":"))
        return
    exe = str(arguments.exe.resolve())
    thread_options = [] if arguments.threads is None else ["--threads", str(arguments.threads)]
    for case in arguments.cases:
        name, min_sup = case.split(":")
        os.chdir(arguments.data / name)
        spec = f"{name}.spec"
        strings = read_database(Path(f"{name}.db")) if arguments.lists else None
        contenders: dict[str, Callable[[], object]] = {
            "Tavrel.exe": lambda: subprocess.run(
                [exe, *thread_options, spec, min_sup], stdout=subprocess.DEVNULL, check=True
            ),
            "mine_file": lambda: len(
                tavrel.mine_file(spec, int(min_sup), threads=arguments.threads)
            ),
        }
        if strings is not None:
            lists = strings
            contenders["mine(lists)"] = lambda: len(
                tavrel.mine(lists, int(min_sup), threads=arguments.threads)
            )
        times: dict[str, list[float]] = {contender: [] for contender in contenders}
        cpu: dict[str, list[float]] = {contender: [] for contender in contenders}
        patterns = 0
        for _ in range(arguments.runs):
            for contender, run in contenders.items():
                seconds, cpu_used, value = timed(run)
                times[contender].append(seconds)
                cpu[contender].append(cpu_used)
                if isinstance(value, int):
                    patterns = value
        wall_base = statistics.median(times["Tavrel.exe"])
        cpu_base = statistics.median(cpu["Tavrel.exe"])
        print(f"{name} {min_sup}: {patterns} patterns; wall-clock s, then processor s")
        for contender, values in times.items():
            wall, used = statistics.median(values), statistics.median(cpu[contender])
            print(
                f"  {contender:12} "
                + " ".join(f"{t:6.3f}" for t in values)
                + f"  median {wall:.3f} ({wall / wall_base:.2f} x)   "
                + f"cpu median {used:.3f} ({used / cpu_base:.2f} x)"
            )


if __name__ == "__main__":
    main()
