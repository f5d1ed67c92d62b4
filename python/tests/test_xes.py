"""XES event logs: generated logs read by tavrel-prep --format xes and by
tavrel.read_xes() give what the same log as CSV gives; malformed and
hostile files are refused with the line and what is wrong."""

from __future__ import annotations

import gzip
import resource
import subprocess
from datetime import datetime, timedelta, timezone
from pathlib import Path
from xml.sax.saxutils import quoteattr

import numpy as np
import pytest

import tavrel
from conftest import TAVREL_PREP

pd = pytest.importorskip("pandas")


def write_logs(folder: Path, seed: int, timed: bool, packed: bool) -> tuple[Path, Path]:
    """A random XES log (globals, log attributes, nested attributes holding
    concept:name, zones other than UTC, events out of time order) and the
    same events as CSV with UTC times; their paths."""
    rng = np.random.default_rng(seed)
    activities = ["Receive", "Check", "Ship & pay", "Bill <b>", "Close"]
    start = datetime(2024, 3, 1, tzinfo=timezone.utc)
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<log xes.version="1.0">',
             '<global scope="event"><string key="concept:name" value="__INVALID__"/></global>',
             '<string key="concept:name" value="generated"/>']  # fmt: skip
    rows = ["case,activity,time"]
    for case in range(60):
        name = f"case {case}"
        lines += ["<trace>", f'<string key="concept:name" value="{name}"/>',
                  '<list key="tags"><values><string key="concept:name" value="nested"/></values></list>']  # fmt: skip
        for _ in range(int(rng.integers(1, 7))):
            activity = activities[int(rng.integers(len(activities)))]
            when = start + timedelta(minutes=int(rng.integers(0, 600)), microseconds=int(rng.integers(0, 10**6)))
            zone = timezone(timedelta(hours=int(rng.integers(-5, 6))))
            event = [f"<string key=\"concept:name\" value={quoteattr(activity)}>"
                     '<string key="concept:name" value="nested too"/></string>']  # fmt: skip
            if timed:
                event.append(f'<date key="time:timestamp" value="{when.astimezone(zone).isoformat()}"/>')
            lines.append("<event>" + "".join(event) + "</event>")
            rows.append(f'{name},"{activity}",{when.strftime("%Y-%m-%dT%H:%M:%S.%f")}')
        lines.append("</trace>")
    lines.append("</log>")
    xes = folder / ("log.xes.gz" if packed else "log.xes")
    text = "\n".join(lines) + "\n"
    xes.write_bytes(gzip.compress(text.encode()) if packed else text.encode())
    csv = folder / "log.csv"
    csv.write_text("\n".join(rows) + "\n")
    return xes, csv


def prep(*arguments: object) -> subprocess.CompletedProcess[str]:
    return subprocess.run([TAVREL_PREP, *map(str, arguments)], capture_output=True, text=True)


@pytest.mark.parametrize(("timed", "packed"), [(True, False), (False, False), (True, True)])
def test_a_generated_log_reads_as_the_same_csv(
    programs: None, tmp_path: Path, timed: bool, packed: bool
) -> None:
    xes, csv = write_logs(tmp_path, seed=int(timed) + 2 * int(packed), timed=timed, packed=packed)
    time = ["--time", "time"] if timed else []
    assert prep("--format", "xes", xes, tmp_path / "x", "log").returncode == 0
    assert prep("--format", "csv", "--case", "case", "--activity", "activity", *time, csv,
                tmp_path / "c", "log").returncode == 0  # fmt: skip
    for name in ("log.db", "log.spec", "log.items.tsv"):
        assert (tmp_path / "x" / name).read_bytes() == (tmp_path / "c" / name).read_bytes()

    sequences = tavrel.read_xes(xes)
    events = pd.read_csv(csv)
    expected = tavrel.from_events(events, "case", "activity", "time" if timed else None)
    assert (list(sequences), sequences.cases) == (list(expected), expected.cases)
    assert sequences.dropped_repeats == expected.dropped_repeats
    result, again = tavrel.mine(sequences, 6), tavrel.mine(expected, 6)
    assert len(result) > 1 and result.to_pandas().equals(again.to_pandas())


BAD = {
    "not XML": ("<log><trace>\n<event></trace>\n", 2, "mismatch"),
    "no name": ('<log>\n<trace>\n<event><string key="x" value="a"/></event>\n</trace></log>\n', 3,
                "without a concept:name"),
    "bad time": ('<log><trace>\n<event><string key="concept:name" value="a"/>\n'
                 '<date key="time:timestamp" value="2024-13-01T00:00:00"/></event></trace></log>\n', 3,
                 "'2024-13-01T00:00:00' is not an xs:dateTime"),
    "not a log": ("<html>\n<body/></html>\n", 1, "<html>"),
}  # fmt: skip


def test_malformed_and_hostile_logs_are_refused(programs: None, tmp_path: Path) -> None:
    for key, (text, line, what) in BAD.items():
        path = tmp_path / f"{key.replace(' ', '_')}.xes"
        path.write_text(text)
        done = prep("--format", "xes", path, tmp_path / "out")
        assert done.returncode == 1 and f"{path}:{line}: " in done.stderr and what in done.stderr, key
        assert not (tmp_path / "out").exists()
        with pytest.raises(ValueError, match=f":{line}: .*{what}"):
            tavrel.read_xes(path)

    xes, _ = write_logs(tmp_path, seed=5, timed=True, packed=True)
    cut = tmp_path / "cut.xes.gz"
    cut.write_bytes(xes.read_bytes()[:-100])
    done = prep("--format", "xes", cut, tmp_path / "out")
    assert done.returncode == 1 and "ends early" in done.stderr
    with pytest.raises(ValueError, match="ends early"):
        tavrel.read_xes(cut)

    # A billion laughs: refused at its DOCTYPE, in a process of 512 MiB.
    entities = ['<!ENTITY l0 "lol">'] + [
        f'<!ENTITY l{k} "{f"&l{k - 1};" * 10}">' for k in range(1, 10)
    ]
    bomb = tmp_path / "bomb.xes"
    bomb.write_text(f'<?xml version="1.0"?>\n<!DOCTYPE log [{"".join(entities)}]>\n'
                    '<log><trace><event><string key="concept:name" value="&l9;"/></event></trace></log>\n')  # fmt: skip

    def limit() -> None:
        resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20))

    done = subprocess.run([TAVREL_PREP, "--format", "xes", bomb, tmp_path / "out"],
                          capture_output=True, text=True, preexec_fn=limit)  # fmt: skip
    assert done.returncode == 1 and "DOCTYPE" in done.stderr and "not expanded" in done.stderr
    with pytest.raises(ValueError, match="DOCTYPE"):
        tavrel.read_xes(bomb)
