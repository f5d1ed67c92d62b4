"""Mining sequences and spec files, and reading the command line's output."""

from __future__ import annotations

import math
import numbers
import os
import re
from collections.abc import Callable, Iterable
from fractions import Fraction
from typing import IO, Any, Optional, Union

import numpy as np
import numpy.typing as npt

from . import _tavrel
from ._result import Label, Pattern, Result

#: Called with each pattern as the run finds it; returning False (or any
#: false value other than None) stops the run after that pattern.
PatternCallback = Callable[[Pattern], Any]

_INT_MAX = 2**31 - 1
#: The most threads a run takes, as for the command line's ``--threads``.
MAX_THREADS = 4096


def mine(
    sequences: Iterable[Iterable[Label]],
    min_sup: Union[int, float, str],
    *,
    threads: Optional[int] = None,
    max_patterns: Optional[int] = None,
    on_pattern: Optional[PatternCallback] = None,
    maximal: bool = False,
    min_edges: Optional[int] = None,
    max_edges: Optional[int] = None,
    items: Optional[Iterable[Label]] = None,
    top: Optional[int] = None,
) -> Result:
    """Mines the frequent closed patterns of order relations of `sequences`.

    Args:
        sequences: any iterable of sequences (lists, tuples, numpy arrays,
            a pandas Series of lists, ...), each an iterable of hashable
            labels: strs, ints, tuples, ... A label that occurs again later
            in the same sequence is kept at its first occurrence only, and
            empty sequences are left out (both are counted in the result,
            as :attr:`Result.dropped_repeats` and
            :attr:`Result.dropped_empty`). A str or bytes is not taken as a
            sequence of characters: it raises TypeError.
        min_sup: the least support of a pattern: a number of sequences (an
            int of at least 1), or a share of the (non-empty) sequences as a
            float between 0 and 1, rounded up: 0.5 of 40 sequences is 20,
            0.1 of 25 is 3. The share is taken as written (0.1 is one
            tenth, not the float's binary value). A str is read as the
            command line reads min_sup: ``"20"``, ``"5%"``, ``"12.5%"``,
            ``"0.05"``.
        threads: the number of threads that search, 1 to 4096 as for the
            command line; None for every core the process may use.
        max_patterns: stop after this many patterns (:attr:`Result.ending`
            is then ``"pattern_limit"``); None for no limit.
        on_pattern: called with each :class:`Pattern` as the run finds it,
            in order, on the calling thread. Returning False (or any false
            value other than None) stops the run: the result then ends with
            that pattern. An exception it raises stops the run and is
            raised again by :func:`mine`.
        maximal: only the maximal patterns: those that no other pattern of
            support at least min_sup strictly contains.
        min_edges, max_edges: only the patterns of at least / at most this
            many edges (None: no bound; max_edges at least 1).
        items: only the patterns whose edges involve every one of these
            labels (at most 64; None: no condition).
        top: only the `top` patterns of highest support, ties by the run's
            order (None: all).

    The conditions combine (`top` is taken among the patterns that pass
    the others); the patterns that pass keep the run's order and are
    numbered 1, 2, 3, ... as they come. :meth:`Result.strings_of` tells
    which sequences hold a pattern.

    Labels become item numbers 0, 1, 2, ... (:attr:`Result.labels` holds
    them by number): in the sorted order of the labels when they are all
    ints (numpy's integers count as ints) or all strs, and in the order of
    their first appearance otherwise. With int labels the patterns are
    thus exactly those of the command line on a database of the same
    numbers, in the same order and with their edges in the same order.

    The run does not hold the GIL. Ctrl-C stops it within a fraction of a
    second and raises :class:`Interrupted` (a KeyboardInterrupt) whose
    ``result`` holds the patterns found so far (ending ``"interrupted"``);
    another exception that stops the run partway (a signal handler's,
    ``on_pattern``'s) carries them as its attribute ``result``. For runs
    too large to hold, :func:`iter_mine` hands the patterns over in
    batches.

    Returns:
        The patterns, in the order of the command line's output.

    Raises:
        TypeError: a sequence is not iterable, is a str, or holds an
            unhashable label; or an argument has the wrong type.
        ValueError: an argument is out of range.
        MemoryError: memory ran out.
    """
    count, share = _min_sup_arguments(min_sup)
    thread_count = _thread_count(threads)
    limit = _pattern_limit(max_patterns)
    strings = _tavrel.encode(sequences)
    labels: list[Label] = list(strings.labels)
    conditions = _conditions(maximal, min_edges, max_edges, _label_items(items, labels), top)
    deliver = _deliverer(on_pattern, labels)
    return _run(
        lambda partial: _tavrel.mine_strings(
            strings, count, share, thread_count, limit, conditions, deliver, partial
        ),
        lambda arrays: _strings_result(arrays, strings),
    )


def mine_file(
    spec_path: Union[str, os.PathLike[str]],
    min_sup: Union[int, float, str],
    *,
    threads: Optional[int] = None,
    max_patterns: Optional[int] = None,
    on_pattern: Optional[PatternCallback] = None,
    maximal: bool = False,
    min_edges: Optional[int] = None,
    max_edges: Optional[int] = None,
    items: Optional[Iterable[Label]] = None,
    top: Optional[int] = None,
) -> Result:
    """Mines the string database that a spec file names, exactly as the
    command line ``Tavrel.exe spec_path min_sup`` does: the same checks, the
    same patterns in the same order.

    As for the command line, a relative database name in the spec file's
    first line is taken from the working directory, or, when no such file
    is there, from the spec file's folder. The items are their own labels
    (:attr:`Result.labels` is None). A share as `min_sup` is taken of the
    strings read, rounded up exactly as the command line rounds ``0.05`` or
    ``5%``. The other
    arguments, and what Ctrl-C raises, are those of :func:`mine`, with
    item numbers as `items`.

    Raises:
        ValueError: the spec file or the database is defective or cannot be
            read (or its path holds a NUL character), with the command
            line's message (without its last line end), e.g.
            ``"row #3: error repeated item\\n3 1 2 1"``.
        MemoryError: memory ran out.
    """
    path = _spec_path(spec_path)
    count, share = _min_sup_arguments(min_sup)
    thread_count = _thread_count(threads)
    limit = _pattern_limit(max_patterns)
    conditions = _conditions(maximal, min_edges, max_edges, _item_numbers(items), top)
    deliver = _deliverer(on_pattern, None)
    return _run(
        lambda partial: _tavrel.mine_spec(
            path, count, share, thread_count, limit, conditions, deliver, partial
        ),
        lambda arrays: _spec_result(arrays, path),
    )


def read_output(path_or_file: Union[str, os.PathLike[str], IO[bytes], IO[str]]) -> Result:
    """Reads the output of the command line (``Tavrel.exe spec min_sup >
    out.txt``) into a :class:`Result`, through the same reader as
    tavrel-show.

    `path_or_file` is a path, or a file opened for reading (in binary or
    text mode). The items are their own labels (:attr:`Result.labels` is
    None), and there is no edge table. An output that stops early, as one
    of a run stopped by hand, is read as far as its last complete pattern,
    and :attr:`Result.ending` is then ``"cut_off"``; the output of a run
    stopped by ``--max-patterns`` gives ``"pattern_limit"``.

    Raises:
        OSError: the file cannot be opened or read.
        ValueError: the text is not the miner's output, with the line at
            fault: ``"out.txt:7: <reason>"``.
    """
    if isinstance(path_or_file, (str, os.PathLike)):
        path = os.fspath(path_or_file)
        with open(path, "rb") as file:
            arrays = _tavrel.read_output(file.fileno(), None, path)
    else:
        text = path_or_file.read()
        data = text.encode("utf-8") if isinstance(text, str) else bytes(text)
        name = str(getattr(path_or_file, "name", "the output"))
        arrays = _tavrel.read_output(None, data, name)
    return Result(
        arrays,
        labels=None,
        labels_are_numbers=True,
        ending=_ending_read(arrays),
    )


def _ending_read(arrays: dict) -> str:
    """How the run whose output was read ended, as Result.ending says it."""
    if not arrays["complete"]:
        return "cut_off"
    return "pattern_limit" if arrays["capped"] else "complete"


class Interrupted(KeyboardInterrupt):
    """Ctrl-C (KeyboardInterrupt) stopped :func:`mine` or :func:`mine_file`:
    :attr:`result` holds the patterns found before the run stopped, with
    :attr:`Result.ending` ``"interrupted"``. It is a KeyboardInterrupt, so
    code that catches that goes on working."""

    def __init__(self, result: Result) -> None:
        super().__init__(f"interrupted after {len(result)} patterns; they are in .result")
        self.result = result


def _run(
    call: Callable[[dict[str, Any]], dict[str, Any]],
    make_result: Callable[[dict[str, Any]], Result],
) -> Result:
    """The result of `call` (a run given a dict for its partial result).
    An exception that stops the run partway carries the patterns found so
    far: Ctrl-C as :class:`Interrupted`, others (a signal handler's,
    ``on_pattern``'s) with the attribute ``result``."""
    partial: dict[str, Any] = {}
    try:
        arrays = call(partial)
    except BaseException as error:
        if not partial:
            raise
        result = make_result(partial)
        if type(error) is KeyboardInterrupt:
            raise Interrupted(result).with_traceback(error.__traceback__) from None
        try:
            error.result = result  # type: ignore[attr-defined]
        except AttributeError:  # an exception type without attributes of its own
            pass
        raise
    return make_result(arrays)


def _strings_result(arrays: dict[str, Any], strings: Any, first: int = 0) -> Result:
    """The Result of a run of :func:`mine` on the encoded `strings`."""
    return Result(
        arrays,
        labels=list(strings.labels),
        labels_are_numbers=strings.labels_are_item_numbers,
        ending=arrays["ending"],
        min_sup=arrays["min_sup"],
        string_count=arrays["string_count"],
        frequent_item_count=arrays["frequent_item_count"],
        dropped_repeats=strings.dropped_repeats,
        dropped_empty=strings.dropped_empty,
        first=first,
        source=strings,
    )


def _spec_result(arrays: dict[str, Any], path: str, first: int = 0) -> Result:
    """The Result of a run of :func:`mine_file`."""
    return Result(
        arrays,
        labels=None,
        labels_are_numbers=True,
        ending=arrays["ending"],
        min_sup=arrays["min_sup"],
        string_count=arrays["string_count"],
        frequent_item_count=arrays["frequent_item_count"],
        first=first,
        source=os.path.abspath(path),
    )


def _min_sup_arguments(min_sup: object) -> tuple[int, tuple[int, int]]:
    """`min_sup` as the run takes it: a count, or a share as (numerator,
    denominator) that the run rounds up to a count as the command line does
    (the share (0, 1) is none). A float is the decimal fraction that its
    shortest text writes (0.1 is 1/10, as the command line reads "0.1");
    one whose exact decimal needs more than 18 places is rounded up to 18."""
    if isinstance(min_sup, str):
        return _min_sup_text(min_sup)
    if isinstance(min_sup, bool) or not isinstance(min_sup, numbers.Real):
        raise TypeError(f"min_sup must be an int, a float or a str, not {type(min_sup).__name__}")
    if isinstance(min_sup, numbers.Integral):
        if int(min_sup) < 1:
            raise ValueError(f"min_sup must be at least 1, not {min_sup}")
        return min(int(min_sup), _INT_MAX), (0, 1)
    if not 0.0 < float(min_sup) < 1.0:
        raise ValueError(
            f"min_sup as a share must lie between 0 and 1 (exclusive), not {min_sup}; "
            "give a number of sequences as an int"
        )
    share = Fraction(repr(float(min_sup)))
    places = 10**18
    if share.denominator > places:
        share = Fraction(math.ceil(share * places), places)
    return 1, (share.numerator, share.denominator)


_WHOLE_COUNT = re.compile(r"\+?[0-9]+")
_PERCENT = re.compile(r"([0-9]*)(?:\.([0-9]*))?%")
_FRACTION = re.compile(r"0*\.([0-9]+)")


def _min_sup_text(text: str) -> tuple[int, tuple[int, int]]:
    """`min_sup` typed as on the command line: a whole count ("20"), a
    percentage ("5%", "12.5%") or a decimal share ("0.05"), after any
    blanks; anything else ("12.5", "5 %", "1e3") is a ValueError."""
    typed = text.lstrip(" \t")
    if _WHOLE_COUNT.fullmatch(typed):
        if int(typed) < 1:
            raise ValueError(f"min_sup must be at least 1, not {text!r}")
        return min(int(typed), _INT_MAX), (0, 1)
    percent = _PERCENT.fullmatch(typed)
    fraction = _FRACTION.fullmatch(typed)
    if percent and (percent[1] or percent[2]):
        digits = percent[2] or ""
        share = Fraction(int((percent[1] or "0") + digits), 100 * 10 ** len(digits))
    elif fraction:
        digits = fraction[1]
        share = Fraction(int(digits), 10 ** len(digits))
    else:
        raise ValueError(
            f"min_sup must be a whole number of 1 or more, or a share such as '5%' or '0.05'; "
            f"got {text!r}"
        )
    if len(digits) > 15:
        raise ValueError(f"a share of the strings takes at most 15 digits after the point; got {text!r}")
    if not 0 < share <= 1:
        raise ValueError(f"a share of the strings must lie above 0% and at most 100%; got {text!r}")
    return 1, (share.numerator, share.denominator)


def _spec_path(spec_path: Union[str, os.PathLike[str]]) -> str:
    """The spec file's path as text; ValueError for one with a NUL, which
    the file system would read as the end of a shorter path (as open()
    refuses it)."""
    path = os.fsdecode(os.fspath(spec_path))
    if "\0" in path:
        raise ValueError(f"embedded null byte in the spec file's path {path!r}")
    return path


def _thread_count(threads: object) -> int:
    if threads is None:
        return 0  # every core
    if isinstance(threads, bool) or not isinstance(threads, numbers.Integral):
        raise TypeError(f"threads must be an int or None, not {type(threads).__name__}")
    if not 1 <= int(threads) <= MAX_THREADS:
        raise ValueError(
            f"threads must be between 1 and {MAX_THREADS} (as for the command line), not {threads}"
        )
    return int(threads)


def _pattern_limit(max_patterns: object) -> int:
    if max_patterns is None:
        return 0  # no limit
    if isinstance(max_patterns, bool) or not isinstance(max_patterns, numbers.Integral):
        raise TypeError(f"max_patterns must be an int or None, not {type(max_patterns).__name__}")
    if int(max_patterns) < 1:
        raise ValueError(f"max_patterns must be at least 1, not {max_patterns}")
    return min(int(max_patterns), 2**63 - 1)


Conditions = tuple[bool, int, int, list[int], int]


def _conditions(
    maximal: object, min_edges: object, max_edges: object, items: Optional[list[int]], top: object
) -> Conditions:
    """The conditions on the patterns as the run takes them (0 and [] for
    none). Bounds the library refuses (a negative count, min_edges above
    max_edges, an item outside the database) raise ValueError with its
    message when the run starts."""
    if not isinstance(maximal, bool):
        raise TypeError(f"maximal must be a bool, not {type(maximal).__name__}")
    least = _optional_count("min_edges", min_edges, _INT_MAX)
    most = _optional_count("max_edges", max_edges, _INT_MAX)
    best = _optional_count("top", top, 2**63 - 1)
    for name, value in (("max_edges", max_edges), ("top", top)):
        if value is not None and int(value) == 0:  # type: ignore[call-overload]
            raise ValueError(f"{name} must be at least 1 (None: no bound), not 0")
    if items is not None and len(items) == 0:
        raise ValueError("items must name at least one item (None: no condition)")
    return maximal, least, most, items if items is not None else [], best


def _optional_count(name: str, value: object, most: int) -> int:
    """An optional count as the run takes it: None is 0, a larger value
    than the run holds is `most` (a negative one the library refuses)."""
    if value is None:
        return 0
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an int or None, not {type(value).__name__}")
    return max(min(int(value), most), -1)


def _item_numbers(items: Optional[Iterable[Any]]) -> Optional[list[int]]:
    """Item numbers of a database as the run takes them."""
    if items is None:
        return None
    numbers_given = list(items)
    for item in numbers_given:
        if isinstance(item, bool) or not isinstance(item, numbers.Integral):
            raise TypeError(f"items must be item numbers (ints), not {type(item).__name__}")
        if int(item) > _INT_MAX:
            raise ValueError(f"item {item} is not in the database")
    return [max(int(item), -1) for item in numbers_given]


def _label_items(items: Optional[Iterable[Label]], labels: list[Label]) -> Optional[list[int]]:
    """The item numbers of the labels `items`; ValueError for a label that
    no sequence holds."""
    if items is None:
        return None
    number_of = {label: number for number, label in enumerate(labels)}
    numbers_found = []
    for label in items:
        if label not in number_of:
            raise ValueError(f"item {label!r} is not a label of the sequences")
        numbers_found.append(number_of[label])
    return numbers_found


def _deliverer(
    on_pattern: Optional[PatternCallback], labels: Optional[list[Label]]
) -> Optional[Callable[..., Optional[int]]]:
    """The function that the run calls with each batch of new patterns:
    it hands them to `on_pattern` one by one, and returns how many of the
    batch to keep when `on_pattern` asked to stop."""
    if on_pattern is None:
        return None
    if not callable(on_pattern):
        raise TypeError("on_pattern must be callable")
    callback = on_pattern

    def deliver(
        first: int,
        supports: npt.NDArray[np.int32],
        offsets: npt.NDArray[np.int64],
        edges: npt.NDArray[np.int32],
    ) -> Optional[int]:
        pairs = edges.tolist()
        bounds = offsets.tolist()
        for k, support in enumerate(supports.tolist()):
            batch = pairs[bounds[k] : bounds[k + 1]]
            if labels is None:
                labelled = [(before, after) for before, after in batch]
            else:
                labelled = [(labels[before], labels[after]) for before, after in batch]
            answer = callback(Pattern(first + k + 1, support, labelled))
            if answer is not None and not answer:
                return k + 1
        return None

    return deliver
