"""How results and patterns show themselves in a notebook: a result as an
HTML table of its first patterns, a pattern as the SVG picture of its Hasse
diagram (drawn by Graphviz's library as tavrel-show draws it), and the
distributions of supports and sizes as a matplotlib figure."""

from __future__ import annotations

import html
from typing import TYPE_CHECKING, Any

import numpy as np

from . import _tavrel

if TYPE_CHECKING:
    from ._result import Pattern, Result

#: The patterns a result's table shows, and the edges shown per pattern.
HTML_ROWS = 10
HTML_EDGES = 6


def result_html(result: Result) -> str:
    """The result's summary line and a table of its first HTML_ROWS
    patterns (number, support, size, edges), every label escaped."""
    summary = html.escape(repr(result))
    rows = []
    for pattern in result[:HTML_ROWS]:
        edges = ", ".join(
            f"{html.escape(str(before))} &#8594; {html.escape(str(after))}"
            for before, after in pattern.edges[:HTML_EDGES]
        )
        if len(pattern.edges) > HTML_EDGES:
            edges += f", &#8230; ({len(pattern.edges) - HTML_EDGES} more)"
        rows.append(
            f"<tr><td>{pattern.number}</td><td>{pattern.support}</td>"
            f"<td>{len(pattern.edges)}</td><td>{edges}</td></tr>"
        )
    more = len(result) - len(rows)
    tail = f"<p>&#8230; and {more} more patterns</p>" if more > 0 else ""
    return (
        f"<div><p>{summary}</p><table><thead><tr><th>pattern</th><th>support</th>"
        f"<th>size</th><th>edges</th></tr></thead><tbody>{''.join(rows)}</tbody></table>"
        f"{tail}</div>"
    )


def pattern_dot(pattern: Pattern) -> str:
    """The DOT text of the pattern's Hasse diagram, as tavrel-show draws it,
    its labels drawn as str(label)."""
    numbers: dict[Any, int] = {}
    for edge in pattern.edges:
        for label in edge:
            numbers.setdefault(label, len(numbers))
    items = np.array(
        [[numbers[before], numbers[after]] for before, after in pattern.edges], dtype=np.int32
    ).reshape(-1, 2)
    names = {number: str(label) for label, number in numbers.items()}
    return _tavrel.dot_graph(pattern.number, pattern.support, items, names, False)


def pattern_svg(pattern: Pattern) -> str:
    """The SVG picture of the pattern's Hasse diagram (the <svg> element,
    ready to put inline in a page)."""
    return _tavrel.render_svg(pattern_dot(pattern))


def plot(result: Result) -> Any:
    """A matplotlib figure of two histograms: the supports of the patterns
    and their sizes (edges). matplotlib is imported here, only when asked
    for."""
    import matplotlib.pyplot as pyplot

    figure, (supports, sizes) = pyplot.subplots(1, 2, figsize=(10, 3.5))
    support_values = np.asarray(result.supports)
    size_values = np.diff(np.asarray(result.offsets))
    supports.hist(support_values, bins=_bins(support_values))
    supports.set(title="Supports", xlabel="support", ylabel="patterns")
    sizes.hist(size_values, bins=_bins(size_values))
    sizes.set(title="Sizes", xlabel="edges", ylabel="patterns")
    figure.suptitle(repr(result))
    figure.tight_layout()
    return figure


def _bins(values: np.ndarray) -> Any:
    """One bin per whole value when there are few, else matplotlib's own."""
    if values.size == 0:
        return 1
    low, high = int(values.min()), int(values.max())
    return np.arange(low, high + 2) - 0.5 if high - low < 60 else "auto"
