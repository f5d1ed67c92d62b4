"""Times event logs into patterns: tavrel.mine_events() on a DataFrame of
generated events against tavrel-prep --format csv on the same events as a
CSV file followed by the command line (Tavrel.exe, output to /dev/null);
and, with --xes GIGABYTES, the peak memory of tavrel-prep --format xes on
a generated XES log of that size, streamed to it through a pipe (nothing
of the log is written to disk).

    PYTHONPATH=build/python /usr/bin/python3 bench/python_events_bench.py \\
        [--events 1000000] [--min-sup 0.05] [--build build] [--xes 1]

(--events 0 leaves the comparison out: the peak is that of every child
process, so measure the XES log in a run of its own.)

The events: cases of 5 to 15 events over 40 activities in a loose usual
order, ISO 8601 timestamps, rows shuffled.
"""

from __future__ import annotations

import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np
import pandas as pd

import tavrel


def events_frame(count: int, seed: int = 1) -> pd.DataFrame:
    """About `count` events in shuffled rows."""
    rng = np.random.default_rng(seed)
    lengths = rng.integers(5, 16, size=count // 10 + 1)
    lengths = lengths[: np.searchsorted(np.cumsum(lengths), count) + 1]
    cases = np.repeat(np.arange(lengths.size), lengths)
    step = np.concatenate([np.arange(n) for n in lengths])
    activity = np.clip(step * 3 + rng.integers(0, 8, size=step.size), 0, 39)
    seconds = cases * 1000 + step * 60 + rng.integers(0, 50, size=step.size)
    stamps = pd.to_datetime(seconds, unit="s").strftime("%Y-%m-%dT%H:%M:%S")
    frame = pd.DataFrame({"case": cases, "activity": [f"A{a:02d}" for a in activity], "time": stamps})
    return frame.sample(frac=1, random_state=seed).reset_index(drop=True)


def timed(run) -> float:
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def compare(args: argparse.Namespace) -> None:
    frame = events_frame(args.events)
    print(f"{len(frame)} events, {frame.case.nunique()} cases")
    with tempfile.TemporaryDirectory() as folder:
        csv = Path(folder) / "events.csv"
        frame.to_csv(csv, index=False)
        result = None

        def python() -> None:
            nonlocal result
            result = tavrel.mine_events(frame, args.min_sup, case="case", activity="activity", timestamp="time")

        def programs() -> None:
            subprocess.run([args.build / "tools/tavrel-prep", "--format", "csv", "--case", "case",
                            "--activity", "activity", "--time", "time", csv, Path(folder) / "db", "events"],
                           check=True, capture_output=True)  # fmt: skip
            with open(os.devnull, "w") as sink:
                subprocess.run([args.build / "src/Tavrel.exe", "events.spec", str(args.min_sup)],
                               cwd=Path(folder) / "db", check=True, stdout=sink)  # fmt: skip

        grouping = timed(lambda: tavrel.from_events(frame, "case", "activity", "time"))
        print(f"from_events: {grouping:.2f} s")
        print(f"mine_events: {timed(python):.2f} s ({len(result)} patterns)")
        print(f"tavrel-prep + Tavrel.exe: {timed(programs):.2f} s")


def xes_lines(gigabytes: float):
    """The lines of a generated XES log of about that many gigabytes."""
    yield '<?xml version="1.0" encoding="UTF-8"?>\n<log xes.version="1.0">\n'
    rng = np.random.default_rng(3)
    written, case, goal = 0, 0, gigabytes * 1e9
    while written < goal:
        parts = [f'<trace><string key="concept:name" value="case {case}"/>\n']
        for step in range(int(rng.integers(5, 16))):
            parts.append(f'<event><string key="concept:name" value="A{min(39, step * 3 + int(rng.integers(0, 8))):02d}"/>'
                         f'<date key="time:timestamp" value="2024-03-01T10:{step:02d}:00.000+01:00"/>'
                         '<string key="lifecycle:transition" value="complete"/></event>\n')  # fmt: skip
        parts.append("</trace>\n")
        text = "".join(parts)
        written += len(text)
        case += 1
        yield text
    yield "</log>\n"


def xes_memory(args: argparse.Namespace) -> None:
    with tempfile.TemporaryDirectory() as folder:
        start = time.perf_counter()
        prep = subprocess.Popen([args.build / "tools/tavrel-prep", "--format", "xes", "-",
                                 Path(folder) / "db", "log"], stdin=subprocess.PIPE)  # fmt: skip
        size = 0
        for text in xes_lines(args.xes):
            data = text.encode()
            size += len(data)
            prep.stdin.write(data)
        prep.stdin.close()
        prep.wait()
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
        database = (Path(folder) / "db/log.db").stat().st_size / 1e6
        print(f"XES {size / 1e9:.2f} GB through a pipe: {time.perf_counter() - start:.1f} s, "
              f"tavrel-prep's peak resident size {peak:.0f} MB (its database: {database:.0f} MB)")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--events", type=int, default=1_000_000)
    parser.add_argument("--min-sup", default="0.05")
    parser.add_argument("--build", type=Path, default=Path("build"))
    parser.add_argument("--xes", type=float, default=0)
    args = parser.parse_args()
    args.min_sup = float(args.min_sup) if "." in args.min_sup else int(args.min_sup)
    args.build = args.build.resolve()
    if args.events > 0:
        compare(args)
    if args.xes:
        xes_memory(args)


if __name__ == "__main__":
    sys.exit(main())
