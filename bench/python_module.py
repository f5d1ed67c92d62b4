"""Times tavrel.mine() on sequences already in Python lists against the
command line's whole run on the same database (started from the data
folder, its output to /dev/null), alternating the two, and prints each
time, the medians and their ratio.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_module.py \\
        [--exe build/src/Tavrel.exe] [--shared ../shared] [--runs 7] [NAME:MIN_SUP ...]

The default cases are msnbc at 990 and sign at 200.
"""

from __future__ import annotations

import argparse
import statistics
import subprocess
import time
from pathlib import Path

import tavrel


def read_database(path: Path) -> list[list[int]]:
    with open(path) as lines:
        return [[int(item) for item in line.split()[1:]] for line in lines]


def main() -> None:
    root = Path(__file__).resolve().parents[1]
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", type=Path, default=root / "build/src/Tavrel.exe")
    parser.add_argument("--shared", type=Path, default=root.parent / "shared")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("cases", nargs="*", default=["msnbc:990", "sign:200"])
    arguments = parser.parse_args()
    for case in arguments.cases:
        name, min_sup = case.split(":")
        folder = arguments.shared / "data" / name
        strings = read_database(folder / f"{name}.db")
        module, command_line = [], []
        for _ in range(arguments.runs):
            start = time.perf_counter()
            result = tavrel.mine(strings, int(min_sup))
            module.append(time.perf_counter() - start)
            start = time.perf_counter()
            subprocess.run(
                [str(arguments.exe.resolve()), f"{name}.spec", min_sup],
                cwd=folder,
                stdout=subprocess.DEVNULL,
                check=True,
            )
            command_line.append(time.perf_counter() - start)
        ratio = statistics.median(module) / statistics.median(command_line)
        print(f"{name} {min_sup}: {len(result)} patterns")
        print("  tavrel.mine  " + " ".join(f"{t:.3f}" for t in module))
        print("  Tavrel.exe   " + " ".join(f"{t:.3f}" for t in command_line))
        print(
            f"  medians {statistics.median(module):.3f} s and "
            f"{statistics.median(command_line):.3f} s: ratio {ratio:.2f}"
        )


if __name__ == "__main__":
    main()
