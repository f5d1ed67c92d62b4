"""The patterns of a run, kept in flat numpy arrays."""

from __future__ import annotations

import operator
import resource
from collections.abc import Hashable, Iterable, Iterator, Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, Optional, Union, overload

import numpy as np
import numpy.typing as npt

from . import _tavrel

if TYPE_CHECKING:  # pandas is needed only for the tables
    import pandas as pd

#: A label of the sequences: any hashable value (a str, an int, a tuple, ...).
Label = Hashable


@dataclass(frozen=True, slots=True)
class Pattern:
    """One frequent closed pattern.

    Attributes:
        number: the pattern's number in the run, from 1, as the command
            line's output numbers it.
        support: the number of sequences that hold all of its edges.
        edges: the edges as ``(before, after)`` pairs of labels, in the
            output's edge order (descending support of the edge, ties by
            ascending item numbers).
        strings: (a property) the positions of the sequences that hold the
            pattern, as :meth:`Result.strings_of` gives them; computed when
            asked, for a pattern taken from a result.
    """

    number: int
    support: int
    edges: list[tuple[Label, Label]]
    _result: Optional["Result"] = field(default=None, repr=False, compare=False)
    _index: int = field(default=-1, repr=False, compare=False)

    @property
    def strings(self) -> npt.NDArray[np.int64]:
        """The positions (from 0) of the sequences that hold the pattern."""
        if self._result is None:
            raise ValueError("the strings are known only for a pattern taken from a Result")
        return self._result.strings_of(self._index)

    def _repr_svg_(self) -> str:
        """The picture of its Hasse diagram, for notebooks (see _display.py)."""
        from ._display import pattern_svg

        return pattern_svg(self)


def _read_only(array: npt.NDArray[Any]) -> npt.NDArray[Any]:
    array.flags.writeable = False
    return array


class Result(Sequence[Pattern]):
    """The patterns of a run, in the search's order (the order of the
    command line's output), stored compactly in numpy arrays.

    A result is a sequence of :class:`Pattern`: ``len(result)``,
    ``result[0]`` (the pattern numbered 1), ``result[-1]``, slices and
    iteration make the pattern objects as they are asked for. The tables
    :meth:`to_pandas`, :meth:`edges_frame` and :meth:`edge_table` need
    pandas; nothing else does.

    Results come from :func:`tavrel.mine`, :func:`tavrel.mine_file` and
    :func:`tavrel.read_output`.

    Attributes:
        complete: True when the result holds every pattern; False when the
            run stopped at ``max_patterns`` or when ``on_pattern`` stopped it,
            and for an output read back that was cut off before its closing
            lines.
        ending: how the run ended: ``"complete"``, ``"pattern_limit"``
            (``max_patterns`` patterns were found) or ``"stopped"``
            (``on_pattern`` returned False); for an output read back,
            ``"complete"``, ``"pattern_limit"`` (the run stopped at
            ``--max-patterns``) or ``"cut_off"``.
        min_sup: the least support of a pattern, as a number of sequences
            (a share given to :func:`tavrel.mine` is turned into one); None
            for an output read back.
        string_count: the number of sequences mined, empty ones left out;
            None for an output read back.
        frequent_item_count: the number of labels that at least ``min_sup``
            sequences hold; None for an output read back.
        dropped_repeats: later occurrences of a label in a sequence, left
            out (only the first occurrence counts).
        dropped_empty: empty sequences, left out.
        labels: the label of each item number, the numbering the arrays
            use; None when the items are their own labels (the item numbers
            of a spec file or an output).
    """

    __slots__ = (
        "_supports",
        "_offsets",
        "_edges",
        "_edge_table",
        "labels",
        "_labels_are_numbers",
        "_label_values",
        "complete",
        "ending",
        "min_sup",
        "string_count",
        "frequent_item_count",
        "dropped_repeats",
        "dropped_empty",
        "_first",
        "_source",
    )

    def __init__(
        self,
        arrays: dict[str, Any],
        *,
        labels: Optional[list[Label]],
        labels_are_numbers: bool,
        ending: str,
        min_sup: Optional[int] = None,
        string_count: Optional[int] = None,
        frequent_item_count: Optional[int] = None,
        dropped_repeats: int = 0,
        dropped_empty: int = 0,
        first: int = 0,
        source: Any = None,
    ) -> None:
        """Takes the arrays of a run or of an output read back; results are
        made by :func:`tavrel.mine`, :func:`tavrel.mine_file` and
        :func:`tavrel.read_output`, not by hand."""
        self._supports: npt.NDArray[np.int32] = _read_only(arrays["supports"])
        self._offsets: npt.NDArray[np.int64] = _read_only(arrays["offsets"])
        self._edges: npt.NDArray[np.int32] = _read_only(arrays["edges"])
        table = arrays.get("edge_table")
        self._edge_table: Optional[npt.NDArray[np.int32]] = (
            None if table is None else _read_only(table)
        )
        self.labels = labels
        self._labels_are_numbers = labels_are_numbers
        self._label_values: Optional[npt.NDArray[Any]] = None
        self.ending = ending
        self.complete = ending == "complete"
        self.min_sup = min_sup
        self.string_count = string_count
        self.frequent_item_count = frequent_item_count
        self.dropped_repeats = dropped_repeats
        self.dropped_empty = dropped_empty
        self._first = first  # the run's patterns before this result's (a batch's)
        # The strings mined, for strings_of(): the encoded sequences of
        # mine(), the spec file's path of mine_file(), or None.
        self._source = source

    # The arrays -----------------------------------------------------------

    @property
    def supports(self) -> npt.NDArray[np.int32]:
        """The support of each pattern (read-only; index k is pattern k + 1)."""
        return self._supports

    @property
    def offsets(self) -> npt.NDArray[np.int64]:
        """Where each pattern's edges are in :attr:`edge_items`: pattern
        k + 1 has the rows ``offsets[k]`` to ``offsets[k + 1]`` (read-only)."""
        return self._offsets

    @property
    def edge_items(self) -> npt.NDArray[np.int32]:
        """The edges of all patterns, one ``(before, after)`` row of item
        numbers each (see :attr:`labels`), in the output's edge order
        (read-only)."""
        return self._edges

    # The sequence of patterns ---------------------------------------------

    def __len__(self) -> int:
        return len(self._supports)

    @overload
    def __getitem__(self, index: int) -> Pattern:
        ...

    @overload
    def __getitem__(self, index: slice) -> list[Pattern]:
        ...

    def __getitem__(self, index: Union[int, slice]) -> Union[Pattern, list[Pattern]]:
        if isinstance(index, slice):
            return [self._pattern(k) for k in range(*index.indices(len(self)))]
        return self._pattern(self._position(index))

    def _position(self, index: int) -> int:
        """The index `index` (from 0, negative from the end) checked."""
        count = len(self)
        position = operator.index(index)
        if position < 0:
            position += count
        if not 0 <= position < count:
            raise IndexError(f"pattern index {index} out of range for {count} patterns")
        return position

    def __iter__(self) -> Iterator[Pattern]:
        offsets = self._offsets.tolist()
        supports = self._supports.tolist()
        for start in range(0, len(supports), 4096):  # a block of edges at a time
            stop = min(start + 4096, len(supports))
            pairs = self._edges[offsets[start] : offsets[stop]].tolist()
            base = offsets[start]
            for k in range(start, stop):
                edges = self._label_pairs(pairs[offsets[k] - base : offsets[k + 1] - base])
                yield Pattern(self._first + k + 1, supports[k], edges, self, k)

    def __repr__(self) -> str:
        parts = [f"{len(self)} patterns"]
        if self.min_sup is not None:
            parts.append(f"min_sup {self.min_sup}")
        if self.string_count is not None:
            parts.append(f"{self.string_count} strings")
        if not self.complete:
            parts.append(self.ending.replace("_", " "))
        return f"<tavrel.Result: {', '.join(parts)}>"

    def _pattern(self, index: int) -> Pattern:
        start, stop = int(self._offsets[index]), int(self._offsets[index + 1])
        edges = self._label_pairs(self._edges[start:stop].tolist())
        return Pattern(self._first + index + 1, int(self._supports[index]), edges, self, index)

    # The strings behind the patterns -----------------------------------------

    @overload
    def strings_of(self, which: int) -> npt.NDArray[np.int64]:
        ...

    @overload
    def strings_of(self, which: Optional[Iterable[int]] = None) -> list[npt.NDArray[np.int64]]:
        ...

    def strings_of(
        self, which: Union[int, Iterable[int], None] = None
    ) -> Union[npt.NDArray[np.int64], list[npt.NDArray[np.int64]]]:
        """The strings that hold patterns: for the index `which` (as in
        ``result[which]``, negative from the end), an int64 array of the
        positions (from 0, ascending) of the sequences that hold every edge
        of that pattern; for an iterable of indices, a list of such arrays;
        for None, one per pattern of the result.

        The positions are those of the sequences given to
        :func:`tavrel.mine` (empty ones count), or the lines (from 0) of
        the database of :func:`tavrel.mine_file`. The strings are looked
        at once for all the patterns asked for (the database is read once
        per call): ask for many at a time rather than one by one.

        Raises:
            ValueError: the result was read back from an output, which
                keeps no strings; or the database of :func:`tavrel.mine_file`
                is no longer the one mined (tavrel-show --strings' checks).
            IndexError: an index out of range.
        """
        if which is None:
            indices = list(range(len(self)))
        elif isinstance(which, (int, np.integer)):
            return self._strings_of([self._position(int(which))])[0]
        else:
            indices = [self._position(int(k)) for k in which]
        return self._strings_of(indices)

    def _strings_of(self, indices: list[int]) -> list[npt.NDArray[np.int64]]:
        """The strings of the patterns at the checked `indices`, in one pass."""
        which = np.asarray(indices, dtype=np.int64)
        arrays = (self._supports, self._offsets, self._edges, which)
        if isinstance(self._source, str):
            return list(_tavrel.strings_of_spec(self._source, *arrays))
        if self._source is None:
            raise ValueError("a result read back from an output keeps no strings")
        return list(_tavrel.strings_of_sequences(self._source, *arrays))

    def _label_pairs(self, pairs: list[list[int]]) -> list[tuple[Label, Label]]:
        labels = self.labels
        if labels is None:
            return [(before, after) for before, after in pairs]
        return [(labels[before], labels[after]) for before, after in pairs]

    def _label_column(self, items: npt.NDArray[np.int32]) -> npt.NDArray[Any]:
        """The labels of the item numbers `items`: int labels as int64,
        others as Python objects."""
        if self.labels is None:
            return items.astype(np.int64)
        if self._label_values is None:
            labels = self.labels
            values: Optional[npt.NDArray[Any]] = None
            if all(type(label) is int for label in labels):
                try:
                    values = np.array(labels, dtype=np.int64)
                except OverflowError:
                    pass
            if values is None:
                values = np.empty(len(labels), dtype=object)
                for item, label in enumerate(labels):
                    values[item] = label
            self._label_values = values
        return self._label_values[items]

    # Tables ------------------------------------------------------------------

    def to_pandas(self) -> pd.DataFrame:
        """One row per pattern: ``pattern`` (its number), ``support``,
        ``size`` (its number of edges) and ``edges``: its ``(before, after)``
        label pairs as a numpy array of ``size`` rows and 2 columns, a view
        into one array of every edge (``.tolist()`` gives the pairs as
        lists). The frame's index is the pattern's index in the result.

        Raises:
            MemoryError: before anything is built, when the frame would
                need more memory than the machine (or the process's limit)
                has free; :meth:`edges_frame` needs less, and
                :func:`tavrel.iter_mine` hands the patterns over in batches.
        """
        import pandas as pd

        count = len(self)
        _check_memory(
            "to_pandas()", count * _FRAME_BYTES_PER_PATTERN + len(self._edges) * _FRAME_BYTES_PER_EDGE
        )
        pairs = self._label_column(self._edges.reshape(-1)).reshape(-1, 2)
        edges = np.empty(count, dtype=object)
        bounds = self._offsets.tolist()
        for k in range(count):  # one by one: a list of arrays would be made into one array
            edges[k] = pairs[bounds[k] : bounds[k + 1]]
        return pd.DataFrame(
            {
                "pattern": np.arange(self._first + 1, self._first + count + 1, dtype=np.int64),
                "support": self._supports.astype(np.int64),
                "size": np.diff(self._offsets),
                "edges": edges,
            }
        )

    def edges_frame(self) -> pd.DataFrame:
        """One row per edge of each pattern: ``pattern`` (its number),
        ``before`` and ``after`` (the labels), in the order of the patterns
        and of their edges."""
        import pandas as pd

        first = self._first + 1
        numbers = np.repeat(
            np.arange(first, first + len(self), dtype=np.int64), np.diff(self._offsets)
        )
        return pd.DataFrame(
            {
                "pattern": numbers,
                "before": self._label_column(self._edges[:, 0]),
                "after": self._label_column(self._edges[:, 1]),
            }
        )

    def edge_table(self) -> pd.DataFrame:
        """Every edge of the run that a pattern may hold, with the number of
        sequences that hold it: columns ``before``, ``after`` and
        ``support``, in the output's edge order (descending support, ties by
        ascending item numbers).

        Raises:
            ValueError: for an output read back, which holds no edge table.
        """
        import pandas as pd

        if self._edge_table is None:
            raise ValueError("an output read back holds no edge table; mine the strings instead")
        table = self._edge_table
        return pd.DataFrame(
            {
                "before": self._label_column(table[:, 0]),
                "after": self._label_column(table[:, 1]),
                "support": table[:, 2].astype(np.int64),
            }
        )

    # Pictures ----------------------------------------------------------------

    def _repr_html_(self) -> str:
        """The summary and the first patterns as a table, for notebooks."""
        from ._display import result_html

        return result_html(self)

    def plot(self) -> Any:
        """A matplotlib figure of the distributions of the supports and of
        the sizes of the patterns (matplotlib is imported only here)."""
        from ._display import plot

        return plot(self)

    def to_dot(self, pattern: Union[int, Pattern], *, all_edges: bool = False) -> str:
        """The Graphviz DOT text of ``result[pattern]``, `pattern` being an
        index from 0 as for ``result[k]`` (negative from the end), or a
        :class:`Pattern` of this result; drawn as ``tavrel-show --format dot
        --pattern N`` draws pattern number N (``result[k].number``, which is
        k + 1 for a whole run): its Hasse diagram, an edge that follows from
        others left out (every edge with `all_edges`), items as boxes
        labelled with their labels.

        Int labels from 0 up stand for themselves, as the command line's
        item numbers do, so the text is that of tavrel-show on the command
        line's output of the same sequences; other labels are drawn as
        ``str(label)`` on the item numbers of :attr:`labels`, as tavrel-show
        draws them with ``--items`` and a table of those labels.

        Raises:
            IndexError: when the result holds no such pattern.
        """
        if isinstance(pattern, Pattern):
            index = pattern.number - self._first - 1
            if not 0 <= index < len(self):
                raise IndexError(f"pattern number {pattern.number} is not in this result")
        else:
            index = self._position(pattern)
        start, stop = int(self._offsets[index]), int(self._offsets[index + 1])
        items = self._edges[start:stop]
        names: Optional[dict[int, str]] = None
        if self.labels is not None:
            if self._labels_are_numbers:
                items = self._label_column(items).astype(np.int32)
            else:
                names = {int(item): str(self.labels[item]) for item in np.unique(items)}
        support = int(self._supports[index])
        return _tavrel.dot_graph(self._first + index + 1, support, items, names, all_edges)


#: Bytes of to_pandas() per pattern beyond its edges: three int64 columns,
#: the edges column's pointer, the array view it points to and what pandas
#: makes on the way (about 240 measured by bench/python_bench.py --pandas).
_FRAME_BYTES_PER_PATTERN = 256
#: Bytes of to_pandas() per edge: its two labels, as int64 or as pointers
#: to the label objects that the result holds.
_FRAME_BYTES_PER_EDGE = 16


def _available_memory() -> int:
    """The bytes this process can still get: the machine's available
    memory (/proc/meminfo), less when the address space limit is nearer."""
    available = 1 << 62
    try:
        with open("/proc/meminfo") as info:
            for line in info:
                if line.startswith("MemAvailable:"):
                    available = int(line.split()[1]) * 1024
    except OSError:
        pass
    limit = resource.getrlimit(resource.RLIMIT_AS)[0]
    if limit != resource.RLIM_INFINITY:
        try:
            with open("/proc/self/status") as status:
                for line in status:
                    if line.startswith("VmSize:"):
                        available = min(available, limit - int(line.split()[1]) * 1024)
        except OSError:
            pass
    return available


def _check_memory(what: str, needed: int) -> None:
    """Raises MemoryError when `needed` bytes exceed what is available."""
    available = _available_memory()
    if needed > available:
        raise MemoryError(
            f"{what} would need about {needed / 2**20:.0f} MB, and {available / 2**20:.0f} MB "
            "are available; edges_frame() needs less, iter_mine() takes the patterns in batches"
        )
