"""Event logs as sequences: a pandas DataFrame of events (one row per event:
case, activity, timestamp) grouped into one sequence per case, as
tavrel-prep's csv format groups a CSV file."""

from __future__ import annotations

import numbers
import os
from collections.abc import Hashable
from datetime import date, datetime
from typing import TYPE_CHECKING, Any, Optional, Union

import numpy as np

from . import _tavrel
from ._mining import mine
from ._result import Label, Result

if TYPE_CHECKING:
    import pandas as pd

_REPEATS = ("drop", "refuse", "number")


class EventSequences(list):  # type: ignore[type-arg]
    """The sequences of an event log, one list of activities per case, in
    the order in which the cases first appear; :attr:`cases` holds the case
    identifiers in the same order, so ``cases[i]`` names the strings
    behind ``self[i]``. Being a list, it goes to :func:`tavrel.mine` as
    it is.

    Attributes:
        cases: the case identifier of each sequence.
        dropped_repeats: the later occurrences of an activity in a case left
            out (``repeats="drop"``).
    """

    def __init__(self, sequences: list[list[Label]], cases: list[Hashable], dropped: int) -> None:
        super().__init__(sequences)
        self.cases = cases
        self.dropped_repeats = dropped


def from_events(
    events: pd.DataFrame,
    case: Hashable = "case:concept:name",
    activity: Hashable = "concept:name",
    timestamp: Optional[Hashable] = "time:timestamp",
    repeats: str = "drop",
) -> EventSequences:
    """The sequences of an event log held in a DataFrame, one per case.

    Args:
        events: one row per event.
        case: the column of the case identifiers (any hashable values).
        activity: the column of the activities, which become the labels.
        timestamp: the column the events of a case are ordered by (stable
            for equal times: such events keep their row order); None to
            take the row order as the time order. Datetimes, numbers or
            strs; strs must all have one shape (digits in the same places)
            and start with the year, as ISO 8601 times do, as tavrel-prep
            requires of text timestamps.
        repeats: what becomes of an activity's later occurrences in a
            case: ``"drop"`` leaves them out, ``"refuse"`` raises
            ValueError, ``"number"`` makes the second ``a`` the label
            ``"a#2"`` (activities are then taken as strs), as tavrel-prep's
            ``--repeats``.

    Raises:
        ValueError: a named column is missing; a case or activity is missing
            (None, NaN); timestamps are missing or do not compare with each
            other; a repeat with ``repeats="refuse"``. The message names the
            column and the first bad row (by its index label).
    """
    if repeats not in _REPEATS:
        raise ValueError(f"repeats must be one of {', '.join(_REPEATS)}, not {repeats!r}")
    columns = [case, activity] + ([] if timestamp is None else [timestamp])
    for column in columns:
        if column not in events.columns:
            raise ValueError(f"the events have no column {column!r}")
    index = events.index
    case_values = _present(events[case], case, index)
    activity_values = _present(events[activity], activity, index)
    case_codes, case_names = _factorize(case_values, sort=False)
    if timestamp is None:
        order = np.argsort(case_codes, kind="stable")
    else:
        keys = _time_keys(events[timestamp], timestamp, index)
        order = np.lexsort((*reversed(keys), case_codes))
    bounds = np.cumsum(np.bincount(case_codes, minlength=len(case_names)))
    activities = activity_values[order].tolist()
    if repeats == "number":
        activities = [str(label) for label in activities]
    sequences, dropped = _sequences(activities, bounds, order, repeats, activity, index)
    return EventSequences(sequences, list(case_names), dropped)


def mine_events(
    events: pd.DataFrame,
    min_sup: Union[int, float, str],
    *,
    case: Hashable = "case:concept:name",
    activity: Hashable = "concept:name",
    timestamp: Optional[Hashable] = "time:timestamp",
    repeats: str = "drop",
    **options: Any,
) -> Result:
    """Mines the sequences :func:`from_events` makes of `events`: the other
    keyword arguments go to :func:`tavrel.mine`."""
    sequences = from_events(events, case, activity, timestamp, repeats)
    return mine(sequences, min_sup, **options)


def read_xes(path: Union[str, os.PathLike[str]], repeats: str = "drop") -> EventSequences:
    """The traces of an XES event log (``.xes``, or gzip-packed ``.xes.gz``)
    as sequences, read by tavrel-prep's reader, streaming.

    One trace is one sequence of its events' ``concept:name``, in
    ``time:timestamp`` order when its events have one (stable for equal
    times), in file order otherwise; the trace's ``concept:name`` is its
    case identifier. `repeats` as for :func:`from_events`.

    Raises:
        OSError: the file cannot be opened.
        ValueError: the log is malformed (the message names the line and
            what is wrong), holds a DOCTYPE (entities are never expanded),
            or a repeat with ``repeats="refuse"``.
    """
    if repeats not in _REPEATS:
        raise ValueError(f"repeats must be one of {', '.join(_REPEATS)}, not {repeats!r}")
    sequences, cases = _tavrel.read_xes(os.fsdecode(path))
    kept = []
    dropped = 0
    for sequence, name in zip(sequences, cases):
        if len(set(sequence)) != len(sequence):
            try:
                sequence, left_out = _repeats(sequence, repeats, "concept:name", None, None)
            except ValueError:
                raise ValueError(f"{os.fsdecode(path)}: an activity repeats in trace {name!r}") from None
            dropped += left_out
        kept.append(sequence)
    return EventSequences(kept, list(cases), dropped)


def _present(column: pd.Series, name: Hashable, index: pd.Index) -> np.ndarray:
    """The column's values; ValueError naming the first missing one."""
    missing = column.isna().to_numpy()
    if missing.any():
        row = index[int(np.argmax(missing))]
        raise ValueError(f"column {name!r} has a missing value in row {row!r}")
    return column.to_numpy()


def _factorize(values: np.ndarray, sort: bool) -> tuple[np.ndarray, np.ndarray]:
    """Codes 0, 1, ... of the values (by first appearance, or sorted) and
    the distinct values by code."""
    import pandas as pd

    codes, uniques = pd.factorize(values, sort=sort)
    return codes.astype(np.int64, copy=False), np.asarray(uniques, dtype=object)


def _time_keys(column: pd.Series, name: Hashable, index: pd.Index) -> list[np.ndarray]:
    """Sort keys of the timestamps, the first key weighing most: equal
    times have equal keys. ValueError for a missing timestamp, for values
    of kinds that do not compare (a str among numbers, times with and
    without a time zone) and for text that is not all of one shape starting
    with the year."""
    values = _present(column, name, index)
    if column.dtype != object:
        return [_factorize(column, sort=True)[0]]
    _check_kinds(values, name, index)
    if isinstance(values[0], str):
        return _text_keys(values, name, index)
    try:
        return [_factorize(values, sort=True)[0]]
    except TypeError as error:
        raise ValueError(f"column {name!r} holds timestamps that do not compare: {error}") from None


def _text_keys(texts: np.ndarray, name: Hashable, index: pd.Index) -> list[np.ndarray]:
    """Sort keys of text timestamps, which must all have the first one's
    shape (digits in the same places) starting with the year: their order
    is then that of their digits, read in chunks of 18 into int64s."""
    fixed = texts.astype(str)
    points = fixed.view(np.uint32).reshape(len(fixed), -1)
    digit = (points >= ord("0")) & (points <= ord("9"))
    shapes = np.where(digit, ord("9"), points)
    first = "".join(map(chr, shapes[0][shapes[0] != 0]))
    if not first.startswith("9999"):
        raise ValueError(
            f"column {name!r}: the text timestamp {texts[0]!r} in row {index[0]!r} "
            "does not start with the year, so text order is not time order"
        )
    other = (shapes != shapes[0]).any(axis=1)
    if other.any():
        position = int(np.argmax(other))
        raise ValueError(
            f"column {name!r}: the timestamp {texts[position]!r} in row {index[position]!r} is not "
            f"written like {texts[0]!r} of row {index[0]!r}, so text order is not time order"
        )
    values = points[:, digit[0]].astype(np.int64) - ord("0")
    keys = []
    for start in range(0, values.shape[1], 18):
        chunk = values[:, start : start + 18]
        keys.append(chunk @ (10 ** np.arange(chunk.shape[1] - 1, -1, -1, dtype=np.int64)))
    return keys


def _kind(value: object) -> str:
    """What a timestamp is, as far as comparing goes."""
    if isinstance(value, str):
        return "text"
    if isinstance(value, (datetime, np.datetime64)):
        zone = getattr(value, "tzinfo", None)
        return "time with a time zone" if zone is not None else "time"
    if isinstance(value, date):
        return "date"
    if isinstance(value, numbers.Real) and not isinstance(value, bool):
        return "number"
    return type(value).__name__


def _check_kinds(values: np.ndarray, name: Hashable, index: pd.Index) -> None:
    """ValueError naming the first row whose timestamp is not of the first
    row's kind."""
    import pandas as pd

    first = _kind(values[0])
    if first == "text" and pd.api.types.infer_dtype(values, skipna=False) == "string":
        return
    for position, value in enumerate(values):
        kind = _kind(value)
        if kind != first:
            raise ValueError(
                f"column {name!r}: the timestamp {value!r} in row {index[position]!r} is a "
                f"{kind}, which does not compare with the {first} of row {index[0]!r}"
            )


def _sequences(
    activities: list[Any],
    bounds: np.ndarray,
    order: np.ndarray,
    repeats: str,
    name: Hashable,
    index: pd.Index,
) -> tuple[list[list[Any]], int]:
    """The activities, sorted by case and time, cut at `bounds` into one
    sequence per case, with repeats treated as `repeats` says; and the
    number of repeats left out."""
    sequences = []
    dropped = 0
    start = 0
    for end in bounds.tolist():
        sequence = activities[start:end]
        if len(set(sequence)) != len(sequence):
            sequence, left_out = _repeats(sequence, repeats, name, index, order[start:end])
            dropped += left_out
        sequences.append(sequence)
        start = end
    return sequences, dropped


def _repeats(
    sequence: list[Any],
    repeats: str,
    name: Hashable,
    index: Optional[pd.Index],
    rows: Optional[np.ndarray],
) -> tuple[list[Any], int]:
    """A case's sequence with its repeats dropped or numbered; ValueError
    naming the repeat's row when they are refused."""
    seen: dict[Any, int] = {}
    kept = []
    for position, label in enumerate(sequence):
        count = seen.get(label, 0) + 1
        seen[label] = count
        if count == 1:
            kept.append(label)
        elif repeats == "number":
            kept.append(f"{label}#{count}")
        elif repeats == "refuse":
            row = index[int(rows[position])] if index is not None else None
            raise ValueError(f"column {name!r}: {label!r} in row {row!r} repeats in its case")
    return kept, len(sequence) - len(kept)
