"""The compiled part of tavrel (python/src/); use the package tavrel."""

from collections.abc import Callable, Hashable, Iterable
from typing import Any, Optional

import numpy as np
import numpy.typing as npt

__version__: str

class EncodedStrings:
    """Sequences as the library's strings: item numbers, repeats and empty
    sequences left out."""

    @property
    def labels(self) -> list[Hashable]: ...
    @property
    def labels_are_item_numbers(self) -> bool: ...
    @property
    def sequences(self) -> int: ...
    @property
    def dropped_repeats(self) -> int: ...
    @property
    def dropped_empty(self) -> int: ...
    @property
    def string_count(self) -> int: ...

Deliver = Callable[
    [int, npt.NDArray[np.int32], npt.NDArray[np.int64], npt.NDArray[np.int32]], Optional[int]
]

#: (maximal, min_edges, max_edges, items, top); 0 and [] for none.
Conditions = tuple[bool, int, int, list[int], int]

def encode(sequences: Iterable[Iterable[Hashable]]) -> EncodedStrings: ...
def mine_strings(
    strings: EncodedStrings,
    min_sup: int,
    share: tuple[int, int],
    threads: int,
    max_patterns: int,
    conditions: Conditions,
    deliver: Optional[Deliver],
    partial: dict[str, Any],
) -> dict[str, Any]: ...
def mine_spec(
    spec_path: str,
    min_sup: int,
    share: tuple[int, int],
    threads: int,
    max_patterns: int,
    conditions: Conditions,
    deliver: Optional[Deliver],
    partial: dict[str, Any],
) -> dict[str, Any]: ...
class MiningStream:
    """A run whose patterns are taken in batches while it searches."""

    def next(self) -> Optional[dict[str, Any]]: ...
    def ending(self) -> str: ...
    def close(self) -> None: ...

def stream_strings(
    strings: EncodedStrings,
    min_sup: int,
    share: tuple[int, int],
    threads: int,
    max_patterns: int,
    conditions: Conditions,
    batch: int,
) -> MiningStream: ...
def stream_spec(
    spec_path: str,
    min_sup: int,
    share: tuple[int, int],
    threads: int,
    max_patterns: int,
    conditions: Conditions,
    batch: int,
) -> MiningStream: ...
def strings_of_sequences(
    strings: EncodedStrings,
    supports: npt.NDArray[np.int32],
    offsets: npt.NDArray[np.int64],
    edges: npt.NDArray[np.int32],
    which: npt.NDArray[np.int64],
) -> list[npt.NDArray[np.int64]]: ...
def strings_of_spec(
    spec_path: str,
    supports: npt.NDArray[np.int32],
    offsets: npt.NDArray[np.int64],
    edges: npt.NDArray[np.int32],
    which: npt.NDArray[np.int64],
) -> list[npt.NDArray[np.int64]]: ...
def read_output(fd: Optional[int], text: Optional[bytes], name: str) -> dict[str, Any]: ...
def dot_graph(
    number: int,
    support: int,
    edges: npt.NDArray[np.int32],
    labels: Optional[dict[int, str]],
    all_edges: bool,
) -> str: ...
def read_xes(path: str) -> tuple[list[list[str]], list[str]]: ...
def render_svg(dot: str) -> str: ...
