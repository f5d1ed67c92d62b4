"""Runs whose patterns come in batches while the search goes on."""

from __future__ import annotations

import os
from collections.abc import Callable, Iterable, Iterator
from typing import Any, Optional, Union

from . import _tavrel
from ._mining import (
    _conditions,
    _item_numbers,
    _label_items,
    _min_sup_arguments,
    _pattern_limit,
    _spec_path,
    _spec_result,
    _strings_result,
    _thread_count,
)
from ._result import Label, Result

#: Patterns per batch unless asked otherwise.
DEFAULT_BATCH = 65536


def iter_mine(
    sequences: Iterable[Iterable[Label]],
    min_sup: Union[int, float, str],
    *,
    threads: Optional[int] = None,
    max_patterns: Optional[int] = None,
    batch_size: int = DEFAULT_BATCH,
    maximal: bool = False,
    min_edges: Optional[int] = None,
    max_edges: Optional[int] = None,
    items: Optional[Iterable[Label]] = None,
    top: Optional[int] = None,
) -> Iterator[Result]:
    """The patterns of :func:`tavrel.mine` as a series of :class:`Result`
    batches of at most `batch_size` patterns each, in the run's order and
    with the run's numbers (``batch[0].number``), found while the batches
    are taken: memory stays that of a few batches however many patterns
    the run finds (the search waits while a batch is not taken).

    Every batch but the last has :attr:`Result.ending` ``"batch"``; the
    last has the run's (``"complete"`` or ``"pattern_limit"``); a run that
    finds nothing yields one empty batch. Closing the iterator early
    (``break`` out of a ``for`` loop, ``close()``, or dropping it) stops the
    search and frees it. Ctrl-C while it waits raises KeyboardInterrupt
    and stops the search; the batches taken are the patterns found.

    The arguments are those of :func:`tavrel.mine`; the run's errors are
    raised when the first batch is asked for.
    """
    count, share = _min_sup_arguments(min_sup)
    thread_count = _thread_count(threads)
    limit = _pattern_limit(max_patterns)
    batch = _batch_size(batch_size)
    strings = _tavrel.encode(sequences)
    conditions = _conditions(
        maximal, min_edges, max_edges, _label_items(items, list(strings.labels)), top
    )
    stream = _tavrel.stream_strings(strings, count, share, thread_count, limit, conditions, batch)
    return _batches(stream, lambda arrays: _strings_result(arrays, strings, arrays["first"]))


def iter_mine_file(
    spec_path: Union[str, os.PathLike[str]],
    min_sup: Union[int, float, str],
    *,
    threads: Optional[int] = None,
    max_patterns: Optional[int] = None,
    batch_size: int = DEFAULT_BATCH,
    maximal: bool = False,
    min_edges: Optional[int] = None,
    max_edges: Optional[int] = None,
    items: Optional[Iterable[Label]] = None,
    top: Optional[int] = None,
) -> Iterator[Result]:
    """The patterns of :func:`tavrel.mine_file` in batches, as
    :func:`iter_mine` gives those of :func:`tavrel.mine`."""
    path = _spec_path(spec_path)
    count, share = _min_sup_arguments(min_sup)
    thread_count = _thread_count(threads)
    limit = _pattern_limit(max_patterns)
    batch = _batch_size(batch_size)
    conditions = _conditions(maximal, min_edges, max_edges, _item_numbers(items), top)
    stream = _tavrel.stream_spec(path, count, share, thread_count, limit, conditions, batch)
    return _batches(stream, lambda arrays: _spec_result(arrays, path, arrays["first"]))


def _batch_size(batch_size: object) -> int:
    if isinstance(batch_size, bool) or not isinstance(batch_size, int):
        raise TypeError(f"batch_size must be an int, not {type(batch_size).__name__}")
    if not 1 <= batch_size <= 2**31 - 1:
        raise ValueError(f"batch_size must be between 1 and {2**31 - 1}, not {batch_size}")
    return batch_size


def _batches(stream: Any, make: Callable[[dict[str, Any]], Result]) -> Iterator[Result]:
    """The batches of `stream`, each made a Result by `make`; one is held
    back until the next is known, so that the last carries the ending."""
    try:
        pending = stream.next()
        while pending is not None:
            following = stream.next()
            pending["ending"] = "batch" if following is not None else stream.ending()
            yield make(pending)
            pending = following
    finally:
        stream.close()
